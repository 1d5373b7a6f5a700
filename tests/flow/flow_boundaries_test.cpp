#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "flow/Flow.h"
#include "support/FlowSupport.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {
// A 4 x 3 grid, non-dimensional with lenScale 2 m and velScale 4 m/s, still water of
// depth 0.5 (d = 0.5) on both levels, ghost ring included.
Model restGrid() {
    const FlowGridSpec s{.nx = 4, .ny = 3, .dx = 2, .dy = 2};
    Model m = makeFlowModel(s);
    m.lenScale = 2;
    m.velScale = 4;
    m.dxS = 1;
    m.dyS = 1;
    m.minDepth = m.minDepthS = 0.01f;
    m.dtdx = 0.3f;
    m.dtdy = 0.3f;
    m.dep.fill(1.0f);
    for (Grid* g : {&m.hTot, &m.hTotNew}) g->fill(0.5f);
    for (Grid* g : {&m.celS, &m.celSNew}) g->fill(std::sqrt(0.5f));
    return m;
}
}  // namespace

TEST(FlowBoundaries, ClosedSidesMirrorAndCornersAreNeverWritten) {
    Model m = restGrid();
    m.hTotNew(4, 2) = 0.64f;
    m.uSNew(4, 2) = 0.3f;
    m.vSNew(4, 2) = 0.2f;
    m.hTotNew(2, 1) = 0.36f;
    m.vSNew(2, 1) = -0.1f;
    for (auto [i, j] : {std::pair{0, 0}, {5, 0}, {0, 4}, {5, 4}}) {
        m.hTotNew(i, j) = 7.0f;
        m.etaSNew(i, j) = 7.0f;
    }
    m.vSNew(5, 2) = 9.0f;  // the tangential velocity of a closed ghost is left alone
    setBoundaryGhosts(m);
    applyBoundaryConditions(m, 0.0f);  // no boundary cell listed: nothing changes
    EXPECT_EQ(m.hTotNew(5, 2), 0.64f);
    EXPECT_EQ(m.uSNew(5, 2), -0.3f);
    EXPECT_EQ(m.vSNew(5, 2), 9.0f);
    EXPECT_FLOAT_EQ(m.celSNew(5, 2), 0.8f);
    EXPECT_FLOAT_EQ(m.etaSNew(5, 2), 0.64f - 0.5f);
    EXPECT_EQ(m.hTotNew(2, 0), 0.36f);
    EXPECT_EQ(m.vSNew(2, 0), 0.1f);
    for (auto [i, j] : {std::pair{0, 0}, {5, 0}, {0, 4}, {5, 4}}) {
        EXPECT_EQ(m.hTotNew(i, j), 7.0f);
        EXPECT_EQ(m.etaSNew(i, j), 7.0f);
    }
}

TEST(FlowBoundaries, PeriodicSidesCopyTheOppositeInteriorCells) {
    Model m = restGrid();
    for (int32_t i = 1; i <= 4; ++i) {
        addBoundaryCell(m, i, 0, 16);
        addBoundaryCell(m, i, 4, 16);
    }
    for (int32_t j = 1; j <= 3; ++j) {
        addBoundaryCell(m, 0, j, 16);
        addBoundaryCell(m, 5, j, 16);
    }
    m.hTotNew(3, 1) = 0.7f;  // row jyStart
    m.uSNew(3, 1) = 0.1f;
    m.vSNew(3, 1) = 0.2f;
    m.hTotNew(2, 3) = 0.3f;  // row jyEnd
    m.hTotNew(1, 2) = 0.4f;  // column ixStart
    m.uSNew(4, 3) = -0.2f;   // column ixEnd
    setBoundaryGhosts(m);
    applyBoundaryConditions(m, 0.0f);
    EXPECT_EQ(m.hTotNew(3, 4), 0.7f);
    EXPECT_EQ(m.uSNew(3, 4), 0.1f);
    EXPECT_EQ(m.vSNew(3, 4), 0.2f);
    EXPECT_FLOAT_EQ(m.celSNew(3, 4), std::sqrt(0.7f));
    EXPECT_EQ(m.hTotNew(2, 0), 0.3f);
    EXPECT_EQ(m.hTotNew(5, 2), 0.4f);
    EXPECT_EQ(m.uSNew(0, 3), -0.2f);
    EXPECT_FLOAT_EQ(m.etaSNew(5, 2), 0.4f - 0.5f);
}

