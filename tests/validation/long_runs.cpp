// Long runs stay sound: the interval clock is formed from the interval's index and the flow
// and wave clocks count from the interval's start, so nothing loses resolution as model
// time grows (single-precision clocks lost theirs from about 65,000 s). A lake at rest
// stays at rest to 1e-6 m for 200,000 s; a plane beach of 120 x 4 cells under steady 6 s
// waves keeps its set-up within 1 cm of its value after the first hour, and its waves of
// that hour's size, for 70,000 s with the default coupling (past where single-precision
// clocks broke down; run longer, its waves grow without bound through their coupling with
// the currents, see below), and with the three choices for long runs over a reflecting
// coast its wave height cell by cell within 1 % and its set-up within 1 cm for 200,000 s. The
// sediment is held still, so the bed is the same throughout. The lake takes cells of 50 m
// and a 30 s period (no waves) so that its 200,000 s need some 40,000 steps of each model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "littoral/littoral.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {

// nx x 4 cells of dx, periodic south and north, waves of period T entering from the east,
// run from 0 to span; depth from the function of the cell column i (0 the west ghost).
template <class Depth>
CaseInputs box(const CaseDir& dir, const std::string& name, int nx, double dx, double T, double span, double height,
               Depth depth) {
    CaseInputs in;
    in.name = name;
    in.dataFolder = dir.data.string();
    in.nx = nx;
    in.ny = 4;
    in.dx = in.dy = dx;
    in.period = T;
    in.height = height;
    in.phaseI = nx;
    in.phaseJ = 1;
    in.startTime = 0;
    in.endTime = span;
    in.bedloadCoef = 0;
    in.suspendedCoef = 0;
    in.tideRows = {{0, 0, 0}};
    const int w = nx + 2, h = in.ny + 2;
    in.depth.resize(static_cast<size_t>(w * h));
    in.codes.resize(static_cast<size_t>(w * h));
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const size_t k = static_cast<size_t>(j * w + i);
            in.depth[k] = static_cast<float>(depth(i));
            const bool ghostI = i == 0 || i == w - 1, ghostJ = j == 0 || j == h - 1;
            in.codes[k] = ghostI && ghostJ ? 0 : i == w - 1 ? 17 : ghostJ ? 16 : 0;
        }
    return in;
}

std::vector<float> row(const Field& f, int j) {
    std::vector<float> v;
    for (int i = 0; i < f.nx(); ++i) v.push_back(f(i, j));
    return v;
}

}  // namespace

TEST(LongRuns, LakeAtRestStaysAtRestFor200000Seconds) {
    CaseDir dir("long-lake");
    // A flat box 3 m deep, no waves.
    const Case c = Case::fromInputs(box(dir, "lake", 20, 50, 30, 200000, 0.0, [](int) { return 3.0; }));
    ASSERT_EQ(c.intervals(), 6667);
    RunOptions o;
    o.writeFiles = false;
    littoral::Run run(c, o);
    double worst = 0, speed = 0;
    long n = 0;
    while (run.advance()) {
        ++n;
        if (n % 200 != 0 && n != c.intervals()) continue;
        const Field s = run.field("setup"), u = run.field("lfu"), v = run.field("lfv");
        for (int j = 0; j < s.ny(); ++j)
            for (int i = 0; i < s.nx(); ++i) {
                worst = std::max(worst, std::fabs(static_cast<double>(s(i, j))));
                speed = std::max({speed, std::fabs(static_cast<double>(u(i, j))), std::fabs(static_cast<double>(v(i, j)))});
            }
    }
    EXPECT_EQ(n, c.intervals());
    EXPECT_DOUBLE_EQ(run.interval().time, 200010.0);  // the interval starting at 199,980 s
    EXPECT_LT(worst, 1e-6);
    EXPECT_LT(speed, 1e-6);
}

