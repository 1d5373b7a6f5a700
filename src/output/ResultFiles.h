// The result files of a case's output intervals: the field file surferN.csv of every
// interval (unless the run leaves them out) and, when asked for, the case's netCDF file
// results.nc. Made by the main loop before the flow is scaled, fed once per interval.
#pragma once

#include <cstdint>
#include <memory>

#include "core/Model.h"

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

    // The files of the interval with output number n, ending at model time timeSeconds. On several ranks
    // every rank makes one and writes the field file's lines of its rows (JointFile); the
    // netCDF file is written by the first rank, its grids gathered there one at a time.
    void write(Model& m, int16_t n, float timeSeconds);

    // The intervals results.nc holds and the time it was begun (0 and "" without it).
    int64_t netcdfSteps() const;
    std::string netcdfHistory() const;

private:
    std::unique_ptr<NetCdfResults> nc_;
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
