// The main time loop of a case and its helpers.
#pragma once

#include <cstdint>

#include "core/Model.h"
#include "core/RunHost.h"
#include "app/Watchdog.h"
#include "flow/Flow.h"

namespace littoral {

void mainLoop(Model& m, RunHost& host, float& hMax);
void initFlowState(Model& m, float hMax);
// The output number of the last interval the run would write, from the single-precision
// interval counter stepped as the main loop steps it. Throws StopError naming the coefficient
// file when a number would pass 32767 or the counter could not advance.
int32_t lastOutputNumber(const Model& m);
// The number of output intervals (wave periods) mainLoop runs when nothing stops it, from
// the flow clock initFlowState has set; each draws one irregular wave height.
int64_t intervalCount(const Model& m);

}  // namespace littoral
