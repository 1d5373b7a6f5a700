// Roe flux of a face of the two-dimensional shallow-water equations with wet/dry faces:
// the one point kernel of the flux, which the row loops of Fluxes.cpp inline for a row of
// faces at a time.
//
// Equations (non-dimensional, gravity 1), conserved U = (h, h u, h v), h total depth, d still
// depth (bed at -d):
//   h_t  + (h u)_x            + (h v)_y            = 0
//   hu_t + (h u^2 + h^2/2)_x  + (h u v)_y          = h d_x + S1
//   hv_t + (h u v)_x          + (h v^2 + h^2/2)_y  = h d_y + S2
//
// A face along X joins the cells (i, j) and (i+1, j), a face along Y the cells (i, j) and
// (i, j+1). L is the west (X) or south (Y) cell, R the east or north cell; the flux is
// positive towards R. n is the velocity normal to the face (u along X, v along Y), t the
// tangential one; the components are (mass, normal momentum, tangential momentum):
//   F(U) = (h n, h n^2 + h^2/2, h n t).
// The one difference between the directions is the order of the product h n t: (h n) t
// along X, (h t) n along Y, as the physical fluxes (h u v) of the two directions are written.
//
//   F = (F(L) + F(R)) / 2 - (|l2| a2 r2 + |l1| a1 r1 + |l3| a3 r3) / 2
//
// with the Roe averages of RoeAverages.h and the eigenvectors r1 = (1, l1, t~),
// r2 = (1, l2, t~), r3 = (0, 0, 1). Waves of a face:
//   wet face        : l = (n~ + c~, n~ - c~, n~), a1,2 = (c~ dn +/- dh) / 2, a3 = h~ dt
//   half-dry face   : the wave running onto the dry side moves at n~ -/+ 2 c~, divisor 3
//   dry face        : no waves
//
// The bed term (0, hbar (dR - dL), 0), hbar = (hL + hR) / 2, is split into strengths
// B = (hbar / c~) (dR - dL) / 2 on r1 and -B on r2 (none on a dry face) and upwinded: the R
// cell takes the waves that run towards it (l > 0), the L cell those that run towards it
// (l < 0); a wave with l = 0 goes to neither.
//
// Every value is single precision where it is stored (arguments, locals, results); each
// expression is evaluated in double and rounded once. The wet/dry cases are selected, not
// branched, so that a row of faces vectorises.
#pragma once

#include <cmath>
#include <cstdint>

#include "core/RowClones.h"
#include "flow/RoeAverages.h"

