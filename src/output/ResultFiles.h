// The result files of a case's output intervals: the field file surferN.csv of every
// written interval (unless the run leaves them out) and, when asked for, the case's netCDF
// file results.nc. An interval is written when its output number is divisible by
// Model::outputEvery and when it is the run's last; with Model::meanFields the means and
// maxima since the previous written interval go beside it (meanN.csv, the netCDF file's
// *_mean and *_max variables). Made by the main loop before the flow is scaled, fed once
// per interval.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "core/Model.h"
#include "output/Means.h"

namespace littoral {

class NetCdfResults;

class ResultFiles {
public:
    explicit ResultFiles(const Model& m);
    // ... the netCDF file recording the bed as read from bed (whole on the first rank).
    ResultFiles(const Model& m, const Grid& bed);
    ~ResultFiles();
    ResultFiles(const ResultFiles&) = delete;
    ResultFiles& operator=(const ResultFiles&) = delete;

    // The interval with output number n, ending at model time timeSeconds, is done: its
    // fields join the means, and its files are written if it is one to write (last: no
    // interval follows it). On several ranks every rank makes one and writes the field
    // file's lines of its rows (JointFile); the netCDF file is written by the first rank,
    // its grids gathered there one at a time. Returns whether the interval was written.
    bool write(Model& m, int64_t n, double timeSeconds, double morphSeconds = 0, bool last = false);
    // Whether the interval numbered n is written (last: the run's last interval).
    static bool written(const Model& m, int64_t n, bool last);

    // The running sums of the means (none without Model::meanFields): the state a
    // checkpoint saves and restores.
    MeanSums* meanSums() { return means_ ? &*means_ : nullptr; }

    // The intervals results.nc holds and the time it was begun (0 and "" without it).
    int64_t netcdfSteps() const;
    std::string netcdfHistory() const;

private:
    std::unique_ptr<NetCdfResults> nc_;
    std::optional<MeanSums> means_;
};

// Whether this build can write netCDF files.
bool netcdfAvailable();
// The error for a request of netCDF output in a build without it (names the option).
std::string netcdfUnavailableMessage(const std::string& option);
// Sets m.netcdfResults from the environment variable LITTORAL_NETCDF ("1" writes the
// netCDF file, "0" or unset does not); any other value, or "1" in a build without netCDF,
// stops with a message naming the variable.
void resultFormatsFromEnvironment(Model& m);

}  // namespace littoral
