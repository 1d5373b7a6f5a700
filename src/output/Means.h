// Mean and maximum fields over the output intervals between two written ones.
//
// Every interval adds its wave height, set-up, currents, bed shear stress and transport
// rates to running sums (double precision, per cell of the rank's own rows) and its wave
// height and largest bed shear stress to running maxima; a written interval turns them
// into the mean and maximum grids (rounded to single precision) and starts them afresh.
// The sums and maxima are the state a checkpoint keeps: `intervals`, `since`, `sum[k]`
// (kMeanFieldCount arrays of cells(m) doubles, i fastest, rows ownRows()) and `max[k]`
// (kMaxFieldCount grids, their own rows' interior cells).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/Model.h"

namespace littoral {

// The averaged fields and the fields whose maximum is kept, by their index in
// kResultFields (FieldTable.h).
constexpr size_t kMeanFieldCount = 9;   // wavH, setup, lfu, lfv, tau, qbx, qby, qsx, qsy
constexpr size_t kMaxFieldCount = 2;    // wavH, maxtau
extern const size_t kMeanFieldIndex[kMeanFieldCount];
extern const size_t kMaxFieldIndex[kMaxFieldCount];

struct MeanSums {
    int32_t intervals = 0;    // intervals summed since the last written one
    double since = 0;         // model time (s) at which the summed span begins
    std::vector<double> sum[kMeanFieldCount];
    Grid max[kMaxFieldCount];
    // The means of the last written interval, rounded to single precision (formed by form()).
    Grid mean[kMeanFieldCount];

    // Sized for the rank's own rows; the span begins at startSeconds. Before the time loop.
    void allocate(const Model& m, double startSeconds);
    // Cells of the sums: the own rows' interior cells.
    static size_t cells(const Model& m);
    // The fields of the interval just computed.
    void add(const Model& m);
    // mean[k] from the sums (intervals must be positive).
    void form(const Model& m);
    // A new span beginning at model time seconds.
    void restart(double seconds);
};

}  // namespace littoral
