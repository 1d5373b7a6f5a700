// The 21 result fields of an interval, in the order of the columns of the result field
// files: the one table the field files, the netCDF file and the library's field views read.
#pragma once

#include <cstddef>

#include "core/Model.h"

namespace littoral {

struct ResultField {
    const char* name;          // netCDF variable name
    const char* column;        // header of the field file's column
    const char* units;         // UDUNITS
    const char* longName;
    const char* standardName;  // CF standard name, empty where none fits
    Grid Model::*grid;
    bool negated;              // written negated (the bed level and bed change against the depth)
};

constexpr size_t kResultFieldCount = 21;
extern const ResultField kResultFields[kResultFieldCount];

}  // namespace littoral
