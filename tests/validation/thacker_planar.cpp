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
                const double x = xOf(i), z = bed(x);
                const double w = kD0 + 2 * kA * kD0 / (kL * kL) * (x - kA / 2);  // t = 0
                m.dep(i, j) = static_cast<float>(kD0 - z);
                m.setup(i, j) = static_cast<float>(std::max(w, z) - kD0);
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

// Two periods with the main loop's own step. Measured on 0.10 m cells: the surface within
// 5-23 mm rms over the exact wet part (the error grows slowly with time: the scheme's
// first-order damping and the water the Froude limit adds at the thin edges, where the
// flow is supercritical); shorelines within 0.1-0.3 m of the exact ones.
TEST(ThackerPlanar, SurfaceAndShorelinesOverTwoPeriods) {
    SilentHost host;
    Basin b(0.10);
    const auto exact = readTable();
    ASSERT_EQ(exact.size(), 9u) << "eighths of the period in the table";
    const double v0 = interiorVolume(b.m);
    const double level = 0.01;  // depth of the shoreline, m

    int eighth = 0;
    double worstRms = 0, worstMax = 0, worstShore = 0, lastRms = 0;
    runFlowIntervals(b.m, host, 16, [&](float) {
        ++eighth;
        const int k = eighth % 8 == 0 ? 8 : eighth % 8;
        const Exact& e = exact.at(k);
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
        const double rms = std::sqrt(s2 / n);
        worstRms = std::max(worstRms, rms);
        worstMax = std::max(worstMax, mx);
        lastRms = rms;
        const auto [xw, xe] = b.shorelines(level);
        const double c = kA * std::cos(omega() * t);
        const double ew = std::fabs(xw - (c - kL)), ee = std::fabs(xe - (c + kL));
        worstShore = std::max({worstShore, ew, ee});
        std::printf("t = %2d T/8: surface rms %.4f m, max %.4f m; shorelines %.3f %.3f m (exact %.3f %.3f)\n",
                    eighth, rms, mx, xw, xe, c - kL, c + kL);
        if (!validationSeriesDir().empty() && (eighth == 10 || eighth == 12 || eighth == 14 || eighth == 16)) {
            SeriesFile model("thacker_planar_t" + std::to_string(eighth) + "_model", {"x_m", "bed_m", "stage_m"});
            for (int32_t i = b.m.ixStart; i <= b.m.ixEnd; ++i) {
                const double x = b.xOf(i), h = depthM(b.m, i, 1);
                model.row({x, bed(x), h > 0 ? bed(x) + h : bed(x)});
            }
            SeriesFile ex("thacker_planar_t" + std::to_string(eighth) + "_exact", {"x_m", "bed_m", "stage_m"});
            for (size_t p = 0; p < e.x.size(); ++p) ex.row({e.x[p], e.z[p], e.w[p]});
        }
    });
    ASSERT_EQ(eighth, 16);
    const double gain = (interiorVolume(b.m) - v0) / v0;
    std::printf("volume change over two periods: %.3f %%\n", 100 * gain);

    // Bounds: the measured values with a margin of about a third; a fault in the bed-slope
    // balance, the wet/dry front or the fluxes shows as centimetres to decimetres.
    const double boundRms = 0.03, boundMax = 0.15, boundShore = 0.40, boundGain = 0.01;
    EXPECT_LT(worstRms, boundRms);
    EXPECT_LT(worstMax, boundMax);
    EXPECT_LT(worstShore, boundShore);
    EXPECT_LT(std::fabs(gain), boundGain);

    const char* bm = "thacker_planar";
    recordMeasure(bm, "largest rms surface error over the wet part (m), t = T/8 .. 2T", worstRms, "<", boundRms);
    recordMeasure(bm, "largest |surface error| (m)", worstMax, "<", boundMax);
    recordMeasure(bm, "largest shoreline position error (m)", worstShore, "<", boundShore);
    recordMeasure(bm, "relative change of the water volume over 2T", std::fabs(gain), "<", boundGain);
    recordMeasure(bm, "rms surface error at t = 2T (m)", lastRms, "info", 0);
}
