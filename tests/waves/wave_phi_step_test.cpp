// The vectorised wave step against a plain cell-by-cell evaluation of the same formulas,
// on a small random grid with closed faces, land, dry cells, an interior boundary cell and
// currents. The fast rows must agree bit for bit (EXPECT_EQ on floats).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "core/Parallel.h"
#include "sediment/Sediment.h"
#include "support/WaveSupport.h"
#include "waves/PhiStencil.h"
#include "waves/WaveFunctions.h"
#include "waves/WaveModel.h"
#include "waves/WaveStats.h"

using namespace littoral;
using namespace littoral::test;

namespace {

using D = double;

// A random grid: depth 0.2..3 m with a few dry cells, random closed faces and land,
// one interior boundary cell, random currents, potentials and previous elevations.
void randomModel(Model& m, unsigned seed, int32_t ny = 9, int32_t south = 16, int32_t north = 0) {
    const WaveCaseSpec s{.nx = 13, .ny = ny, .dx = 0.7f, .dy = 0.5f, .T = 1.5f, .west = 17, .east = 18, .south = south,
                         .north = north};
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u01(0.0, 1.0);
    test::buildWaveCase(m, s, [&](double, double) { return 0.2 + 2.8 * u01(gen); });
    for (int32_t i = 1; i <= s.nx; ++i)
        for (int32_t j = 1; j <= s.ny; ++j) {
            const double r = u01(gen);
            if (r < 0.08) m.dep(i, j) = -0.3f;                                       // dry
            if (r > 0.6) m.cellFlag(i, j) = static_cast<int32_t>(u01(gen) * 15.999);  // 0..15, 15 land
        }
    // An interior boundary cell: flag 16 n, no closed faces.
    m.bndCode(m.nBndListed + 1) = 19;
    m.cellFlag(5, std::min(5, ny)) = 16 * (m.nBndListed + 1);
    m.phaseX = 2;
    m.phaseY = 2;
    m.phaseY = std::min(2, ny);
    m.cellFlag(2, m.phaseY) = 0;
    m.dep(2, m.phaseY) = 1.5f;
    std::uniform_real_distribution<double> um(-0.5, 0.5);
    for (int32_t i = 0; i <= s.nx + 1; ++i)
        for (int32_t j = 0; j <= s.ny + 1; ++j) {
            m.curU(i, j) = static_cast<float>(0.3 * um(gen));
            m.curV(i, j) = static_cast<float>(0.3 * um(gen));
            m.phiCur(i, j) = static_cast<float>(um(gen));
            m.phiOld(i, j) = static_cast<float>(um(gen));
            m.theta(i, j) = u01(gen) < 0.2 ? -9.0f : static_cast<float>(6.0 * um(gen));
        }
    m.waveT0 = s.T;
    m.waveDt = 0.05f;
    m.waveFreq = static_cast<float>(1.0 / m.waveT0);
    m.dirRad = 0.2f;
    m.nStep = 30;
    allocWaveStats(m);
    waveCoefficients(m, 0.0f);
    for (int32_t i = 1; i <= s.nx; ++i)
        for (int32_t j = 1; j <= s.ny; ++j) m.eta(i, j) = static_cast<float>(0.8 * um(gen));  // some cells break
    // Some wet cells without waves: a failed dispersion leaves cc2 = 0.
    m.cc2(3, std::min(7, ny)) = 0.0f;
    m.cc2(9, std::min(2, ny)) = 0.0f;
}

// ---- the plain formulas, cell by cell ----

float refGamma(const Model& m, int32_t i, int32_t j) {
    auto hT = [&](int32_t a, int32_t b) { return static_cast<float>(D(m.dep(a, b)) + m.setup(a, b)); };
    const float h = hT(i, j);
    if (!(h > 0)) return 0.0f;
    const float r = static_cast<float>(2.0 * std::fabs(D(m.eta(i, j))) / h);
    const float gx = static_cast<float>((D(hT(i + 1, j)) - hT(i - 1, j)) / 2.0 / m.dxW);
    const float gy = static_cast<float>((D(hT(i, j + 1)) - hT(i, j - 1)) / 2.0 / m.dyW);
    const float s = static_cast<float>(D(gy) * std::sin(D(m.theta(i, j))) + D(gx) * std::cos(D(m.theta(i, j))));
    float sp = 0;
    if (s >= 0) sp = static_cast<float>(std::pow(D(s), 4.0 / 3.0));
    const float F = static_cast<float>(1.0 + 15.0 * sp);
    float g;
    if (m.kd(i, j) != 0) g = static_cast<float>(D(m.brkRatio) * F * tanhD(m.kd(i, j)) / m.kd(i, j));
    else g = static_cast<float>(D(m.brkRatio) * F);
    if (r > g) return static_cast<float>(D(r) - g);
    return 0.0f;
}

struct RefCoefs { float aE, aS, aW, aN, b, pE, pS, pW, pN, pC; };

RefCoefs refCoefs(const Model& m, int32_t i, int32_t j) {
    const float rx = static_cast<float>(D(m.waveDt) / m.dxW), ry = static_cast<float>(D(m.waveDt) / m.dyW);
    const float dt = m.waveDt;
    const Grid& c = m.ccg;
    RefCoefs r;
    r.aE = static_cast<float>(D(static_cast<float>((D(c(i, j)) + c(i + 1, j)) / 2)) * rx * rx);
    r.aS = static_cast<float>(D(static_cast<float>((D(c(i, j)) + c(i, j - 1)) / 2)) * ry * ry);
    r.aW = static_cast<float>(D(static_cast<float>((D(c(i, j)) + c(i - 1, j)) / 2)) * rx * rx);
    r.aN = static_cast<float>(D(static_cast<float>((D(c(i, j)) + c(i, j + 1)) / 2)) * ry * ry);
    r.b = static_cast<float>(D(dt) * (D(dt) * m.omk(i, j)));
    const int32_t f = m.cellFlag(i, j);
    const float U = m.curU(i, j), V = m.curV(i, j);
    float UE = m.curU(i + 1, j), UW = m.curU(i - 1, j), VN = m.curV(i, j + 1), VS = m.curV(i, j - 1);
    if (f & 1) UE = -U;
    if (f & 2) VN = -V;
    if (f & 4) UW = -U;
    if (f & 8) VS = -V;
    const float uE = static_cast<float>((D(U) + UE) / 2), uW = static_cast<float>((D(U) + UW) / 2);
    const float vN = static_cast<float>((D(V) + VN) / 2), vS = static_cast<float>((D(V) + VS) / 2);
    r.pE = static_cast<float>(-D(U) * rx);
    r.pS = static_cast<float>(D(V) * ry);
    r.pW = static_cast<float>(D(U) * rx);
    r.pN = static_cast<float>(-D(V) * ry);
    r.pC = static_cast<float>(-(D(rx) * (D(uE) - uW)) - D(ry) * (D(vN) - vS));
    return r;
}

void refGather(const Model& m, const Grid& x, int32_t i, int32_t j, float p[5]) {
    const int32_t f = m.cellFlag(i, j);
    p[0] = x(i, j);
    p[1] = (f & 1) ? x(i, j) : x(i + 1, j);
    p[2] = (f & 8) ? x(i, j) : x(i, j - 1);
    p[3] = (f & 4) ? x(i, j) : x(i - 1, j);
    p[4] = (f & 2) ? x(i, j) : x(i, j + 1);
}

// C, E, S, W, N
float refStep(const Model& m, int32_t i, int32_t j, const Grid* pred) {
    const RefCoefs c = refCoefs(m, i, j);
    float q[5], o[5], s[5];
    refGather(m, m.phiCur, i, j, q);
    refGather(m, m.phiOld, i, j, o);
    const float g = m.brkEx(i, j);
    const float A = static_cast<float>(2.0 - (D(c.aE) + c.aS + c.aW + c.aN) - c.b + g);
    const float B = static_cast<float>(D(g) + 1.0);
    const float Sa = static_cast<float>(D(q[1]) * c.aE + D(q[2]) * c.aS + D(q[3]) * c.aW + D(q[4]) * c.aN);
    auto conv = [&](const float* x) {
        return D(c.pS) * x[2] + D(c.pE) * x[1] + D(c.pW) * x[3] + D(c.pN) * x[4] + D(c.pC) * x[0];
    };
    float Sold, Sx;
    if (!pred) {
        Sold = static_cast<float>(-conv(o));
        Sx = static_cast<float>(conv(q));
    } else {
        refGather(m, *pred, i, j, s);
        Sold = static_cast<float>(-conv(o) / 2.0);
        Sx = static_cast<float>(conv(s) / 2.0);
    }
    return static_cast<float>((D(q[0]) * A - o[0] + Sa + Sold + Sx) / B);
}

void referenceStep(Model& m) {
    for (int32_t i = m.ixStart; i <= m.ixEnd; ++i)
        for (int32_t j = m.jyStart; j <= m.jyEnd; ++j) {
            m.brkEx(i, j) = refGamma(m, i, j);
            if (m.cellFlag(i, j) == 15) m.phiPred(i, j) = 0;
            else if (m.cc2(i, j) == 0) m.phiPred(i, j) = m.phiCur(i, j);
            else m.phiPred(i, j) = refStep(m, i, j, nullptr);
        }
    setPredBoundary(m);
    for (int32_t i = m.ixStart; i <= m.ixEnd; ++i)
        for (int32_t j = m.jyStart; j <= m.jyEnd; ++j) {
            if (m.cellFlag(i, j) == 15) m.phiNew(i, j) = 0;
            else if (m.cc2(i, j) == 0) m.phiNew(i, j) = m.phiPred(i, j);
            else m.phiNew(i, j) = refStep(m, i, j, &m.phiPred);
        }
}

void expectSameInterior(const Model& a, const Model& b, const Grid Model::*g, const char* name) {
    int bad = 0;
    for (int32_t i = a.ixStart; i <= a.ixEnd; ++i)
        for (int32_t j = a.jyStart; j <= a.jyEnd; ++j) {
            if ((a.*g)(i, j) != (b.*g)(i, j) && ++bad <= 3)
                ADD_FAILURE() << name << " differs at (" << i << ", " << j << "): " << (a.*g)(i, j) << " vs "
                              << (b.*g)(i, j);
        }
    EXPECT_EQ(bad, 0) << name;
}

}  // namespace

