// The options of a run as the echo file 0options.txt and the netCDF files state them.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "littoral/littoral.h"

namespace littoral {

// One line per option in force, "key = value   (where it was set)", the first line naming
// the options file; empty when every option has its default and no options file was
// applied (a run as before these options: nothing about them is written).
std::vector<std::string> optionLines(const RunOptions& o);

// The options that decide a run's result files, by key with their values as text: what a
// checkpoint records and a resumed run must repeat (threads, processes, the checkpoint's own
// options and the desktop's are not among them).
std::vector<std::pair<std::string, std::string>> resultOptionTexts(const RunOptions& o);

// The options a run cannot use (std::invalid_argument naming the option and what is expected).
void checkRunOptions(const RunOptions& o);

}  // namespace littoral
