// Laboratory check of refraction and diffraction together: the elliptic shoal of Berkhoff,
// Booy & Radder (1982). Regular waves (T = 1 s, H0 = 4.64 cm, 0.45 m of water) cross an
// elliptic shoal set on a 1:50 slope whose contours are turned 20 degrees to the crests; the
// shoal acts as a lens and behind it the height about doubles. The model's wave height is
// compared with the measured H/H0 on the five transverse sections (x = 1, 3, 5, 7, 9 m) and
// the three longitudinal ones (y = -2, 0, +2 m).
//
// The tank on the grid: x from -10.5 m (wave input on the west edge, on the flat 0.45 m bed
// in front of the toe of the slope) to 16.5 m (open, radiating east edge), y from -10 to
// +10 m between reflecting side walls; cells of 0.10 m. The slope is clipped at 0.10 m, so
// the shallow end is a flat shelf and the whole east edge lies in 0.10 m of water, where the
// wavelength is 0.92 m: the cell is then about a tenth of the wavelength, the spacing of the
// radiating line's points, and the edge reflects about 2 % (0.15 m cells reflect 29 % there,
// 0.075 m cells 11 %, 0.05 m cells 35 %, and the finer grids compare worse on sections 1-3
// for that reason).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "support/WaveSupport.h"
#include "validation/ValidationSeries.h"

using namespace littoral;
using littoral::test::WaveCaseSpec;

namespace {

constexpr double kPi = 3.14159265358979;
constexpr double kH0 = 0.0464, kDeep = 0.45, kMinDepth = 0.10;

// Still-water depth in the frame of the data: origin at the shoal centre, x along the tank
// in the direction of the incident waves, y transverse (right-handed). Slope coordinates
// x' = x cos20 - y sin20, y' = x sin20 + y cos20; the bed rises 1:50 from x' = -5.82 m, and
// inside (x'/3)^2 + (y'/4)^2 < 1 the shoal raises it by -0.3 + 0.5 sqrt(1 - (x'/3.75)^2 -
// (y'/5)^2) (0.20 m at the centre, where h = 0.1336 m). Clipped at kMinDepth.
double tankDepth(double x, double y) {
    const double c = std::cos(20 * kPi / 180), s = std::sin(20 * kPi / 180);
    const double xr = x * c - y * s, yr = x * s + y * c;
    double h = xr < -5.82 ? kDeep : kDeep - 0.02 * (5.82 + xr);
    if ((xr / 3) * (xr / 3) + (yr / 4) * (yr / 4) < 1)
        h -= -0.3 + 0.5 * std::sqrt(1 - (xr / 3.75) * (xr / 3.75) - (yr / 5) * (yr / 5));
    return std::max(h, kMinDepth);
}

// One measured point: set "A" (amplitudes in mm, all eight sections) or "B" (ratios read
// at irregular abscissae, sections 2, 3, 5, 7).
struct Point {
    std::string set;
    int section;
    double x, y, ratio;  // ratio = measured H/H0
};

std::vector<Point> measured() {
    std::ifstream in(std::string(LITTORAL_TEST_DATA) + "/berkhoff_shoal/berkhoff_H_over_H0.csv");
    std::vector<Point> pts;
    std::string line;
    std::getline(in, line);  // header: set,section,x_m,y_m,amplitude_mm,H_over_H0
    while (std::getline(in, line)) {
        char set[8] = {};
        Point p{};
        double amp = 0;
        if (std::sscanf(line.c_str(), "%7[^,],%d,%lf,%lf,%lf,%lf", set, &p.section, &p.x, &p.y, &amp, &p.ratio) == 6 ||
            std::sscanf(line.c_str(), "%7[^,],%d,%lf,%lf,,%lf", set, &p.section, &p.x, &p.y, &p.ratio) == 5) {
            p.set = set;
            pts.push_back(p);
        }
    }
    return pts;
}

// The tank on the model grid: cell centres at x = x0 + (i - 0.5) d, y = y0 + (j - 0.5) d.
struct Tank {
    double x0 = -10.5, x1 = 16.5, y0 = -10, y1 = 10, d = 0.10;
    int32_t nx() const { return static_cast<int32_t>(std::lround((x1 - x0) / d)); }
    int32_t ny() const { return static_cast<int32_t>(std::lround((y1 - y0) / d)); }
    double x(int32_t i) const { return x0 + (i - 0.5) * d; }
    double y(int32_t j) const { return y0 + (j - 0.5) * d; }
};

// Bilinear interpolation of a cell-centred field at (x, y) of the data frame.
double interpolate(const Grid& g, const Tank& t, double x, double y) {
    const double fi = (x - t.x0) / t.d + 0.5, fj = (y - t.y0) / t.d + 0.5;
    const int32_t i = std::clamp(static_cast<int32_t>(std::floor(fi)), 1, t.nx() - 1);
    const int32_t j = std::clamp(static_cast<int32_t>(std::floor(fj)), 1, t.ny() - 1);
    const double a = fi - i, b = fj - j;
    return (1 - a) * (1 - b) * g(i, j) + a * (1 - b) * g(i + 1, j) + (1 - a) * b * g(i, j + 1) +
           a * b * g(i + 1, j + 1);
}

}  // namespace

