// Laboratory check of waves and currents together: Hansen & Svendsen (1979), test 031041.
// Regular waves of 3.33 s shoal on a 1:34.25 slope from a flat bed 0.36 m deep, break near
// x = 9.2 m and decay across the surf zone; the mean water level is set down before the
// break and set up inside the surf zone. The flume is built as a narrow periodic strip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "run/RunCase.h"
#include "support/TestSupport.h"
#include "validation/ValidationSeries.h"

using namespace littoral;
using namespace littoral::test;

namespace {

struct Gauge {
    double x, H, setup;
};

std::vector<Gauge> measured() {
    std::ifstream in(std::string(LITTORAL_TEST_DATA) + "/hansen_svendsen_1979/hansen_svendsen_031041.csv");
    std::vector<Gauge> g;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        Gauge a{};
        if (std::sscanf(line.c_str(), "%lf,%lf,%lf", &a.x, &a.H, &a.setup) == 3) g.push_back(a);
    }
    return g;
}

// Averages wave height and mean level over the last intervals of the run.
struct AveragingHost : RecordingHost {
    int skip = 0, seen = 0, used = 0;
    std::vector<double> H, eta;
    void graphUVEta(const Model& m, const Grid&, const Grid&, float, const Grid&, float, float, float) override {
        if (++seen <= skip) return;
        const int nx = m.ixEnd - m.ixStart + 1;
        if (H.empty()) { H.assign(nx, 0); eta.assign(nx, 0); }
        for (int i = m.ixStart; i <= m.ixEnd; ++i) {
            double h = 0, e = 0;
            for (int j = m.jyStart; j <= m.jyEnd; ++j) { h += m.wavH(i, j); e += m.setup(i, j); }
            H[i - m.ixStart] += h / (m.jyEnd - m.jyStart + 1);
            eta[i - m.ixStart] += e / (m.jyEnd - m.jyStart + 1);
        }
        ++used;
    }
};

}  // namespace

