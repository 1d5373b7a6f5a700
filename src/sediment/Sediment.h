// Bottom stress, sediment transport accumulated over a wave period, and bed change.
#pragma once

#include "core/Model.h"

namespace littoral {

// Adds one wave step (dt = waveDt) of stress and transport, with u, v the surface orbital
// velocities of the step.
void accumSedimentFlux(Model& m, float dt, const Grid& u, const Grid& v);
void clearTransport(Model& m);
void applyBedChange(Model& m);
void bedChange(Model& m);

}  // namespace littoral
