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

// Adds the step's kinematics s of a cell with breaking excess brk to its period sums:
// dissipation eta^2 brk dt / T, eta, eta^2, eta u, eta v, u, u^2, v, v^2, eta_t^2, eta_t, u v.
[[gnu::always_inline]] inline void addToPeriodSums(const SurfaceKinematics& s, float brk, float dt, float T,
                                                   float& sDiss, float& sEta, float& sEta2, float& sEtaU,
                                                   float& sEtaV, float& sU, float& sU2, float& sV, float& sV2,
                                                   float& sEtaT2, float& sEtaT, float& sUV) {
    const double e = s.eta, u = s.u, v = s.v, et = s.etat;
    sDiss = addTo(sDiss, e * brk * e * dt / T);
    sEta = addTo(sEta, e);
    sEta2 = addTo(sEta2, e * e);
    sEtaU = addTo(sEtaU, e * u);
    sEtaV = addTo(sEtaV, e * v);
    sU = addTo(sU, u);
    sU2 = addTo(sU2, u * u);
    sV = addTo(sV, v);
    sV2 = addTo(sV2, v * v);
    sEtaT2 = addTo(sEtaT2, et * et);
    sEtaT = addTo(sEtaT, et);
    sUV = addTo(sUV, u * v);
}

}  // namespace littoral