TEST(HansenSvendsen1979, Test031041HeightSetDownAndSetUp) {
    const double dx = 0.05, h0 = 0.36, slope = 1.0 / 34.25;
    const double xShore = 0.3;                       // model X of the still shoreline
    const double xToe = xShore + h0 / slope;         // model X of the slope toe
    const double xData0 = xToe - 0.2;                // data x = 0 lies 0.2 m shoreward of the toe
    const int nx = static_cast<int>(std::ceil((xToe + 1.5) / dx)), ny = 4;
    const float T = 3.33f;

    CaseDir dir("hansen-svendsen");
    // The offshore height that shoals linearly to the measured 0.041 m on the flat bed
    // (0.0337 m: the shoaling coefficient at h/L0 = 0.021 is 1.22).
    SmallCase c{.coef = {.ixEnd = nx, .jyEnd = ny, .dx = static_cast<float>(dx), .dy = static_cast<float>(dx),
                         .nBndApprox = 17, .latitude = 0, .fricCoef = 0.005f, .brkRatio = 0.8f, .minDepth = 0.001f,
                         .tEnd = 45 * T},
                .waveH = 0.0337f,
                .waveT = T};
    c.depth = boundaryText(c.coef, [&](int i, int) {
        const double X = (i - 1) * dx;
        return X >= xToe ? h0 : h0 - (xToe - X) * slope;
    });
    Model m;
    c.prepare(dir, "hs", m);
    AveragingHost host;
    host.skip = 25;  // average over the last 20 periods, once set-up and the surf zone have settled
    runCase(m, host);
    ASSERT_GT(host.used, 5);

    auto modelAt = [&](const std::vector<double>& v, double xData) {
        const double X = xData0 - xData;
        const double s = X / dx + 1 - m.ixStart;  // fractional index into v
        const int k = std::clamp(static_cast<int>(std::floor(s)), 0, static_cast<int>(v.size()) - 2);
        const double f = s - k;
        return ((1 - f) * v[k] + f * v[k + 1]) / host.used;
    };
    const auto g = measured();
    double sH = 0, sE = 0, maxH = 0, xMaxH = 0, minE = 1, maxE = -1;
    int n = 0;
    std::printf("  x (m)    H meas  H model   eta meas  eta model (mm)\n");
    for (const Gauge& a : g) {
        const double H = modelAt(host.H, a.x), e = modelAt(host.eta, a.x);
        std::printf("  %6.2f   %.4f  %.4f   %6.2f  %6.2f\n", a.x, a.H, H, a.setup * 1e3, e * 1e3);
        sH += (H - a.H) * (H - a.H);
        sE += (e - a.setup) * (e - a.setup);
        ++n;
    }
    for (size_t k = 0; k < host.H.size(); ++k) {
        const double xData = xData0 - (k + m.ixStart - 1) * dx;
        if (xData < 0 || xData > 10.8) continue;
        const double H = host.H[k] / host.used, e = host.eta[k] / host.used;
        if (H > maxH) { maxH = H; xMaxH = xData; }
        minE = std::min(minE, e);
        maxE = std::max(maxE, e);
    }
    const double rmsH = std::sqrt(sH / n), rmsE = std::sqrt(sE / n);
    std::printf("rms difference: H %.4f m (%.0f %% of the incident 0.041 m), mean level %.2f mm\n", rmsH,
                100 * rmsH / 0.041, rmsE * 1e3);
    std::printf("largest modelled H %.4f m at x = %.2f m (measured 0.094 m at 9.15 m); lowest level %.2f mm, "
                "highest %.2f mm (measured -1.7 and +2.1 mm)\n",
                maxH, xMaxH, minE * 1e3, maxE * 1e3);
    RecordProperty("rmsH_m", std::to_string(rmsH));
    RecordProperty("rmsSetup_m", std::to_string(rmsE));

    // Tolerances: a depth-averaged mild-slope model with a height-to-depth breaking rule
    // neither resolves the plunging breaker nor the roller's delay of the set-up, so the
    // heights are expected within about 30 % of the incident height overall and the
    // mean level within about 1.5 mm; the signs of set-down and set-up must be right.
    const double boundH = 0.3 * 0.041, boundE = 1.5e-3, boundDown = -0.3e-3, boundUp = 0.5e-3;
    EXPECT_LT(rmsH, boundH);
    EXPECT_LT(rmsE, boundE);
    EXPECT_LT(minE, boundDown);  // set-down before the break
    EXPECT_GT(maxE, boundUp);    // set-up in the surf zone

    // The series of the validation report: the gauges, the model's profile along the flume
    // (x of the data, bed level, height and mean level averaged as above), the measures.
    if (!test::validationSeriesDir().empty()) {
        test::SeriesFile gauges("hansen_svendsen_gauges", {"x_m", "H_measured", "H_model", "eta_measured", "eta_model"});
        for (const Gauge& a : g) gauges.row({a.x, a.H, modelAt(host.H, a.x), a.setup, modelAt(host.eta, a.x)});
        test::SeriesFile profile("hansen_svendsen_profile", {"x_m", "bed_m", "H_model", "eta_model"});
        for (size_t k = 0; k < host.H.size(); ++k) {
            const int32_t i = static_cast<int32_t>(k) + m.ixStart;
            profile.row({xData0 - (i - 1) * dx, -double(m.dep(i, m.jyStart)), host.H[k] / host.used,
                         host.eta[k] / host.used});
        }
        const char* b = "hansen_svendsen";
        test::recordMeasure(b, "rms difference of H (m)", rmsH, "<", boundH);
        test::recordMeasure(b, "rms difference of the mean level (m)", rmsE, "<", boundE);
        test::recordMeasure(b, "lowest mean level (set-down, m)", minE, "<", boundDown);
        test::recordMeasure(b, "highest mean level (set-up, m)", maxE, ">", boundUp);
        test::recordMeasure(b, "largest H (m), measured 0.094 m at x = 9.15 m", maxH, "info", 0);
        test::recordMeasure(b, "x of the largest H (m)", xMaxH, "info", 0);
    }
}
