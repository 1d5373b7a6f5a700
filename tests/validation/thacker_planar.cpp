// The flow solver alone against Thacker's exact oscillation in a parabolic basin (table in
// tests/data/thacker_planar, see the README there): a frictionless channel with the bed
// z = D0 (x/L)^2, D0 = 4 m, L = 10 m, whose water surface stays a tilted plane rocking back
// and forth with the period T = 7.0925 s, amplitude A = 2 m of the centre of mass; both
// shorelines move, x = A cos(wt) +- L, over a bed that is wetted and dried each period.
//
// A channel of 1 m wide cells along X from -15 to +15 m, one cell across, cells of 0.10 m
// (200 cells over the wet part); the basin's own slopes hold the water, the ends stay dry.
// The datum is the basin's mean level D0: the input depth is D0 - z (negative above it), and
// the initial level is the exact surface at t = 0, where the water is at rest. Output
// intervals of T/8 land the flow clock on the tabulated times.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/FlowSupport.h"
#include "validation/ValidationSeries.h"

using namespace littoral;
using namespace littoral::test;

namespace {

constexpr double kD0 = 4, kL = 10, kA = 2, kG = 9.81;
constexpr double kX0 = -15, kX1 = 15;

double omega() { return std::sqrt(2 * kG * kD0) / kL; }
double bed(double x) { return kD0 * (x / kL) * (x / kL); }

struct Exact {
    std::vector<double> x, z, w, h;
};

// The table's rows by eighth of the period (0..8).
std::map<int, Exact> readTable() {
    std::ifstream in(std::string(LITTORAL_TEST_DATA) + "/thacker_planar/thacker_planar_D4_L10_A2.csv");
    std::map<int, Exact> e;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::vector<double> v;
        std::stringstream ss(line);
        std::string f;
        while (std::getline(ss, f, ',')) v.push_back(std::stod(f));
        if (v.size() < 7) continue;
        Exact& r = e[static_cast<int>(std::lround(v[0] * 8))];
        r.x.push_back(v[2]);
        r.z.push_back(v[3]);
        r.w.push_back(v[4]);
        r.h.push_back(v[5]);
    }
    return e;
}

struct Basin {
    Model m;
    double dx;
    explicit Basin(double dxIn) : dx(dxIn) {
        const double T = 2 * 3.14159265358979 / omega();
        const FlowGridSpec s{.nx = static_cast<int>(std::lround((kX1 - kX0) / dx)), .ny = 1,
                             .dx = static_cast<float>(dx), .dy = 1, .minDepth = 0.001f,
                             .interval = static_cast<float>(T / 8)};
        m = makeFlowModel(s);
        for (int32_t i = m.ixStart - 1; i <= m.ixEnd + 1; ++i)
            for (int32_t j = m.jyStart - 1; j <= m.jyEnd + 1; ++j) {
                // A closed end's ghost cell mirrors its interior neighbour and stands on its
                // bed: it takes the neighbour's depth and level.
                const double x = xOf(std::clamp(i, m.ixStart, m.ixEnd)), z = bed(x);
                const double w = kD0 + 2 * kA * kD0 / (kL * kL) * (x - kA / 2);  // t = 0
                m.dep(i, j) = static_cast<float>(kD0 - z);
                // Dry land starts with no water at all: level = -depth exactly (a level
                // rounded apart from the bed would leave films of 1e-7 m that the
                // critical-depth limit of the cell update fills up).
                m.setup(i, j) = w > z ? static_cast<float>(w - kD0) : -m.dep(i, j);
            }
        startFlow(m);
    }
    double xOf(int32_t i) const { return kX0 + (i - 0.5) * dx; }
    // Depth at x, linear between cell centres (m).
    double depthAt(double x) const {
        const double p = (x - kX0) / dx + 0.5;
        const int32_t i = std::clamp(static_cast<int32_t>(std::floor(p)), m.ixStart, m.ixEnd - 1);
        const double f = p - i;
        return (1 - f) * depthM(m, i, 1) + f * depthM(m, i + 1, 1);
    }
    // Shorelines: where the depth, scanned from each end inwards, first rises through `level`.
    std::pair<double, double> shorelines(double level) const {
        double west = 1e9, east = -1e9;
        for (int32_t i = m.ixStart; i < m.ixEnd; ++i) {
            const double a = depthM(m, i, 1), b = depthM(m, i + 1, 1);
            if (a < level && b >= level) { west = xOf(i) + (level - a) / (b - a) * dx; break; }
        }
        for (int32_t i = m.ixEnd; i > m.ixStart; --i) {
            const double a = depthM(m, i, 1), b = depthM(m, i - 1, 1);
            if (a < level && b >= level) { east = xOf(i) - (level - a) / (b - a) * dx; break; }
        }
        return {west, east};
    }
};

}  // namespace

