// The results of a case as one netCDF-4 file, results.nc in the output folder, following
// the CF conventions 1.8: dimensions time (unlimited), y and x; the 21 fields of the result
// field files as single-precision variables over (time, y, x), one time step per output
// interval, chunked by time step and compressed; the input grids, coefficients, wave and
// tide values beside them. Built only when the netCDF library is present.
//
// The file is written under a temporary name of its own, takes its final name once the
// first interval is in it, and is synced after every interval: a run that is stopped or
// killed leaves a readable file that holds every completed interval, and a file of that
// name always belongs to one run. A run resumed from a checkpoint makes the file anew with the
// earlier part's intervals up to the checkpoint, then goes on; the file is the same byte for
// byte as one run would have written (with SOURCE_DATE_EPOCH set, its history line too).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Model.h"

namespace littoral {

// HDF5, beneath netCDF-4, prints its error stack on any thread that has not told it not to,
// and netCDF tells it on the first thread that uses it only. So a file opened on another
// thread (a desktop or Python run, a batch job) printed some eighty lines of "HDF5-DIAG"
// for every optional attribute netCDF looks for and does not find. Called before every
// netCDF-4 file is made or opened; the errors that matter reach the caller as netCDF's codes.
void quietHdf5OnThisThread();

// The fields of an interval, in the order of the field file's columns.
size_t netcdfFieldCount();
const Grid& netcdfFieldGrid(const Model& m, size_t f);

class NetCdfResults {
public:
    // Creates the file and writes everything that does not change with time.
    explicit NetCdfResults(const Model& m);
    // ... with the bed of the case as read given whole (on a split case, gathered).
    NetCdfResults(const Model& m, const Grid& bed);
    // Closes the file; a file that never received an interval is removed.
    ~NetCdfResults();
    NetCdfResults(const NetCdfResults&) = delete;
    NetCdfResults& operator=(const NetCdfResults&) = delete;

    // Appends the fields of the interval that ends at timeSeconds (output number n) and
    // syncs the file to disk.
    void writeInterval(const Model& m, int64_t n, double timeSeconds, double morphSeconds = 0);
    // The same in parts: each field f (netcdfFieldGrid's grid, given whole), then the
    // interval's time and number (and, with morphological acceleration, the span of bed
    // evolution the bed changes up to it stand for).
    void putField(const Model& m, size_t f, const Grid& g);
    // With Model::meanFields: the mean k (MeanSums::mean, kMeanFieldIndex order) and the
    // maximum k (kMaxFieldIndex order) of the interval, given whole, and the span they
    // cover (intervals, from model time sinceSeconds); before finishInterval.
    void putMean(const Model& m, size_t k, const Grid& g);
    void putMax(const Model& m, size_t k, const Grid& g);
    void finishMeans(int32_t intervals, double sinceSeconds);
    void finishInterval(int64_t n, double timeSeconds, double morphSeconds = 0);
    // Closes the file, reporting a failure.
    void close();

    // The final name: outDir + "results.nc".
    const std::string& path() const { return path_; }
    // The intervals written, and the history line of the file (when it was begun).
    int64_t steps() const { return static_cast<int64_t>(written_); }
    const std::string& history() const { return history_; }

private:
    void check(int status, const char* what) const;
    // The time and number of interval `written_` once its fields are in; the first gives the
    // file its name unless `named` is false.
    void completeInterval(int number, double time, double morphSeconds, bool named);
    // A resumed run: the first `steps` intervals of the earlier part's results.nc, copied
    // value for value and written as the earlier part wrote them; then the file takes its name.
    void takeOverIntervals(int64_t steps);
    // One time step of the variable var from the interior of g (whole).
    void putGrid(const Model& m, int var, const Grid& g, bool negated, const char* what);
    // The case on the map (Model::map): the grid mapping and the 2-D map coordinates, defined
    // with the header and written after it.
    struct MapVariables {
        int crs = -1, x = -1, y = -1;
    };
    MapVariables defineMapPlacement(const Model& m, int dimY, int dimX, const std::vector<int>& fields);
    void writeMapPlacement(const Model& m, const MapVariables& mv);

    std::string path_, tmp_, history_;
    int ncid_ = -1;
    int timeVar_ = -1, numberVar_ = -1, morphVar_ = -1;
    std::vector<int> fieldVars_;
    std::vector<int> meanVars_, maxVars_;  // with Model::meanFields
    int meanCountVar_ = -1, meanSinceVar_ = -1;
    size_t nx_ = 0, ny_ = 0, written_ = 0;
    bool failed_ = false;  // an interval's write stopped before its sync
    std::vector<float> buf_;  // one field of one interval, y outer and x inner
};

}  // namespace littoral
