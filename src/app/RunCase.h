// runCase: one case, from its control file m.cntPath to its last result file.
#pragma once

#include "core/RunHost.h"
#include "core/Model.h"

namespace littoral {

void runCase(Model& m, RunHost& host);

}  // namespace littoral