TEST(WavePhiStep, FastRowsEqualThePlainFormulasBitForBit) {
    for (unsigned seed : {1u, 2u, 3u}) {
        Model fast, ref;
        randomModel(fast, seed);
        randomModel(ref, seed);
        WaveWork w;
        prepareBreaking(fast, w);
        wavePhiStep(fast, w);
        referenceStep(ref);
        expectSameInterior(fast, ref, &Model::brkEx, "brkEx");
        expectSameInterior(fast, ref, &Model::phiPred, "phiPred");
        expectSameInterior(fast, ref, &Model::phiNew, "phiNew");

        // The statistics rows against accumWaveStats cell by cell, twice to exercise the sums.
        for (int rep = 0; rep < 2; ++rep) {
            waveDiagnostics(fast);
            for (int32_t i = ref.ixStart; i <= ref.ixEnd; ++i)
                for (int32_t j = ref.jyStart; j <= ref.jyEnd; ++j) accumWaveStats(ref, i, j);
        }
        for (auto g : {&Model::eta, &Model::uOrb, &Model::vOrb, &Model::sumDiss, &Model::sumEta, &Model::etarms,
                       &Model::sumEtaU, &Model::sumEtaV, &Model::sumU, &Model::sumU2, &Model::sumV, &Model::sumV2,
                       &Model::sumEtaT2, &Model::sumEtaT, &Model::sumUV})
            expectSameInterior(fast, ref, g, "a surface field or period sum");
    }
}

