#include <gtest/gtest.h>

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

TEST(MainLoop, TooManyIntervalsAreRefusedBeforeComputing) {
    CaseDir dir("loop-many");
    Model m;
    // 40000 periods of 6 s: beyond the 16-bit output numbers.
    SmallCase{.coef = {.tEnd = 6.0f * 40000}}.prepare(dir, "m", m);
    readCase(m);
    RecordingHost host;
    EXPECT_TRUE(containsAll(stopMessage([&] { mainLoop(m, host, m.hMax); }),
                            {"m\\coef.txt: the run from 0 s to 240000 s would give the interval starting at 196607.6 s "
                             "the output number 32768: expected output numbers of at most 32767"}));
    EXPECT_TRUE(dir.outputFiles("m").empty());
}

// The refusal follows the single-precision interval counter: with 6 s periods an end at
// 196605.6 s is 32767.6 periods, but the counter's last start is numbered 32767 and the run
// is sound; one period more would number an interval 32768.
TEST(MainLoop, OutputNumbersFollowTheIntervalCounter) {
    for (auto [tEnd, last] : {std::pair{196605.6f, 32767}, std::pair{196611.6f, -1}}) {
        SCOPED_TRACE(tEnd);
        Model m = flatModel(5.0f);
        m.waveT0 = 6;
        m.tStart = 0;
        m.tEnd = tEnd;
        m.coefFile = "c.txt";
        initFlowState(m, 5.0f);
        if (last >= 0)
            EXPECT_EQ(lastOutputNumber(m), last);
        else
            EXPECT_TRUE(containsAll(stopMessage([&] { lastOutputNumber(m); }),
                                    {"the output number 32768: expected output numbers of at most 32767"}));
    }
}
