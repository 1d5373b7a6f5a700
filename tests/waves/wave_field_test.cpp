// Driver of one wave period: time step and step counts, incident height, progress line,
// the faults it refuses, and what one call leaves behind.
#include <gtest/gtest.h>

#include <cmath>

#include "core/Error.h"
#include "core/Numeric.h"
#include "support/TestSupport.h"
#include "support/WaveSupport.h"
#include "waves/WaveField.h"
#include "waves/WaveModel.h"

using namespace littoral;
using littoral::test::WaveCaseSpec;

TEST(WaveTimeStep, TenMetreCellsTenMetresDeepEightSecondsGiveSeventeenSteps) {
    Model m;
    m.dx = m.dy = 10;
    m.waveT0 = 8;
    waveTimeStep(m, 10.0f, 0.0f);
    // dt0 = 0.5 sqrt(100 / 98.1) = 0.5048 s; 8 / dt0 + 1 = 16.85 -> 17 steps.
    EXPECT_FLOAT_EQ(m.waveDt, 8.0f / 17.0f);
    EXPECT_EQ(m.nStep, 17);
    EXPECT_EQ(m.stepOffset, 0);
    waveTimeStep(m, 10.0f, 80.0f);
    EXPECT_EQ(m.stepOffset, 170) << "the wave clock follows model time";
}

TEST(WaveTimeStep, MoreThan32767StepsPerPeriodIsRefusedWithTheReason) {
    Model m;
    m.dx = m.dy = 0.01f;
    m.waveT0 = 100;
    EXPECT_TRUE(test::containsAll(test::stopMessage([&] { waveTimeStep(m, 50.0f, 0.0f); }), {"32767", "wave period of 100 s"}));
    // The largest count that fits is accepted: T / dt0 + 1 just below 32767.5.
    m.dx = m.dy = 1;
    const double dt0 = 0.5 * std::sqrt(1.0 / 9.81 / 10.0);
    m.waveT0 = static_cast<float>(32765.0 * dt0);
    EXPECT_NO_THROW(waveTimeStep(m, 10.0f, 0.0f));
    EXPECT_LE(m.nStep, 32767);
    EXPECT_THROW(waveTimeStep(m, 0.0f, 0.0f), StopError) << "no water anywhere";
}

TEST(WaveIncidentHeight, RegularAndCappedIrregularHeights) {
    Model m;
    m.waveH0 = 1;
    m.hmaxIrr = 0;
    incidentHeight(m);
    EXPECT_EQ(m.waveHin, 1.0f);
    EXPECT_EQ(m.hPlot, 1.0f);
    EXPECT_EQ(m.hPlotNeg, -1.0f);
    m.hmaxIrr = 1.8f;
    float largest = 0, sum = 0;
    for (int k = 0; k < 4000; ++k) {
        incidentHeight(m);
        EXPECT_LE(m.waveHin, 1.8f);
        EXPECT_EQ(m.hPlot, 1.8f);
        largest = std::max(largest, m.waveHin);
        sum += m.waveHin;
    }
    EXPECT_EQ(largest, 1.8f) << "draws above 1.8 H0 are capped";
    // Mean of a Rayleigh distribution capped at 1.8 Hm: about 0.97 Hm; 4000 draws give
    // a standard error near 0.008.
    EXPECT_NEAR(sum / 4000, 0.97, 0.04);
}

TEST(WaveProgressLine, OneBlankBetweenTheNumbersAndTheTenthKeptAtLargeTimes) {
    // Each number text brings its own leading blank: one blank between the numbers.
    EXPECT_EQ(endwavLine(3600.0f, 10.0f), "endwav  3600 360");
    EXPECT_EQ(endwavLine(12.54f, 2.5f), "endwav  12.5 5");
    EXPECT_EQ(endwavLine(0.0f, 8.0f), "endwav  0 0");
    // Beyond 1e6 s the tenth of a second stays, and no exponent appears.
    EXPECT_EQ(endwavLine(1000000.125f, 10.0f), "endwav  1000000.1 100000");
    EXPECT_EQ(endwavLine(2.5e7f, 10.0f), "endwav  25000000 2500000");
    EXPECT_EQ(endwavLine(3.0e9f, 6.0f), "endwav  3000000000 500000000");
}

