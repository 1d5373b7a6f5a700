// Several cases of one batch side by side (littoral-batch --jobs N), with the same files
// as when they run one after another.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "littoral/littoral.h"

namespace littoral {

// What a case leaves for the terminal.
struct CaseOutcome {
    bool ok = false;
    std::string text;  // the "ok ..." or "FAILED ..." line
};

// Runs the case `arg` on threadsPerJob threads: once the case is read, start(draws) gives
// the random state to begin from (draws: the irregular heights the case will draw); `end`
// receives the state the run left, and `started` whether start was called.
using CaseStart = std::function<RandomState(long draws)>;
using CaseRunner = std::function<CaseOutcome(const std::string& arg, const CaseStart& start, RandomState& end,
                                             bool& started)>;

// Runs the cases on `jobs` threads of their own and hands the outcomes to report in the
// cases' order. Returns the number of failed cases.
//
// The irregular wave heights of a run come from one random sequence that continues from
// case to case, so every case must start from the state the cases before it leave: a case
// knows how many heights it draws once its input is read (one per output interval), and
// hands the state after them to the next case before it runs. A case that stops part-way
// draws fewer; the cases after it that drew from the wrong state are run again, in order.
// Cases that write into the same output folder run one after another.
// outputFolderOf(arg): the case's output folder, "" when it cannot be told.
int runSideBySide(const std::vector<std::string>& args, int jobs, const CaseRunner& run,
                  const std::function<std::string(const std::string&)>& outputFolderOf,
                  const std::function<void(const CaseOutcome&)>& report);

}  // namespace littoral
