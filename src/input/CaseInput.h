// Readers of the case files and the allocation of the model state.
// Each reader opens dataDir + the name the control file gives and throws StopError with
// the file, the field and what was expected when the input is not as it must be.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Model.h"

namespace littoral {

// Reads m.cntPath, makes the case's output folder, then reads the coefficient file,
// allocates the case grids and the wave grids, and reads the wave and tide files.
void readControlFile(Model& m);
// The first part of readControlFile: the five input file names and outDir, nothing made.
void readControlNames(Model& m);
void readCoefFile(Model& m);
// The case's output folder checked (inside the folder "output") and made, when the case
// writes files (readControlFile does it after the names).
void prepareOutputFolder(Model& m);
void readWaveFile(Model& m);
void readTideFile(Model& m);
// The tide file's table; with rowsGiven, the row numbers it gives are listed there too (and
// the tide level is not checked again).
void readTideTable(Model& m, std::vector<int32_t>* rowsGiven);
// Sets dep, setup (the tide level) and hMax.
void readDepthFile(Model& m);
// Sets cellFlag, the boundary-cell lists, nLine and allocates the open-boundary lines.
void readBoundaryFile(Model& m);
// On several ranks each keeps dep, setup and cellFlag in the rows those grids hold (every rank
// reads the whole file and meets any error where one process would); readBoundaryFile is
// then reached by every rank, outside any part that runs on one rank only.
// The parts of readBoundaryFile: the codes, cellFlag and the boundary-cell lists; the longest
// wavelength at the listed cells of this rank's rows (a cell without one is a PlacedStop at
// its list number); the open-boundary lines for the longest wavelength of all ranks.
void readBoundaryCodes(Model& m);
double longestBoundaryWavelength(const Model& m);
void allocateBoundaryLines(Model& m, double Lmax);

void allocateCaseArrays(Model& m);
void allocateFlowArrays(Model& m);

// dataDir + name, with '\' taken as a folder separator (only to open the file); an
// absolute name (starting with a separator) as it stands.
std::string inputPath(const Model& m, const std::string& name);
// The file's full name as the echoes show it: dataDir + name as written, an absolute name
// alone.
std::string shownInputPath(const Model& m, const std::string& name);

}  // namespace littoral