TEST(FlowBoundaries, OpenSides) {
    Model m = restGrid();
    for (int32_t j = 1; j <= 3; ++j) addBoundaryCell(m, 5, j, 20);  // east open (row 20 unset)
    for (int32_t j = 1; j <= 3; ++j) addBoundaryCell(m, 0, j, 21);  // west open
    // At rest with equal levels: the ghost keeps its level and stays at rest.
    setBoundaryGhosts(m);
    EXPECT_FLOAT_EQ(m.hTotNew(5, 1), 0.5f);
    EXPECT_FLOAT_EQ(m.uSNew(5, 1), 0.0f);
    EXPECT_FLOAT_EQ(m.hTotNew(0, 1), 0.5f);
    // A raised interior level next to the east ghost: the outgoing invariant R+ = u + 2c moves
    // by dtdx * lambda+ * (R+(I) - R+(G)), the incoming R- stays.
    m.hTot(4, 2) = 0.64f;
    m.celS(4, 2) = 0.8f;
    setBoundaryGhosts(m);
    const double c = std::sqrt(0.5), lp = std::sqrt(std::sqrt(0.5 * 0.64));
    const double rp = 2 * c - 0.3 * lp * (2 * c - 1.6), rm = -2 * c;
    EXPECT_NEAR(m.celSNew(5, 2), (rp - rm) / 4, 1e-6);
    EXPECT_NEAR(m.uSNew(5, 2), (rp + rm) / 2, 1e-6);
    EXPECT_GT(m.uSNew(5, 2), 0.0f);  // the wave leaves eastward
    EXPECT_NEAR(m.hTotNew(5, 2), (rp - rm) * (rp - rm) / 16, 1e-6);
    // The same on the west side: R- leaves westward.
    m.hTot(1, 2) = 0.64f;
    m.celS(1, 2) = 0.8f;
    setBoundaryGhosts(m);
    EXPECT_NEAR(m.uSNew(0, 2), -(rp + rm) / 2, 1e-6);
    EXPECT_NEAR(m.hTotNew(0, 2), (rp - rm) * (rp - rm) / 16, 1e-6);
    // Supercritical inflow from the west (lambda+ and lambda- > 0): both invariants stay.
    m.uS(0, 3) = m.uS(1, 3) = 2.0f;
    setBoundaryGhosts(m);
    EXPECT_FLOAT_EQ(m.uSNew(0, 3), 2.0f);
    EXPECT_FLOAT_EQ(m.hTotNew(0, 3), 0.5f);
    // A dry ghost next to a dry interior cell: both speeds 0, the ghost keeps its level.
    m.hTot(5, 3) = m.hTot(4, 3) = 0.0f;
    m.celS(5, 3) = 0.0f;
    m.uS(5, 3) = 0.25f;
    setBoundaryGhosts(m);
    EXPECT_EQ(m.hTotNew(5, 3), 0.0f);
    EXPECT_EQ(m.uSNew(5, 3), 0.25f);
    EXPECT_FLOAT_EQ(m.etaSNew(5, 3), -0.5f);
}

// A level entry of period 0 holds bndVal1 metres above the datum; with period T it is
// bndVal1 sin(2 pi t / T), the tide level not added.
TEST(FlowBoundaries, WaterLevelEntries) {
    Model m = restGrid();
    m.tideLevel = 0.3f;
    addBoundaryCell(m, 0, 1, 17);
    addBoundaryCell(m, 0, 2, 18);
    setBoundaryRow(m, 17, 1, 0.2f, 0.0f);
    setBoundaryRow(m, 18, 1, 0.4f, 12.0f);
    m.uSNew(0, 2) = 0.125f;
    applyBoundaryConditions(m, 3.0f);  // a quarter period
    EXPECT_FLOAT_EQ(m.hTotNew(0, 1), 0.5f + 0.1f);
    EXPECT_FLOAT_EQ(m.etaSNew(0, 1), 0.1f);
    EXPECT_NEAR(m.hTotNew(0, 2), 0.5 + 0.2, 1e-6);
    EXPECT_NEAR(m.celSNew(0, 2), std::sqrt(0.7), 1e-6);
    EXPECT_EQ(m.uSNew(0, 2), 0.125f);  // a level entry leaves the velocities
    applyBoundaryConditions(m, 0.0f);  // phase 0 at t = 0
    EXPECT_FLOAT_EQ(m.hTotNew(0, 2), 0.5f);
    applyBoundaryConditions(m, 9.0f);
    EXPECT_NEAR(m.etaSNew(0, 2), -0.2, 1e-6);
}

