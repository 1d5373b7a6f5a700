// Roe fluxes of the two-dimensional shallow-water equations with wet/dry faces.
//
// Equations (non-dimensional, gravity 1), U = (h, h u, h v), h total depth, d still depth
// (bed at -d):
//   h_t  + (h u)_x            + (h v)_y            = 0
//   hu_t + (h u^2 + h^2/2)_x  + (h u v)_y          = h d_x + S1
//   hv_t + (h u v)_x          + (h v^2 + h^2/2)_y  = h d_y + S2
//
// Face convention: L is the west (X face) or south (Y face) cell, R the east or north cell;
// a face is stored at the index (i, j) of its L cell. n is the velocity normal to the face
// (u on X faces, v on Y faces), t the tangential one. The flux F is positive towards R.
//
// Waves of a face (by the wet/dry code of RoeAverages.h):
//   wet face        : lambda = (n~ + c~, n~ - c~, n~), strengths with divisor 2
//   half-dry face   : the wave running into the dry side moves at n~ -/+ 2 c~, divisor 3
//   dry face        : no waves
// Eigenvectors, X face: r1 = (1, l1, v~), r2 = (1, l2, v~), r3 = (0, 0, 1); the Y face swaps
// the two momentum components.
//
// The bed term (0, hbar (dR - dL), 0) of a face is split into strengths beta on r1, r2, r3 and
// upwinded: the R cell takes the waves that run towards it (lambda > 0), the L cell those that
// run towards it (lambda < 0). So fluxXE (taken by R) and fluxXW (taken by L) differ only by
// that share.
//
// Every value is single precision where it is stored (arguments, locals, results); each
// expression is evaluated in double and rounded once.
#pragma once

#include <cmath>
#include <cstdint>

#include "core/Grid.h"
#include "flow/RoeAverages.h"

