// Placeholder until the shallow-water solver lands.
#include "flow/Flow.h"

namespace littoral {
void momentumSources(Model&) {}
void computeFluxes(Model&, RunHost&) {}
void updateCells(Model&, RunHost&) {}
void setBoundaryGhosts(Model&) {}
void applyBoundaryConditions(Model&, float) {}
void advanceFlowState(Model&) {}
}  // namespace littoral
