// The surface at the gauges' cells, read after every wave step of a period: a few cells
// per step, into room sized before the steps begin (nothing is allocated while they run).
// Each rank reads the gauges of its own rows; the gauge recorder (output/Gauges.h) takes the
// period's values at the interval's end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Grid.h"

namespace littoral {

// A gauge as the run was asked for it: its name and position (m, the positions the result
// files give the cell centres).
struct GaugeSite {
    std::string name;
    double x = 0, y = 0;
};

struct GaugeTrace {
    // The cells read (those of this rank's own rows) and each one's place in the run's list.
    std::vector<int32_t> ci, cj, index;
    // The period's surface, step by step: values[step * cells + k].
    std::vector<float> values;
    int32_t steps = 0;
    // The wave clock of the period: the time (s) of the level the first step's surface is
    // formed at, and the step.
    double firstTime = 0, dt = 0;

    bool empty() const { return ci.empty(); }
    // Before a period's steps: room for nStep steps (grown only when the period has more).
    void beginPeriod(int32_t nStep, double first, double step) {
        steps = 0;
        firstTime = first;
        dt = step;
        const size_t need = static_cast<size_t>(nStep > 0 ? nStep : 0) * ci.size();
        if (values.size() < need) values.resize(need);
    }
    // After a step: eta at each gauge cell.
    void record(const Grid& eta) {
        const size_t n = ci.size();
        if (n == 0) return;
        float* out = values.data() + static_cast<size_t>(steps) * n;
        for (size_t k = 0; k < n; ++k) out[k] = eta(ci[k], cj[k]);
        ++steps;
    }
};

}  // namespace littoral

namespace littoral {

// What a run has recorded at its gauges, from its first interval to its last finished one
// (kept with the model, so that it outlives the interval loop): per gauge g, the surface at
// every wave step and five fields at every interval's end, time outer and gauge inner.
struct GaugeRecord {
    struct Cell {
        int32_t i = 0, j = 0;  // the cell (the case's indices)
        double x = 0, y = 0;   // its centre (m), as the result files place it
    };
    std::vector<Cell> cells;
    std::vector<double> waveTime;  // s
    std::vector<float> eta;        // waveTime.size() x cells.size()
    std::vector<double> time;      // interval ends, s
    std::vector<int64_t> number;   // their output numbers
    std::vector<float> wavH, setup, lfu, lfv, theta;  // time.size() x cells.size()

    // How far the files and the record go: intervals and wave steps written.
    struct Progress {
        int64_t intervals = 0, waveSteps = 0;
        bool operator==(const Progress&) const = default;
    };
    Progress progress() const { return {static_cast<int64_t>(time.size()), static_cast<int64_t>(waveTime.size())}; }
};

}  // namespace littoral
