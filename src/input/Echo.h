// Echo files written before a case computes: what was read, for people to check.
#pragma once

#include "core/Model.h"
#include "core/RunHost.h"

namespace littoral {

void writeConstEcho(const Model& m);    // "0const.txt"
void writeWavTideEcho(const Model& m);  // "0wavtide.txt"
// The grid echoes pump the host's events (if any) after every line of cells; a window
// closed meanwhile leaves no part of the file being written. On several ranks every rank
// calls them (each holding its rows) and the first writes the files; a failure is kept for
// the caller's check().
void writeDepBndEcho(const Model& m, RunHost* host = nullptr);   // "0depbnd.txt"
void writeSurferGrids(const Model& m, RunHost* host = nullptr);  // "surferdep.csv", "surferbnd.csv"

}  // namespace littoral
