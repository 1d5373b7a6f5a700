// Per-step surface kinematics of a cell and their period sums.
//
//   u = dphi/dx, v = dphi/dy          centred on phiCur (one-sided at a closed face, divisor 2 dx kept)
//   eta = -(phi^(n+1) - phi^(n-1)) / (2 g dt)          (eta = -phi_t / g)
//   eta_t = -(phi^(n-1) - 2 phi^n + phi^(n+1)) / (g dt^2)
//
// The sums (sumEta, etarms = sum eta^2, sumEtaU, ...) are turned into period means by
// waveStress at the end of the period.
#pragma once

#include <cstdint>

#include "core/Model.h"
#include "waves/PhiStencil.h"

namespace littoral {

struct SurfaceKinematics { float u, v, eta, etat; };

inline SurfaceKinematics surfaceValues(float pcE, float pcW, float pcN, float pcS, float pOld, float pCur,
                                       float pNew, float dxW, float dyW, float dt) {
    SurfaceKinematics s;
    s.u = static_cast<float>((static_cast<double>(pcE) - pcW) / 2.0 / dxW);
    s.v = static_cast<float>((static_cast<double>(pcN) - pcS) / 2.0 / dyW);
    s.eta = static_cast<float>(-(static_cast<double>(pNew) - pOld) / 2.0 / (static_cast<double>(dt) * 9.81));
    s.etat = static_cast<float>(-(static_cast<double>(pOld) + (static_cast<double>(pNew) - 2.0 * pCur)) /
                                (static_cast<double>(dt) * 9.81 * dt));
    return s;
}

// sum += x, rounded to single precision.
inline float addTo(float sum, double x) { return static_cast<float>(static_cast<double>(sum) + x); }

// Sets eta, uOrb, vOrb of the cell and adds the step to the period sums.
inline void accumWaveStats(Model& m, int32_t i, int32_t j) {
    const int32_t f = m.cellFlag(i, j);
    const int32_t ip = (f & kClosedE) ? i : i + 1, jp = (f & kClosedN) ? j : j + 1;
    const int32_t im = (f & kClosedW) ? i : i - 1, jm = (f & kClosedS) ? j : j - 1;
    const SurfaceKinematics s = surfaceValues(m.phiCur(ip, j), m.phiCur(im, j), m.phiCur(i, jp), m.phiCur(i, jm),
                                              m.phiOld(i, j), m.phiCur(i, j), m.phiNew(i, j), m.dxW, m.dyW, m.waveDt);
    const double e = s.eta, u = s.u, v = s.v, et = s.etat;
    m.uOrb(i, j) = s.u;
    m.vOrb(i, j) = s.v;
    m.eta(i, j) = s.eta;
    m.sumDiss(i, j) = addTo(m.sumDiss(i, j), e * m.brkEx(i, j) * e * m.waveDt / m.waveT0);
    m.sumEta(i, j) = addTo(m.sumEta(i, j), e);
    m.etarms(i, j) = addTo(m.etarms(i, j), e * e);
    m.sumEtaU(i, j) = addTo(m.sumEtaU(i, j), e * u);
    m.sumEtaV(i, j) = addTo(m.sumEtaV(i, j), e * v);
    m.sumU(i, j) = addTo(m.sumU(i, j), u);
    m.sumU2(i, j) = addTo(m.sumU2(i, j), u * u);
    m.sumV(i, j) = addTo(m.sumV(i, j), v);
    m.sumV2(i, j) = addTo(m.sumV2(i, j), v * v);
    m.sumEtaT2(i, j) = addTo(m.sumEtaT2(i, j), et * et);
    m.sumEtaT(i, j) = addTo(m.sumEtaT(i, j), et);
    m.sumUV(i, j) = addTo(m.sumUV(i, j), u * v);
}

}  // namespace littoral