// Two periods with the main loop's own step (half the step gives the same surface to 1 mm
// and the shorelines within 5 cm).
//
// What the scheme does with this flow: the water runs up the west slope and down the east
// one in the first half period. Up the advancing side the model follows the exact solution:
// the surface within 1.5 cm rms over the wet part at T/8 and the shoreline within 6 cm until
// it turns at T/2. On the receding side the thin sheet draining down the slope is
// supercritical, and the cell update raises the depth wherever the new discharge would be
// supercritical (Froude number held at 1): the sheet is held on the slope instead of
// draining. The east shoreline stays at its starting place, x = 11.84 m, and the west one,
// once it turns at T/2, at its highest, x = -11.94 m; water is added (14 % of the volume in
// the first half period, 56 % in two periods). From then on the
// basin holds too much water and the surface is decimetres to metres off; those figures are
// recorded for the report, and bounds about them catch a change of the behaviour.
TEST(ThackerPlanar, SurfaceAndShorelinesOverTwoPeriods) {
    SilentHost host;
    Basin b(0.10);
    const auto exact = readTable();
    ASSERT_EQ(exact.size(), 9u) << "eighths of the period in the table";
    const double v0 = interiorVolume(b.m);
    const double level = 0.01;  // depth of the shoreline, m

    int eighth = 0;
    std::vector<double> rmsAt(17), maxAt(17), westErr(17), eastErr(17), eastAt(17), westAt(17), gainAt(17);
    runFlowIntervals(b.m, host, 16, [&](float) {
        ++eighth;
        const Exact& e = exact.at(eighth % 8 == 0 ? 8 : eighth % 8);
        const double t = eighth * (2 * 3.14159265358979 / omega()) / 8;
        double s2 = 0, mx = 0;
        int n = 0;
        for (size_t p = 0; p < e.x.size(); ++p) {
            if (!(e.h[p] > 0)) continue;
            const double err = b.depthAt(e.x[p]) - e.h[p];  // surface error where the exact water is
            s2 += err * err;
            mx = std::max(mx, std::fabs(err));
            ++n;
        }
        rmsAt[eighth] = std::sqrt(s2 / n);
        maxAt[eighth] = mx;
        const auto [xw, xe] = b.shorelines(level);
        const double c = kA * std::cos(omega() * t);
        westErr[eighth] = std::fabs(xw - (c - kL));
        eastErr[eighth] = std::fabs(xe - (c + kL));
        eastAt[eighth] = xe;
        westAt[eighth] = xw;
        gainAt[eighth] = (interiorVolume(b.m) - v0) / v0;
        std::printf("t = %2d T/8: surface rms %.4f m, max %.4f m; shorelines %.3f %.3f m (exact %.3f %.3f); "
                    "volume %+.1f %%\n", eighth, rmsAt[eighth], mx, xw, xe, c - kL, c + kL, 100 * gainAt[eighth]);
        if (!validationSeriesDir().empty() && (eighth == 1 || eighth == 2 || eighth == 4 || eighth == 8)) {
            SeriesFile model("thacker_planar_t" + std::to_string(eighth) + "_model", {"x_m", "bed_m", "stage_m"});
            for (int32_t i = b.m.ixStart; i <= b.m.ixEnd; ++i) {
                const double x = b.xOf(i), h = depthM(b.m, i, 1);
                model.row({x, bed(x), bed(x) + h});
            }
            SeriesFile ex("thacker_planar_t" + std::to_string(eighth) + "_exact", {"x_m", "bed_m", "stage_m"});
            for (size_t p = 0; p < e.x.size(); ++p) ex.row({e.x[p], e.z[p], e.w[p]});
        }
    });
    ASSERT_EQ(eighth, 16);
    const double westAdvancing = *std::max_element(westErr.begin() + 1, westErr.begin() + 5);
    const double eastStuck = std::max(*std::max_element(eastAt.begin() + 1, eastAt.end()) -
                                          *std::min_element(eastAt.begin() + 1, eastAt.end()),
                                      *std::max_element(westAt.begin() + 5, westAt.end()) -
                                          *std::min_element(westAt.begin() + 5, westAt.end()));

    // Bounds on what the model follows: measured 0.0145 and 0.077 m, 0.054 m.
    const double boundRms1 = 0.02, boundRms2 = 0.10, boundWest = 0.10;
    EXPECT_LT(rmsAt[1], boundRms1);
    EXPECT_LT(rmsAt[2], boundRms2);
    EXPECT_LT(westAdvancing, boundWest);
    // The behaviour of the held sheet: a receding shoreline moves by less than a cell (measured
    // 3 mm in the east over 2T, 35 mm in the west after T/2); the volume grows by 14 % in the
    // first half period and 56 % in two periods.
    const double boundStuck = 0.10;
    EXPECT_LT(eastStuck, boundStuck);
    EXPECT_GT(gainAt[4], 0.10);
    EXPECT_LT(gainAt[4], 0.20);
    EXPECT_GT(gainAt[16], 0.45);
    EXPECT_LT(gainAt[16], 0.70);
    // Never worse than the whole depth of the basin (a blow-up or a lost basin).
    EXPECT_LT(*std::max_element(maxAt.begin() + 1, maxAt.end()), kD0);

    const char* bm = "thacker_planar";
    recordMeasure(bm, "rms surface error over the wet part (m), t = T/8", rmsAt[1], "<", boundRms1);
    recordMeasure(bm, "rms surface error over the wet part (m), t = T/4", rmsAt[2], "<", boundRms2);
    recordMeasure(bm, "advancing (west) shoreline error, t = T/8 .. T/2 (m)", westAdvancing, "<", boundWest);
    recordMeasure(bm, "movement of a receding shoreline (m; exact 4 m)", eastStuck, "<",
                  boundStuck);
    recordMeasure(bm, "relative volume change, t = T/2", gainAt[4], "in", 0.10, 0.20);
    recordMeasure(bm, "relative volume change, t = 2T", gainAt[16], "in", 0.45, 0.70);
    recordMeasure(bm, "rms surface error over the wet part (m), t = T/2", rmsAt[4], "info", 0);
    recordMeasure(bm, "rms surface error over the wet part (m), t = T", rmsAt[8], "info", 0);
    recordMeasure(bm, "rms surface error over the wet part (m), t = 2T", rmsAt[16], "info", 0);
}
