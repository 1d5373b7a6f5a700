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
// The value kernels below take plain floats and are what the vectorised row loops of
// WavePhiStep.cpp inline; the (Model, i, j) kernels are the cell-by-cell form with the
// closed-face rule and the cc2 = 0 rule written out.
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

// Predictor: backward difference phi - phi' in the convection terms.
inline float predictValue(const StencilCoefs& a, const CurrentCoefs& c, const Phi5& cur, const Phi5& old, float gam) {
    const float A = centreFactor(a, gam);
    const float B = static_cast<float>(static_cast<double>(gam) + 1.0);
    const float Sa = neighbourSum(a, cur);
    const float Sold = static_cast<float>(-convectionSum(c, old));
    const float Scur = static_cast<float>(convectionSum(c, cur));
    return static_cast<float>((static_cast<double>(cur.C) * A - old.C + Sa + Sold + Scur) / B);
}

// Corrector: centred difference (phi* - phi')/2 in the convection terms.
inline float correctValue(const StencilCoefs& a, const CurrentCoefs& c, const Phi5& cur, const Phi5& old,
                          const Phi5& pred, float gam) {
    const float A = centreFactor(a, gam);
    const float B = static_cast<float>(static_cast<double>(gam) + 1.0);
    const float Sa = neighbourSum(a, cur);
    const float Sold = static_cast<float>(-convectionSum(c, old) / 2.0);
    const float Spred = static_cast<float>(convectionSum(c, pred) / 2.0);
    return static_cast<float>((static_cast<double>(cur.C) * A - old.C + Sa + Sold + Spred) / B);
}

// The predictor together with what the corrector of the same cell shares with it. A, B,
// S_a and the convection sum of the old level are the same in both (same coefficients,
// same breaking excess), so the corrector needs only
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

// correctValue from the shared parts: (tc + sum p_X phi*_X / 2) / B.
inline float correctFromParts(double tc, float B, const CurrentCoefs& c, const Phi5& pred) {
    return static_cast<float>((tc + static_cast<float>(convectionSum(c, pred) / 2.0)) / B);
}

// ---- the cell-by-cell form on the model ----

inline float waveRx(const Model& m) { return static_cast<float>(static_cast<double>(m.waveDt) / m.dxW); }
inline float waveRy(const Model& m) { return static_cast<float>(static_cast<double>(m.waveDt) / m.dyW); }

inline StencilCoefs stencilCoefs(const Model& m, int32_t i, int32_t j) {
    const Grid& g = m.ccg;
    return stencilValues(g(i, j), g(i + 1, j), g(i, j - 1), g(i - 1, j), g(i, j + 1), m.omk(i, j), waveRx(m),
                         waveRy(m), m.waveDt);
}

inline CurrentCoefs currentCoefs(const Model& m, int32_t i, int32_t j) {
    const int32_t f = m.cellFlag(i, j);
    const float U = m.curU(i, j), V = m.curV(i, j);
    const float UE = (f & kClosedE) ? -U : m.curU(i + 1, j);
    const float VN = (f & kClosedN) ? -V : m.curV(i, j + 1);
    const float UW = (f & kClosedW) ? -U : m.curU(i - 1, j);
    const float VS = (f & kClosedS) ? -V : m.curV(i, j - 1);
    return currentValues(U, V, UE, UW, VN, VS, waveRx(m), waveRy(m));
}

// Five-point neighbourhood of one potential level; a closed face repeats the centre.
inline Phi5 gatherPhi(const Model& m, const Grid& x, int32_t i, int32_t j) {
    const int32_t f = m.cellFlag(i, j);
    Phi5 p{x(i, j), x(i + 1, j), x(i, j - 1), x(i - 1, j), x(i, j + 1)};
    if (f & kClosedE) p.E = p.C;
    if (f & kClosedN) p.N = p.C;
    if (f & kClosedW) p.W = p.C;
    if (f & kClosedS) p.S = p.C;
    return p;
}

inline void updatePhiPredict(Model& m, int32_t i, int32_t j) {
    if (m.cc2(i, j) == 0.0f) { m.phiPred(i, j) = m.phiCur(i, j); return; }
    m.phiPred(i, j) = predictValue(stencilCoefs(m, i, j), currentCoefs(m, i, j), gatherPhi(m, m.phiCur, i, j),
                                   gatherPhi(m, m.phiOld, i, j), m.brkEx(i, j));
}

inline void updatePhiCorrect(Model& m, int32_t i, int32_t j) {
    if (m.cc2(i, j) == 0.0f) { m.phiNew(i, j) = m.phiPred(i, j); return; }
    m.phiNew(i, j) = correctValue(stencilCoefs(m, i, j), currentCoefs(m, i, j), gatherPhi(m, m.phiCur, i, j),
                                  gatherPhi(m, m.phiOld, i, j), gatherPhi(m, m.phiPred, i, j), m.brkEx(i, j));
}

// Breaking excess H/h - gamma of a cell (0 below the limit), with H = 2 |eta|.
inline float breakingExcess(float eta, float h, float gam) {
    const float r = static_cast<float>(2.0 * std::fabs(static_cast<double>(eta)) / h);
    const float excess = static_cast<float>(static_cast<double>(r) - gam);  // formed first: a select, no branch
    return pick(r > gam, excess, 0.0f);
}

}  // namespace littoral
