// The Roe averages of a flow face written case by case (by the face's wet/dry code, with
// branches), as a check of the branch-free kernels of flow/RoeAverages.h; and the Roe flux
// kernel of flow/RoeFlux.h face by face in the grids' component order (mass, X momentum,
// Y momentum), for the face-by-face reference loops of the tests.
//
//   code 0: both dry      -> c~ = h~ = q~ = 0
//   code 1: L dry, R wet  -> averages of R
//   code 2: L wet, R dry  -> averages of L
//   code 3: both wet      -> c~ = (hL hR)^(1/4), h~ = sqrt(hL hR),
//                            q~ = (sqrt hL qL + sqrt hR qR) / (sqrt hL + sqrt hR)
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "flow/RoeFlux.h"

namespace littoral::test {

inline int16_t wetDryCode(float a, float b, float minDepth) {
    const bool aw = a >= minDepth, bw = b >= minDepth;
    if (aw && bw) return 3;
    if (!aw && !bw) return 0;
    return aw ? 2 : 1;
}

inline float roeCel(float hL, float hR, float minDepth) {
    switch (wetDryCode(hL, hR, minDepth)) {
        case 0: return 0.0f;
        case 1: return static_cast<float>(std::sqrt(static_cast<double>(hR)));
        case 2: return static_cast<float>(std::sqrt(static_cast<double>(hL)));
        default: return static_cast<float>(std::sqrt(std::sqrt(static_cast<double>(hL) * hR)));
    }
}

inline float roeDepthOf(float hL, float hR, float minDepth) {
    switch (wetDryCode(hL, hR, minDepth)) {
        case 0: return 0.0f;
        case 1: return hR;
        case 2: return hL;
        default: return static_cast<float>(std::sqrt(static_cast<double>(hL) * hR));
    }
}

inline float roeVel(float hL, float hR, float qL, float qR, float minDepth) {
    switch (wetDryCode(hL, hR, minDepth)) {
        case 0: return 0.0f;
        case 1: return qR;
        case 2: return qL;
        default: {
            const double sL = std::sqrt(static_cast<double>(hL)), sR = std::sqrt(static_cast<double>(hR));
            return static_cast<float>((sL * qL + sR * qR) / (sL + sR));
        }
    }
}

// Speed of wave k of the face by its code: 0 n~ + c~, 1 n~ - c~, 2 n~.
inline float roeSpeedByCode(int k, float hL, float hR, float nL, float nR, float minDepth) {
    const double c = roeCel(hL, hR, minDepth);
    const double n = roeVel(hL, hR, nL, nR, minDepth);
    if (k == 0) return static_cast<float>(n + c);
    if (k == 1) return static_cast<float>(n - c);
    return static_cast<float>(n);
}

// (mass, normal, tangential) in the grids' order (mass, X momentum, Y momentum).
template <Along kDir>
std::array<float, 3> stored(const FaceFlux& f) {
    if constexpr (kDir == Along::X) return {f.mass, f.normal, f.tangential};
    else return {f.mass, f.tangential, f.normal};
}

inline double root(float h) { return std::sqrt(static_cast<double>(h)); }

// The face with sides L (hL, uL, vL) and R (hR, uR, vR), without bed term.
template <Along kDir>
RoeFace faceOf(float hL, float hR, float uL, float uR, float vL, float vR, float minDepth) {
    if constexpr (kDir == Along::X) return roeFace<kDir>(hL, hR, root(hL), root(hR), uL, uR, vL, vR, minDepth);
    else return roeFace<kDir>(hL, hR, root(hL), root(hR), vL, vR, uL, uR, minDepth);
}
template <Along kDir>
std::array<float, 3> roeFlux(float hL, float hR, float uL, float uR, float vL, float vR, float minDepth) {
    return stored<kDir>(faceOf<kDir>(hL, hR, uL, uR, vL, vR, minDepth).F);
}

// The face with the upwinded bed term (still depths dL, dR): what R takes and what L takes.
struct SideFluxes {
    std::array<float, 3> toR, toL;
};
template <Along kDir>
SideFluxes roeFluxWithBed(float hL, float hR, float dL, float dR, float uL, float uR, float vL, float vR,
                          float minDepth) {
    const FaceSides f = withBedTerm(faceOf<kDir>(hL, hR, uL, uR, vL, vR, minDepth), hL, hR, dL, dR);
    return {stored<kDir>(f.toR), stored<kDir>(f.toL)};
}

}  // namespace littoral::test
