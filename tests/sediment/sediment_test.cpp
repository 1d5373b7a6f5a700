// Bottom stress and transport accumulated over a wave period, and the bed change it makes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "run/MainLoop.h"
#include "sediment/Sediment.h"
#include "support/TestSupport.h"
#include "support/WaveSupport.h"

using namespace littoral;
using littoral::test::containsAll;
using littoral::test::stopMessage;
using littoral::test::accumSedimentFlux;

namespace {

// 6 x 5 interior cells of 10 m x 8 m, 4 m deep, still; quartz sand of 0.2 mm.
struct SedCase {
    Model m;
    Grid u, v;  // surface orbital velocities of a step
    SedCase() {
        m.ixStart = 1; m.ixEnd = 6; m.jyStart = 0; m.jyEnd = 4;
        m.dx = 10; m.dy = 8;
        m.waveT0 = 8;
        m.fricCoef = 0.01f; m.shieldsCr = 0.05f; m.bedloadCoef = 8; m.suspCoef = 1;
        m.grainSize = 2e-4f;
        m.subWeight = static_cast<float>((static_cast<float>(2650.0 / 1030) - 1.0) * 9.81 * 2e-4f);
        const double F = 36 * 1e-6 * 1e-6 / m.subWeight / 2e-4 / 2e-4;
        m.fallVel = static_cast<float>(std::sqrt(m.subWeight) * (std::sqrt(2.0 / 3 + F) - std::sqrt(F)));
        for (Grid* g : {&m.dep, &m.setup, &m.kd, &m.curU, &m.curV, &m.qbx, &m.qby, &m.qsx, &m.qsy, &m.tau,
                        &m.maxtau, &m.dh, &u, &v})
            m.allocGrid(*g);
        m.dep.fill(4.0f);
        m.kd.fill(1.0f);
        // Every ghost cell a plain (copying) edge unless a test makes a side periodic.
        m.allocGrid(m.cellFlag);
        m.bndCode.allocate(0, 2);
        m.bndCode(1) = 16;
    }
    // The ghost cells of the south and north rows (or the west and east columns) periodic:
    // the cell flag of boundary point 1, whose code is 16.
    void periodic(bool rows) {
        for (int32_t i = m.ixStart; i <= m.ixEnd && rows; ++i) m.cellFlag(i, m.jyStart - 1) = m.cellFlag(i, m.jyEnd + 1) = 16;
        for (int32_t j = m.jyStart; j <= m.jyEnd && !rows; ++j) m.cellFlag(m.ixStart - 1, j) = m.cellFlag(m.ixEnd + 1, j) = 16;
    }
    // One full wave period of n equal steps.
    void period(int n) {
        const float dt = m.waveT0 / n;
        for (int k = 0; k < n; ++k) accumSedimentFlux(m, dt, u, v);
    }
};

// Period-mean rates of a steady near-bed speed U, in double precision.
double bedloadRate(const Model& m, double U) {
    const double psi = 0.5 * m.fricCoef * U * U / m.subWeight;
    return (psi - m.shieldsCr) * m.bedloadCoef * std::sqrt(psi) * std::sqrt(m.subWeight) * m.grainSize;
}
double suspendedRate(const Model& m, double U) {
    const double psi = 0.5 * m.fricCoef * U * U / m.subWeight;
    return (psi - m.shieldsCr) * m.suspCoef * m.fallVel * m.grainSize;
}

template <class F>
void forEachCell(const Model& m, F f) {
    for (int32_t i = m.ixStart - 1; i <= m.ixEnd + 1; ++i)
        for (int32_t j = m.jyStart - 1; j <= m.jyEnd + 1; ++j) f(i, j);
}

}  // namespace

TEST(SedimentFlux, StillWaterMovesNothing) {
    SedCase c;
    c.period(17);
    forEachCell(c.m, [&](int32_t i, int32_t j) {
        for (const Grid* g : {&c.m.qbx, &c.m.qby, &c.m.qsx, &c.m.qsy, &c.m.tau, &c.m.maxtau}) EXPECT_EQ((*g)(i, j), 0.0f);
    });
}

