// Restart: the checkpoint of a run (checkpoint.nc in its output folder) and a run resumed
// from it. A checkpoint holds the whole state one interval hands the next (the model's state
// items, the loop's clocks, the watchdog's and the result files' state) together with the
// program version, a fingerprint of every input file and the options that decide the result
// files. A resumed run reads the case as usual, checks all of that against the checkpoint
// (only the end time in the coefficient file may differ: a later one extends a finished run)
// and continues; its result files are those of one run without the interruption.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/Model.h"
#include "run/RunHost.h"

namespace littoral {

class IntervalLoop;

// The output folder's checkpoint: outDir + "checkpoint.nc".
std::string checkpointPath(const Model& m);

// 64-bit FNV-1a of the bytes, as 16 hexadecimal digits.
std::string fingerprintOf(const std::string& bytes);

// What a resumed run continues from: the checked checkpoint, the intervals its results.nc
// held and when that file was begun.
struct ResumePoint {
    std::string path;
    int64_t netcdfSteps = 0;
    std::string netcdfHistory;
};

// The record of what the run is made from (program version, input fingerprints, the
// coefficient file's values, the options that decide the results), once its case is read.
std::vector<std::pair<std::string, std::string>> makeCheckpointRecord(const Model& m);

// Writes the checkpoint of the loop's state (a collective).
void writeCheckpoint(Model& m, IntervalLoop& loop);

// For a resumed run whose case is read: the output folder's checkpoint checked against the
// case, or none (the host is told that the run starts from the beginning). Throws StopError
// naming everything that differs (inputs, options, program version).
std::optional<ResumePoint> openCheckpoint(Model& m, RunHost& host);

// The items restored from the checkpoint (each rank its rows).
void restoreItems(Model& m, const StateItems& items, const ResumePoint& from);

// The state of the checkpoint restored into the model and the loop, once begun.
void restoreCheckpoint(Model& m, IntervalLoop& loop, const ResumePoint& from);

}  // namespace littoral
