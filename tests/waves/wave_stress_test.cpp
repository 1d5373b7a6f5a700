// Period means, clamped variance, direction, radiation stress and wave force.
#include <gtest/gtest.h>

#include <cmath>

#include "support/WaveSupport.h"
#include "waves/WaveModel.h"
#include "waves/WaveStats.h"

using namespace littoral;
using littoral::test::WaveCaseSpec;
using littoral::test::accumWaveStats;

namespace {
void box(Model& m, double depth, int32_t westEast = 0) {
    const WaveCaseSpec s{.nx = 5, .ny = 4, .dx = 0.5f, .dy = 0.5f, .west = westEast, .east = westEast, .south = 0,
                         .north = 0};
    test::buildWaveCase(m, s, [depth](double, double) { return depth; });
    m.waveT0 = 2;
    m.waveFreq = 0.5f;
    allocWaveStats(m);
    waveCoefficients(m, 0.0f);
    m.nAcc = 10;
}
}  // namespace

TEST(WaveStress, QuietCellHasNoVarianceNoDirectionNoStress) {
    Model m;
    box(m, 1.0);
    waveStress(m, m.fx, m.fy);
    EXPECT_EQ(m.etarms(3, 2), 0.0f);
    EXPECT_EQ(m.theta(3, 2), -9.0f);
    EXPECT_EQ(m.sxx(3, 2), 0.0f);
    EXPECT_EQ(m.fx(3, 2), 0.0f);
}

TEST(WaveStress, RoundingBelowTheSquaredMeanIsClampedToZeroVariance) {
    Model m;
    box(m, 1.0);
    // sum eta = 10 * 0.3, sum eta^2 a hair below 10 * 0.09: var would be slightly negative.
    m.sumEta(2, 2) = 3.0f;
    m.etarms(2, 2) = std::nextafter(0.9f, 0.0f);
    waveStress(m, m.fx, m.fy);
    EXPECT_EQ(m.etarms(2, 2), 0.0f);
    EXPECT_FLOAT_EQ(m.sumEta(2, 2), 0.3f);
}

TEST(WaveStress, PureSinusoidGivesRmsOverRootTwoAndHeightTwiceTheAmplitude) {
    // eta = a sin(2 pi n / N) over a whole period of N steps, through accumWaveStats.
    Model m;
    box(m, 1.0);
    const int N = 40;
    const double a = 0.2, dt = 0.05, g = 9.81;
    m.waveDt = static_cast<float>(dt);
    m.dxW = m.dyW = 0.5f;
    m.nAcc = N;
    for (int n = 0; n < N; ++n) {
        // phiNew - phiOld = -2 g dt eta: choose phiOld = 0 and phiNew accordingly.
        const double eta = a * std::sin(6.283185307179586 * n / N);
        m.phiOld(3, 2) = 0.0f;
        m.phiNew(3, 2) = static_cast<float>(-2.0 * g * dt * eta);
        accumWaveStats(m, 3, 2);
    }
    waveStress(m, m.fx, m.fy);
    // Single-precision sums of 40 terms: relative error well below 1e-5.
    EXPECT_NEAR(m.etarms(3, 2), a / std::sqrt(2.0), 1e-5);
    EXPECT_NEAR(2.0 * m.etarms(3, 2) * std::sqrt(2.0), 2 * a, 2e-5) << "wavH = 2 a";
}

TEST(WaveStress, DeepWaterUsesHalfOverK) {
    Model m;
    box(m, 1.0);
    // Make the centre cell deep water for the factors: kh > 100.
    m.kd(3, 2) = 150.0f;
    m.sumU2(3, 2) = 20.0f;    // means 2
    m.sumEtaT2(3, 2) = 5.0f;  // means 0.5
    m.etarms(3, 2) = 0.4f;    // mean eta^2 = 0.04, mean eta = 0
    waveStress(m, m.fx, m.fy);
    const double k = static_cast<float>(150.0 / 1.0);
    EXPECT_NEAR(m.sxx(3, 2), (2.0 - 0.5) / (2 * k) + 4.905 * 0.04, 1e-6);
    EXPECT_NEAR(m.syy(3, 2), (0.0 - 0.5) / (2 * k) + 4.905 * 0.04, 1e-6);
}

TEST(WaveStress, ClosedEastFaceUsesTheCellsOwnStress) {
    Model m;
    box(m, 1.0);
    for (int32_t i = 1; i <= 5; ++i)
        for (int32_t j = 1; j <= 4; ++j) m.etarms(i, j) = static_cast<float>(0.1 * i * 10);  // mean eta^2 = 0.1 i
    m.cellFlag(3, 2) = kClosedE;
    waveStress(m, m.fx, m.fy);
    // sxx = 4.905 var; open: (sxx(4) - sxx(2)) / (2 dx); closed east: (sxx(3) - sxx(2)) / (2 dx).
    const double half = -(static_cast<double>(m.sxx(3, 2)) - m.sxx(2, 2)) / (2 * 0.5);
    EXPECT_NEAR(m.fx(3, 2), half, 1e-6);
    EXPECT_NEAR(m.fx(2, 2), -(static_cast<double>(m.sxx(3, 2)) - m.sxx(1, 2)) / (2 * 0.5), 1e-6);
}

TEST(WaveStress, PeriodicSidesMakeStressAndForcePeriodic) {
    Model m;
    box(m, 1.0, 16);
    for (int32_t i = 1; i <= 5; ++i)
        for (int32_t j = 1; j <= 4; ++j) m.etarms(i, j) = static_cast<float>(i * i);
    waveStress(m, m.fx, m.fy);
    for (int32_t j = 1; j <= 4; ++j) {
        EXPECT_EQ(m.sxx(0, j), m.sxx(5, j));
        EXPECT_EQ(m.sxx(6, j), m.sxx(1, j));
        EXPECT_EQ(m.fx(0, j), m.fx(5, j));
        // The force at the west edge sees the east edge as its west neighbour.
        EXPECT_NEAR(m.fx(1, j), -(static_cast<double>(m.sxx(2, j)) - m.sxx(5, j)) / 1.0, 1e-5);
    }
}