// A level below the bed would leave a negative depth: the run stops naming the row, the cell,
// the level and the bed.
TEST(FlowBoundaries, LevelBelowTheBedStopsTheRun) {
    Model m = restGrid();
    m.tideFile = "tide.txt";
    addBoundaryCell(m, 0, 2, 19);
    setBoundaryRow(m, 19, 1, 1.5f, 20.0f);  // 1.5 m amplitude over a bed 1 m deep
    applyBoundaryConditions(m, 5.0f);          // +1.5 m: fine
    EXPECT_NEAR(m.hTotNew(0, 2), 0.5 + 0.75, 1e-6);
    EXPECT_TRUE(containsAll(stopMessage([&] { applyBoundaryConditions(m, 15.0f); }),  // -1.5 m
                            {"tide.txt", "row 19", "(0, 2)", "-1.5 m", "-1 m", "15 s"}));
}

TEST(FlowBoundaries, VelocityAndDischargeEntries) {
    Model m = restGrid();
    addBoundaryCell(m, 5, 1, 17);
    addBoundaryCell(m, 5, 2, 18);
    addBoundaryCell(m, 5, 3, 19);
    setBoundaryRow(m, 17, 2, -0.8f, 0.4f);  // m/s
    // 2 m^3/s through the 2 m cell width: q = 1 m^2/s, critical depth (1/9.81)^(1/3) = 0.467 m,
    // below the 1 m the cell holds, so the depth stays.
    setBoundaryRow(m, 18, 3, 2.0f, 0.0f);
    // 40 m^3/s: q = 20 m^2/s, critical depth 3.44 m > 1 m: the depth is raised to it.
    setBoundaryRow(m, 19, 3, -40.0f, 0.0f);
    applyBoundaryConditions(m, 0.0f);
    EXPECT_FLOAT_EQ(m.uSNew(5, 1), -0.2f);
    EXPECT_FLOAT_EQ(m.vSNew(5, 1), 0.1f);
    EXPECT_FLOAT_EQ(m.hTotNew(5, 1), 0.5f);
    EXPECT_FLOAT_EQ(m.hTotNew(5, 2), 0.5f);
    EXPECT_NEAR(m.uSNew(5, 2) * m.velScale * m.hTotNew(5, 2) * m.lenScale, 1.0, 1e-5);  // q in m^2/s
    const double hc = std::cbrt(400.0 / 9.81);
    EXPECT_NEAR(m.hTotNew(5, 3) * m.lenScale, hc, 1e-5);
    EXPECT_NEAR(m.uSNew(5, 3) * m.velScale, -20.0 / hc, 1e-4);
    EXPECT_NEAR(m.etaSNew(5, 3) * m.lenScale, hc - 1.0, 1e-5);
    // Zero discharge into a dry cell: it stays dry and at rest (no 0/0).
    setBoundaryRow(m, 19, 3, 0.0f, 0.0f);
    m.hTotNew(5, 3) = 0.0f;
    applyBoundaryConditions(m, 0.0f);
    EXPECT_EQ(m.hTotNew(5, 3), 0.0f);
    EXPECT_EQ(m.uSNew(5, 3), 0.0f);
    EXPECT_EQ(m.vSNew(5, 3), 0.0f);
}

// A listed cell whose code is not above 16 is still rewritten: celerity sqrt(h), level h - d
// (a dry listed cell gets -d, not the tide level). A list entry past the last cell names
// cell (0, 0); it is skipped while (0, 0) has no boundary number.
TEST(FlowBoundaries, ListedCellsWithoutATableRowAreRewritten) {
    Model m = restGrid();
    m.tideLevel = 0.3f;
    addBoundaryCell(m, 2, 2, 16);
    m.hTotNew(2, 2) = 0.0f;
    m.celSNew(2, 2) = 0.5f;
    m.etaSNew(2, 2) = 0.15f;
    m.etaSNew(0, 0) = 0.9f;
    applyBoundaryConditions(m, 0.0f);
    EXPECT_EQ(m.celSNew(2, 2), 0.0f);
    EXPECT_FLOAT_EQ(m.etaSNew(2, 2), -0.5f);
    EXPECT_EQ(m.etaSNew(0, 0), 0.9f);
}
