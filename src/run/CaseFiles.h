// A case given in memory written as the six case files, in the formats the readers take,
// with a label on every line.
#pragma once

#include <string>

#include "littoral/littoral.h"

namespace littoral {

// Writes <dataFolder>/<name>cnt.txt and the files coef.txt, depth.txt, boundary.txt,
// wave.txt and tide.txt into <dataFolder>/<name>/, and makes the folder "output" beside the
// data folder; returns the control file's path. Throws StopError naming the input that does
// not fit (a grid of the wrong size, a missing folder) or the file that cannot be written.
std::string writeCaseFiles(const CaseInputs& in);

}  // namespace littoral
