// The main time loop of a case and its helpers.
#pragma once

#include "app/RunHost.h"
#include "core/Model.h"

namespace littoral {

void mainLoop(Model& m, RunHost& host, float& hMax);
void initFlowState(Model& m, float hMax);
// Still-water depth over the length scale.
inline float depthRatio(const Model& m, int32_t i, int32_t j) {
    return static_cast<float>(static_cast<double>(m.dep(i, j)) / m.lenScale);
}
float flowTimeStep(const Model& m);
// Stops the run when a grid of the wave or flow state holds a non-finite value, naming
// the quantity, the cell and the model time.
void checkFinite(const Model& m, float timeSeconds);

}  // namespace littoral
