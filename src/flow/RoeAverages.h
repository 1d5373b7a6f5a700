// Roe averages of a flow face by its wet/dry state (non-dimensional, gravity 1).
//
// L is the west (or south) side of the face, R the east (or north) side; hL, hR their
// total depths, sL, sR the square roots sqrt(hL), sqrt(hR), qL, qR a velocity of both
// sides. A side is wet when its depth is at least minDepth.
//
//   both wet      : c~ = (hL hR)^(1/4), h~ = sqrt(hL hR), q~ = (sL qL + sR qR) / (sL + sR)
//   one side wet  : the wet side's sqrt(h), h and q
//   both dry      : c~ = h~ = q~ = 0
//
// Every case is formed and the face's one picked, without a branch, so that the row loops
// of the fluxes keep a row of faces in vector registers; a single face takes the same
// kernels.
#pragma once

#include <cmath>
#include <cstdint>

#include "core/RowClones.h"

namespace littoral {

// c~ of the face, wL and wR whether L and R are wet.
[[gnu::always_inline]] inline float roeCelerity(bool wL, bool wR, float hL, float hR, double sL, double sR) {
    const double p = static_cast<double>(hL) * hR;
    return pick(wL & wR, static_cast<float>(std::sqrt(std::sqrt(p))),
                pick(wL, static_cast<float>(sL), pick(wR, static_cast<float>(sR), 0.0f)));
}

// h~ of the face.
[[gnu::always_inline]] inline float roeDepth(bool wL, bool wR, float hL, float hR) {
    const double p = static_cast<double>(hL) * hR;
    return pick(wL & wR, static_cast<float>(std::sqrt(p)), pick(wL, hL, pick(wR, hR, 0.0f)));
}

// q~ of the face, the square-root weighted mean of qL and qR.
[[gnu::always_inline]] inline float roeVelocity(bool wL, bool wR, double sL, double sR, float qL, float qR) {
    return pick(wL & wR, static_cast<float>((sL * qL + sR * qR) / (sL + sR)), pick(wL, qL, pick(wR, qR, 0.0f)));
}

// Speed of wave k of a face with normal velocities nL, nR: 0 right-going n~ + c~,
// 1 left-going n~ - c~, 2 shear n~.
inline float roeSpeed(int k, float hL, float hR, float nL, float nR, float minDepth) {
    const bool wL = hL >= minDepth, wR = hR >= minDepth;
    const double sL = std::sqrt(static_cast<double>(hL)), sR = std::sqrt(static_cast<double>(hR));
    const double c = roeCelerity(wL, wR, hL, hR, sL, sR);
    const double n = roeVelocity(wL, wR, sL, sR, nL, nR);
    if (k == 0) return static_cast<float>(n + c);
    if (k == 1) return static_cast<float>(n - c);
    return static_cast<float>(n);
}

}  // namespace littoral
