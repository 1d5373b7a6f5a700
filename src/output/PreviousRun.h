// One run's results per output folder. Before a run writes into its output folder, the
// files an earlier run left there are moved into a subfolder named after that run's start,
// previous-<YYYY-MM-DD_hh-mm-ss> (UTC; the oldest modification time of its files, its echo
// files being written as it starts): its result files (surfer<n>.csv, mean<n>.csv,
// results.nc, gauges.nc, gauges.csv, checkpoint files, pictures *.png) together with the
// echo files that describe them (0*.txt, surferdep.csv, surferbnd.csv).
// Nothing is deleted; the lock, temporaries, subfolders and files of other programs stay.
// The move happens only when there is at least one result file: echo files alone are
// rewritten by the next run anyway.
#pragma once

#include <optional>
#include <string>

namespace littoral {

// Whether a file of an output folder is a result of a run, and whether it goes with the
// run's results when they are set aside (results and echo files).
bool isRunResultFile(const std::string& name);
bool isRunFile(const std::string& name);

struct SetAside {
    std::string folder;  // the subfolder the files went to (outDir + "previous-...")
    int files = 0;
};

// Moves an earlier run's files of outDir (which ends in a separator) into its subfolder;
// none when the folder holds no result file. Throws StopError naming the file that could
// not be moved (the files moved before it stay in the subfolder).
std::optional<SetAside> setAsidePreviousRun(const std::string& outDir);

}  // namespace littoral
