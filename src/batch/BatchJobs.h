// Several cases of one batch side by side (littoral-batch --jobs N), with the same files
// as when they run one after another.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/Model.h"

namespace littoral {

// What a case leaves for the terminal.
struct CaseOutcome {
    bool ok = false;
    std::string text;  // the "ok ..." or "FAILED ..." line
};

// Runs the case `arg` on a fresh model; the case's host calls atRunStart(m) when its main
// loop starts, before the first irregular wave height is drawn.
using CaseRunner =
    std::function<CaseOutcome(const std::string& arg, Model& m, const std::function<void(Model&)>& atRunStart)>;

// Runs the cases on `jobs` threads of their own, each case's loops on threadsPerJob
// threads, and hands the outcomes to report in the cases' order. Returns the number of
// failed cases.
//
// The irregular wave heights of a run come from one random sequence that continues from
// case to case, so every case must start from the state the cases before it leave: a case
// knows how many heights it draws once its input is read (one per output interval), and
// hands the state after them to the next case before it runs. A case that stops part-way
// draws fewer; the cases after it that drew from the wrong state are run again, in order.
// Cases that write into the same output folder run one after another.
// outputFolderOf(arg): the case's output folder, "" when it cannot be told.
int runSideBySide(const std::vector<std::string>& args, int jobs, int threadsPerJob, const CaseRunner& run,
                  const std::function<std::string(const std::string&)>& outputFolderOf,
                  const std::function<void(const CaseOutcome&)>& report);

}  // namespace littoral
