// The time-dependent mild-slope wave model: one call of waveField simulates one wave
// period on the present depth, mean level and current.
#pragma once

#include "core/Model.h"

namespace littoral {

// (Re)creates phiNew, phiCur, phiOld, phiPred, sumDiss, theta, kd, all zero.
void allocWaveArrays(Model& m);
// One wave period starting at model time `time` (s); fills fx, fy with the wave force and
// wavH, etaOut with the period's height and last surface. A stop request (Model::checkStop)
// is honoured before every wave step.
void waveField(Model& m, float& hMax, float time, Grid& fx, Grid& fy);

}  // namespace littoral
