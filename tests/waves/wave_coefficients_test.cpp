// Local coefficients, the breaking limit and the incident wave source.
#include <gtest/gtest.h>

#include <cmath>

#include "support/WaveSupport.h"
#include "waves/WaveFunctions.h"
#include "waves/WaveModel.h"

using namespace littoral;
using littoral::test::WaveCaseSpec;

namespace {
void strip(Model& m, double depth, float T = 2.0f) {
    const WaveCaseSpec s{.nx = 6, .ny = 3, .dx = 0.5f, .dy = 0.5f, .T = T, .west = 17, .east = 18, .south = 16,
                         .north = 16};
    test::buildWaveCase(m, s, [depth](double, double) { return depth; });
    m.waveFreq = static_cast<float>(1.0 / T);
    m.dirRad = 0;
    allocWaveStats(m);
}
}  // namespace

TEST(WaveCoefficients, LandAndDryCellsCarryNoWave) {
    Model m;
    strip(m, 1.0);
    m.cellFlag(3, 2) = 15;
    m.dep(4, 2) = 0.0000005f;
    waveCoefficients(m, 0.0f);
    for (auto c : {std::pair{3, 2}, std::pair{4, 2}}) {
        EXPECT_EQ(m.cc2(c.first, c.second), 0.0f);
        EXPECT_EQ(m.ccg(c.first, c.second), 0.0f);
        EXPECT_EQ(m.omk(c.first, c.second), 0.0f);
        EXPECT_EQ(m.kd(c.first, c.second), 0.0f);
        EXPECT_EQ(m.wlen(c.first, c.second), 0.0f);
    }
    EXPECT_GT(m.cc2(2, 2), 0.0f);
}

TEST(WaveCoefficients, CellsInBlocksEqualTheSingleCellDispersion) {
    // The dispersion iterations of neighbouring cells run side by side in blocks of a row;
    // every cell must get exactly what its own iteration gives: varied depths, currents and
    // directions (the marker -9 among them), land, dry cells, a current that blocks the wave,
    // and a row whose length is no multiple of the block.
    const WaveCaseSpec s{.nx = 19, .ny = 4, .T = 3.0f};
    Model m;
    test::buildWaveCase(m, s, [](double x, double y) { return 0.3 + 0.4 * x + 0.1 * y * y; });
    m.waveFreq = static_cast<float>(1.0 / s.T);
    m.dirRad = 0;
    allocWaveStats(m);
    for (int32_t j = 0; j <= s.ny + 1; ++j)
        for (int32_t i = 0; i <= s.nx + 1; ++i) {
            m.curU(i, j) = static_cast<float>(0.8 * std::sin(0.9 * i + 0.4 * j));
            m.curV(i, j) = static_cast<float>(0.5 * std::cos(1.7 * i - j));
            m.theta(i, j) = (i + j) % 5 == 0 ? -9.0f : static_cast<float>(0.37 * i - 0.5 * j);
        }
    m.cellFlag(7, 2) = 15;
    m.dep(11, 3) = -0.2f;
    m.curU(4, 1) = -6.0f;  // against the wave: no wave number
    m.theta(4, 1) = 0.0f;
    m.curU(3, 2) = 0.0f;  // and one still cell
    m.curV(3, 2) = 0.0f;
    waveCoefficients(m, 0.0f);
    int withWave = 0;
    for (int32_t j = 0; j <= s.ny + 1; ++j)
        for (int32_t i = 0; i <= s.nx + 1; ++i) {
            const float h = static_cast<float>(static_cast<double>(m.setup(i, j)) + m.dep(i, j));
            float kh = 0, L = 0;
            if (h > 0.000001f && m.cellFlag(i, j) != 15) {
                const Dispersion d = waveNumberCurrent(s.T, h, m.curU(i, j), m.curV(i, j), m.theta(i, j));
                if (d.ok) {
                    kh = d.kh;
                    L = d.L;
                    ++withWave;
                    const float C = static_cast<float>(phaseSpeed(kh, h));
                    EXPECT_EQ(m.cc2(i, j), static_cast<float>(static_cast<double>(C) * C)) << i << "," << j;
                }
            }
            EXPECT_EQ(m.kd(i, j), kh) << i << "," << j;
            EXPECT_EQ(m.wlen(i, j), L) << i << "," << j;
        }
    EXPECT_EQ(m.kd(4, 1), 0.0f) << "the blocking current";
    EXPECT_GT(withWave, 100);
}

TEST(WaveCoefficients, DeepAndShallowLimits) {
    // T = 0.5 s in 10 m: kh = 161 > 100, n = 1/2 to single precision.
    Model d;
    strip(d, 10.0, 0.5f);
    waveCoefficients(d, 0.0f);
    EXPECT_GT(d.kd(2, 2), 100.0f);
    EXPECT_NEAR(d.ccg(2, 2) / d.cc2(2, 2), 0.5, 1e-6);
    const double k = d.kd(2, 2) / 10.0;
    EXPECT_NEAR(d.omk(2, 2), k * k * d.cc2(2, 2) / 2, 1e-4 * d.omk(2, 2));
    // T = 60 s in 0.5 m: kh = 0.023, n = 0.9998, omk tiny against k^2 C^2.
    Model s;
    strip(s, 0.5, 60.0f);
    waveCoefficients(s, 0.0f);
    const double ks = s.kd(2, 2) / 0.5;
    EXPECT_NEAR(s.ccg(2, 2) / s.cc2(2, 2), 1.0, 1e-3);
    EXPECT_LT(s.omk(2, 2), 1e-3 * ks * ks * s.cc2(2, 2));
}

