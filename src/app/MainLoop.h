// The main time loop of a case and its helpers.
#pragma once

#include "core/Model.h"
#include "core/RunHost.h"
#include "flow/Flow.h"

namespace littoral {

void mainLoop(Model& m, RunHost& host, float& hMax);
void initFlowState(Model& m, float hMax);
// Stops the run when a grid of the wave or flow state holds a non-finite value, naming
// the quantity, the cell and the model time.
void checkFinite(const Model& m, float timeSeconds);

}  // namespace littoral
