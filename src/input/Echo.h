// Echo files written before a case computes: what was read, for people to check.
#pragma once

#include "core/Model.h"

namespace littoral {

void writeConstEcho(const Model& m);    // "0const.txt"
void writeWavTideEcho(const Model& m);  // "0wavtide.txt"
// On several ranks every rank
// calls them (each holding its rows) and the first writes the files; a failure is kept for
// the caller's check().
void writeDepBndEcho(const Model& m);   // "0depbnd.txt"
void writeSurferGrids(const Model& m);  // "surferdep.csv", "surferbnd.csv"

}  // namespace littoral
