#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "run/MainLoop.h"
#include "input/CaseInput.h"
#include "flow/Flow.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {
// A model with extents and scales set, flow arrays allocated and the given uniform depth.
Model flatModel(float depth, float tide = 0) {
    Model m;
    m.ixStart = 1; m.ixEnd = 6; m.jyStart = 1; m.jyEnd = 4;
    m.dx = 10; m.dy = 20;
    m.nBndCell = 2 * (6 + 4 + 4);
    m.minDepth = 0.01f;
    m.waveT0 = 8;
    m.coriolis = -8e-5f;
    allocateCaseArrays(m);
    allocateFlowArrays(m);
    m.dep.fill(depth);
    m.setup.fill(tide);
    return m;
}
}  // namespace

TEST(MainLoop, ScalesAndInitialState) {
    Model m = flatModel(4.0f, 0.5f);
    initFlowState(m, 4.5f);
    EXPECT_FLOAT_EQ(m.lenScale, 4.5f);
    EXPECT_FLOAT_EQ(m.timeScale, static_cast<float>(std::sqrt(4.5 / 9.81)));
    EXPECT_FLOAT_EQ(m.velScale, static_cast<float>(4.5 / m.timeScale));
    EXPECT_FLOAT_EQ(m.periodS, static_cast<float>(8.0 / m.timeScale));
    EXPECT_FLOAT_EQ(m.minDepthS, static_cast<float>(0.01 / 4.5));
    EXPECT_FLOAT_EQ(m.coriolisS, static_cast<float>(-8e-5 / m.rateScale));
    // The case's own values stay as read, in metres and 1/s.
    EXPECT_EQ(m.minDepth, 0.01f);
    EXPECT_EQ(m.coriolis, -8e-5f);
    // Ghost ring included: h = (d + eta) / lenScale = 1, c = 1.
    EXPECT_FLOAT_EQ(m.hTot(0, 0), 1.0f);
    EXPECT_FLOAT_EQ(m.celSNew(7, 5), 1.0f);
    EXPECT_FLOAT_EQ(m.etaS(3, 3), static_cast<float>(0.5 / 4.5));
}

TEST(MainLoop, FlowTimeStepOnWetAndDryGrids) {
    // The step the fluxes give along with them.
    // Still lake: both X faces wet, s = (0 + c) - (0 - c) = 2c; dt = min(dxS, dyS) / (2c).
    Model wet = flatModel(4.0f);
    initFlowState(wet, 4.0f);
    EXPECT_FLOAT_EQ(computeFluxes(wet), static_cast<float>(wet.dxS / 2.0));
    // All dry: every speed is floored at 0.001 and the step is capped at 100.
    Model dry = flatModel(-1.0f);
    initFlowState(dry, 1.0f);
    EXPECT_FLOAT_EQ(computeFluxes(dry), std::min(100.0f, static_cast<float>(std::min(dry.dxS, dry.dyS) / 0.001)));
    Model tiny = flatModel(-1.0f);
    tiny.dx = tiny.dy = 0.01f;
    initFlowState(tiny, 1.0f);
    EXPECT_FLOAT_EQ(computeFluxes(tiny), static_cast<float>(0.01f / 0.001));
}

TEST(MainLoop, NoIntervalWhenTheEndPrecedesTheStart) {
    CaseDir dir("loop-none");
    Model m;
    // The reader refuses such times; the loop still runs no interval for them.
    SmallCase{}.prepare(dir, "n", m);
    readCase(m);
    m.tStart = 100;
    m.tEnd = 50;
    RecordingHost host;
    mainLoop(m, host, m.hMax);
    EXPECT_TRUE(dir.outputFiles("n").empty());
    EXPECT_EQ(host.graphs, 0);
}

// The count rule: floor((tEnd - tStart) / T) + 1 intervals when tEnd >= tStart, a start
// within 1e-5 T of the end counting as at it; none when tEnd < tStart.
TEST(MainLoop, IntervalCountFollowsStartEndAndPeriod) {
    struct Span {
        float tStart, tEnd, T;
        int64_t count;
    };
    for (const Span& s : {Span{0, 80, 8, 11}, Span{0, 480, 6, 81}, Span{0, 480, 8, 61}, Span{100, 50, 8, 0},
                          Span{10, 10, 8, 1}, Span{0, 479.9f, 8, 60}, Span{0, 479.99995f, 8, 61},
                          Span{-8, 0, 8, 2}, Span{0, 200000, 6, 33334}, Span{0, 80, 0, 0}}) {
        SCOPED_TRACE(::testing::Message() << s.tStart << " to " << s.tEnd << " by " << s.T);
        Model m;
        m.tStart = s.tStart;
        m.tEnd = s.tEnd;
        m.waveT0 = s.T;
        EXPECT_EQ(intervalCount(m), s.count);
    }
}

// Output numbers go on past 32767: a loop set to the interval 32768 (as a run continued
// from a checkpoint is) writes surfer32768.csv, ending at 32769 periods, and the last
// interval of the span is the one the count rule gives.
TEST(MainLoop, OutputNumbersGoOnPast32767) {
    CaseDir dir("loop-many");
    Model m;
    SmallCase{.coef = {.ixEnd = 4, .jyEnd = 3, .dx = 8, .dy = 8, .tEnd = 6.0f * 32769}, .depthOff = 1}
        .prepare(dir, "m", m);
    readCase(m);
    RecordingHost host;
    IntervalLoop loop(m, host, m.hMax);
    loop.begin();
    loop.setClock({32768, 0.0f});
    ASSERT_TRUE(loop.step());
    EXPECT_EQ(loop.number(), 32768);
    EXPECT_DOUBLE_EQ(loop.endSeconds(), 6.0 * 32769);
    ASSERT_TRUE(loop.step());
    EXPECT_EQ(loop.number(), 32769);
    EXPECT_FALSE(loop.step());  // 32770 intervals start from 0 s to 196614 s
    loop.finish();
    const auto files = dir.outputFiles("m");
    EXPECT_NE(std::find(files.begin(), files.end(), "surfer32768.csv"), files.end());
    EXPECT_NE(std::find(files.begin(), files.end(), "surfer32769.csv"), files.end());
    EXPECT_EQ(std::find(files.begin(), files.end(), "surfer32770.csv"), files.end());
    // The wave clock far on: the incident wave is the first period's at the same step
    // (carrier phase) and past its ramp, so the waves have come in as in any interval.
    EXPECT_GT(m.wavH(4, 2), 0.0f);
}

// The loop's clock between intervals: the index of the next interval, the flow clock at 0.
TEST(MainLoop, ClockCountsIntervalsFromTheirIndex) {
    CaseDir dir("loop-clock");
    Model m;
    SmallCase{.coef = {.ixEnd = 4, .jyEnd = 3, .tStart = 12, .tEnd = 30}}.prepare(dir, "c", m);
    readCase(m);
    RecordingHost host;
    IntervalLoop loop(m, host, m.hMax);
    loop.begin();
    EXPECT_EQ(loop.clock().interval, 0);
    int64_t k = 0;
    while (loop.step()) {
        ++k;
        EXPECT_EQ(loop.clock().interval, k);
        EXPECT_EQ(loop.clock().tau, 0.0f);
        EXPECT_EQ(loop.number(), 2 + k - 1);                     // Int(12 / 6 + 0.5) = 2
        EXPECT_DOUBLE_EQ(loop.endSeconds(), 12.0 + 6.0 * k);    // tStart + (k + 1) T, k from 0
    }
    loop.finish();
    EXPECT_EQ(k, 4);  // starts at 12, 18, 24 and 30 s
}