TEST(SedimentFlux, SteadyCurrentOverAPeriodGivesTheSteadyRates) {
    SedCase c;
    const double U = 0.8, ang = 0.6;  // 0.8 m/s towards 34 degrees: psi = 1.04
    c.m.curU.fill(static_cast<float>(U * std::cos(ang)));
    c.m.curV.fill(static_cast<float>(U * std::sin(ang)));
    c.period(17);
    const double qb = bedloadRate(c.m, U), qs = suspendedRate(c.m, U);
    const double tau = 1030 * 0.5 * c.m.fricCoef * U * U;
    ASSERT_GT(qb, 0);
    // 17 weights of 1/17 and 17 additions in single precision: 2e-6 relative; the current
    // components are floats: 1e-7.
    forEachCell(c.m, [&](int32_t i, int32_t j) {
        EXPECT_NEAR(c.m.qbx(i, j), qb * std::cos(ang), 2e-6 * qb);
        EXPECT_NEAR(c.m.qby(i, j), qb * std::sin(ang), 2e-6 * qb);
        EXPECT_NEAR(c.m.qsx(i, j), qs * std::cos(ang), 2e-6 * qs);
        EXPECT_NEAR(c.m.qsy(i, j), qs * std::sin(ang), 2e-6 * qs);
        EXPECT_NEAR(c.m.tau(i, j), tau, 2e-6 * tau);
        EXPECT_NEAR(c.m.maxtau(i, j), tau, 1e-6 * tau);
    });
}

TEST(SedimentFlux, CriticalShieldsNumberIsTakenStrictly) {
    SedCase c;
    // fricCoef 0.025, speed 2 m/s and subWeight 1 give psi = 0.05 exactly in single precision.
    c.m.fricCoef = 0.025f;
    c.m.subWeight = 1.0f;
    c.m.curU.fill(2.0f);
    c.period(4);
    forEachCell(c.m, [&](int32_t i, int32_t j) {
        EXPECT_EQ(c.m.qbx(i, j), 0.0f);
        EXPECT_EQ(c.m.qsx(i, j), 0.0f);
        EXPECT_NEAR(c.m.tau(i, j), 1030 * 0.05, 1e-4);
        EXPECT_NEAR(c.m.maxtau(i, j), 1030 * 0.05, 1e-4);
    });
    // A little faster: transport starts.
    c.m.curU.fill(2.01f);
    c.period(4);
    EXPECT_GT(c.m.qbx(3, 2), 0.0f);
    EXPECT_GT(c.m.qsx(3, 2), 0.0f);
}

TEST(SedimentFlux, StillCellFormsNoDirectionEvenWithoutAThreshold) {
    // With a critical Shields number of 0 a still cell has excess 0, not above it: the
    // direction ub/|ub| = 0/0 is never formed.
    SedCase c;
    c.m.shieldsCr = 0.0f;
    c.m.curU(3, 2) = 0.3f;  // one moving cell beside still ones
    c.period(2);
    EXPECT_GT(c.m.qbx(3, 2), 0.0f);
    EXPECT_EQ(c.m.qbx(2, 2), 0.0f);
    EXPECT_EQ(c.m.qby(2, 2), 0.0f);
    EXPECT_EQ(c.m.qsx(2, 2), 0.0f);
}

