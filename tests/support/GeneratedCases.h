// Generated cases shared by the tests that compare whole runs byte for byte (thread
// counts, side-by-side cases, MPI processes).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace littoral::test {

// Small cases into dir, names returned in the order they run: "shore" (periodic sides,
// irregular waves, wet and dry cells), "basin" (closed and open sides, an island, a current
// entering at the west side) and "strip" (two rows).
std::vector<std::string> writeGeneratedCases(const CaseDir& dir);

// Copies the samples with a shorter run (48 s instead of 480 s).
void writeShortSamples(const CaseDir& dir);

// A case of 12 x lastRow cells whose boundary level lies 9 m below the bed on the west
// side from row firstLowRow north: the run stops after its first interval naming a cell.
void writeStoppingCase(const CaseDir& dir, const std::string& name, int32_t lastRow, int32_t firstLowRow);

// The generated small case's depth file (12 x 10 values, i outer): the text of each cell.
std::string depthText(const std::function<std::string(int32_t i, int32_t j)>& value);
// ... with cell (ci, cj) at value, every other cell at depth.
std::string depthWithCell(int32_t ci, int32_t cj, float value, float depth = 5.0f);

// Cases for a batch: the generated ones, a case that fails on its input ("bad") and one
// that stops after its first interval ("stops": a water level below the bed at its west
// side), each followed by a case with irregular waves, and two cases writing into one
// output folder ("again" writes into "shore"); in the order they run.
std::vector<std::string> writeBatchCases(const CaseDir& dir);

}  // namespace littoral::test
