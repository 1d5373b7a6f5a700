// Pieces of the stable flow step shared by the time step of its own (TimeStep.cpp) and the
// one the fluxes take along with them (Fluxes.cpp); the rule is written in TimeStep.cpp.
#pragma once

#include <cmath>
#include <cstdint>

#include "core/RowClones.h"

namespace littoral {

// n faces with sides L and R (depths h, normal velocities q): right-going n~ + c~ to s0,
// left-going n~ - c~ to s1.
void flowFaceSpeeds(int32_t n, const float* hL, const float* hR, const float* qL, const float* qR, float md,
                    float* s0, float* s1);

// Speed spread of a cell along one direction from the right-going speed low0 of its low
// face (west or south), the left-going speed `minus` the rule subtracts from it and the
// left-going speed high1 of its high face; lowDry, highDry: the cell and its neighbour
// across that face are both dry.
[[gnu::always_inline]] inline float stepSpread(bool lowDry, bool highDry, float low0, float minus, float high1) {
    const float both = static_cast<float>(static_cast<double>(low0) - minus);
    const float s = pick(!lowDry & !highDry, both, pick(lowDry, std::fabs(high1), std::fabs(low0)));
    return s < 0.001f ? 0.001f : s;
}

}  // namespace littoral
