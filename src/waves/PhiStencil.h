// Point kernels of the potential update.
//
// Time-dependent mild-slope equation for the potential phi with a current U = (curU, curV)
// and breaking damping gamma, multiplied by dt^2:
//
//   phi_tt + 2 U.grad(phi_t) + (div U) phi_t - div(C Cg grad phi) + (omega^2 - k^2 C Cg) phi = 0
//
// on the five-point stencil C, E (i+1), S (j-1), W (i-1), N (j+1). Predictor:
//
//   phiPred = (phiC A - phi'C + S_a + S_old + S_cur) / B,  A = 2 - (aE+aS+aW+aN) - b + gamma,
//   B = 1 + gamma,  S_a = sum a_X phi_X,  S_cur - S_old = sum p_X (phi_X - phi'_X)
//
// (phi = level n, phi' = level n-1); the corrector takes the convection terms as the centred
// difference (phi* - phi')/2 with phi* the predictor. A closed face copies the centre value
// into the neighbour (no flux of phi) and mirrors the normal current (zero face current).
//
// The kernels below take plain floats and are what the vectorised row loops of
// WavePhiStep.cpp inline, the closed-face rule, land and cc2 = 0 applied by the rows.
#pragma once

#include <cmath>
#include <cstdint>

#include "core/Model.h"
#include "core/RowClones.h"

namespace littoral {

// Closed-face bits of cellFlag (a boundary cell, 16 n, has none; 15 is land).
constexpr int32_t kClosedE = 1, kClosedN = 2, kClosedW = 4, kClosedS = 8, kLand = 15;

struct StencilCoefs { float aE, aS, aW, aN, b; };
struct CurrentCoefs { float pE, pS, pW, pN, pC; };
struct Phi5 { float C, E, S, W, N; };

// Mean C Cg of a face: (ccg(cell) + ccg(neighbour)) / 2.
inline float faceCcg(float ccgC, float ccgX) { return static_cast<float>(0.5 * (static_cast<double>(ccgC) + ccgX)); }

// a_X = face C Cg (dt/dx)^2, b = dt (dt omk).
inline StencilCoefs stencilValues(float ccgC, float ccgE, float ccgS, float ccgW, float ccgN, float omk,
                                  float rx, float ry, float dt) {
    StencilCoefs s;
    s.aE = static_cast<float>(static_cast<double>(faceCcg(ccgC, ccgE)) * rx * rx);
    s.aS = static_cast<float>(static_cast<double>(faceCcg(ccgC, ccgS)) * ry * ry);
    s.aW = static_cast<float>(static_cast<double>(faceCcg(ccgC, ccgW)) * rx * rx);
    s.aN = static_cast<float>(static_cast<double>(faceCcg(ccgC, ccgN)) * ry * ry);
    s.b = static_cast<float>(static_cast<double>(dt) * (static_cast<double>(dt) * omk));
    return s;
}

// Convection coefficients from the cell current (U, V) and the neighbour currents UE, UW,
// VN, VS (already mirrored at closed faces). Only pC, the divergence, uses face means.
inline CurrentCoefs currentValues(float U, float V, float UE, float UW, float VN, float VS, float rx, float ry) {
    const float uE = static_cast<float>(0.5 * (static_cast<double>(U) + UE));
    const float uW = static_cast<float>(0.5 * (static_cast<double>(U) + UW));
    const float vN = static_cast<float>(0.5 * (static_cast<double>(V) + VN));
    const float vS = static_cast<float>(0.5 * (static_cast<double>(V) + VS));
    CurrentCoefs p;
    p.pE = static_cast<float>(-static_cast<double>(U) * rx);
    p.pS = static_cast<float>(static_cast<double>(V) * ry);
    p.pW = static_cast<float>(static_cast<double>(U) * rx);
    p.pN = static_cast<float>(-static_cast<double>(V) * ry);
    p.pC = static_cast<float>(-(static_cast<double>(rx) * (static_cast<double>(uE) - uW)) -
                              static_cast<double>(ry) * (static_cast<double>(vN) - vS));
    return p;
}

// A = 2 - (aE + aS + aW + aN) - b + gamma.
inline float centreFactor(const StencilCoefs& a, float gam) {
    return static_cast<float>(2.0 - (static_cast<double>(a.aE) + a.aS + a.aW + a.aN) - a.b + gam);
}

// S_a = sum of a_X phi_X over the four neighbours.
inline float neighbourSum(const StencilCoefs& a, const Phi5& p) {
    return static_cast<float>(static_cast<double>(p.E) * a.aE + static_cast<double>(p.S) * a.aS +
                              static_cast<double>(p.W) * a.aW + static_cast<double>(p.N) * a.aN);
}

// sum p_X phi_X over the five points, in double precision.
inline double convectionSum(const CurrentCoefs& c, const Phi5& p) {
    return static_cast<double>(c.pS) * p.S + static_cast<double>(c.pE) * p.E + static_cast<double>(c.pW) * p.W +
           static_cast<double>(c.pN) * p.N + static_cast<double>(c.pC) * p.C;
}

// The predictor, with the backward difference phi - phi' in the convection terms:
//
//   phiPred = (C A - C' + S_a - sum p_X phi'_X + sum p_X phi_X) / B
//
// together with what the corrector of the same cell shares with it. The corrector takes the
// centred difference (phi* - phi')/2 instead; A, B, S_a and the convection sum of the old
// level are the same in both (same coefficients, same breaking excess), so it needs only
//
//   tc = C A - C' + S_a + (-sum p_X phi'_X / 2)     (double, summed in the corrector's order)
//
// and B from the predictor, and adds its own term of the predicted level.
struct PredictParts { float pred; double tc; float B; };

inline PredictParts predictParts(const StencilCoefs& a, const CurrentCoefs& c, const Phi5& cur, const Phi5& old,
                                 float gam) {
    const float A = centreFactor(a, gam);
    const float B = static_cast<float>(static_cast<double>(gam) + 1.0);
    const float Sa = neighbourSum(a, cur);
    const double cOld = convectionSum(c, old);
    const double t = static_cast<double>(cur.C) * A - old.C + Sa;
    PredictParts r;
    r.pred = static_cast<float>((t + static_cast<float>(-cOld) + static_cast<float>(convectionSum(c, cur))) / B);
    r.tc = t + static_cast<float>(-cOld / 2.0);
    r.B = B;
    return r;
}

// The corrector from the shared parts: (tc + sum p_X phi*_X / 2) / B.
inline float correctFromParts(double tc, float B, const CurrentCoefs& c, const Phi5& pred) {
    return static_cast<float>((tc + static_cast<float>(convectionSum(c, pred) / 2.0)) / B);
}

// dt / dx and dt / dy of the wave step.
inline float waveRx(const Model& m) { return static_cast<float>(static_cast<double>(m.waveDt) / m.dxW); }
inline float waveRy(const Model& m) { return static_cast<float>(static_cast<double>(m.waveDt) / m.dyW); }

// Breaking excess H/h - gamma of a cell (0 below the limit), with H = 2 |eta|.
inline float breakingExcess(float eta, float h, float gam) {
    const float r = static_cast<float>(2.0 * std::fabs(static_cast<double>(eta)) / h);
    const float excess = static_cast<float>(static_cast<double>(r) - gam);  // formed first: a select, no branch
    return pick(r > gam, excess, 0.0f);
}

}  // namespace littoral
