// Refusals of case input that would run to a result without meaning: checks made once a
// reader has the values they need, before anything is computed. Each refusal throws
// StopError naming the file, the value, what was found and the range expected; a value
// inside its range but at the edge of what the model is meant for adds a line starting
// "warning: " to m.inputWarnings and the case runs with it. The bounds and their reasons
// are listed in docs/inputs.md.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Model.h"

namespace littoral {

// After the coefficient file, before the derived constants: every coefficient within the
// range in which the model means something (latitude, friction, breaking ratio, minimum
// depth, times, Shields number, grain size, densities, viscosity, transport coefficients).
void checkCoefficients(Model& m);

// After the wave file (the period is known): the period and the offshore height, the group
// amplitude, and a start time that leaves the flow clock running forwards (the first
// interval ends one wave period after the start, the flow clock starts at 0).
void checkStartTime(Model& m);

// After the tide file: the tide level.
void checkTide(Model& m);

// A depth read from the depth file: between the highest land and the deepest sea.
inline bool depthInRange(float depth) { return depth >= -9000.0f && depth <= 11000.0f; }
// Refuses the depth of cell (i, j); `where` names the file and field.
[[noreturn]] void refuseDepth(const std::string& where, float depth, int32_t i, int32_t j);

// After the depth file: the minimum computational depth below the largest depth plus tide
// (hMax), or every cell would be dry and the flow switched off.
void checkMinimumDepth(const Model& m);

// After the boundary file: the wave input code of the wave file must be the code of at
// least one listed boundary cell, or the case would run without any wave.
void checkWaveInput(const Model& m);

// After the boundary file, the codes and the tide table as one system: every code above 16
// has its row in the tide file (rows lists the row numbers the tide file gives); a row that
// no cell uses is a warning.
void checkTideRows(Model& m, const std::vector<int32_t>& rows);

// The wave input cells of the rows this process holds: wet (depth plus tide above the
// minimum depth) and their wavelength resolved by the cells. Returns the shortest
// wavelength at those cells (infinity when none is held); a failure is a PlacedStop at the
// cell's list number.
double checkWaveInputCells(const Model& m);
// The shortest wavelength at the wave input cells over every process: refused below two
// cells a wavelength, a warning below three.
void checkWaveResolution(Model& m, double shortestWavelength);

}  // namespace littoral