TEST(SedimentFlux, OrbitalVelocityReachesTheBedAsOneOverCoshKh) {
    SedCase c;
    c.u.fill(1.2f);
    c.v.fill(-0.5f);
    c.m.kd(2, 1) = 150.0f;  // deep water: the waves do not reach the bed
    c.m.curU(2, 1) = 0.6f;
    c.m.kd(4, 3) = 150.0f;  // deep water, no current: nothing at all
    c.period(1);
    // kh = 1: bed velocity 1.3 m/s / cosh 1; float velocities: 1e-6 relative.
    const double ub = 1.3 / std::cosh(1.0);
    const double tau = 1030 * 0.5 * c.m.fricCoef * ub * ub;
    EXPECT_NEAR(c.m.tau(3, 2), tau, 1e-6 * tau);
    const double qb = bedloadRate(c.m, ub);
    EXPECT_NEAR(c.m.qbx(3, 2), qb * 1.2 / 1.3, 1e-5 * qb);
    EXPECT_NEAR(c.m.qby(3, 2), -qb * 0.5 / 1.3, 1e-5 * qb);
    // kh > 100: the current alone.
    const double tauC = 1030 * 0.5 * c.m.fricCoef * 0.36;
    EXPECT_NEAR(c.m.tau(2, 1), tauC, 1e-6 * tauC);
    EXPECT_NEAR(c.m.qbx(2, 1), bedloadRate(c.m, 0.6), 1e-5 * bedloadRate(c.m, 0.6));
    EXPECT_EQ(c.m.qby(2, 1), 0.0f);
    EXPECT_EQ(c.m.tau(4, 3), 0.0f);
    EXPECT_EQ(c.m.qbx(4, 3), 0.0f);
}

TEST(SedimentFlux, DryCellsGainNothingAndMaxtauKeepsThePeak) {
    SedCase c;
    c.m.curU.fill(1.0f);
    c.m.dep(3, 2) = -0.5f;
    c.m.setup(3, 2) = 0.5f;  // total depth exactly 0: dry
    c.m.dep(5, 4) = -2.0f;   // above the water
    c.period(2);
    for (auto [i, j] : {std::pair{3, 2}, std::pair{5, 4}}) {
        EXPECT_EQ(c.m.qbx(i, j), 0.0f);
        EXPECT_EQ(c.m.tau(i, j), 0.0f);
        EXPECT_EQ(c.m.maxtau(i, j), 0.0f);
    }
    // A weaker second half leaves the peak of the first.
    const float peak = c.m.maxtau(1, 1);
    c.m.curU.fill(0.5f);
    c.period(2);
    EXPECT_EQ(c.m.maxtau(1, 1), peak);
    EXPECT_NEAR(c.m.tau(1, 1), peak * 1.25, 1e-6 * peak);  // 1 + 0.25 of the stress
}

TEST(SedimentFlux, RowsWithPeriodBedFactorsEqualTheWholeGridPass) {
    // The wave step adds the transport row by row with bed factors formed once per period;
    // that must give the whole-grid pass bit for bit, over dry, deep, shallow and ghost cells.
    SedCase a, b;
    for (SedCase* c : {&a, &b}) {
        forEachCell(c->m, [&](int32_t i, int32_t j) {
            c->m.kd(i, j) = static_cast<float>(0.05 + 0.37 * i + 0.11 * j);
            c->m.curU(i, j) = static_cast<float>(0.4 * std::sin(1.3 * i + j));
            c->m.curV(i, j) = static_cast<float>(0.5 * std::cos(0.7 * i - 2.0 * j));
            c->u(i, j) = static_cast<float>(0.9 * std::cos(0.3 * i * j));
            c->v(i, j) = static_cast<float>(-0.6 * std::sin(0.2 * i + 0.5 * j));
        });
        c->m.kd(2, 2) = 150.0f;   // deep: the current alone
        c->m.dep(3, 1) = -0.5f;   // dry
        c->m.dep(0, 0) = -0.1f;   // dry ghost corner
        c->m.curU(5, 3) = 0.0f;   // still cell
        c->m.curV(5, 3) = 0.0f;
        c->u(5, 3) = c->v(5, 3) = 0.0f;
    }
    Grid fac;
    bedFactors(b.m, fac);
    EXPECT_LT(fac(3, 1), 0.0f) << "a dry cell is marked by a negative factor";
    EXPECT_EQ(fac(2, 2), 0.0f);
    const SedimentCoefs sc = sedimentCoefs(b.m, 0.4f);
    for (int step = 0; step < 3; ++step) {
        accumSedimentFlux(a.m, 0.4f, a.u, a.v);
        for (int32_t j = b.m.jyStart - 1; j <= b.m.jyEnd + 1; ++j)
            accumSedimentRow(b.m, sc, fac, b.u, b.v, j, b.m.ixStart - 1, b.m.ixEnd + 1);
    }
    int moved = 0;
    forEachCell(a.m, [&](int32_t i, int32_t j) {
        moved += a.m.qbx(i, j) != 0.0f;
        for (auto g : {&Model::qbx, &Model::qby, &Model::qsx, &Model::qsy, &Model::tau, &Model::maxtau})
            EXPECT_EQ((a.m.*g)(i, j), (b.m.*g)(i, j)) << i << "," << j;
    });
    EXPECT_GT(moved, 10);
    EXPECT_EQ(a.m.tau(3, 1), 0.0f);
}

