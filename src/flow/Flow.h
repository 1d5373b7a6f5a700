// The shallow-water solver's step procedures, called by the main loop in this order:
// momentumSources, computeFluxes, updateCells, setBoundaryGhosts,
// applyBoundaryConditions(t), advanceFlowState.
#pragma once

#include "core/Model.h"
#include "core/RunHost.h"

namespace littoral {

// Still-water depth over the length scale.
inline float depthRatio(const Model& m, int32_t i, int32_t j) {
    return static_cast<float>(static_cast<double>(m.dep(i, j)) / m.lenScale);
}
// The stable non-dimensional flow step of the present state.
float flowTimeStep(const Model& m);

void momentumSources(Model& m);
void computeFluxes(Model& m, RunHost& host);
void updateCells(Model& m, RunHost& host);
void setBoundaryGhosts(Model& m);
void applyBoundaryConditions(Model& m, float t);
void advanceFlowState(Model& m);

}  // namespace littoral
