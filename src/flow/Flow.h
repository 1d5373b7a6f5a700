// The shallow-water solver's step procedures, called by the main loop in this order:
// momentumSources, computeFluxes, updateCells, setBoundaryGhosts,
// applyBoundaryConditions(t), advanceFlowState.
#pragma once

#include "app/RunHost.h"
#include "core/Model.h"

namespace littoral {

void momentumSources(Model& m);
void computeFluxes(Model& m, RunHost& host);
void updateCells(Model& m, RunHost& host);
void setBoundaryGhosts(Model& m);
void applyBoundaryConditions(Model& m, float t);
void advanceFlowState(Model& m);

}  // namespace littoral
