#include "casebuilder/Fit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace littoral::casebuilder {

namespace {

constexpr double kDegree = 0.017453292519943278;
constexpr int kLatticeLong = 400;  // lattice points along the window's longer side

}  // namespace

ShorelineSearch findShoreline(const std::vector<std::string>& paths, const std::vector<std::string>& shown,
                              const std::vector<std::string>& wkts, const std::string& gridWkt, const Extent& window,
                              bool elevation, double datumOffset) {
    ShorelineSearch out;
    out.window = window;
    const double w = window.xMax - window.xMin, h = window.yMax - window.yMin;
    if (window.empty || !(w > 0) || !(h > 0)) return out;
    out.step = std::max(w, h) / kLatticeLong;
    const int cols = std::max(2, static_cast<int>(std::ceil(w / out.step)));
    const int rows = std::max(2, static_cast<int>(std::ceil(h / out.step)));
    const size_t n = static_cast<size_t>(cols) * rows;
    std::vector<double> x(n), y(n);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            x[static_cast<size_t>(r) * cols + c] = window.xMin + (c + 0.5) * w / cols;
            y[static_cast<size_t>(r) * cols + c] = window.yMin + (r + 0.5) * h / rows;
        }
    const double none = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> e(n, none);
    for (size_t s = 0; s < paths.size(); ++s) {
        const Samples got = sampleSource(paths[s], shown[s], wkts[s], gridWkt, x, y);
        for (size_t k = 0; k < n; ++k)
            if (got.cover[k] == Cover::value) e[k] = (elevation ? got.z[k] : -got.z[k]) + datumOffset;
    }

    // The crossings of the datum along the lattice's rows and columns, linear between points.
    std::vector<double> px, py;
    double eSum = 0, lowest = 1e300, highest = -1e300;
    auto cross = [&](size_t a, size_t b) {
        const double ea = e[a], eb = e[b];
        if (std::isnan(ea) || std::isnan(eb) || (ea <= 0) == (eb <= 0)) return;
        const double t = ea / (ea - eb);
        px.push_back(x[a] + t * (x[b] - x[a]));
        py.push_back(y[a] + t * (y[b] - y[a]));
    };
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            const size_t k = static_cast<size_t>(r) * cols + c;
            if (std::isnan(e[k])) continue;
            ++out.samples;
            eSum += e[k];
            lowest = std::min(lowest, e[k]);
            highest = std::max(highest, e[k]);
            if (c + 1 < cols) cross(k, k + 1);
            if (r + 1 < rows) cross(k, k + cols);
        }
    if (out.samples > 0) out.lowest = lowest, out.highest = highest;
    if (px.size() < 2) return out;

    // The principal axis of the crossings: the line of least squares across it.
    const double m = static_cast<double>(px.size());
    double mx = 0, my = 0;
    for (size_t k = 0; k < px.size(); ++k) mx += px[k], my += py[k];
    mx /= m, my /= m;
    double sxx = 0, syy = 0, sxy = 0;
    for (size_t k = 0; k < px.size(); ++k) {
        const double a = px[k] - mx, b = py[k] - my;
        sxx += a * a, syy += b * b, sxy += a * b;
    }
    const double theta = 0.5 * std::atan2(2 * sxy, sxx - syy);
    double nx = -std::sin(theta), ny = std::cos(theta);  // across the line
    // The sea lies where the elevations fall.
    const double eMean = eSum / static_cast<double>(out.samples);
    double slope = 0;
    for (size_t k = 0; k < n; ++k)
        if (!std::isnan(e[k])) slope += (e[k] - eMean) * ((x[k] - mx) * nx + (y[k] - my) * ny);
    if (slope > 0) nx = -nx, ny = -ny;
    const double ux = -ny, uy = nx;  // along the line, the sea on its right
    double t0 = 1e300, t1 = -1e300, sum2 = 0, worst = 0;
    for (size_t k = 0; k < px.size(); ++k) {
        const double a = px[k] - mx, b = py[k] - my;
        const double t = a * ux + b * uy, s = a * nx + b * ny;
        t0 = std::min(t0, t), t1 = std::max(t1, t);
        sum2 += s * s;
        worst = std::max(worst, std::fabs(s));
    }
    FittedShoreline& l = out.line;
    l.points = static_cast<long>(px.size());
    l.x0 = mx + t0 * ux, l.y0 = my + t0 * uy;
    l.x1 = mx + t1 * ux, l.y1 = my + t1 * uy;
    l.length = t1 - t0;
    l.rms = std::sqrt(sum2 / m);
    l.worst = worst;
    l.bearing = std::atan2(ny, nx) / kDegree;
    out.seaX = nx, out.seaY = ny;
    out.midX = mx + 0.5 * (t0 + t1) * ux, out.midY = my + 0.5 * (t0 + t1) * uy;
    return out;
}

void placeAlongShore(CaseDescription& d, const ShorelineSearch& s) {
    // The model's frame: X across the shore towards the sea, Y along it.
    const bool acrossIsX = d.offshore == "high-x" || d.offshore == "low-x";
    const int nxm = acrossIsX ? d.nx : d.ny, nym = acrossIsX ? d.ny : d.nx;
    const double dxm = acrossIsX ? d.dx : d.dy, dym = acrossIsX ? d.dy : d.dx;
    const double nx = s.seaX, ny = s.seaY, ux = -ny, uy = nx;
    const double across = nxm * dxm;
    const double s0 = -d.landFraction * across + 0.5 * dxm;   // the first cell's centre from the line
    const double t0 = -0.5 * nym * dym + 0.5 * dym;            // from the middle of the span
    auto cell = [&](int i, int j, double& x, double& y) {
        x = s.midX + (s0 + i * dxm) * nx + (t0 + j * dym) * ux;
        y = s.midY + (s0 + i * dxm) * ny + (t0 + j * dym) * uy;
    };
    // The described grid's first cell and the turn of its X axis from the model's.
    double turn = 0;
    if (d.offshore == "high-x") {
        cell(0, 0, d.originX, d.originY);
    } else if (d.offshore == "low-x") {
        cell(nxm - 1, nym - 1, d.originX, d.originY);
        turn = 180;
    } else if (d.offshore == "high-y") {
        cell(0, nym - 1, d.originX, d.originY);
        turn = -90;
    } else {
        cell(nxm - 1, 0, d.originX, d.originY);
        turn = 90;
    }
    double r = s.line.bearing + turn;
    while (r > 180) r -= 360;
    while (r <= -180) r += 360;
    d.rotation = r;
}

}  // namespace littoral::casebuilder
