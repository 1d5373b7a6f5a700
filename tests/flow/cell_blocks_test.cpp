// The cell update of a flow step over rows mixing wet, dry, land and near-critical cells,
// against the update written cell by cell. The blocked loop with its pass for the cells
// near the critical depth must give the same new state bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "run/MainLoop.h"
#include "flow/Flow.h"
#include "support/RoeReference.h"
#include "support/FlowSupport.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {

void referenceUpdate(Model& m) {
    const float md = m.minDepthS;
    const double dtS = m.dtS, dtdx = m.dtdx, dtdy = m.dtdy;
    const float etaDry = static_cast<float>(static_cast<double>(m.tideLevel) / m.lenScale);
    // Every cell depends only on the current level and the fluxes, so the cells are taken
    // row by row along X, the order in which the arrays lie in memory (three times faster
    // than along Y on large grids).
    for (int32_t j = m.jyStart; j <= m.jyEnd; ++j) {
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

}  // namespace

TEST(UpdateCells, BlockedRowsEqualTheCellByCellUpdate) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f), sym(-1.0f, 1.0f);
    for (int nx : {1, 9, 255, 256, 257, 520}) {
        const FlowGridSpec s{.nx = nx, .ny = 3};
        Model m = makeFlowModel(s);
        m.lenScale = 1.3f;
        m.minDepth = m.minDepthS = 0.01f;
        m.tideLevel = 0.2f;
        m.dtS = 0.05f;
        m.dtdx = 0.05f;
        m.dtdy = 0.04f;
        for (int32_t j = 0; j <= s.ny + 1; ++j)
            for (int32_t i = 0; i <= nx + 1; ++i) {
                m.dep(i, j) = 0.5f * unit(rng);
                const float r = unit(rng);
                const float h = r < 0.2f ? 0.0f : r < 0.25f ? 0.005f : 0.6f * unit(rng);
                m.hTot(i, j) = h;
                // Froude numbers around 1 half of the time, so that the critical-depth rule
                // and its cube root come up often.
                const float c = std::sqrt(h);
                m.uS(i, j) = unit(rng) < 0.5f ? c * (0.8f + 0.4f * unit(rng)) : 2.0f * sym(rng);
                m.vS(i, j) = 0.3f * sym(rng);
                m.cellFlag(i, j) = unit(rng) < 0.05f ? 15 : 0;
                for (int k = 0; k < 3; ++k) {
                    m.fluxXE(k, i, j) = 0.2f * sym(rng);
                    m.fluxXW(k, i, j) = 0.2f * sym(rng);
                    m.fluxYN(k, i, j) = 0.2f * sym(rng);
                    m.fluxYS(k, i, j) = 0.2f * sym(rng);
                    m.srcS(k, i, j) = 0.1f * sym(rng);
                }
            }
        Model ref = m;
        SilentHost host;
        updateCells(m);
        referenceUpdate(ref);
        EXPECT_EQ(firstBitDifference(m.hTotNew.data(), ref.hTotNew.data(), m.hTotNew.size()), -1) << "hTotNew, nx " << nx;
        EXPECT_EQ(firstBitDifference(m.uSNew.data(), ref.uSNew.data(), m.uSNew.size()), -1) << "uSNew, nx " << nx;
        EXPECT_EQ(firstBitDifference(m.vSNew.data(), ref.vSNew.data(), m.vSNew.size()), -1) << "vSNew, nx " << nx;
        EXPECT_EQ(firstBitDifference(m.celSNew.data(), ref.celSNew.data(), m.celSNew.size()), -1) << "celSNew, nx " << nx;
        EXPECT_EQ(firstBitDifference(m.etaSNew.data(), ref.etaSNew.data(), m.etaSNew.size()), -1) << "etaSNew, nx " << nx;
    }
}
