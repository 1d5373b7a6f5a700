// Cell update of one flow step (updateCells) and the time-level advance (advanceFlowState).
//
// Forward Euler on the conserved variables U = (h, h u, h v) of every interior cell:
//   U_new = U - dtdx (fluxXW(i, j) - fluxXE(i-1, j)) - dtdy (fluxYS(i, j) - fluxYN(i, j-1))
//           + dtS srcS(i, j)
// i.e. the cell takes the west-side flux of its east face and the east-side flux of its west
// face (likewise north/south), which carry its own share of the bed-slope term.
// A cell whose four neighbours and itself are below minDepth, and a land cell (cellFlag 15),
// is set dry at the tide level. A new depth at or below zero makes the cell dry. Where the new
// unit discharge q would be supercritical (h <= q^(2/3), gravity 1) the depth is raised to the
// critical depth, which adds water but keeps the Froude number at 1; the level keeps the depth
// before that raise.
// advanceFlowState makes the new level current over the whole grid and publishes the mean
// water level and the current in metres and metres per second.
#include <algorithm>
#include <cmath>

#include "app/MainLoop.h"
#include "flow/Flow.h"
#include "flow/RoeAverages.h"

namespace littoral {

void updateCells(Model& m, RunHost& host) {
    const float md = m.minDepth;
    const double dtS = m.dtS, dtdx = m.dtdx, dtdy = m.dtdy;
    const float etaDry = static_cast<float>(static_cast<double>(m.tideLevel) / m.lenScale);
    // Every cell depends only on the current level and the fluxes, so the cells are taken
    // row by row along X, the order in which the arrays lie in memory (three times faster
    // than along Y on large grids).
    for (int32_t j = m.jyStart; j <= m.jyEnd; ++j) {
        host.pumpEvents();  // once per row: the inner loop stays free of calls out
        for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) {
            const float h0 = m.hTot(i, j);
            const float hW = m.hTot(i - 1, j), hE = m.hTot(i + 1, j);
            const float hS = m.hTot(i, j - 1), hN = m.hTot(i, j + 1);
            const bool dryAround = wetDryCode(hW, h0, md) == 0 && wetDryCode(h0, hE, md) == 0 &&
                                   wetDryCode(hS, h0, md) == 0 && wetDryCode(h0, hN, md) == 0;
            if (dryAround || m.cellFlag(i, j) == 15) {
                m.hTotNew(i, j) = 0.0f;
                m.uSNew(i, j) = 0.0f;
                m.vSNew(i, j) = 0.0f;
                m.celSNew(i, j) = 0.0f;
                m.etaSNew(i, j) = etaDry;
                continue;
            }
            float X[3], Y[3];
            for (int k = 0; k < 3; ++k) {
                X[k] = static_cast<float>((static_cast<double>(m.fluxXW(k, i, j)) - m.fluxXE(k, i - 1, j)) * dtdx);
                Y[k] = static_cast<float>((static_cast<double>(m.fluxYS(k, i, j)) - m.fluxYN(k, i, j - 1)) * dtdy);
            }
            // Mass.
            float hNew = static_cast<float>(dtS * m.srcS(0, i, j) + ((static_cast<double>(h0) - X[0]) - Y[0]));
            if (hNew > 0) {
                m.celSNew(i, j) = static_cast<float>(std::sqrt(static_cast<double>(hNew)));
                m.etaSNew(i, j) = static_cast<float>(static_cast<double>(hNew) - depthRatio(m, i, j));
            } else {
                hNew = 0.0f;
                m.celSNew(i, j) = 0.0f;
                m.etaSNew(i, j) = etaDry;
            }
            // Momentum, from the old depth and the current velocities.
            const float qx = static_cast<float>(static_cast<double>(h0) * m.uS(i, j) - X[1] - Y[1] + dtS * m.srcS(1, i, j));
            const float qy = static_cast<float>(static_cast<double>(h0) * m.vS(i, j) - X[2] - Y[2] + dtS * m.srcS(2, i, j));
            // Critical depth of the new unit discharge (gravity 1), hc = (q^2)^(1/3). The power
            // is needed only near the limit: where h^3 exceeds q^2 by far more than the
            // rounding of hc, h > hc holds without it.
            const double q2 = static_cast<double>(qx) * qx + static_cast<double>(qy) * qy;
            const double h3 = static_cast<double>(hNew) * hNew * hNew;
            const bool clearlySub = h3 > q2 * 1.0001;
            const float hc = clearlySub ? 0.0f : static_cast<float>(std::pow(q2, 1.0 / 3.0));
            if (clearlySub || hNew > hc || hNew > 0) {
                if (!clearlySub && !(hNew > hc)) hNew = hc;
                m.uSNew(i, j) = static_cast<float>(static_cast<double>(qx) / hNew);
                m.vSNew(i, j) = static_cast<float>(static_cast<double>(qy) / hNew);
            } else {
                m.uSNew(i, j) = 0.0f;
                m.vSNew(i, j) = 0.0f;
            }
            m.hTotNew(i, j) = hNew;
        }
    }
}

namespace {
// to[k] = scale * from[k], rounded to single precision.
void scaled(float* __restrict to, const float* __restrict from, double scale, size_t n) {
    for (size_t k = 0; k < n; ++k) to[k] = static_cast<float>(scale * from[k]);
}
}  // namespace

void advanceFlowState(Model& m) {
    // Element by element over the whole grid, ghost ring included; every grid shares one
    // layout, so the flat arrays are copied and scaled whole.
    const size_t n = m.hTot.size();
    std::copy_n(m.etaSNew.data(), n, m.etaS.data());
    std::copy_n(m.hTotNew.data(), n, m.hTot.data());
    std::copy_n(m.uSNew.data(), n, m.uS.data());
    std::copy_n(m.vSNew.data(), n, m.vS.data());
    std::copy_n(m.celSNew.data(), n, m.celS.data());
    scaled(m.setup.data(), m.etaS.data(), m.lenScale, n);
    scaled(m.curU.data(), m.uS.data(), m.velScale, n);
    scaled(m.curV.data(), m.vS.data(), m.velScale, n);
}

}  // namespace littoral
