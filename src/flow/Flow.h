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
// The still depth the flow's faces give a cell, over the length scale. A closed ghost cell
// (code 0) mirrors the water of its interior neighbour and stands on its bed too: with its
// own depth the face between them would carry a bed-slope mass flux and the wall would
// leak. Every other cell, periodic and open ghosts and the corners included, has its own.
float flowStillDepth(const Model& m, int32_t i, int32_t j);
// Gives every periodic ghost cell (code 16) the still depth of its partner across the grid,
// whose water it copies, before the run: a seam between different beds would carry a
// bed-slope mass flux. Called once before the flow state is set up.
void periodicGhostDepths(Model& m);
// The stable non-dimensional flow step of the present state.
float flowTimeStep(const Model& m);

void momentumSources(Model& m);
void computeFluxes(Model& m, RunHost& host);
void updateCells(Model& m, RunHost& host);
void setBoundaryGhosts(Model& m);
void applyBoundaryConditions(Model& m, float t);
void advanceFlowState(Model& m);

}  // namespace littoral
