// The time-dependent mild-slope wave model: one call of waveField simulates one wave
// period on the present depth, mean level and current.
#pragma once

#include <cstdint>

#include "core/Model.h"

namespace littoral {

// (Re)creates phiNew, phiCur, phiOld, phiPred, sumDiss, theta, kd, all zero.
void allocWaveArrays(Model& m);
// One wave period starting at model time `time` (s); fills fx, fy with the wave force and
// wavH, etaOut with the period's height and last surface. A stop request (Model::checkStop)
// is honoured before every wave step.
void waveField(Model& m, float& hMax, float time, Grid& fx, Grid& fy);

// The wave clock of a period: the model time (s) at the first period's start and the whole
// periods since then. The step count of a period is fixed by the case, so the period's first
// step is the first period's plus periods x nStep, counted exactly.
struct WaveClock {
    float first = 0;
    int64_t periods = 0;
};
// The period `periods` after the first: the incident wave continues the first period's wave
// clock (its phase and its start-up ramp as if the clock had run on), its precision that of
// the first period's time however many periods have passed.
void waveField(Model& m, float& hMax, const WaveClock& clock, Grid& fx, Grid& fy);

}  // namespace littoral
