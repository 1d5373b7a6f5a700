// The stable flow step over mixed wet, dry and half-dry grids, against the step written
// cell by cell from the Roe speeds of the faces (flowTimeStep of the test support). The
// fluxes, which take the step along in their blocked, branch-free rows, must give the same
// step bit for bit: the whole run follows from it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "run/MainLoop.h"
#include "core/Parallel.h"
#include "flow/Flow.h"
#include "support/FlowSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {

// The step the fluxes take along (the main loop's) is the cell-by-cell step (flowTimeStep
// of the test support), with slabs of rows starting anywhere: one to seven threads.
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
            expectFluxesGiveTheStep(m);
            // All dry apart from one cell: the step comes from that cell's faces alone.
            m.hTot.fill(0.0f);
            m.hTot(nx, 3) = 1.5f;
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
                // Between the two deep cells c~ = 3 exactly: the spread (n~ + c~) - (n~ - c~) = 6.
                ASSERT_EQ(flowTimeStep(m), static_cast<float>(static_cast<double>(m.dxS) / 6.0)) << "cell " << i;
            }
            expectFluxesGiveTheStep(m);
        }
    }
}
