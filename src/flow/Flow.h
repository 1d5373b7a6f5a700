// The shallow-water solver's step procedures, called by the main loop in this order:
// momentumSources, computeFluxes (which gives the stable step too), updateCells,
// setBoundaryGhosts, applyBoundaryConditions(t), advanceFlowState; publishFlowState at the
// end of an output interval.
#pragma once

#include "core/Model.h"

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

void momentumSources(Model& m);
// The face fluxes of the present level; returns the stable non-dimensional step of the
// present level, from the face speeds the fluxes form.
float computeFluxes(Model& m);
void updateCells(Model& m);
void setBoundaryGhosts(Model& m);
void applyBoundaryConditions(Model& m, float t);
// The new level becomes the present one (the grids are exchanged: every cell of the new
// level that a step reads is written by the step before).
void advanceFlowState(Model& m);
// The present level in metres and metres per second for the waves, the sediment and the
// result files: setup, curU, curV.
void publishFlowState(Model& m);
// Mean currents (Model::meanCurrents): sumCurrents adds the step's current times its length
// to the sums, after each flow step; publishMeanCurrents turns the sums into the interval's
// mean current in m/s (curUMean, curVMean) and clears them, at the interval's end.
void sumCurrents(Model& m);
void publishMeanCurrents(Model& m);

}  // namespace littoral
