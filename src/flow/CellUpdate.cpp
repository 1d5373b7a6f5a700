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
#include <cmath>

#include "app/MainLoop.h"
#include "flow/Flow.h"
#include "flow/RoeAverages.h"

namespace littoral {

void updateCells(Model& m, RunHost& host) {
    const float md = m.minDepth;
    const double dtS = m.dtS, dtdx = m.dtdx, dtdy = m.dtdy;
    const float etaDry = static_cast<float>(static_cast<double>(m.tideLevel) / m.lenScale);
    for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) {
        host.pumpEvents();  // once per row: the inner loop stays free of calls out
        for (int32_t j = m.jyStart; j <= m.jyEnd; ++j) {
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
            // Critical depth of the new unit discharge (gravity 1).
            const float hc = static_cast<float>(
                std::pow(static_cast<double>(qx) * qx + static_cast<double>(qy) * qy, 1.0 / 3.0));
            if (hNew > hc || hNew > 0) {
                if (!(hNew > hc)) hNew = hc;
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

void advanceFlowState(Model& m) {
    // Element by element over the whole grid, ghost ring included; every grid shares one
    // layout, so the flat arrays are walked directly.
    const size_t n = m.hTot.size();
    float* eta = m.etaS.data();
    float* h = m.hTot.data();
    float* u = m.uS.data();
    float* v = m.vS.data();
    float* c = m.celS.data();
    const float* etaN = m.etaSNew.data();
    const float* hN = m.hTotNew.data();
    const float* uN = m.uSNew.data();
    const float* vN = m.vSNew.data();
    const float* cN = m.celSNew.data();
    float* setup = m.setup.data();
    float* curU = m.curU.data();
    float* curV = m.curV.data();
    const double L = m.lenScale, V = m.velScale;
    for (size_t k = 0; k < n; ++k) {
        eta[k] = etaN[k];
        h[k] = hN[k];
        u[k] = uN[k];
        v[k] = vN[k];
        c[k] = cN[k];
        setup[k] = static_cast<float>(L * eta[k]);
        curU[k] = static_cast<float>(V * u[k]);
        curV[k] = static_cast<float>(V * v[k]);
    }
}

}  // namespace littoral
