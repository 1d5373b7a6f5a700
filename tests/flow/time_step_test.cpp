// The stable flow step over mixed wet, dry and half-dry grids, against the step written
// cell by cell from the Roe speeds of the faces. The blocked, branch-free loop, and the
// fluxes that take the step along, must give the same step bit for bit: the whole run
// follows from it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "run/MainLoop.h"
#include "core/Parallel.h"
#include "flow/Flow.h"
#include "flow/RoeAverages.h"
#include "support/FlowSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {

// The step cell by cell: X from the west face (the east face where the cell and its west
// neighbour are dry), Y from the south face's right-going and the north face's left-going
// speed.
float referenceStep(const Model& m) {
    const float md = m.minDepthS;
    float dtMin = 100.0f;
    auto dryPair = [&](float a, float b) { return wetDryCode(a, b, md) == 0; };
    for (int32_t i = m.ixStart; i <= m.ixEnd; ++i)
        for (int32_t j = m.jyStart; j <= m.jyEnd; ++j) {
            const float h = m.hTot(i, j);
            const float hW = m.hTot(i - 1, j), hE = m.hTot(i + 1, j), hS = m.hTot(i, j - 1), hN = m.hTot(i, j + 1);
            const float uW = m.uS(i - 1, j), u = m.uS(i, j), uE = m.uS(i + 1, j);
            const float vS = m.vS(i, j - 1), v = m.vS(i, j), vN = m.vS(i, j + 1);
            // Spread along one direction: faces low (L = lo, R = cell) and high (L = cell,
            // R = hi); `both` is the value where neither pair is dry.
            auto spread = [&](float hLo, float hHi, float nLo, float n, float nHi, double both) {
                if (!dryPair(hLo, h) && !dryPair(h, hHi)) return static_cast<float>(both);
                if (dryPair(hLo, h)) return std::fabs(roeSpeed(1, h, hHi, n, nHi, md));
                return std::fabs(roeSpeed(0, hLo, h, nLo, n, md));
            };
            float sx = spread(hW, hE, uW, u, uE,
                              static_cast<double>(roeSpeed(0, hW, h, uW, u, md)) - roeSpeed(1, hW, h, uW, u, md));
            float sy = spread(hS, hN, vS, v, vN,
                              static_cast<double>(roeSpeed(0, hS, h, vS, v, md)) - roeSpeed(1, h, hN, v, vN, md));
            sx = std::max(sx, 0.001f);
            sy = std::max(sy, 0.001f);
            dtMin = std::min(dtMin, static_cast<float>(static_cast<double>(m.dxS) / sx));
            dtMin = std::min(dtMin, static_cast<float>(static_cast<double>(m.dyS) / sy));
        }
    return dtMin;
}

// The step the fluxes take along (the main loop's) is flowTimeStep's, with slabs of rows
// starting anywhere: one to seven threads.
void expectFluxesGiveTheStep(Model& m) {
    m.lenScale = 1.0f;
    const float step = flowTimeStep(m);
    for (int threads : {1, 2, 3, 7}) {
        ThreadCountScope scope(threads);
        const float fromFluxes = computeFluxes(m);
        ASSERT_EQ(fromFluxes, step) << threads << " threads, nx " << m.ixEnd;
    }
}

}  // namespace

TEST(FlowTimeStep, EqualsTheCellByCellStepOnMixedGrids) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> depth(0.0f, 2.0f), vel(-3.0f, 3.0f), unit(0.0f, 1.0f);
    // Widths below, at and above the block of a row; every grid has dry cells, cells at
    // exactly the minimum depth, and fast cells that set the step somewhere else each time.
    for (int nx : {1, 7, 255, 256, 257, 600}) {
        for (int trial = 0; trial < 4; ++trial) {
            const FlowGridSpec s{.nx = nx, .ny = 5, .dx = 2.0f, .dy = 3.0f};
            Model m = makeFlowModel(s);
            m.minDepth = m.minDepthS = 0.05f;
            m.dxS = 0.7f;
            m.dyS = 1.1f;
            for (int32_t j = 0; j <= s.ny + 1; ++j)
                for (int32_t i = 0; i <= nx + 1; ++i) {
                    const float r = unit(rng);
                    m.hTot(i, j) = r < 0.3f ? 0.0f : r < 0.35f ? m.minDepthS : r < 0.4f ? 0.049f : depth(rng);
                    m.uS(i, j) = vel(rng);
                    m.vS(i, j) = vel(rng);
                }
            ASSERT_EQ(flowTimeStep(m), referenceStep(m)) << "nx " << nx << ", trial " << trial;
            expectFluxesGiveTheStep(m);
            // All dry apart from one cell: the step comes from that cell's faces alone.
            m.hTot.fill(0.0f);
            m.hTot(nx, 3) = 1.5f;
            ASSERT_EQ(flowTimeStep(m), referenceStep(m)) << "one wet cell, nx " << nx;
            expectFluxesGiveTheStep(m);
        }
    }
}

// The step is set by one cell whose west face joins two deep cells (the spread of a wet
// face is twice its celerity), placed at every place a row's block of faces begins and
// ends: the cell at the start of a block takes its west face from the block before.
TEST(FlowTimeStep, TheFacesTakeTheStepOfACellAtEveryBlockEdge) {
    const int nx = 600;
    for (int i : {1, 2, 127, 128, 129, 255, 256, 257, 383, 384, 512, 599, 600}) {
        for (bool dryWest : {false, true}) {
            const FlowGridSpec s{.nx = nx, .ny = 3, .dx = 2.0f, .dy = 3.0f};
            Model m = makeFlowModel(s);
            m.minDepth = m.minDepthS = 0.05f;
            m.dxS = 0.7f;
            m.dyS = 50.0f;  // Y never sets the step
            m.hTot.fill(1.0f);
            m.uS.fill(0.25f);
            m.vS.fill(0.0f);
            if (dryWest) {
                // The cell and its west neighbour dry: its X spread comes from its east face.
                m.hTot(i - 1, 2) = 0.0f;
                m.hTot(i, 2) = 0.0f;
                m.hTot(i + 1, 2) = 9.0f;
                m.uS(i + 1, 2) = -4.0f;
            } else {
                m.hTot(i - 1, 2) = 9.0f;
                m.hTot(i, 2) = 9.0f;
            }
            const float step = referenceStep(m);
            ASSERT_EQ(flowTimeStep(m), step) << "cell " << i << (dryWest ? ", dry to the west" : "");
            expectFluxesGiveTheStep(m);
        }
    }
}