namespace littoral {

// The wet/dry code of a face and its Roe averages c~, h~, n~ (normal velocity) and t~
// (tangential velocity), computed once: the same values, bit for bit, as wetDryCode,
// roeCel, roeDepth and roeVel of RoeAverages.h.
struct FaceAverages {
    int16_t code;
    float c, h, n, t;
};

inline FaceAverages faceAverages(float hL, float hR, float nL, float nR, float tL, float tR, float minDepth) {
    const int16_t code = wetDryCode(hL, hR, minDepth);
    switch (code) {
        case 0:
            return {0, 0.0f, 0.0f, 0.0f, 0.0f};
        case 1:
            return {1, static_cast<float>(std::sqrt(static_cast<double>(hR))), hR, nR, tR};
        case 2:
            return {2, static_cast<float>(std::sqrt(static_cast<double>(hL))), hL, nL, tL};
        default: {
            const double p = static_cast<double>(hL) * hR;
            const double sL = std::sqrt(static_cast<double>(hL)), sR = std::sqrt(static_cast<double>(hR));
            return {3, static_cast<float>(std::sqrt(std::sqrt(p))), static_cast<float>(std::sqrt(p)),
                    static_cast<float>((sL * nL + sR * nR) / (sL + sR)),
                    static_cast<float>((sL * tL + sR * tR) / (sL + sR))};
        }
    }
}

// Wave strengths a1..a3 and speeds l1..l3 of a face.
struct RoeWaveSet {
    float a1, a2, a3, l1, l2, l3;
};

// Component k of the three eigenvectors r1, r2, r3.
struct RoeVectorRow {
    float r1, r2, r3;
};

// Three components of a face flux: mass, X momentum, Y momentum.
struct Flux3 {
    float f[3];
};

// Strengths and speeds from the face averages (see roeWaves).
inline RoeWaveSet roeWavesOf(const FaceAverages& a, float hL, float hR, float nL, float nR, float tL, float tR) {
    const float dh = static_cast<float>(static_cast<double>(hR) - hL);
    const float dn = static_cast<float>(static_cast<double>(nR) - nL);
    const float dt = static_cast<float>(static_cast<double>(tR) - tL);
    const double c = a.c, hm = a.h, n = a.n;
    RoeWaveSet w{};
    switch (a.code) {
        case 0:
            w = {0, 0, 0, 0, 0, 0};
            break;
        case 1:  // L dry: the left-going wave runs onto the dry bed
            w.a1 = static_cast<float>((c * dn + 2.0 * dh) / 3.0);
            w.a2 = static_cast<float>((dh - c * dn) / 3.0);
            w.a3 = static_cast<float>(hm * dt);
            w.l1 = static_cast<float>(n + c);
            w.l2 = static_cast<float>(n - 2.0 * c);
            w.l3 = static_cast<float>(n);
            break;
        case 2:  // R dry: the right-going wave runs onto the dry bed
            w.a1 = static_cast<float>((c * dn + dh) / 3.0);
            w.a2 = static_cast<float>((2.0 * dh - c * dn) / 3.0);
            w.a3 = static_cast<float>(hm * dt);
            w.l1 = static_cast<float>(n + 2.0 * c);
            w.l2 = static_cast<float>(n - c);
            w.l3 = static_cast<float>(n);
            break;
        default:  // both wet
            w.a1 = static_cast<float>((c * dn + dh) / 2.0);
            w.a2 = static_cast<float>((dh - c * dn) / 2.0);
            w.a3 = static_cast<float>(hm * dt);
            w.l1 = static_cast<float>(n + c);
            w.l2 = static_cast<float>(n - c);
            w.l3 = static_cast<float>(n);
            break;
    }
    return w;
}

// Wave strengths and speeds of a face with normal velocities nL, nR and tangential tL, tR.
inline RoeWaveSet roeWaves(float hL, float hR, float nL, float nR, float tL, float tR, float minDepth) {
    return roeWavesOf(faceAverages(hL, hR, nL, nR, tL, tR, minDepth), hL, hR, nL, nR, tL, tR);
}

// X face: r1 = (1, l1, v~), r2 = (1, l2, v~), r3 = (0, 0, 1), v~ the Roe average of v.
inline RoeVectorRow roeVectorX(int k, float hL, float hR, float vL, float vR, float l1, float l2, float minDepth) {
    if (k == 0) return {1.0f, 1.0f, 0.0f};
    if (k == 1) return {l1, l2, 0.0f};
    const float vm = roeVel(hL, hR, vL, vR, minDepth);
    return {vm, vm, 1.0f};
}

// Y face: r1 = (1, u~, l1), r2 = (1, u~, l2), r3 = (0, 1, 0), u~ the Roe average of u.
inline RoeVectorRow roeVectorY(int k, float hL, float hR, float uL, float uR, float l1, float l2, float minDepth) {
    if (k == 0) return {1.0f, 1.0f, 0.0f};
    if (k == 2) return {l1, l2, 0.0f};
    const float um = roeVel(hL, hR, uL, uR, minDepth);
    return {um, um, 1.0f};
}

// Physical X flux: (h u, h u u + h h / 2, h u v).
inline float physFluxX(int k, float h, float u, float v) {
    const double hd = h;
    if (k == 0) return static_cast<float>(hd * u);
    if (k == 1) return static_cast<float>(hd * u * u + hd * h / 2.0);
    return static_cast<float>(hd * u * v);
}

// Physical Y flux: (h v, h u v, h v v + h h / 2).
inline float physFluxY(int k, float h, float u, float v) {
    const double hd = h;
    if (k == 0) return static_cast<float>(hd * v);
    if (k == 1) return static_cast<float>(hd * u * v);
    return static_cast<float>(hd * v * v + hd * h / 2.0);
}

// Strength of wave k of the bed term (0, hbar (dR - dL), 0): B on r1, -B on r2, 0 on r3, with
// B = (hbar / c~) (dR - dL) / 2. Zero on a dry face.
inline float bedStrengthOf(int k, float c, float hL, float hR, float dR, float dL) {
    if (c == 0.0f) return 0.0f;
    const float hbar = static_cast<float>((static_cast<double>(hL) + hR) / 2.0);
    const float b = static_cast<float>(static_cast<double>(hbar) / c * (static_cast<double>(dR) - dL) / 2.0);
    if (k == 0) return b;
    if (k == 1) return -b;
    return 0.0f;
}

inline float bedStrength(int k, float hL, float hR, float dR, float dL, float minDepth) {
    return bedStrengthOf(k, roeCel(hL, hR, minDepth), hL, hR, dR, dL);
}

namespace detail {

// F_k = (P_k(L) + P_k(R)) / 2 - (|l2| a2 r2 + |l1| a1 r1 + |l3| a3 r3) / 2.
inline float roeCombine(float pL, float pR, const RoeWaveSet& w, const RoeVectorRow& r) {
    const double diss = std::fabs(static_cast<double>(w.l2)) * w.a2 * r.r2 +
                        std::fabs(static_cast<double>(w.l1)) * w.a1 * r.r1 +
                        std::fabs(static_cast<double>(w.l3)) * w.a3 * r.r3;
    return static_cast<float>((static_cast<double>(pL) + pR) / 2.0 - diss / 2.0);
}

// Upwinded share of the bed term for the R side (+, waves with l > 0) or the L side
// (-, waves with l < 0). A wave with l = 0 goes to neither side.
inline float bedShareR(float f, const RoeWaveSet& w, float b1, float b2, float b3, const RoeVectorRow& r) {
    double s = f;
    if (w.l1 > 0) s += static_cast<double>(b1) * r.r1;
    if (w.l2 > 0) s += static_cast<double>(b2) * r.r2;
    if (w.l3 > 0) s += static_cast<double>(b3) * r.r3;
    return static_cast<float>(s);
}
inline float bedShareL(float f, const RoeWaveSet& w, float b1, float b2, float b3, const RoeVectorRow& r) {
    double s = f;
    if (w.l1 < 0) s -= static_cast<double>(b1) * r.r1;
    if (w.l2 < 0) s -= static_cast<double>(b2) * r.r2;
    if (w.l3 < 0) s -= static_cast<double>(b3) * r.r3;
    return static_cast<float>(s);
}

}  // namespace detail

// Roe flux of an X face without bed term; also gives the averages and the waves. The
// eigenvector rows are those of roeVectorX with v~ = a.t.
inline Flux3 roeFaceFluxX(float hL, float hR, float uL, float uR, float vL, float vR, float minDepth,
                          FaceAverages& a, RoeWaveSet& w) {
    a = faceAverages(hL, hR, uL, uR, vL, vR, minDepth);
    w = roeWavesOf(a, hL, hR, uL, uR, vL, vR);
    Flux3 F;
    F.f[0] = detail::roeCombine(physFluxX(0, hL, uL, vL), physFluxX(0, hR, uR, vR), w, {1.0f, 1.0f, 0.0f});
    F.f[1] = detail::roeCombine(physFluxX(1, hL, uL, vL), physFluxX(1, hR, uR, vR), w, {w.l1, w.l2, 0.0f});
    F.f[2] = detail::roeCombine(physFluxX(2, hL, uL, vL), physFluxX(2, hR, uR, vR), w, {a.t, a.t, 1.0f});
    return F;
}

// Roe flux of a Y face without bed term (eigenvector rows of roeVectorY, u~ = a.t).
inline Flux3 roeFaceFluxY(float hL, float hR, float uL, float uR, float vL, float vR, float minDepth,
                          FaceAverages& a, RoeWaveSet& w) {
    a = faceAverages(hL, hR, vL, vR, uL, uR, minDepth);
    w = roeWavesOf(a, hL, hR, vL, vR, uL, uR);
    Flux3 F;
    F.f[0] = detail::roeCombine(physFluxY(0, hL, uL, vL), physFluxY(0, hR, uR, vR), w, {1.0f, 1.0f, 0.0f});
    F.f[1] = detail::roeCombine(physFluxY(1, hL, uL, vL), physFluxY(1, hR, uR, vR), w, {a.t, a.t, 1.0f});
    F.f[2] = detail::roeCombine(physFluxY(2, hL, uL, vL), physFluxY(2, hR, uR, vR), w, {w.l1, w.l2, 0.0f});
    return F;
}

// Roe flux of the X face (i, j)-(i+1, j) without bed term, written to target(., i, j).
inline void roeFluxX(int32_t i, int32_t j, float hL, float hR, float uL, float uR, float vL, float vR,
                     FaceGrid& target, float minDepth) {
    FaceAverages a;
    RoeWaveSet w;
    const Flux3 F = roeFaceFluxX(hL, hR, uL, uR, vL, vR, minDepth, a, w);
    for (int k = 0; k < 3; ++k) target(k, i, j) = F.f[k];
}

// Roe flux of the Y face (i, j)-(i, j+1) without bed term, written to target(., i, j).
inline void roeFluxY(int32_t i, int32_t j, float hL, float hR, float uL, float uR, float vL, float vR,
                     FaceGrid& target, float minDepth) {
    FaceAverages a;
    RoeWaveSet w;
    const Flux3 F = roeFaceFluxY(hL, hR, uL, uR, vL, vR, minDepth, a, w);
    for (int k = 0; k < 3; ++k) target(k, i, j) = F.f[k];
}

// Roe flux of the X face with the upwinded bed term: fluxXE is what the east cell (R) takes,
// fluxXW what the west cell (L) takes.
inline void roeFluxBedX(int32_t i, int32_t j, float hL, float hR, float dL, float dR, float uL, float uR,
                        float vL, float vR, FaceGrid& fluxXE, FaceGrid& fluxXW, float minDepth) {
    FaceAverages a;
    RoeWaveSet w;
    const Flux3 F = roeFaceFluxX(hL, hR, uL, uR, vL, vR, minDepth, a, w);
    const float b1 = bedStrengthOf(0, a.c, hL, hR, dR, dL);
    const float b2 = bedStrengthOf(1, a.c, hL, hR, dR, dL);
    const float b3 = bedStrengthOf(2, a.c, hL, hR, dR, dL);
    const RoeVectorRow r[3] = {{1.0f, 1.0f, 0.0f}, {w.l1, w.l2, 0.0f}, {a.t, a.t, 1.0f}};
    for (int k = 0; k < 3; ++k) {
        fluxXE(k, i, j) = detail::bedShareR(F.f[k], w, b1, b2, b3, r[k]);
        fluxXW(k, i, j) = detail::bedShareL(F.f[k], w, b1, b2, b3, r[k]);
    }
}

// Roe flux of the Y face with the upwinded bed term: fluxYN for the north cell (R), fluxYS
// for the south cell (L).
inline void roeFluxBedY(int32_t i, int32_t j, float hL, float hR, float dL, float dR, float uL, float uR,
                        float vL, float vR, FaceGrid& fluxYN, FaceGrid& fluxYS, float minDepth) {
    FaceAverages a;
    RoeWaveSet w;
    const Flux3 F = roeFaceFluxY(hL, hR, uL, uR, vL, vR, minDepth, a, w);
    const float b1 = bedStrengthOf(0, a.c, hL, hR, dR, dL);
    const float b2 = bedStrengthOf(1, a.c, hL, hR, dR, dL);
    const float b3 = bedStrengthOf(2, a.c, hL, hR, dR, dL);
    const RoeVectorRow r[3] = {{1.0f, 1.0f, 0.0f}, {a.t, a.t, 1.0f}, {w.l1, w.l2, 0.0f}};
    for (int k = 0; k < 3; ++k) {
        fluxYN(k, i, j) = detail::bedShareR(F.f[k], w, b1, b2, b3, r[k]);
        fluxYS(k, i, j) = detail::bedShareL(F.f[k], w, b1, b2, b3, r[k]);
    }
}

}  // namespace littoral