namespace littoral {

// The direction of a face: along X (normal u) or along Y (normal v).
enum class Along { X, Y };

// Mass, normal momentum and tangential momentum through a face.
struct FaceFlux {
    float mass, normal, tangential;
};

// The Roe flux of a face without bed term, with the face's c~, t~ and its waves.
struct RoeFace {
    FaceFlux F;
    float c, t;        // c~ and the tangential velocity t~
    float a1, a2, a3;  // wave strengths
    float l1, l2, l3;  // wave speeds
};

// Roe flux of the face with sides L (hL, its root sL, nL, tL) and R (hR, sR, nR, tR).
// kAnyFace false: only for faces wet on both sides or on neither (a face wet on one side
// only gets wrong wave strengths and must be formed with kAnyFace true); it saves the
// division of the half-dry case.
template <Along kDir, bool kAnyFace = true>
[[gnu::always_inline]] inline RoeFace roeFace(float hL, float hR, double sL, double sR, float nL, float nR, float tL,
                                              float tR, float minDepth) {
    using D = double;
    const bool wL = hL >= minDepth, wR = hR >= minDepth, both = wL & wR, wet = wL | wR;
    const float c = roeCelerity(wL, wR, hL, hR, sL, sR);
    const float hm = roeDepth(wL, wR, hL, hR);
    const float nm = roeVelocity(wL, wR, sL, sR, nL, nR);
    const float tm = roeVelocity(wL, wR, sL, sR, tL, tR);
    const float dh = static_cast<float>(static_cast<D>(hR) - hL);
    const float dn = static_cast<float>(static_cast<D>(nR) - nL);
    const float dt = static_cast<float>(static_cast<D>(tR) - tL);
    const D cd = c, hd = hm, n = nm;
    // The numerator of the face's case over its divisor: one division each, not one per case.
    float a1, a2;
    if constexpr (kAnyFace) {
        const D div = pickD(both, 2.0, 3.0);
        a1 = static_cast<float>(pickD(both | wL, cd * dn + dh, cd * dn + 2.0 * dh) / div);
        a2 = static_cast<float>(pickD(both | !wL, dh - cd * dn, 2.0 * dh - cd * dn) / div);
    } else {
        a1 = static_cast<float>((cd * dn + dh) / 2.0);
        a2 = static_cast<float>((dh - cd * dn) / 2.0);
    }
    const float l1 = pick(both | wR, static_cast<float>(n + cd), static_cast<float>(n + 2.0 * cd));
    const float l2 = pick(both | wL, static_cast<float>(n - cd), static_cast<float>(n - 2.0 * cd));
    RoeFace r;
    r.a1 = pick(wet, a1, 0.0f);
    r.a2 = pick(wet, a2, 0.0f);
    r.a3 = pick(wet, static_cast<float>(hd * dt), 0.0f);
    r.l1 = pick(wet, l1, 0.0f);
    r.l2 = pick(wet, l2, 0.0f);
    r.l3 = pick(wet, static_cast<float>(n), 0.0f);
    r.c = c;
    r.t = tm;
    // F(L) and F(R).
    const D hLd = hL, hRd = hR;
    const float pmL = static_cast<float>(hLd * nL), pmR = static_cast<float>(hRd * nR);
    const float pnL = static_cast<float>(hLd * nL * nL + hLd * hL / 2.0);
    const float pnR = static_cast<float>(hRd * nR * nR + hRd * hR / 2.0);
    const bool alongY = kDir == Along::Y;
    const float ptL = alongY ? static_cast<float>(hLd * tL * nL) : static_cast<float>(hLd * nL * tL);
    const float ptR = alongY ? static_cast<float>(hRd * tR * nR) : static_cast<float>(hRd * nR * tR);
    // The components of the eigenvectors: (1, 1, 0), (l1, l2, 0), (t~, t~, 1).
    const D g1 = std::fabs(static_cast<D>(r.l1)) * r.a1, g2 = std::fabs(static_cast<D>(r.l2)) * r.a2;
    const D g3 = std::fabs(static_cast<D>(r.l3)) * r.a3;
    auto combine = [&](float pL, float pR, float r1, float r2, float r3) {
        const D diss = g2 * r2 + g1 * r1 + g3 * r3;
        return static_cast<float>((static_cast<D>(pL) + pR) / 2.0 - diss / 2.0);
    };
    r.F.mass = combine(pmL, pmR, 1.0f, 1.0f, 0.0f);
    r.F.normal = combine(pnL, pnR, r.l1, r.l2, 0.0f);
    r.F.tangential = combine(ptL, ptR, tm, tm, 1.0f);
    return r;
}

// Component f of the flux plus the bed strengths b1, b2, b3 (component r1, r2, r3 of the
// eigenvectors) of the waves running towards R (l > 0).
[[gnu::always_inline]] inline float bedShareR(float f, const RoeFace& w, float b1, float b2, float b3, float r1,
                                              float r2, float r3) {
    double s = f;
    s = pickD(w.l1 > 0, s + static_cast<double>(b1) * r1, s);
    s = pickD(w.l2 > 0, s + static_cast<double>(b2) * r2, s);
    s = pickD(w.l3 > 0, s + static_cast<double>(b3) * r3, s);
    return static_cast<float>(s);
}

// Component f of the flux minus the bed strengths of the waves running towards L (l < 0).
[[gnu::always_inline]] inline float bedShareL(float f, const RoeFace& w, float b1, float b2, float b3, float r1,
                                              float r2, float r3) {
    double s = f;
    s = pickD(w.l1 < 0, s - static_cast<double>(b1) * r1, s);
    s = pickD(w.l2 < 0, s - static_cast<double>(b2) * r2, s);
    s = pickD(w.l3 < 0, s - static_cast<double>(b3) * r3, s);
    return static_cast<float>(s);
}

// What the two cells of a face take: toR the R cell, toL the L cell.
struct FaceSides {
    FaceFlux toR, toL;
};

// The Roe flux w of the face with sides L (depth hL, still depth dL) and R (hR, dR) with the
// upwinded bed term added; kForce: with the wave force of the face as well, the strength
// Bf of its term (0, Sf dx, 0) on r1 (and -Bf on r2) added to the bed's.
template <bool kForce = false>
[[gnu::always_inline]] inline FaceSides withBedTerm(const RoeFace& w, float hL, float hR, float dL, float dR,
                                                    float Bf = 0.0f) {
    using D = double;
    // B = (hbar / c~) (dR - dL) / 2 on r1, -B on r2, none on r3; none on a dry face (c~ = 0).
    const float hbar = static_cast<float>((static_cast<D>(hL) + hR) / 2.0);
    const float Bbed = static_cast<float>(static_cast<D>(hbar) / w.c * (static_cast<D>(dR) - dL) / 2.0);
    const float B = kForce ? static_cast<float>(static_cast<D>(Bbed) + Bf) : Bbed;
    const bool dry = w.c == 0.0f;
    const float b1 = pick(dry, 0.0f, B), b2 = pick(dry, 0.0f, -B), b3 = 0.0f;
    FaceSides r;
    r.toR.mass = bedShareR(w.F.mass, w, b1, b2, b3, 1.0f, 1.0f, 0.0f);
    r.toR.normal = bedShareR(w.F.normal, w, b1, b2, b3, w.l1, w.l2, 0.0f);
    r.toR.tangential = bedShareR(w.F.tangential, w, b1, b2, b3, w.t, w.t, 1.0f);
    r.toL.mass = bedShareL(w.F.mass, w, b1, b2, b3, 1.0f, 1.0f, 0.0f);
    r.toL.normal = bedShareL(w.F.normal, w, b1, b2, b3, w.l1, w.l2, 0.0f);
    r.toL.tangential = bedShareL(w.F.tangential, w, b1, b2, b3, w.t, w.t, 1.0f);
    return r;
}

// The flux a side (depth h, normal velocity n, tangential t) takes at a wall, the face
// between it and its own mirror image (h, -n, t): for the L side the mirror stands as R,
// for the R side as L. No bed term.
template <Along kDir>
inline FaceFlux wallFluxOfL(float h, float n, float t, float minDepth) {
    const double s = std::sqrt(static_cast<double>(h));
    return roeFace<kDir>(h, h, s, s, n, -n, t, t, minDepth).F;
}
template <Along kDir>
inline FaceFlux wallFluxOfR(float h, float n, float t, float minDepth) {
    const double s = std::sqrt(static_cast<double>(h));
    return roeFace<kDir>(h, h, s, s, -n, n, t, t, minDepth).F;
}

}  // namespace littoral
