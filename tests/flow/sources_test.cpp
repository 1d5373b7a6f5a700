#include <gtest/gtest.h>

#include <cmath>

#include "flow/Flow.h"
#include "support/FlowSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {
Model sourceGrid(float latitude) {
    const FlowGridSpec s{.nx = 3, .ny = 2, .latitude = latitude, .fricCoef = 0.02f};
    Model m = makeFlowModel(s);
    m.velScale = 2;
    m.hTot.fill(0.5f);
    m.fx.fill(0.8f);   // m^2/s^2
    m.fy.fill(-0.4f);
    return m;
}
}  // namespace

// Tolerances: single precision results of order 0.1.
TEST(MomentumSources, AtRestOnlyTheScaledWaveForce) {
    Model m = sourceGrid(35);
    momentumSources(m);
    for (auto [i, j] : {std::pair{0, 0}, {2, 1}, {4, 3}}) {  // ghost ring included
        EXPECT_EQ(m.srcS(0, i, j), 0.0f);
        EXPECT_FLOAT_EQ(m.srcS(1, i, j), 0.2f);   // 0.8 / 2^2
        EXPECT_FLOAT_EQ(m.srcS(2, i, j), -0.1f);
    }
}

TEST(MomentumSources, FrictionAndCoriolis) {
    Model m = sourceGrid(35);
    const double f = m.coriolis;  // negative in the north
    ASSERT_LT(f, 0);
    m.fx.fill(0);
    m.fy.fill(0);
    m.uS(2, 1) = 0.3f;
    m.vS(2, 1) = 0.4f;  // speed 0.5
    m.hTot(1, 1) = 0.0f;  // dry but moving: friction, no Coriolis
    m.uS(1, 1) = 0.6f;
    momentumSources(m);
    EXPECT_NEAR(m.srcS(1, 2, 1), -0.5 * 0.4 * f - 0.01 * 0.3 * 0.5, 1e-8);
    EXPECT_NEAR(m.srcS(2, 2, 1), 0.3 * 0.5 * f - 0.01 * 0.4 * 0.5, 1e-8);
    EXPECT_GT(m.srcS(1, 2, 1) + 0.01 * 0.3 * 0.5, 0.0);  // northern: v > 0 turns to +x
    EXPECT_NEAR(m.srcS(1, 1, 1), -0.01 * 0.6 * 0.6, 1e-8);
    EXPECT_EQ(m.srcS(2, 1, 1), 0.0f);
    // At the equator the Coriolis terms vanish.
    Model e = sourceGrid(0);
    e.fx.fill(0);
    e.fy.fill(0);
    e.vS(2, 1) = 0.4f;
    momentumSources(e);
    EXPECT_NEAR(e.srcS(1, 2, 1), 0.0, 1e-12);
    EXPECT_NEAR(e.srcS(2, 2, 1), -0.01 * 0.4 * 0.4, 1e-8);
}
