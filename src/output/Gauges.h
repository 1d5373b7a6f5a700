// Time series at gauges: each gauge at the interior cell whose centre lies nearest its
// position, the surface eta at every wave step (read by the wave model into m.gaugeTrace)
// and wavH, setup, lfu, lfv and theta at every interval's end, as the result files write
// them. Recorded into m.gaugeRecord and, when the run writes files, appended interval by
// interval to
//   gauges.csv            "time" and one column of eta per gauge, a line per wave step;
//   gauges_intervals.csv  a line per interval and gauge: output number, time, the gauge and
//                         its cell, the five fields;
//   gauges.nc             the same as a CF timeSeries file (when the build has netCDF).
// Each interval's lines go to the files in one write and the netCDF file is synced, so a run
// that is stopped or killed leaves files complete up to an interval's end.
//
// On a case split over processes the gauges of a row belong to the rank that computes it;
// their values come to every rank at the interval's end (in the order of the gauges), and
// the first rank writes the files.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Model.h"

namespace littoral {

// The cell of each gauge of m.gaugeSites, checked: a gauge outside the grid, on land (a
// cell closed on all four sides) or on a dry cell (still depth plus tide below the minimum
// depth), a gauge without a name, with a name another gauge has or a name holding a double
// quote or a line break is refused (InputStop naming m.gaugesSetBy, the gauge and what was
// expected). A collective on a split case (each cell's flag and depth come from its rank).
std::vector<GaugeRecord::Cell> placeGauges(const Model& m);

class GaugeRecorder {
public:
    // Places the gauges (placeGauges), fills m.gaugeTrace with this rank's cells and
    // m.gaugeRecord's cells, and makes the files when the run writes files (first rank).
    // With `after`, the run continues one that stopped after `after` (intervals and wave
    // steps): the files it left are cut back to that point and appended to from there, and
    // m.gaugeRecord (which the caller has restored) is cut back to it likewise.
    // The record's room for `intervals` intervals is taken after the first period (when the
    // steps of a period are known), so that the later intervals allocate nothing.
    explicit GaugeRecorder(Model& m, int64_t intervals = 0, std::optional<GaugeRecord::Progress> after = std::nullopt);
    ~GaugeRecorder();
    GaugeRecorder(const GaugeRecorder&) = delete;
    GaugeRecorder& operator=(const GaugeRecorder&) = delete;

    // The interval with output number n that ended at endSeconds: its wave steps and
    // fields into m.gaugeRecord (a collective: every rank calls it), then into the files
    // (on a split case, guarded: a failure is raised by the caller's next check).
    void interval(Model& m, int64_t n, double endSeconds);

private:
    void reopen(const Model& m, GaugeRecord::Progress p);
    void writeFiles(const Model& m, size_t firstStep, size_t firstInterval);
    struct Files;
    std::unique_ptr<Files> files_;
    std::vector<double> share_;  // one gauge's values of an interval, as ranks share them
    int64_t intervals_ = 0;      // intervals the record makes room for
};

}  // namespace littoral