TEST(BerkhoffShoal1982, HeightOnTheEightSections) {
    const auto start = std::chrono::steady_clock::now();
    const Tank t;
    WaveCaseSpec s;
    s.nx = t.nx();
    s.ny = t.ny();
    s.dx = s.dy = static_cast<float>(t.d);
    s.T = 1;
    s.H = static_cast<float>(kH0);
    s.dirDeg = 0;  // along +x
    s.brkRatio = 0.8f;
    s.west = 17;   // wave input
    s.east = 18;   // open, radiating
    s.south = s.north = 0;  // side walls
    Model m;
    test::buildWaveCase(m, s, [&](double X, double Y) { return tankDepth(t.x0 + X, t.y0 + Y); });
    test::RecordingHost host;

    const auto pts = measured();
    ASSERT_EQ(pts.size(), 305u) << "points in berkhoff_H_over_H0.csv";

    // 60 periods: the wave crosses the 27 m tank in about 32 s, and the field then needs
    // the reflections between the shoal, the side walls and the wave input to settle.
    const int periods = 60, nLast = 3;
    std::vector<std::vector<double>> last;  // model H/H0 at the points after each of the last periods
    int breakingInside = 0, breakingCells = 0;
    double xBrk0 = 1e9, xBrk1 = -1e9, hBrk1 = 0;
    for (int p = 0; p < periods; ++p) {
        test::runWavePeriods(m, host, 1, p);
        // Breaking: any dissipation during this period, inside the measured region
        // (x from -0.5 to 11.5 m, |y| up to 5.25 m) and elsewhere.
        for (int32_t j = 1; j <= s.ny; ++j)
            for (int32_t i = 1; i <= s.nx; ++i) {
                if (!(m.sumDiss(i, j) > 0)) continue;
                const double x = t.x(i), y = t.y(j);
                if (x > -0.5 && x < 11.5 && std::fabs(y) < 5.25) ++breakingInside;
                if (p == periods - 1) {
                    ++breakingCells;
                    xBrk0 = std::min(xBrk0, x), xBrk1 = std::max(xBrk1, x);
                    hBrk1 = std::max(hBrk1, static_cast<double>(m.dep(i, j)));
                }
            }
        if (p >= periods - nLast) {
            std::vector<double> v;
            for (const Point& q : pts) v.push_back(interpolate(m.wavH, t, q.x, q.y) / kH0);
            last.push_back(v);
        }
    }
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    double change = 0;
    for (size_t n = 0; n < pts.size(); ++n) change += std::pow(last[nLast - 1][n] - last[nLast - 2][n], 2);
    change = std::sqrt(change / pts.size());
    const std::vector<double>& H = last.back();
    double sumA[9] = {}, sumB[9] = {};
    int nA[9] = {}, nB[9] = {};
    double peak = 0, xPeak = 0;
    for (size_t n = 0; n < pts.size(); ++n) {
        const Point& q = pts[n];
        const double e = H[n] - q.ratio;
        if (q.set == "A") {
            sumA[q.section] += e * e;
            ++nA[q.section];
            if (q.section == 7 && H[n] > peak) peak = H[n], xPeak = q.x;
        } else {
            sumB[q.section] += e * e;
            ++nB[q.section];
        }
    }
    std::printf("grid %d x %d cells of %.2f m, %d periods of %d steps, %.1f s\n", s.nx, s.ny, t.d, periods, m.nStep,
                secs);
    std::printf("rms change of H/H0 at the points over the last period: %.4f\n", change);
    std::printf("breaking: %d cell-periods inside the measured region; %d cells in the last period", breakingInside,
                breakingCells);
    if (breakingCells) std::printf(" (x %.1f..%.1f m, depth at most %.3f m)", xBrk0, xBrk1, hBrk1);
    std::printf("\nsection 7 (y = 0): largest model H/H0 %.2f at x = %.1f m (measured 2.02 at x = 5.0 m)\n", peak,
                xPeak);
    double rms[9] = {};
    for (int sec = 1; sec <= 8; ++sec) {
        ASSERT_GT(nA[sec], 20) << "section " << sec;
        rms[sec] = std::sqrt(sumA[sec] / nA[sec]);
        std::printf("section %d: rms H/H0 difference %.3f (%d points)", sec, rms[sec], nA[sec]);
        if (nB[sec]) std::printf("; against the second set %.3f (%d points)", std::sqrt(sumB[sec] / nB[sec]), nB[sec]);
        std::printf("\n");
        RecordProperty("rms_section_" + std::to_string(sec), std::to_string(rms[sec]));
    }

    // The comparison is of a settled field: measured 0.005.
    EXPECT_LT(change, 0.01);
    // A non-breaking case: the waves must not break where they were measured (measured: no
    // breaking there in any period). Outside, they reach the limit (0.8 tanh(kh)/kh of the
    // depth, H = 0.07 m) only on the clipped shelf: mostly beside the south wall, where the
    // wall reflects the waves refracted towards it, and in a few spots of the focused beams
    // east of x = 13 m (measured: at most 0.11 m deep).
    EXPECT_EQ(breakingInside, 0);
    EXPECT_LT(hBrk1, 0.12);
    // The lens: a focus behind the shoal on the centre line (measured 2.02 at x = 5 m).
    EXPECT_GT(peak, 1.8);
    EXPECT_GE(xPeak, 3.0);
    EXPECT_LE(xPeak, 7.0);

    // Tolerances: the model is a linear mild-slope model, and it reproduces the linear
    // theory here (on a flat bed its wave number is within 1.2 % of linear dispersion at these
    // cells). In front of the focus (section 1, x = 1 m) it is expected within 0.1 of H/H0.
    // Behind the shoal the measured focus is shaped by amplitude dispersion: the higher
    // waves in the focus travel faster, which spreads the focus and moves it downstream.
    // Without it the model focuses too early and too strongly (largest H/H0 on the centre
    // line about 2.4 near x = 4.5 m, measured 2.0 near 5 m), and the interference pattern
    // behind shifts, so sections 2-7 differ by 0.2-0.4 of H/H0. (A trial with the composite
    // amplitude-dispersion relation in the coefficients brought the same case within 0.07-0.18
    // on every section.) Bounds: the measured differences (0.060, 0.231, 0.226, 0.261, 0.403,
    // 0.322, 0.371, 0.158) plus about 0.04, so that a fault in the refraction, the
    // diffraction, the incident wave or the boundaries shows.
    const double bound[9] = {0, 0.10, 0.27, 0.27, 0.30, 0.45, 0.37, 0.42, 0.20};
    for (int sec = 1; sec <= 8; ++sec) EXPECT_LT(rms[sec], bound[sec]) << "section " << sec;

    // The series of the validation report: model and measured H/H0 at the points, the
    // model's field, and the measures asserted above with their bounds.
    if (!test::validationSeriesDir().empty()) {
        test::SeriesFile points("berkhoff_points", {"set", "section", "x_m", "y_m", "measured", "model"});
        for (size_t n = 0; n < pts.size(); ++n)
            points.row(pts[n].set, {double(pts[n].section), pts[n].x, pts[n].y, pts[n].ratio, H[n]});
        test::SeriesFile field("berkhoff_field", {"x_m", "y_m", "depth_m", "H_over_H0"});
        for (int32_t i = 1; i <= s.nx; i += 2)
            for (int32_t j = 1; j <= s.ny; j += 2)
                field.row({t.x(i), t.y(j), double(m.dep(i, j)), m.wavH(i, j) / kH0});
        const char* b = "berkhoff_shoal";
        test::recordMeasure(b, "rms change of H/H0 over the last period", change, "<", 0.01);
        test::recordMeasure(b, "cell-periods breaking inside the measured region", breakingInside, "==", 0);
        test::recordMeasure(b, "largest model H/H0 on section 7", peak, ">", 1.8);
        test::recordMeasure(b, "x of that largest H/H0 (m)", xPeak, "in", 3.0, 7.0);
        for (int sec = 1; sec <= 8; ++sec)
            test::recordMeasure(b, "rms difference of H/H0, section " + std::to_string(sec), rms[sec], "<",
                                bound[sec]);
    }
}
