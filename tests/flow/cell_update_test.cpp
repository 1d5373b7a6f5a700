#include <gtest/gtest.h>

#include <cmath>

#include "flow/Flow.h"
#include "support/FlowSupport.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {
// A 4 x 3 grid in non-dimensional units with every flux and source zero, so a cell's new
// state is its old one unless a test sets fluxes. lenScale 2 m, tide 0.4 m.
Model quietGrid(float h = 0.5f) {
    const FlowGridSpec s{.nx = 4, .ny = 3};
    Model m = makeFlowModel(s);
    m.lenScale = 2;
    m.velScale = 3;
    m.tideLevel = 0.4f;
    m.minDepth = m.minDepthS = 0.01f;
    m.dtS = 0.1f;
    m.dtdx = 0.2f;
    m.dtdy = 0.25f;
    m.dep.fill(2 * h);  // d = dep / lenScale = h
    m.hTot.fill(h);
    return m;
}
}  // namespace

TEST(UpdateCells, DryAndLandCellsAreHeldAtTheTideLevel) {
    Model m = quietGrid();
    RecordingHost host;
    // (2,2) and its four neighbours below minDepth: stays dry whatever its fluxes and sources.
    for (auto [i, j] : {std::pair{2, 2}, {1, 2}, {3, 2}, {2, 1}, {2, 3}}) m.hTot(i, j) = 0.005f;
    m.fluxXE(0, 1, 2) = 5.0f;
    m.srcS(1, 2, 2) = 3.0f;
    m.uS(2, 2) = 0.7f;
    // (4,3) is land (flag 15) though wet.
    m.cellFlag(4, 3) = 15;
    updateCells(m);
    for (auto [i, j] : {std::pair{2, 2}, {4, 3}}) {
        EXPECT_EQ(m.hTotNew(i, j), 0.0f);
        EXPECT_EQ(m.uSNew(i, j), 0.0f);
        EXPECT_EQ(m.vSNew(i, j), 0.0f);
        EXPECT_EQ(m.celSNew(i, j), 0.0f);
        EXPECT_FLOAT_EQ(m.etaSNew(i, j), 0.2f);  // 0.4 m / 2 m
    }
    // A depth between 0 and minDepth (dry for the faces) is kept when a neighbour is wet.
    EXPECT_FLOAT_EQ(m.hTotNew(1, 2), 0.005f);
    // The event pump runs after each band of rows; this small grid is one band.
}

TEST(UpdateCells, NegativeNewDepthMakesTheCellDry) {
    Model m = quietGrid();
    RecordingHost host;
    m.cellFlag(2, 2) = 16 * 3;  // a boundary cell: updated from its fluxes
    m.fluxXW(0, 2, 2) = 4.0f;   // drains 0.8 from a depth of 0.5
    m.uS(2, 2) = 0.3f;
    updateCells(m);
    EXPECT_EQ(m.hTotNew(2, 2), 0.0f);
    EXPECT_EQ(m.celSNew(2, 2), 0.0f);
    EXPECT_FLOAT_EQ(m.etaSNew(2, 2), 0.2f);
    EXPECT_EQ(m.uSNew(2, 2), 0.0f);
    EXPECT_EQ(m.vSNew(2, 2), 0.0f);
}

// The critical-depth limit: new discharge qx = 1 at a new depth of 0.5 is supercritical;
// the depth is raised to q^(2/3) = 1 and u = 1, while the level keeps the depth 0.5.
TEST(UpdateCells, SupercriticalDischargeRaisesTheDepthToCritical) {
    Model m = quietGrid();
    RecordingHost host;
    m.uS(3, 2) = 2.0f;  // h u = 1 with zero fluxes
    updateCells(m);
    EXPECT_FLOAT_EQ(m.hTotNew(3, 2), 1.0f);
    EXPECT_FLOAT_EQ(m.uSNew(3, 2), 1.0f);
    EXPECT_EQ(m.vSNew(3, 2), 0.0f);
    EXPECT_FLOAT_EQ(m.etaSNew(3, 2), 0.5f - 0.5f);
    EXPECT_FLOAT_EQ(m.celSNew(3, 2), std::sqrt(0.5f));
    // Zero discharge on a positive depth: at rest, depth unchanged.
    EXPECT_FLOAT_EQ(m.hTotNew(1, 1), 0.5f);
    EXPECT_EQ(m.uSNew(1, 1), 0.0f);
    // Subcritical: q = 0.1 on 0.5 keeps the depth and gives u = q / h.
    m.uS(1, 1) = 0.2f;
    m.vS(1, 1) = -0.1f;
    updateCells(m);
    EXPECT_FLOAT_EQ(m.hTotNew(1, 1), 0.5f);
    EXPECT_FLOAT_EQ(m.uSNew(1, 1), 0.2f);
    EXPECT_FLOAT_EQ(m.vSNew(1, 1), -0.1f);
}

// Forward Euler: the new state is U - dtdx dF_x - dtdy dF_y + dtS S, from the old depth.
TEST(UpdateCells, FluxDifferencesAndSources) {
    Model m = quietGrid(0.8f);
    RecordingHost host;
    const int i = 2, j = 2;
    m.fluxXW(0, i, j) = 0.3f;
    m.fluxXE(0, i - 1, j) = 0.1f;
    m.fluxYS(0, i, j) = -0.2f;
    m.fluxYN(0, i, j - 1) = 0.2f;
    m.fluxXW(1, i, j) = 0.5f;
    m.fluxXE(1, i - 1, j) = 0.4f;
    m.fluxYS(2, i, j) = 0.25f;
    m.fluxYN(2, i, j - 1) = 0.45f;
    m.srcS(1, i, j) = 0.2f;
    m.srcS(2, i, j) = -0.1f;
    m.uS(i, j) = 0.1f;
    updateCells(m);
    const double h = 0.8 - 0.2 * 0.2 - 0.25 * (-0.4);  // 0.86
    EXPECT_NEAR(m.hTotNew(i, j), h, 1e-6);
    EXPECT_NEAR(m.etaSNew(i, j), h - 0.8, 1e-6);
    EXPECT_NEAR(m.celSNew(i, j), std::sqrt(h), 1e-6);
    const double qx = 0.8 * 0.1 - 0.2 * 0.1 + 0.1 * 0.2, qy = 0.25 * 0.2 + 0.1 * -0.1;
    EXPECT_NEAR(m.uSNew(i, j), qx / h, 1e-6);
    EXPECT_NEAR(m.vSNew(i, j), qy / h, 1e-6);
}

TEST(AdvanceFlowState, PublishesTheNewLevelInMetres) {
    Model m = quietGrid();
    m.etaSNew(0, 0) = 0.1f;   // a corner of the ghost ring too
    m.hTotNew(0, 0) = 0.6f;
    m.uSNew(5, 4) = -0.5f;
    m.vSNew(2, 2) = 0.25f;
    m.celSNew(2, 2) = 0.9f;
    advanceFlowState(m);
    publishFlowState(m);
    EXPECT_EQ(m.etaS(0, 0), 0.1f);
    EXPECT_EQ(m.hTot(0, 0), 0.6f);
    EXPECT_EQ(m.celS(2, 2), 0.9f);
    EXPECT_FLOAT_EQ(m.setup(0, 0), 0.2f);
    EXPECT_FLOAT_EQ(m.curU(5, 4), -1.5f);
    EXPECT_FLOAT_EQ(m.curV(2, 2), 0.75f);
}