TEST(BedChange, UniformTransportLeavesTheBed) {
    SedCase c;
    c.m.qbx.fill(3e-5f);
    c.m.qby.fill(-2e-5f);
    c.m.qsx.fill(1e-5f);
    c.m.qsy.fill(7e-6f);
    c.m.dh.fill(1.0f);  // stale values must all be replaced
    bedChange(c.m);
    forEachCell(c.m, [&](int32_t i, int32_t j) { EXPECT_EQ(c.m.dh(i, j), 0.0f) << i << "," << j; });
}

TEST(BedChange, LinearTransportGivesUniformChangeGhostRingIncluded) {
    SedCase c;
    const double a = 1e-5, b = 2e-6;  // per cell in X (bedload), per cell in Y (suspended load)
    forEachCell(c.m, [&](int32_t i, int32_t j) {
        c.m.qbx(i, j) = static_cast<float>(a * i);
        c.m.qsy(i, j) = static_cast<float>(-b * j);
    });
    bedChange(c.m);
    // Diverging bedload deepens, converging suspended load fills; float rates: 1e-6 relative.
    const double expect = c.m.waveT0 * (a / c.m.dx - b / c.m.dy);
    forEachCell(c.m, [&](int32_t i, int32_t j) { EXPECT_NEAR(c.m.dh(i, j), expect, 1e-6 * std::fabs(expect)) << i << "," << j; });
}

TEST(BedChange, GhostRingCopiesTheNearestInteriorCellCornersTheDiagonal) {
    SedCase c;
    // A bedload source at each interior corner cell: divergence differs from cell to cell.
    c.m.qbx(c.m.ixStart + 1, c.m.jyStart) = 1e-4f;
    c.m.qbx(c.m.ixEnd - 1, c.m.jyEnd) = -1e-4f;
    bedChange(c.m);
    const int32_t i0 = c.m.ixStart, i1 = c.m.ixEnd, j0 = c.m.jyStart, j1 = c.m.jyEnd;
    for (int32_t i = i0; i <= i1; ++i) {
        EXPECT_EQ(c.m.dh(i, j0 - 1), c.m.dh(i, j0));
        EXPECT_EQ(c.m.dh(i, j1 + 1), c.m.dh(i, j1));
    }
    for (int32_t j = j0; j <= j1; ++j) {
        EXPECT_EQ(c.m.dh(i0 - 1, j), c.m.dh(i0, j));
        EXPECT_EQ(c.m.dh(i1 + 1, j), c.m.dh(i1, j));
    }
    EXPECT_NE(c.m.dh(i0, j0), 0.0f);
    EXPECT_EQ(c.m.dh(i0 - 1, j0 - 1), c.m.dh(i0, j0));
    EXPECT_EQ(c.m.dh(i1 + 1, j1 + 1), c.m.dh(i1, j1));
    EXPECT_EQ(c.m.dh(i0 - 1, j1 + 1), c.m.dh(i0, j1));
    EXPECT_EQ(c.m.dh(i1 + 1, j0 - 1), c.m.dh(i1, j0));
}

