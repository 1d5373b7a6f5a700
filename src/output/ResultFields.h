// The result field file of one output interval: outDir + stem + n + ".csv", 23 columns.
#pragma once

#include <cstdint>
#include <string>

#include "core/Model.h"
#include "core/RunHost.h"

namespace littoral {

// The events of `host` (if any) are pumped after each round of lines is formatted and after
// it is written.
void writeResultFields(const Model& m, int16_t n, const std::string& stem, RunHost* host = nullptr);

}  // namespace littoral
