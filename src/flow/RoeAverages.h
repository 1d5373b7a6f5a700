// Wet/dry code of a flow face and its Roe averages (non-dimensional, gravity 1).
//
// Face notation: L is the west (or south) side, R the east (or north) side; hL, hR the
// total depths, nL, nR the velocities normal to the face. A side is wet when its depth is
// at least minDepth.
//
//   code 0: both dry      -> c~ = h~ = q~ = 0
//   code 1: L dry, R wet  -> averages of R
//   code 2: L wet, R dry  -> averages of L
//   code 3: both wet      -> c~ = (hL hR)^(1/4), h~ = sqrt(hL hR),
//                            q~ = (sqrt hL qL + sqrt hR qR) / (sqrt hL + sqrt hR)
#pragma once

#include <cmath>
#include <cstdint>

namespace littoral {

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

inline float roeDepth(float hL, float hR, float minDepth) {
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

// Speed of wave k of the face: 0 right-going n~ + c~, 1 left-going n~ - c~, 2 shear n~.
inline float roeSpeed(int k, float hL, float hR, float nL, float nR, float minDepth) {
    const double c = roeCel(hL, hR, minDepth);
    const double n = roeVel(hL, hR, nL, nR, minDepth);
    if (k == 0) return static_cast<float>(n + c);
    if (k == 1) return static_cast<float>(n - c);
    return static_cast<float>(n);
}

}  // namespace littoral
