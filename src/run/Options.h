// The options of a run as the echo file 0options.txt and the netCDF files state them.
#pragma once

#include <string>
#include <vector>

#include "littoral/littoral.h"

namespace littoral {

// One line per option in force, "key = value   (where it was set)", the first line naming
// the options file; empty when every option has its default and no options file was
// applied (a run as before these options: nothing about them is written).
std::vector<std::string> optionLines(const RunOptions& o);

// The options a run cannot use (std::invalid_argument naming the option and what is expected).
void checkRunOptions(const RunOptions& o);

}  // namespace littoral