// A periodic side's ghost takes the change of its partner at the other end of the grid, not
// of its neighbour; the corners still take their diagonal neighbour's, and a closed side
// beside a periodic one still copies its neighbour.
TEST(BedChange, PeriodicGhostsTakeTheirPartnersChange) {
    for (bool rows : {true, false}) {
        SCOPED_TRACE(rows ? "south and north periodic" : "west and east periodic");
        SedCase c;
        c.periodic(rows);
        // Transport growing as i^2 + 3 j^2: a change different in every row and column.
        forEachCell(c.m, [&](int32_t i, int32_t j) {
            c.m.qbx(i, j) = static_cast<float>(1e-6 * i * i);
            c.m.qsy(i, j) = static_cast<float>(3e-6 * j * j);
        });
        bedChange(c.m);
        const int32_t i0 = c.m.ixStart, i1 = c.m.ixEnd, j0 = c.m.jyStart, j1 = c.m.jyEnd;
        for (int32_t i = i0; i <= i1; ++i) {
            EXPECT_EQ(c.m.dh(i, j0 - 1), c.m.dh(i, rows ? j1 : j0)) << i;
            EXPECT_EQ(c.m.dh(i, j1 + 1), c.m.dh(i, rows ? j0 : j1)) << i;
        }
        for (int32_t j = j0; j <= j1; ++j) {
            EXPECT_EQ(c.m.dh(i0 - 1, j), c.m.dh(rows ? i0 : i1, j)) << j;
            EXPECT_EQ(c.m.dh(i1 + 1, j), c.m.dh(rows ? i1 : i0, j)) << j;
        }
        EXPECT_NE(c.m.dh(i0, j0), c.m.dh(i0, j1));
        EXPECT_NE(c.m.dh(i0, j0), c.m.dh(i1, j0));
        EXPECT_EQ(c.m.dh(i0 - 1, j0 - 1), c.m.dh(i0, j0 - 1));
        EXPECT_EQ(c.m.dh(i1 + 1, j1 + 1), c.m.dh(i1, j1 + 1));
    }
}

// The morphological factor scales the change; 0 leaves every cell at +0.
TEST(BedChange, FactorScalesTheChangeAndZeroHoldsTheBed) {
    SedCase c;
    forEachCell(c.m, [&](int32_t i, int32_t j) { c.m.qbx(i, j) = static_cast<float>(1e-5 * i - 2e-6 * j * j); });
    bedChange(c.m);
    const Grid one = c.m.dh;
    bedChange(c.m, 10.0);
    forEachCell(c.m, [&](int32_t i, int32_t j) { EXPECT_NEAR(c.m.dh(i, j), 10.0 * one(i, j), 1e-6 * std::fabs(10.0 * one(i, j))); });
    bedChange(c.m, 0.0);
    forEachCell(c.m, [&](int32_t i, int32_t j) {
        EXPECT_EQ(c.m.dh(i, j), 0.0f);
        EXPECT_FALSE(std::signbit(c.m.dh(i, j)));
    });
}

TEST(BedChange, ApplyAddsTheChangeAndClearEmptiesTheSums) {
    SedCase c;
    forEachCell(c.m, [&](int32_t i, int32_t j) {
        c.m.dh(i, j) = 0.25f * i - 0.5f * j;
        for (Grid* g : {&c.m.qbx, &c.m.qby, &c.m.qsx, &c.m.qsy, &c.m.tau, &c.m.maxtau}) (*g)(i, j) = 1.5f;
    });
    applyBedChange(c.m);
    clearTransport(c.m);
    forEachCell(c.m, [&](int32_t i, int32_t j) {
        EXPECT_EQ(c.m.dep(i, j), 4.0f + 0.25f * i - 0.5f * j);
        EXPECT_EQ(c.m.dh(i, j), 0.0f);
        for (const Grid* g : {&c.m.qbx, &c.m.qby, &c.m.qsx, &c.m.qsy, &c.m.tau, &c.m.maxtau}) EXPECT_EQ((*g)(i, j), 0.0f);
    });
}

TEST(BedChange, NonFiniteChangeStopsTheRunNamingCellAndTime) {
    // The interval check of the main loop scans dh: a transport rate that overflowed
    // becomes a bed change that is not a number in the neighbouring cells.
    SedCase c;
    c.m.qbx(4, 2) = INFINITY;
    bedChange(c.m);
    EXPECT_FALSE(std::isfinite(c.m.dh(3, 2)));
    EXPECT_TRUE(containsAll(stopMessage([&] { checkFinite(c.m, 96.0f); }), {"bed change", "(3, 2)", "96 s"}));
}