TEST(WavePhiStep, PointKernelsAgreeWithTheRows) {
    Model m;
    randomModel(m, 7);
    WaveWork w;
    prepareBreaking(m, w);
    wavePhiStep(m, w);
    for (int32_t i = m.ixStart; i <= m.ixEnd; ++i)
        for (int32_t j = m.jyStart; j <= m.jyEnd; ++j) {
            if (m.cellFlag(i, j) == kLand) continue;
            const float pred = m.phiPred(i, j), next = m.phiNew(i, j);
            updatePhiPredict(m, i, j);
            EXPECT_EQ(m.phiPred(i, j), pred);
            updatePhiCorrect(m, i, j);
            EXPECT_EQ(m.phiNew(i, j), next);
        }
}

TEST(WavePhiStep, CellsWithoutWavesAndLandKeepTheirValue) {
    Model m;
    randomModel(m, 11);
    WaveWork w;
    prepareBreaking(m, w);
    wavePhiStep(m, w);
    EXPECT_EQ(m.phiNew(3, 7), m.phiCur(3, 7)) << "cc2 = 0: phiPred = phiCur, then phiNew = phiPred";
    EXPECT_EQ(m.phiNew(9, 2), m.phiCur(9, 2));
    for (int32_t i = m.ixStart; i <= m.ixEnd; ++i)
        for (int32_t j = m.jyStart; j <= m.jyEnd; ++j) {
            if (m.cellFlag(i, j) == kLand) {
                EXPECT_EQ(m.phiPred(i, j), 0.0f);
                EXPECT_EQ(m.phiNew(i, j), 0.0f);
            }
            const float h = m.dep(i, j) + m.setup(i, j);
            if (h <= 0) {
                EXPECT_EQ(m.brkEx(i, j), 0.0f) << "a dry cell never breaks";
            }
            EXPECT_GE(m.brkEx(i, j), 0.0f);
        }
}

