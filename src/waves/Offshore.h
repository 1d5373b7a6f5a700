// Offshore wave transformation: carries the offshore wave of the wave file to the phase
// reference point over parallel depth contours (refraction, linear and nonlinear shoaling,
// breaker index) and overwrites waveH0 and waveDir0 with the local values.
#pragma once

#include "core/Model.h"

namespace littoral {

void transformIncidentWave(Model& m);

}  // namespace littoral
