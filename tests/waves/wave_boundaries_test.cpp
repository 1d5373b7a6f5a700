// Ghost ring of the potential: copy, periodic and radiating open boundaries.
#include <gtest/gtest.h>

#include <cmath>

#include "support/WaveSupport.h"
#include "waves/WaveModel.h"

using namespace littoral;
using littoral::test::WaveCaseSpec;
using littoral::test::setPredBoundary;

namespace {
void basin(Model& m, int32_t west, int32_t east, int32_t south, int32_t north, double depth = 1.0) {
    const WaveCaseSpec s{.nx = 6, .ny = 5, .dx = 0.2f, .dy = 0.2f, .T = 2, .west = west, .east = east, .south = south,
                         .north = north};
    test::buildWaveCase(m, s, [depth](double, double) { return depth; });
    m.waveT0 = 2;
    m.waveFreq = 0.5f;
    m.waveDt = 0.05f;
    allocWaveStats(m);
    waveCoefficients(m, 0.0f);
    for (int32_t i = 0; i <= 7; ++i)
        for (int32_t j = 0; j <= 6; ++j) {
            m.phiNew(i, j) = static_cast<float>(10 * i + j);
            m.phiPred(i, j) = static_cast<float>(100 + 10 * i + j);
            m.phiCur(i, j) = static_cast<float>(-1 - i - j);
        }
}
}  // namespace

// Walls (code 0) copy the inner cell and leave the corners untouched; periodic sides (16)
// copy the opposite edge. Columns and rows copied by the west, east, south and north ghosts:
TEST(WaveBoundaries, WallsCopyTheInnerCellPeriodicSidesTheOppositeEdge) {
    for (auto [code, w, e, s, n] : {std::tuple{0, 1, 6, 1, 5}, std::tuple{16, 6, 1, 5, 1}}) {
        SCOPED_TRACE(code);
        Model m;
        basin(m, code, code, code, code);
        setPhiBoundary(m);
        setPredBoundary(m);
        for (int32_t j = 1; j <= 5; ++j) {
            EXPECT_EQ(m.phiNew(0, j), m.phiNew(w, j));
            EXPECT_EQ(m.phiNew(7, j), m.phiNew(e, j));
            EXPECT_EQ(m.phiPred(0, j), m.phiPred(w, j));
        }
        for (int32_t i = 1; i <= 6; ++i) {
            EXPECT_EQ(m.phiNew(i, 0), m.phiNew(i, s));
            EXPECT_EQ(m.phiNew(i, 6), m.phiNew(i, n));
        }
        if (code != 0) continue;
        EXPECT_EQ(m.phiNew(0, 0), 0.0f);
        EXPECT_EQ(m.phiNew(7, 6), 76.0f);
        EXPECT_EQ(m.phiPred(0, 6), 106.0f);
    }
}

TEST(WaveBoundaries, OpenGhostKeepsLevelNDuringTheCorrector) {
    Model m;
    basin(m, 18, 0, 0, 0);
    setPredBoundary(m);
    for (int32_t j = 1; j <= 5; ++j) EXPECT_EQ(m.phiPred(0, j), m.phiCur(0, j));
}

TEST(WaveBoundaries, TooShortOrMissingWaveGivesZeroAndLeavesTheLine) {
    // 1 m deep, T = 2 s: L = 5.6 m; with cells of 3 m the wave is not resolved (2 dx >= L).
    Model m;
    basin(m, 18, 0, 0, 0);
    m.dxW = 3.0f;
    const int32_t s = m.bndPointNo(0, 3);
    m.line(s, 2) = 0.25f;
    setPhiBoundary(m);
    EXPECT_EQ(m.phiNew(0, 3), 0.0f);
    EXPECT_EQ(m.line(s, 2), 0.25f);
    EXPECT_EQ(m.line(s, 0), 0.0f) << "the line was not visited";
    // A dry inner cell has no wavelength: also 0.
    Model d;
    basin(d, 18, 0, 0, 0);
    d.wlen(1, 3) = 0.0f;
    setPhiBoundary(d);
    EXPECT_EQ(d.phiNew(0, 3), 0.0f);
}

TEST(WaveBoundaries, SinglePointLineReturnsTheRadiationValue) {
    Model m;
    basin(m, 18, 0, 0, 0);
    m.nLine = 1;
    m.line.allocate(1, m.nBndListed, 1);
    m.lineOld.allocate(1, m.nBndListed, 1);
    m.lineNew.allocate(0, m.nBndListed, 1);
    const int32_t s = m.bndPointNo(0, 2);
    m.line(s, 1) = 0.5f;
    const float dl = m.wlen(1, 2) / 10;
    const float r = static_cast<float>(static_cast<double>(m.waveDt) / dl);
    const float got = radiateLine(m, 1, 2, 0.0f, s, m.ccg(1, 2), m.omk(1, 2), dl);
    // P_1 = L_1 + r sqrt(ccg) (L_0 - L_1) with L_0 = phiCur of the inner cell.
    const float want = static_cast<float>(0.5 + static_cast<double>(r) * std::sqrt(static_cast<double>(m.ccg(1, 2))) *
                                                    (static_cast<double>(m.phiCur(1, 2)) - 0.5));
    EXPECT_EQ(got, want);
    EXPECT_EQ(m.line(s, 1), want) << "the line advanced";
    EXPECT_EQ(m.lineOld(s, 1), 0.5f);
}

TEST(WaveBoundaries, LineWithoutCurrentRepeatsItsPredictorAndKeepsLineOldZeroAtTheInterior) {
    Model m;
    basin(m, 18, 0, 0, 0);
    ASSERT_GE(m.nLine, 3);
    const int32_t s = m.bndPointNo(0, 2);
    for (int32_t k = 0; k <= m.nLine; ++k) {
        m.line(s, k) = static_cast<float>(std::sin(0.7 * k));
        m.lineOld(s, k) = k == 0 ? 0.0f : static_cast<float>(std::sin(0.7 * k - 0.3));
    }
    radiateLine(m, 1, 2, 0.0f, s, m.ccg(1, 2), m.omk(1, 2), m.wlen(1, 2) / 10);
    for (int32_t k = 1; k < m.nLine; ++k)
        EXPECT_EQ(m.lineNew(s, k), m.lineNew(0, k)) << "un = 0: corrector = predictor at point " << k;
    EXPECT_EQ(m.lineOld(s, 0), 0.0f);
    // With a current the first point feels pM L_0 against lineOld(s, 0) = 0; the result differs.
    Model c;
    basin(c, 18, 0, 0, 0);
    const float a = radiateLine(c, 1, 2, 0.0f, s, c.ccg(1, 2), c.omk(1, 2), c.wlen(1, 2) / 10);
    Model d;
    basin(d, 18, 0, 0, 0);
    const float b = radiateLine(d, 1, 2, 0.3f, s, d.ccg(1, 2), d.omk(1, 2), d.wlen(1, 2) / 10);
    EXPECT_NE(a, b);
    EXPECT_TRUE(std::isfinite(b));
}
