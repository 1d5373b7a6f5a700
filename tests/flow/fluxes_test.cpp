#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "flow/Flow.h"
#include "support/RoeReference.h"
#include "support/FlowSupport.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {
// A 3 x 2 grid in non-dimensional units (lenScale 1, so d = dep), minDepth 0.01, all wet
// and at rest, depth 0.5 everywhere.
Model smallGrid() {
    const FlowGridSpec s{.nx = 3, .ny = 2};
    Model m = makeFlowModel(s);
    m.lenScale = 1;
    m.minDepth = m.minDepthS = 0.01f;
    m.dep.fill(0.5f);
    m.hTot.fill(0.5f);
    return m;
}
}  // namespace

TEST(ComputeFluxes, ClosedFaceIsTestedFirstEvenWhenBothSidesAreDry) {
    Model m = smallGrid();
    RecordingHost host;
    // X face (1,1)-(2,1): both dry, moving, and closed by bit 1 of the west cell.
    m.hTot(1, 1) = 0.004f;
    m.hTot(2, 1) = 0.002f;
    m.uS(1, 1) = 0.5f;
    m.uS(2, 1) = -0.3f;
    m.cellFlag(1, 1) = 1;
    computeFluxes(m);
    EXPECT_NEAR(m.fluxXW(1, 1, 1), 0.004 * 0.25 + 0.004 * 0.004 / 2, 1e-9);
    EXPECT_NEAR(m.fluxXE(1, 1, 1), 0.002 * 0.09 + 0.002 * 0.002 / 2, 1e-9);
    EXPECT_EQ(m.fluxXW(0, 1, 1), 0.0f);
    // Without the bit the same dry face carries nothing.
    m.cellFlag(1, 1) = 0;
    computeFluxes(m);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(m.fluxXW(k, 1, 1), 0.0f);
        EXPECT_EQ(m.fluxXE(k, 1, 1), 0.0f);
    }
    // Bit 4 of the east cell closes the same face; Y faces use bit 2 (south) and 8 (north).
    m.hTot.fill(0.5f);
    m.uS.fill(0.0f);
    m.cellFlag(2, 1) = 4;
    m.vS(2, 1) = 0.2f;
    m.cellFlag(2, 2) = 8;
    computeFluxes(m);
    EXPECT_NEAR(m.fluxXW(1, 1, 1), 0.125, 1e-7);  // still water against a wall: h^2/2
    EXPECT_EQ(m.fluxXW(0, 1, 1), 0.0f);
    const double wallN = 0.5 * 0.04 + 0.125 + std::pow(0.5, 1.5) * 0.2;
    EXPECT_NEAR(m.fluxYS(2, 2, 1), wallN, 1e-6);
    EXPECT_NEAR(m.fluxYS(0, 2, 1), 0.0, 1e-7);
    EXPECT_NEAR(m.fluxYN(2, 2, 1), 0.125, 1e-7);
    // The event pump runs after each band of rows; this small grid is one band per call.
}

// A wet cell beside a dry cell whose bed is at or above the wet cell's level sees a wall and
// the dry cell gets nothing; once the level rises strictly above that bed the face carries
// the full flux with bed term.
TEST(ComputeFluxes, HalfDryFaceFollowsTheLevelAgainstTheBed) {
    Model m = smallGrid();
    RecordingHost host;
    // West cell (1,1) wet, depth 0.25 over a bed at -0.5: level -0.25. East cell (2,1) dry
    // with its bed at -0.25 exactly (values exact in binary).
    m.hTot(1, 1) = 0.25f;
    m.dep(1, 1) = 0.5f;
    m.uS(1, 1) = 0.1f;
    m.hTot(2, 1) = 0.0f;
    m.dep(2, 1) = 0.25f;
    computeFluxes(m);
    std::array<float, 3> wall = roeFlux<Along::X>(0.25f, 0.25f, 0.1f, -0.1f, 0.0f, 0.0f, m.minDepthS);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(m.fluxXW(k, 1, 1), wall[k]) << k;
        EXPECT_EQ(m.fluxXE(k, 1, 1), 0.0f) << k;
    }
    // The bed lowered a little: the level is now above it and water flows onto the dry cell.
    m.dep(2, 1) = 0.26f;
    computeFluxes(m);
    const SideFluxes f = roeFluxWithBed<Along::X>(0.25f, 0.0f, 0.5f, 0.26f, 0.1f, 0.0f, 0.0f, 0.0f, m.minDepthS);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(m.fluxXW(k, 1, 1), f.toL[k]) << k;
        EXPECT_EQ(m.fluxXE(k, 1, 1), f.toR[k]) << k;
    }
    EXPECT_GT(m.fluxXE(0, 1, 1), 0.0f);
    // Mirror case on a Y face: south cell (3,1) dry with a high bed, north cell (3,2) wet.
    m.hTot(3, 1) = 0.0f;
    m.dep(3, 1) = 0.25f;
    m.hTot(3, 2) = 0.25f;
    m.dep(3, 2) = 0.5f;
    m.vS(3, 2) = -0.2f;
    computeFluxes(m);
    wall = roeFlux<Along::Y>(0.25f, 0.25f, 0.0f, 0.0f, 0.2f, -0.2f, m.minDepthS);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(m.fluxYN(k, 3, 1), wall[k]) << k;
        EXPECT_EQ(m.fluxYS(k, 3, 1), 0.0f) << k;
    }
}

// A uniform still lake over a sloping bed: in every interior cell the X and Y momentum
// fluxes taken from the two faces balance exactly as pressure against bed, so the momentum
// stays zero to single precision.
TEST(ComputeFluxes, StillLakeMomentumBalancesInEveryCell) {
    Model m = smallGrid();
    RecordingHost host;
    // The closed ghost ring mirrors its neighbours' water and stands on their bed.
    for (int32_t i = 0; i <= 4; ++i)
        for (int32_t j = 0; j <= 3; ++j) {
            const int32_t ii = std::clamp(i, 1, 3), jj = std::clamp(j, 1, 2);
            m.dep(i, j) = 0.3f + 0.1f * ii + 0.05f * jj;
            m.hTot(i, j) = m.dep(i, j) + 0.02f;
        }
    computeFluxes(m);
    for (int32_t i = 1; i <= 3; ++i)
        for (int32_t j = 1; j <= 2; ++j) {
            EXPECT_NEAR(m.fluxXW(1, i, j) - m.fluxXE(1, i - 1, j), 0.0, 1e-7) << i << "," << j;
            EXPECT_NEAR(m.fluxYS(2, i, j) - m.fluxYN(2, i, j - 1), 0.0, 1e-7) << i << "," << j;
            EXPECT_EQ(m.fluxXW(2, i, j), 0.0f);
            EXPECT_EQ(m.fluxYS(1, i, j), 0.0f);
        }
}