TEST(WaveProgressLine, NumberTextIsPlainDecimal) {
    EXPECT_EQ(numberText(-3), "-3");
    EXPECT_EQ(numberText(-0.0), " 0");
    EXPECT_EQ(numberText(1234567.0), " 1234567");
    EXPECT_EQ(numberText(12345678.9), " 12345678.9");
    EXPECT_EQ(numberText(-0.25), "-0.25");
    EXPECT_EQ(numberText(1e20), " 100000000000000000000");
    EXPECT_EQ(numberText(0.1 + 0.2), " 0.3");  // at most 15 significant digits
}

namespace {
void flatChannel(Model& m, float H = 0.1f) {
    const WaveCaseSpec s{.nx = 30, .ny = 4, .dx = 0.25f, .dy = 0.25f, .T = 2, .H = H};
    test::buildWaveCase(m, s, [](double, double) { return 1.0; });
}
}  // namespace

TEST(WaveField, OnePeriodTakesEveryStepAndNamesItsProgressLine) {
    Model m;
    flatChannel(m);
    waveField(m, m.hMax, 0.0f, m.fx, m.fy);
    EXPECT_EQ(m.nAcc, m.nStep);
    EXPECT_EQ(endwavLine(0.0f, m.waveT0), "endwav  0 0");
    // Between calls phiNew equals phiCur (the levels were rotated after the last step).
    for (int32_t i = 0; i <= m.ixEnd + 1; ++i)
        for (int32_t j = 0; j <= m.jyEnd + 1; ++j) ASSERT_EQ(m.phiNew(i, j), m.phiCur(i, j));
    waveField(m, m.hMax, m.waveT0, m.fx, m.fy);
    EXPECT_EQ(endwavLine(m.waveT0, m.waveT0), "endwav  2 1");
    // wavH = 2 sqrt(2) etarms everywhere, etaOut = eta.
    for (int32_t i = 1; i <= m.ixEnd; ++i) {
        EXPECT_FLOAT_EQ(m.wavH(i, 2), static_cast<float>(2.0 * m.etarms(i, 2) * std::sqrt(2.0)));
        EXPECT_EQ(m.etaOut(i, 2), m.eta(i, 2));
    }
}

TEST(WaveField, PhaseReferencePointOnLandDryOrWithoutAWaveStopsWithTheCell) {
    struct Bad {
        std::function<void(Model&)> spoil;
        float time;
        std::vector<std::string> parts;
    };
    const Bad cases[] = {
        {[](Model& m) { m.cellFlag(m.phaseX, m.phaseY) = 15; }, 6.0f, {"(1, 1)", "land", "model time 6 s"}},
        {[](Model& m) { m.dep(m.phaseX, m.phaseY) = -0.5f; }, 0.0f, {"dry", "-0.5 m"}},
        // A current of 10 m/s against the wave in 1 m of water: no wave number.
        {[](Model& m) { m.curU.fill(-10.0f); }, 0.0f, {"dispersion"}},
    };
    for (const Bad& b : cases) {
        Model m;
        flatChannel(m);
        b.spoil(m);
        EXPECT_TRUE(test::containsAll(test::stopMessage([&] { waveField(m, m.hMax, b.time, m.fx, m.fy); }), b.parts));
    }
}

TEST(WaveField, StillWaterStaysStillAndFinite) {
    Model m;
    flatChannel(m, 0.0f);
    test::RecordingHost host;
    test::runWavePeriods(m, host, 2);
    for (int32_t i = 1; i <= m.ixEnd; ++i)
        for (int32_t j = 1; j <= m.jyEnd; ++j) {
            EXPECT_EQ(m.wavH(i, j), 0.0f);
            EXPECT_EQ(m.theta(i, j), -9.0f) << "no wave, no direction";
            EXPECT_EQ(m.fx(i, j), 0.0f);
        }
}