namespace {

// The plane beach's wave height and set-up along its second row after the first hour and at
// the end of a run to `span`: 1 in 50 from 0.2 m above the still water at the west end to
// 11.8 m offshore. The set-up of cells with less than 5 cm of water is taken as 0.
struct BeachEnds {
    std::vector<float> h1, s1, h, s;
    double end = 0;
    double rowSpread = 0;  // the largest difference of the wave height between rows (m)
};
// The plane beach run to `span`.
Case beachCase(const CaseDir& dir, double span) {
    return Case::fromInputs(box(dir, "beach", 120, 5, 6, span, 1.0, [](int i) { return -0.2 + 0.1 * i; }));
}

// The largest difference of a field between any row and the second (0: the rows are alike).
double rowSpread(const Field& f) {
    double d = 0;
    for (int j = 0; j < f.ny(); ++j)
        for (int i = 0; i < f.nx(); ++i) d = std::max(d, std::fabs(static_cast<double>(f(i, j)) - f(i, 1)));
    return d;
}

BeachEnds runBeach(const std::string& name, double span, const RunOptions& options) {
    CaseDir dir(name);
    const Case c = beachCase(dir, span);
    RunOptions o = options;
    o.writeFiles = false;
    littoral::Run run(c, o);
    BeachEnds e;
    std::vector<float>&h1 = e.h1, &s1 = e.s1, &h = e.h, &s = e.s;
    while (run.advance()) {
        const double t = run.interval().time;
        if (std::fabs(t - 3600.0) < 1e-6 || run.interval().number == c.intervals() - 1) {
            const Field wavH = run.field("wavH"), setup = run.field("setup"), dep = run.field("_dep");
            (h1.empty() ? h1 : h) = row(wavH, 1);
            (s1.empty() ? s1 : s) = row(setup, 1);
            // Wet cells only count for the set-up: the dry beach top has none.
            for (int i = 0; i < setup.nx(); ++i)
                if (setup(i, 1) - dep(i, 1) < 0.05) (s.empty() ? s1 : s)[static_cast<size_t>(i)] = 0.0f;
            // How far the rows' heights stand apart (the beach is the same along every row).
            e.rowSpread = std::max(e.rowSpread, rowSpread(wavH));
        }
    }
    e.end = run.interval().time;
    return e;
}

}  // namespace

TEST(LongRuns, PlaneBeachKeepsItsWavesAndSetupFor70000Seconds) {
    const BeachEnds e = runBeach("long-beach", 70000, {});
    const std::vector<float>&h1 = e.h1, &s1 = e.s1, &h = e.h, &s = e.s;
    ASSERT_FALSE(h.empty());
    EXPECT_DOUBLE_EQ(e.end, 70002.0);  // the interval starting at 69,996 s
    double hMax1 = 0, hMax = 0, setupOff = 0, heightOff = 0;
    for (size_t i = 0; i < h.size(); ++i) {
        hMax1 = std::max(hMax1, static_cast<double>(h1[i]));
        hMax = std::max(hMax, static_cast<double>(h[i]));
        heightOff = std::max(heightOff, std::fabs(static_cast<double>(h[i]) - h1[i]));
        setupOff = std::max(setupOff, std::fabs(static_cast<double>(s[i]) - s1[i]));
    }
    EXPECT_GT(hMax1, 0.5) << "the waves must have come in";
    // The wave height on this beach does not stay at the first hour's: it holds to 0.3 % for
    // some 6,000 s; after that it changes from one period to the next (1.30 to 1.51 m at the
    // largest, 0.85 to 1.00 m 100 m inside the offshore side, against 1.28 and 0.91 m in the
    // first hour), with the bed held still, and run on, it grows without bound: the watchdog
    // stops the run at 82,776 s on 7.8 m (at 123,306 s with one row; at 84,180 s without the
    // Coriolis force). The clocks are not the cause, nor the wave model on its own: with the
    // depths and currents it sees held at still water, its heights stay within 0.2 % for
    // 200,000 s. Coupled with the set-up alone they vary by up to 15 % from some 30,000 s on
    // and stay bounded (the offshore side prescribes the incident surface and sends back what
    // the shore reflects, so the standing part of the field moves with the depth); the
    // growth comes with the currents, a current of a fraction of a millimetre per second in
    // the middle of the profile that doubles every 6,000 s or so with the waves over it. The
    // choices of the test below take these causes away; with the default coupling the test
    // holds the waves to the first hour's size within 30 % and the set-up within 1 cm over
    // 70,000 s.
    EXPECT_LT(heightOff, 0.3 * hMax1) << "wave height after the first hour " << hMax1 << " m, at the end " << hMax;
    EXPECT_LT(setupOff, 0.01);
}