TEST(WavePhiStep, ZeroCurrentMakesPredictorAndCorrectorEqual) {
    Model m;
    randomModel(m, 5);
    m.curU.fill(0);
    m.curV.fill(0);
    WaveWork w;
    prepareBreaking(m, w);
    wavePhiStep(m, w);
    for (int32_t i = m.ixStart; i <= m.ixEnd; ++i)
        for (int32_t j = m.jyStart; j <= m.jyEnd; ++j) EXPECT_EQ(m.phiNew(i, j), m.phiPred(i, j));
}

TEST(WavePhiStep, ClosedFacesCarryNoFluxAndMirrorTheCurrent) {
    // A flat basin: phi = x in every cell; with the east face closed, the east neighbour
    // takes the centre value, so the stencil sees the centre instead of x + dx.
    Model m;
    randomModel(m, 9);
    m.waveDt = 0.05f;
    m.cellFlag(6, 4) = kClosedE;
    const Phi5 p = gatherPhi(m, m.phiCur, 6, 4);
    EXPECT_EQ(p.E, m.phiCur(6, 4));
    EXPECT_EQ(p.W, m.phiCur(5, 4));
    // Closed east face with U != 0: uE = 0, so pC = -(rx (0 - uW)) - ry (vN - vS).
    m.curU(6, 4) = 0.4f;
    m.curU(5, 4) = 0.2f;
    m.curV(6, 4) = 0.0f;
    m.curV(6, 5) = 0.1f;
    m.curV(6, 3) = -0.1f;
    const CurrentCoefs c = currentCoefs(m, 6, 4);
    const double rx = waveRx(m), ry = waveRy(m);
    const float uW = static_cast<float>(0.5 * (0.4f + 0.2f));
    const float vN = static_cast<float>(0.5 * (0.0 + 0.1f)), vS = static_cast<float>(0.5 * (0.0 - 0.1f));
    EXPECT_FLOAT_EQ(c.pC, static_cast<float>(-(rx * (0.0 - uW)) - ry * (double(vN) - vS)));
    EXPECT_FLOAT_EQ(c.pE, static_cast<float>(-0.4 * rx)) << "point coefficients use the cell current";
    // A cell open on all sides next to a dry neighbour uses (ccg + 0)/2 on that face.
    m.ccg(8, 4) = 2.0f;
    m.ccg(9, 4) = 0.0f;
    m.cellFlag(8, 4) = 0;
    const StencilCoefs a = stencilCoefs(m, 8, 4);
    EXPECT_FLOAT_EQ(a.aE, static_cast<float>(1.0 * rx * rx));
}

