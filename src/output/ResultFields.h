// The result field file of one output interval: outDir + stem + n + ".csv", 23 columns.
#pragma once

#include <cstdint>
#include <string>

#include "core/Model.h"

namespace littoral {

void writeResultFields(const Model& m, int16_t n, const std::string& stem);

}  // namespace littoral