TEST(WaveCoefficients, PhaseReferenceWaveNumberFollowsTheInputDirection) {
    Model m;
    strip(m, 1.0);
    m.dirRad = 0.5f;
    waveCoefficients(m, 0.0f);
    const double k = std::hypot(m.kx0, m.ky0);
    EXPECT_NEAR(std::atan2(m.ky0, m.kx0), 0.5, 1e-6);
    // 1 m, T = 2 s, no current: k tanh(k h) = omega^2 / g; the iteration stops at a change
    // below 1e-5 in k, so the relation holds to about 1e-4.
    EXPECT_NEAR(k * std::tanh(k * 1.0), std::pow(6.283184 / 2.0, 2) / 9.81, 2e-4);
}

TEST(WaveBreakingLimit, FlatBottomGivesRatioTimesTanhOverKhAndADeepeningBottomRaisesIt) {
    Model m;
    strip(m, 1.0);
    waveCoefficients(m, 0.0f);
    m.theta.fill(0.0f);
    const double kh = m.kd(3, 2);
    EXPECT_NEAR(breakingLimit(m, 3, 2), 0.8 * std::tanh(kh) / kh, 1e-6);
    // Bottom deepening along theta = 0 (x) with slope 0.1: F = 1 + 15 0.1^(4/3).
    for (int32_t i = 0; i <= 7; ++i)
        for (int32_t j = 0; j <= 4; ++j) m.dep(i, j) = static_cast<float>(1.0 + 0.1 * 0.5 * (i - 3));
    const double F = 1 + 15 * std::pow(0.1, 4.0 / 3.0);
    EXPECT_NEAR(breakingLimit(m, 3, 2), 0.8 * F * std::tanh(kh) / kh, 1e-5);
    // The same bottom seen by a wave running the other way (shoaling): F = 1.
    m.theta.fill(3.14159265f);
    EXPECT_NEAR(breakingLimit(m, 3, 2), 0.8 * std::tanh(kh) / kh, 1e-6);
    // Shallow limit: kh -> 0 gives the ratio of the coefficient file.
    m.kd(3, 2) = 1e-4f;
    EXPECT_NEAR(breakingLimit(m, 3, 2), 0.8, 1e-6);
}

TEST(IncidentWave, RampStartsAtZeroAndEndsAfterTwoPeriods) {
    Model m;
    strip(m, 1.0);
    m.waveT0 = 2;
    m.waveHin = 0.2f;
    m.waveDt = 0.05f;
    waveCoefficients(m, 0.0f);
    for (int32_t i = 0; i <= 7; ++i)
        for (int32_t j = 0; j <= 4; ++j) m.phiCur(i, j) = 1.0f;
    incidentWave(m, 0.0f);
    for (int32_t j = 1; j <= 3; ++j) EXPECT_EQ(m.phiNew(0, j), 1.0f) << "ramp factor 0 at t = 0";
    // At t = 4.3 s (past two periods) the full wave: phiNew = phiCur - e g dt,
    // e = H/2 sin(kx0 (i - phaseX) dx - 2 pi f t).
    incidentWave(m, 4.3f);
    const double psi = m.kx0 * (0 - m.phaseX) * 0.5 - 0.5 * 6.28318530717958 * 4.3f;
    const double e = static_cast<float>(0.1 * std::sin(psi));
    EXPECT_NEAR(m.phiNew(0, 2), 1.0 - e * 9.81 * 0.05, 1e-6);
    // Half way through the ramp (t = 2 s): factor sin(pi/4 * 0.5 * 2) = sin(pi/4).
    incidentWave(m, 2.0f);
    const double psi2 = m.kx0 * (0 - m.phaseX) * 0.5 - 0.5 * 6.28318530717958 * 2.0;
    EXPECT_NEAR(m.phiNew(0, 2), 1.0 - 0.1 * std::sin(psi2) * std::sin(3.14159265358979 / 4) * 9.81 * 0.05, 1e-6);
    // Cells of other codes are left alone.
    m.phiNew(7, 2) = 5.0f;
    incidentWave(m, 4.3f);
    EXPECT_EQ(m.phiNew(7, 2), 5.0f);
}

TEST(IncidentWave, WaveGroupsModulateTheAmplitude) {
    Model m;
    strip(m, 1.0);
    m.waveT0 = 2;
    m.waveHin = 0.2f;
    m.waveDt = 0.05f;
    m.nGroup = 4;
    m.groupAmp = 0.5f;
    waveCoefficients(m, 0.0f);
    incidentWave(m, 10.0f);
    const double t = 10.0, di = 0 - m.phaseX;
    const double psi = m.kx0 * di * 0.5 - 0.5 * 6.28318530717958 * t;
    const double psiG = m.kx0 / 4.0 * di * 0.5 - 0.5 * 6.28318530717958 / 4.0 * t;
    const double e = (0.5 * std::sin(psiG) + 1.0) * 0.1 * std::sin(psi);
    EXPECT_NEAR(m.phiNew(0, 2), -e * 9.81 * 0.05, 1e-6);
}