// The same beach with the three choices for long runs over a reflecting coast (the absorbing
// wave input, the balanced wave force, the mean currents for the waves) for 200,000 s. The
// absorbing input takes the incident direction of 180 degrees exactly, so every row sees the
// same incident wave to the bit and the rows stay alike (with the single-precision angle's
// sine, 8.7e-8 rad off, the rows' heights drift apart, about 1 mm at 100,000 s and 9 cm at
// 200,000 s, and the cells move by up to 8 % of the first hour's).
TEST(LongRuns, PlaneBeachWithTheLongRunChoicesKeepsItsWavesAndSetupFor200000Seconds) {
    RunOptions o;
    o.absorbingInput = o.balancedWaveForce = o.meanCurrents = true;
    const BeachEnds e = runBeach("long-beach-choices", 200000, o);
    ASSERT_FALSE(e.h.empty());
    EXPECT_DOUBLE_EQ(e.end, 200004.0);  // the interval starting at 199,998 s
    double hMax1 = 0, hMax = 0, setupOff = 0, worst = 0;
    size_t worstAt = 0;
    for (size_t i = 0; i < e.h.size(); ++i) {
        hMax1 = std::max(hMax1, static_cast<double>(e.h1[i]));
        hMax = std::max(hMax, static_cast<double>(e.h[i]));
        setupOff = std::max(setupOff, std::fabs(static_cast<double>(e.s[i]) - e.s1[i]));
        if (e.h1[i] > 0.1f) {  // every cell with waves, the last of the swash aside
            const double off = std::fabs(static_cast<double>(e.h[i]) - e.h1[i]) / e.h1[i];
            if (off > worst) worst = off, worstAt = i;
        }
    }
    std::printf("largest height %.4f m after the first hour, %.4f m at the end; set-up within %.2f mm; "
                "cells within %.3f %% (column %zu); rows %.2g m apart\n",
                hMax1, hMax, setupOff * 1000, worst * 100, worstAt, e.rowSpread);
    EXPECT_GT(hMax1, 0.5) << "the waves must have come in";
    EXPECT_EQ(e.rowSpread, 0.0) << "the rows of a beach the same alongshore stay alike";
    EXPECT_LT(std::fabs(hMax - hMax1), 0.01 * hMax1) << "the largest height " << hMax1 << " m, at the end " << hMax;
    EXPECT_LT(setupOff, 0.01);
    EXPECT_LT(worst, 0.01) << "column " << worstAt;
}

// Waves at 180 degrees through the absorbing input reach every row of a beach that is the
// same alongshore with the same phase: with the three choices, after 100 periods the rows'
// heights, set-up, currents and surface are the same to the bit. (As the wave front first
// runs up the dry beach the swash cells' heights differ between rows by some 1e-12 m for a
// few periods; the mean currents and the balanced force let that die away, where with the
// absorbing input alone the swash keeps differences of some 1e-8 m.)
TEST(LongRuns, AbsorbingInputAtNormalIncidenceKeepsTheRowsAlike) {
    CaseDir dir("long-beach-rows");
    const Case c = beachCase(dir, 600);
    RunOptions o;
    o.writeFiles = false;
    o.absorbingInput = o.balancedWaveForce = o.meanCurrents = true;
    littoral::Run run(c, o);
    while (run.advance()) {
    }
    for (const char* name : {"wavH", "setup", "lfu", "lfv", "eta"}) EXPECT_EQ(rowSpread(run.field(name)), 0.0) << name;
    EXPECT_GT(run.field("wavH")(110, 1), 0.5f) << "the waves must have come in";
}
