// The result field file of one output interval: outDir + stem + n + ".csv", 23 columns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/Model.h"

namespace littoral {

void writeResultFields(const Model& m, int16_t n, const std::string& stem);

// The texts of appendFloat and appendDouble (RecordWriter.h), character for character,
// formed without the general conversion wherever that is exact: a float by scaling with an
// exact power of ten and rounding to seven digits (the general path next to a tie), a
// double when it is a multiple of 2^-10 with at most 15 significant digits (cell
// positions). About 3x faster; meant to stand behind appendFloat and appendDouble.
size_t appendFloatFast(char* out, float v);
size_t appendDoubleFast(char* out, double v);

}  // namespace littoral