namespace {

// Whole arrays, ghost ring and corners included, bit by bit.
template <class G>
int countDiffering(const G& a, const G& b) {
    if (a.size() != b.size()) return -1;
    int bad = 0;
    for (size_t k = 0; k < a.size(); ++k) bad += std::memcmp(&a.data()[k], &b.data()[k], sizeof a.data()[k]) != 0;
    return bad;
}

int countDiffering(LineArray& a, LineArray& b) {
    if (a.sLo() != b.sLo() || a.sHi() != b.sHi() || a.points() != b.points()) return -1;
    int bad = 0;
    for (int32_t l = a.sLo(); l <= a.sHi(); ++l)
        bad += std::memcmp(a.row(l), b.row(l), sizeof(float) * static_cast<size_t>(a.points())) != 0;
    return bad;
}

}  // namespace

TEST(WaveStep, OneSweepEqualsTheSeparatePassesBitForBit) {
    // The sweep interleaves the predictor, the corrector, the statistics and the sediment
    // transport row by row; the ghost rows make the first and last rows special (periodic
    // sides copy the far row), and a grid of one or two rows has them side by side.
    struct Layout { int32_t ny, south, north; };
    // The sweep also runs in slabs of rows side by side, one per thread (more threads than
    // rows included): the edge rows of every slab are predicted before the slabs run.
    struct Split { int threads; };
    for (const Layout L : {Layout{9, 16, 0}, Layout{9, 0, 16}, Layout{8, 16, 16}, Layout{2, 18, 17},
                           Layout{1, 16, 16}, Layout{1, 0, 18}})
        for (const Split p : {Split{1}, Split{2}, Split{3}, Split{7}})
        for (unsigned seed : {1u, 2u}) {
            SCOPED_TRACE("ny " + std::to_string(L.ny) + " south " + std::to_string(L.south) + " north " +
                         std::to_string(L.north) + " seed " + std::to_string(seed) + " threads " +
                         std::to_string(p.threads));
            ThreadCountScope threads(p.threads);
            Model a, b;
            randomModel(a, seed, L.ny, L.south, L.north);
            randomModel(b, seed, L.ny, L.south, L.north);
            WaveWork wa, wb;
            prepareWaveWork(a, wa);
            prepareWaveWork(b, wb);
            int moving = 0;
            for (int step = 0; step < 3; ++step) {
                waveStep(a, wa);
                wavePhiStep(b, wb);
                setPhiBoundary(b);
                waveDiagnostics(b);
                accumSedimentFlux(b, b.waveDt, b.uOrb, b.vOrb);
                for (Grid Model::*g : std::initializer_list<Grid Model::*>{&Model::phiNew, &Model::phiPred, &Model::brkEx, &Model::eta, &Model::uOrb,
                               &Model::vOrb, &Model::sumDiss, &Model::sumEta, &Model::etarms, &Model::sumEtaU,
                               &Model::sumEtaV, &Model::sumU, &Model::sumU2, &Model::sumV, &Model::sumV2,
                               &Model::sumEtaT2, &Model::sumEtaT, &Model::sumUV, &Model::qbx, &Model::qby,
                               &Model::qsx, &Model::qsy, &Model::tau, &Model::maxtau})
                    EXPECT_EQ(countDiffering(a.*g, b.*g), 0) << "step " << step;
                for (auto l : {&Model::line, &Model::lineOld, &Model::lineNew})
                    EXPECT_EQ(countDiffering(a.*l, b.*l), 0) << "open-boundary lines, step " << step;
                for (size_t k = 0; k < a.qbx.size(); ++k) moving += a.qbx.data()[k] != 0.0f;
                shiftPhiLevels(a);
                shiftPhiLevels(b);
            }
            EXPECT_GT(moving, 0) << "the case moves sediment somewhere";
        }
}
