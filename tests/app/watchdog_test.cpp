// The single-precision flow clock: from a clock of about 6e4 time units a step of 0.0125
// advances it by a different amount than the step (the clock's spacing there is 0.0039), so
// the flow integrates a different time than the interval; the watchdog says so once.
#include <gtest/gtest.h>

#include <cmath>

#include <limits>

#include "run/MainLoop.h"
#include "run/Watchdog.h"
#include "core/Parallel.h"
#include "input/CaseInput.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {

Model still(float depth) {
    Model m;
    m.ixStart = 1; m.ixEnd = 4; m.jyStart = 1; m.jyEnd = 3;
    m.dx = m.dy = 5;
    m.minDepth = 0.01f;
    m.waveT0 = 10;
    m.waveH0 = 1;
    m.tEnd = 100;
    allocateCaseArrays(m);
    allocateFlowArrays(m);
    m.dep.fill(depth);
    initFlowState(m, depth);
    return m;
}

}  // namespace

// The bounds of a plain case: a 5 m basin, tide 0, 1 m waves, nothing prescribed.
TEST(Watchdog, BoundsFollowThePhysics) {
    const Model m = still(5.0f);
    const Watchdog w(m);
    EXPECT_DOUBLE_EQ(w.levelLow(), -3.0);   // 2 Hin + 1 m below the tide
    EXPECT_DOUBLE_EQ(w.levelHigh(), 3.0);
    EXPECT_NEAR(w.speedBound(), 2 * std::sqrt(9.81 * 6.0), 1e-9);  // dam break over 6 m
    EXPECT_NEAR(w.waveBound(), 8.01, 1e-9);
    // 10 s of 5 m cells with c = sqrt(g (5 + 3)): 71 steps expected, 20 times that plus 1000.
    EXPECT_EQ(w.stepLimit(), static_cast<long>(20 * 10 * 4 * std::sqrt(9.81 * 8.0) / 5 + 1000));
}

// The end-of-interval checks search the grids on all threads: with any thread count they
// name the first bad cell along memory (row by row), as a search cell by cell does.
TEST(Watchdog, ChecksNameTheFirstBadCellWithAnyThreads) {
    Model m = still(5.0f);
    m.ixEnd = 300;
    m.jyEnd = 40;
    allocateCaseArrays(m);
    allocateFlowArrays(m);
    m.dep.fill(5.0f);
    initFlowState(m, 5.0f);
    const Watchdog w(m);
    auto endInterval = [&](RecordingHost& host) {
        Watchdog c(w);
        c.startInterval();
        (void)host;
        c.endInterval(m, 10.0f);
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    m.uS(200, 31) = nan;
    m.uS(250, 12) = nan;
    m.uS(7, 12) = nan;  // the first along memory
    m.vS(3, 2) = nan;   // a later grid of the list
    for (int threads : {1, 2, 3, 7}) {
        ThreadCountScope scope(threads);
        RecordingHost host;
        const std::string msg = stopMessage([&] { endInterval(host); });
        EXPECT_TRUE(containsAll(msg, {"the flow velocity in X", "(7, 12)", "10 s"})) << msg;
    }
    // A sound state: every grid searched to its end.
    m.uS.fill(0.0f);
    m.vS.fill(0.0f);
    RecordingHost host;
    EXPECT_NO_THROW(endInterval(host));
}
