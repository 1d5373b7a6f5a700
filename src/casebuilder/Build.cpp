// A case from its description: the grid laid on the map, the survey sampled at its cell
// centres, the conventions of the case files applied (depth positive downwards, the ghost
// ring, boundary codes, the wave direction in the grid's axes), the files written through
// Case::fromInputs in a temporary folder, read back and moved into place with the options
// file, the report and the map.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "casebuilder/CaseMap.h"
#include "casebuilder/Fit.h"
#include "casebuilder/Survey.h"
#include "littoral/casebuilder.h"

namespace littoral {

namespace fs = std::filesystem;
using namespace casebuilder;

namespace {

constexpr double kDegree = 0.017453292519943278;
constexpr double kGravity = 9.81;
constexpr double kPi = 3.14159265358979;
// Cells per wavelength: below kRefused the waves cannot be carried, below kWarned they are
// carried with a speed and direction that are off.
constexpr double kRefused = 4.0, kWarned = 8.0;
// The benchmark's rates on this project's two-core machine, two threads (cell-steps per second).
constexpr double kWaveRate = 67.5e6, kFlowRate = 48.5e6;

[[noreturn]] void refuse(const CaseDescription& d, const std::string& key, const std::string& what) {
    throw InputError(d.file + ": " + (key.empty() ? std::string() : key + ": ") + what, d.file, key, 0);
}

std::string fmt(double v, int digits = 2) {
    char b[64];
    std::snprintf(b, sizeof b, "%.*f", digits, v);
    return b;
}

// The wavelength of linear waves of period t on depth h (m).
double waveLength(double t, double h) {
    if (!(h > 0)) return 0;
    const double w = 2 * kPi / t;
    double k = w * w / kGravity;  // deep water
    k = std::max(k, w / std::sqrt(kGravity * h));
    for (int n = 0; n < 100; ++n) {
        const double th = std::tanh(k * h);
        const double f = kGravity * k * th - w * w;
        const double df = kGravity * th + kGravity * k * h * (1 - th * th);
        const double step = f / df;
        k -= step;
        if (std::fabs(step) < 1e-12 * k) break;
    }
    return 2 * kPi / k;
}

double norm360(double a) {
    a = std::fmod(a, 360.0);
    if (a < 0) a += 360.0;
    return a;
}

// The model's grid from the described one: turned by quarter turns until the offshore side
// lies at high X.
GridFrame modelFrame(const CaseDescription& d, const std::string& wkt) {
    GridFrame f;
    f.crsWkt = wkt;
    const double r = d.rotation * kDegree;
    const double ex[2] = {std::cos(r), std::sin(r)}, ey[2] = {-std::sin(r), std::cos(r)};
    auto described = [&](double i, double j, double& x, double& y) {
        x = d.originX + i * d.dx * ex[0] + j * d.dy * ey[0];
        y = d.originY + i * d.dx * ex[1] + j * d.dy * ey[1];
    };
    if (d.offshore == "high-x") {
        f.turned = 0;
        f.nx = d.nx, f.ny = d.ny, f.dx = d.dx, f.dy = d.dy;
        f.originX = d.originX, f.originY = d.originY;
    } else if (d.offshore == "low-x") {  // half a turn: the model's X runs along -X
        f.turned = 2;
        f.nx = d.nx, f.ny = d.ny, f.dx = d.dx, f.dy = d.dy;
        described(d.nx - 1, d.ny - 1, f.originX, f.originY);
    } else if (d.offshore == "high-y") {  // the model's X runs along Y, its Y along -X
        f.turned = 1;
        f.nx = d.ny, f.ny = d.nx, f.dx = d.dy, f.dy = d.dx;
        described(d.nx - 1, 0, f.originX, f.originY);
    } else {  // low-y: the model's X runs along -Y, its Y along X
        f.turned = 3;
        f.nx = d.ny, f.ny = d.nx, f.dx = d.dy, f.dy = d.dx;
        described(0, d.ny - 1, f.originX, f.originY);
    }
    f.rotation = d.rotation + 90.0 * f.turned;
    if (f.rotation > 180.0) f.rotation -= 360.0;
    return f;
}

struct TempFolder {
    fs::path path;
    ~TempFolder() {
        std::error_code ec;
        if (!path.empty()) fs::remove_all(path, ec);
    }
};

// Replaces `to` by `from` (a file or a folder), the old one removed once the new one is in.
void putInPlace(const fs::path& from, const fs::path& to, const fs::path& spare) {
    std::error_code ec;
    if (fs::exists(to, ec)) {
        fs::rename(to, spare, ec);
        if (ec) throw InputError(to.string() + ": cannot be replaced (" + ec.message() + ")", to.string(), "", 0);
    }
    fs::rename(from, to, ec);
    if (ec) throw InputError(to.string() + ": cannot be written (" + ec.message() + ")", to.string(), "", 0);
    fs::remove_all(spare, ec);
}

std::string tomlString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

std::string num(double v) {
    char b[64];
    std::snprintf(b, sizeof b, "%.10g", v);
    std::string s = b;
    if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
    return s;
}

}  // namespace

void GridFrame::centre(double i, double j, double& x, double& y) const {
    const double r = rotation * kDegree;
    const double c = std::cos(r), s = std::sin(r);
    x = originX + i * dx * c - j * dy * s;
    y = originY + i * dx * s + j * dy * c;
}

double modelWaveDirection(double nauticalFrom, double rotation) {
    // Travelling towards nauticalFrom + 180 clockwise from north: anticlockwise from east
    // that is 90 - (from + 180) = -90 - from; in the grid's axes less the rotation.
    return norm360(-90.0 - nauticalFrom - rotation);
}

BuiltCase buildCase(const std::string& descriptionFile) { return buildCase(readCaseDescription(descriptionFile)); }

BuiltCase buildCase(const CaseDescription& described) {
    CaseDescription d = described;  // a grid fitted to the shoreline gets its origin and rotation here
    const auto started = std::chrono::steady_clock::now();
    BuiltCase out;
    std::ostringstream rep;
    auto warn = [&](const std::string& w) { out.warnings.push_back(w); };
    const fs::path base = d.folder.empty() ? fs::current_path() : fs::path(d.folder);
    auto resolve = [&](const std::string& p) { return fs::path(p).is_absolute() ? fs::path(p) : base / p; };

    // ---- coordinate systems ----
    std::string fallback;
    if (!d.crs.empty()) fallback = crsToWkt(d.crs, d.file + ": bathymetry.crs");
    std::vector<std::string> paths, wkts;
    std::string gridWkt;
    for (size_t s = 0; s < d.sources.size(); ++s) {
        const std::string path = resolve(d.sources[s]).string();
        paths.push_back(path);
        std::string w = sourceCrs(path, d.sources[s]);
        if (w.empty()) {
            if (fallback.empty())
                refuse(d, "bathymetry.sources[" + std::to_string(s + 1) + "]",
                       d.sources[s] + " carries no coordinate system: give it as bathymetry.crs = \"EPSG:n\" (the "
                                      "system of its x and y)");
            w = fallback;
        }
        if (gridWkt.empty()) gridWkt = w;
        wkts.push_back(w);
    }
    if (!isProjectedCrs(gridWkt))
        refuse(d, "bathymetry.sources[1]",
               "the grid lies in the coordinate system of " + d.sources[0] + ", " + crsName(gridWkt) +
                   ", which is not projected: expected one in metres on the map (a UTM zone, a national grid)");

    // ---- the grid placed along the shoreline ----
    std::optional<ShorelineSearch> fit;
    if (d.fit == "shoreline") {
        Extent window;
        if (d.fitWithin) {
            window.add((*d.fitWithin)[0], (*d.fitWithin)[1]);
            window.add((*d.fitWithin)[2], (*d.fitWithin)[3]);
        } else {
            for (size_t s = 0; s < paths.size(); ++s) {
                const Extent e = sourceExtent(paths[s], d.sources[s], wkts[s], gridWkt);
                if (!e.empty) window.add(e.xMin, e.yMin), window.add(e.xMax, e.yMax);
            }
        }
        const ShorelineSearch s = findShoreline(paths, d.sources, wkts, gridWkt, window, d.elevation, d.datumOffset);
        const std::string where = d.fitWithin ? "within grid.fit_within (" + window.text() + ")"
                                              : "over the survey (" + window.text() + ")";
        if (s.samples == 0) refuse(d, "grid.fit", "no shoreline found: the survey holds no elevations " + where);
        if (s.line.points < 2 || !(s.line.length >= 2 * s.step))
            refuse(d, "grid.fit",
                   "no shoreline found " + where + ": the elevations there lie from " + fmt(s.lowest) + " to " +
                       fmt(s.highest) + " m above the datum (after bathymetry.datum_offset), " +
                       (s.line.points > 0 ? "crossing the still-water level (0 m) over only " + fmt(s.line.length) + " m"
                                          : std::string("never crossing the still-water level (0 m)")) +
                       ": expected a survey reaching from the sea onto the land (are bathymetry.vertical and "
                       "bathymetry.datum_offset right?), or give grid.origin and grid.rotation");
        placeAlongShore(d, s);
        fit = s;
        out.shoreline = s.line;
        if (s.line.rms > 0.05 * s.line.length)
            warn("the shoreline is far from straight: its points lie up to " + fmt(s.line.worst, 1) + " m (rms " +
                 fmt(s.line.rms, 1) + " m) from the fitted line of " + fmt(s.line.length, 0) +
                 " m; check the grid on the map, or give grid.fit_within round the stretch of coast to model");
    }

    // ---- the grid and its cell centres ----
    const GridFrame f = modelFrame(d, gridWkt);
    out.frame = f;
    const int nx = f.nx, ny = f.ny;
    const size_t cells = static_cast<size_t>(nx) * ny;
    std::vector<double> cx(cells), cy(cells);
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) f.centre(i, j, cx[static_cast<size_t>(j) * nx + i], cy[static_cast<size_t>(j) * nx + i]);

    // ---- the survey, later sources over earlier ones ----
    std::vector<double> z(cells, 0.0);
    std::vector<Cover> cover(cells, Cover::none);
    std::vector<Extent> extents;
    std::vector<std::string> nodataIn;
    std::vector<MapPoint> soundings;
    long points = 0;
    for (size_t s = 0; s < paths.size(); ++s) {
        const Samples got = sampleSource(paths[s], d.sources[s], wkts[s], gridWkt, cx, cy);
        extents.push_back(got.extent);
        points += got.points;
        for (const auto& [px, py] : got.dots) soundings.push_back({px, py});
        bool used = false, nodata = false;
        for (size_t k = 0; k < cells; ++k) {
            if (got.cover[k] == Cover::value) {
                z[k] = got.z[k];
                cover[k] = Cover::value;
                used = true;
            } else if (got.cover[k] == Cover::nodata && cover[k] != Cover::value) {
                cover[k] = Cover::nodata;
                nodata = true;
            }
        }
        if (got.points > 0 && used) out.farthestPoint = std::max(out.farthestPoint, got.farthest);
        if (nodata) nodataIn.push_back(d.sources[s]);
        if (!used) warn(d.sources[s] + " covers no cell of the grid");
    }
    auto surveyText = [&] {
        std::string t;
        for (size_t s = 0; s < paths.size(); ++s) t += (s ? "; " : "") + d.sources[s] + ": " + extents[s].text();
        return t;
    };
    // The grid's corners first: a grid reaching past the survey is named by them.
    {
        const int ci[4] = {0, nx - 1, nx - 1, 0}, cj[4] = {0, 0, ny - 1, ny - 1};
        std::string outside;
        for (int c = 0; c < 4; ++c) {
            const size_t k = static_cast<size_t>(cj[c]) * nx + ci[c];
            if (cover[k] == Cover::none)
                outside += (outside.empty() ? "" : ", ") + ("cell (" + std::to_string(ci[c] + 1) + ", " +
                                                            std::to_string(cj[c] + 1) + ") at x " + fmt(cx[k]) + ", y " +
                                                            fmt(cy[k]));
        }
        if (!outside.empty())
            refuse(d, fit ? "grid.fit" : "grid",
                   std::string(fit ? "the grid fitted to the shoreline" : "the grid") + " reaches past the survey: its corner " +
                       outside + " lies outside every source (the survey covers " + surveyText() + "); " +
                       (fit ? "give fewer grid.cells, a smaller grid.spacing or another grid.land_fraction"
                            : "move grid.origin, turn grid.rotation or give fewer grid.cells"));
    }
    // Gaps inside: refused unless the description asks them filled.
    {
        long gaps = 0, nodataCells = 0;
        int i0 = nx, i1 = -1, j0 = ny, j1 = -1;
        Extent where;
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i) {
                const size_t k = static_cast<size_t>(j) * nx + i;
                if (cover[k] == Cover::value) continue;
                ++gaps;
                if (cover[k] == Cover::nodata) ++nodataCells;
                i0 = std::min(i0, i), i1 = std::max(i1, i), j0 = std::min(j0, j), j1 = std::max(j1, j);
                where.add(cx[k], cy[k]);
            }
        if (gaps > 0) {
            std::string what = std::to_string(gaps) + " cells have no depth (" + std::to_string(nodataCells) +
                               " on nodata" + (nodataIn.empty() ? std::string() : " of " + nodataIn.front()) + ", " +
                               std::to_string(gaps - nodataCells) + " outside every source) in cells " +
                               std::to_string(i0 + 1) + " to " + std::to_string(i1 + 1) + " in X and " +
                               std::to_string(j0 + 1) + " to " + std::to_string(j1 + 1) + " in Y (" + where.text() + ")";
            if (d.fill != "nearest")
                refuse(d, "bathymetry.fill", what + ": give bathymetry.fill = \"nearest\" to fill them from the cells around");
            warn(what + ", filled from the nearest cells with depths");
            // Filled layer by layer from the cells around that have a value.
            std::vector<size_t> todo;
            for (size_t k = 0; k < cells; ++k)
                if (cover[k] != Cover::value) todo.push_back(k);
            while (!todo.empty()) {
                std::vector<std::pair<size_t, double>> layer;
                std::vector<size_t> rest;
                for (size_t k : todo) {
                    const int i = static_cast<int>(k % nx), j = static_cast<int>(k / nx);
                    double sum = 0;
                    int n = 0;
                    const int di[4] = {1, -1, 0, 0}, dj[4] = {0, 0, 1, -1};
                    for (int q = 0; q < 4; ++q) {
                        const int a = i + di[q], b = j + dj[q];
                        if (a < 0 || b < 0 || a >= nx || b >= ny) continue;
                        const size_t m = static_cast<size_t>(b) * nx + a;
                        if (cover[m] == Cover::value) sum += z[m], ++n;
                    }
                    if (n > 0) layer.push_back({k, sum / n});
                    else rest.push_back(k);
                }
                for (const auto& [k, v] : layer) z[k] = v, cover[k] = Cover::value;
                todo.swap(rest);
            }
        }
    }

    // ---- depths (positive downwards, below the datum) and codes ----
    CaseInputs in;
    in.name = d.name;
    in.nx = nx, in.ny = ny, in.dx = f.dx, in.dy = f.dy;
    const int W = nx + 2, H = ny + 2;
    in.depth.assign(static_cast<size_t>(W) * H, 0.0f);
    in.codes.assign(static_cast<size_t>(W) * H, 0);
    auto at = [&](int i, int j) -> size_t { return static_cast<size_t>(j) * W + i; };  // case indices with the ring
    double dMin = 1e300, dMax = -1e300;
    long land = 0;
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            const double zz = z[static_cast<size_t>(j) * nx + i];
            const double elevation = (d.elevation ? zz : -zz) + d.datumOffset;
            const double depth = -elevation;
            if (!(depth >= -9000 && depth <= 11000))
                refuse(d, "bathymetry.sources",
                       "cell (" + std::to_string(i + 1) + ", " + std::to_string(j + 1) + ") gets the depth " + fmt(depth) +
                           " m: expected -9000 to 11000 m (is bathymetry.vertical right?)");
            in.depth[at(i + 1, j + 1)] = static_cast<float>(depth);
            dMin = std::min(dMin, depth), dMax = std::max(dMax, depth);
            if (d.landAbove && elevation > *d.landAbove) {
                in.codes[at(i + 1, j + 1)] = 15;
                ++land;
            }
        }
    out.minDepth = dMin, out.maxDepth = dMax;
    const int sideCode = d.sides == "periodic" ? 16 : d.sides == "open" ? 18 : 0;
    // The ghost ring as the model treats it: the low X side (the coast) and closed sides
    // mirror the cell next to them, periodic sides take their partner across the grid, the
    // offshore side and open sides continue the cell next to them.
    for (int j = 1; j <= ny; ++j) {
        in.depth[at(0, j)] = in.depth[at(1, j)];
        in.depth[at(nx + 1, j)] = in.depth[at(nx, j)];
        in.codes[at(nx + 1, j)] = 17;
    }
    for (int i = 1; i <= nx; ++i) {
        const bool periodic = sideCode == 16;
        in.depth[at(i, 0)] = in.depth[at(i, periodic ? ny : 1)];
        in.depth[at(i, ny + 1)] = in.depth[at(i, periodic ? 1 : ny)];
        in.codes[at(i, 0)] = in.codes[at(i, ny + 1)] = sideCode;
    }
    in.depth[at(0, 0)] = in.depth[at(1, 1)];
    in.depth[at(nx + 1, 0)] = in.depth[at(nx, 1)];
    in.depth[at(0, ny + 1)] = in.depth[at(1, ny)];
    in.depth[at(nx + 1, ny + 1)] = in.depth[at(nx, ny)];
    in.tideRows.push_back({});  // row 17: the offshore side, waves in, no flow condition
    if (sideCode == 18) in.tideRows.push_back({});  // row 18: the open sides
    in.tideLevel = d.tideLevel;

    // ---- the waves ----
    const double direction = modelWaveDirection(d.from, f.rotation);
    out.direction = direction;
    if (std::fabs(direction - 180.0) >= 90.0)
        refuse(d, "waves.from",
               "waves from " + fmt(d.from, 1) + " degrees travel at " + fmt(direction, 1) +
                   " degrees in the grid's axes (180 is straight onto the coast), away from the offshore side (" +
                   d.offshore + ", which faces " + fmt(norm360(90.0 - f.rotation), 1) +
                   " degrees from north): expected waves from within 90 degrees of that");
    // The phase reference point: the deepest cell next to the wave input cells (of those
    // within a centimetre of the deepest, the one nearest the middle of the side).
    double deepest = -1e300;
    for (int j = 1; j <= ny; ++j) deepest = std::max(deepest, static_cast<double>(in.depth[at(nx, j)]));
    int phaseJ = 0;
    for (int j = 1; j <= ny; ++j)
        if (in.depth[at(nx, j)] >= deepest - 0.01 &&
            (phaseJ == 0 || std::abs(2 * j - (ny + 1)) < std::abs(2 * phaseJ - (ny + 1))))
            phaseJ = j;
    out.phaseI = nx, out.phaseJ = phaseJ;
    const double offshoreDepth = in.depth[at(nx, phaseJ)] + d.tideLevel;
    for (int j = 1; j <= ny; ++j)
        if (!(in.depth[at(nx + 1, j)] + d.tideLevel > d.minDepth))
            refuse(d, "grid.offshore",
                   "the offshore side (" + d.offshore + ") is dry at its cell " + std::to_string(j) + " (depth " +
                       fmt(in.depth[at(nx + 1, j)]) + " m, tide " + fmt(d.tideLevel) +
                       " m): the waves must come in over water; extend the grid seawards");
    const double lOff = waveLength(d.period, offshoreDepth);
    const double width = std::max(f.dx, f.dy);
    const double perOff = lOff / width;
    if (perOff < kRefused)
        refuse(d, "grid.spacing",
               "the grid is too coarse for the waves: a " + fmt(d.period, 1) + " s wave is " + fmt(lOff, 1) +
                   " m long at the offshore depth of " + fmt(offshoreDepth) + " m, " + fmt(perOff, 1) +
                   " cells of " + fmt(width) + " m: expected at least " + fmt(kRefused, 0) + " cells a wavelength (" +
                   fmt(kWarned, 0) + " or more for sound results), cells of at most " + fmt(lOff / kWarned) + " m");
    double shallowWet = 1e300;
    for (int j = 1; j <= ny; ++j)
        for (int i = 1; i <= nx; ++i) {
            const double h = in.depth[at(i, j)] + d.tideLevel;
            if (h > d.minDepth && in.codes[at(i, j)] != 15) shallowWet = std::min(shallowWet, h);
        }
    const double lShallow = waveLength(d.period, shallowWet);
    const double perShallow = lShallow / width;
    if (perOff < kWarned)
        warn("the waves offshore have " + fmt(perOff, 1) + " cells a wavelength (below " + fmt(kWarned, 0) +
             "): their speed and direction are off; cells of at most " + fmt(lOff / kWarned) + " m carry them well");
    if (perShallow < kWarned)
        warn("at the shallowest wet cells (" + fmt(shallowWet, 3) + " m) the waves have " + fmt(perShallow, 1) +
             " cells a wavelength (below " + fmt(kWarned, 0) + "): the swash there is coarse");
    // Where the offshore wave breaks (its height over the breaking ratio): the surf zone
    // starts there, and the waves up to it should be carried well.
    const double hBreak = d.height / d.breakingRatio;
    const double lBreak = waveLength(d.period, hBreak);
    const double perBreak = lBreak / width;
    if (perBreak < kWarned && hBreak < offshoreDepth)
        warn("at the breaking depth of the offshore wave (" + fmt(hBreak) + " m) the waves have " + fmt(perBreak, 1) +
             " cells a wavelength (below " + fmt(kWarned, 0) + "): cells of at most " + fmt(lBreak / kWarned) +
             " m carry the breaking waves well");

    in.height = d.height, in.period = d.period, in.direction = direction;
    in.phaseI = nx, in.phaseJ = phaseJ;
    in.groups = d.groups, in.groupAmplitude = d.groupAmplitude;
    in.latitude = d.latitude, in.friction = d.friction, in.breakingRatio = d.breakingRatio, in.minDepth = d.minDepth;
    in.startTime = d.startTime, in.endTime = d.startTime + d.duration;
    in.shieldsCritical = d.shieldsCritical, in.grainSize = d.grainSize, in.sedimentDensity = d.sedimentDensity;
    in.viscosity = d.viscosity, in.bedloadCoef = d.bedloadCoef, in.suspendedCoef = d.suspendedCoef;

    // ---- gauges in the grid's x, y (the result files' positions) ----
    std::string gaugeToml;
    std::vector<MapPoint> gaugeMap;
    for (size_t g = 0; g < d.gauges.size(); ++g) {
        const auto& m = d.gauges[g];
        const double r = f.rotation * kDegree;
        const double ddx = m.x - f.originX, ddy = m.y - f.originY;
        const double gx = ddx * std::cos(r) + ddy * std::sin(r), gy = -ddx * std::sin(r) + ddy * std::cos(r);
        if (gx < -0.5 * f.dx || gx > (nx - 0.5) * f.dx || gy < -0.5 * f.dy || gy > (ny - 0.5) * f.dy)
            refuse(d, "gauge[" + std::to_string(g + 1) + "]",
                   "the gauge \"" + m.name + "\" at x " + fmt(m.x) + ", y " + fmt(m.y) + " lies outside the grid");
        gaugeToml += "\n[[gauge]]\nname = " + tomlString(m.name) + "\nx = " + num(gx) + "\ny = " + num(gy) + "\n";
        gaugeMap.push_back({m.x, m.y});
    }

    // ---- the figures of the report ----
    const double hMax = std::max(0.0, dMax + d.tideLevel);
    const double dt0 = 0.5 * std::sqrt(f.dx * f.dy / kGravity / std::max(hMax, 1e-3));
    const long wavesPerPeriod = std::lround(d.period / dt0 + 1);
    const double flowStep = std::min(f.dx, f.dy) / (2 * std::sqrt(kGravity * std::max(hMax, 1e-3)));
    const double flowSteps = std::ceil(d.period / flowStep);
    const long intervals = static_cast<long>(std::ceil(d.duration / d.period - 1e-9));
    const double seconds =
        static_cast<double>(intervals) * static_cast<double>(cells) * (wavesPerPeriod / kWaveRate + flowSteps / kFlowRate);

    // ---- the files: made in a temporary folder beside the data folder, read back, moved ----
    const fs::path dataDir = fs::absolute(resolve(d.data)).lexically_normal();
    fs::path dataClean = dataDir;
    if (dataClean.filename().empty()) dataClean = dataClean.parent_path();
    std::error_code ec;
    fs::create_directories(dataClean.parent_path(), ec);
    TempFolder tmp;
    tmp.path = dataClean.parent_path() / (".littoral-case-" + d.name + "-" + std::to_string(getpid()));
    fs::remove_all(tmp.path, ec);
    fs::create_directories(tmp.path / "data", ec);
    if (ec) refuse(d, "case.data", "the folder " + tmp.path.string() + " cannot be made (" + ec.message() + ")");
    in.dataFolder = (tmp.path / "data").string();
    Case built = Case::fromInputs(in);  // the engine's own checks, with its messages
    (void)built;
    const fs::path tmpCase = tmp.path / "data" / d.name;

    std::string georef = "[georeference]\ncrs = " + tomlString(gridWkt) + "\norigin = [" + num(f.originX) + ", " +
                         num(f.originY) + "]\nrotation = " + num(f.rotation) + "\n";
    {
        std::ofstream o(tmp.path / "data" / (d.name + ".toml"));
        o << "# Written by littoral-case from " << fs::path(d.file).filename().string()
          << ": where the grid lies on the map (the netCDF results are placed by it).\n"
          << georef << gaugeToml;
        if (!o) refuse(d, "case.data", "the options file cannot be written");
    }

    // ---- the report ----
    rep << "Case " << d.name << " from " << d.file << "\n\n";
    rep << "Grid: " << nx << " x " << ny << " cells of " << fmt(f.dx) << " x " << fmt(f.dy) << " m in "
        << crsName(gridWkt) << "\n";
    rep << "  first cell's centre (x = 0, y = 0 of the result files) at " << fmt(f.originX) << ", " << fmt(f.originY)
        << "; X axis " << fmt(f.rotation, 3) << " degrees anticlockwise from east\n";
    if (fit) {
        const FittedShoreline& l = fit->line;
        const double across = f.nx * f.dx;
        rep << "  fitted to the shoreline (grid.fit): the still-water line (0 m above the datum) found at " << l.points
            << " points " << (d.fitWithin ? "within grid.fit_within" : "over the survey") << ", a straight line of "
            << fmt(l.length, 0) << " m from " << fmt(l.x0) << ", " << fmt(l.y0) << " to " << fmt(l.x1) << ", "
            << fmt(l.y1) << " (points within " << fmt(l.worst, 2) << " m of it, rms " << fmt(l.rms, 2)
            << " m); the sea lies " << fmt(l.bearing, 3) << " degrees anticlockwise from east; "
            << fmt(d.landFraction * across, 1) << " m of the " << fmt(across, 1) << " m across the shore on land ("
            << fmt(d.landFraction, 2) << "), centred along the shore\n";
        if (f.turned != 0)
            rep << "  described grid: origin " << fmt(d.originX) << ", " << fmt(d.originY) << ", rotation "
            << fmt(d.rotation, 3) << " degrees\n";
    }
    if (f.turned != 0)
        rep << "  turned by " << 90 * f.turned << " degrees from the description so that the offshore side ("
            << d.offshore << ") is the model's high X side, where its waves come in: " << nx << " x " << ny
            << " cells of the model stand for the described " << d.nx << " x " << d.ny << "\n";
    rep << "  offshore side (wave input, code 17): high X; coast side: low X, closed; sides: " << d.sides << " (code "
        << sideCode << ")\n";
    rep << "Survey: " << surveyText() << "\n";
    if (points > 0) rep << "  " << points << " points; largest distance from a cell centre to a point used: " << fmt(out.farthestPoint) << " m\n";
    rep << "Depth over the interior cells: " << fmt(dMin) << " to " << fmt(dMax) << " m below the datum"
        << (land > 0 ? " (" + std::to_string(land) + " cells land, code 15)" : std::string()) << "\n";
    rep << "Waves: " << fmt(d.height) << " m, " << fmt(d.period, 1) << " s from " << fmt(d.from, 1)
        << " degrees (nautical) = direction " << fmt(direction, 2)
        << " in the grid's axes (180: straight onto the coast)\n";
    rep << "  phase reference point: cell (" << nx << ", " << phaseJ << "), depth " << fmt(offshoreDepth) << " m\n";
    rep << "  wavelength at the offshore depth " << fmt(lOff, 1) << " m = " << fmt(perOff, 1) << " cells; at the shallowest wet cells ("
        << fmt(shallowWet, 3) << " m) " << fmt(lShallow, 2) << " m = " << fmt(perShallow, 1) << " cells; at the breaking depth ("
        << fmt(hBreak) << " m) " << fmt(lBreak, 1) << " m = " << fmt(perBreak, 1) << " cells\n";
    rep << "Steps: " << wavesPerPeriod << " wave steps a period; flow step about " << fmt(flowStep, 3) << " s ("
        << fmt(flowSteps, 0) << " a period) at the deepest water at rest\n";
    rep << "Run: " << fmt(d.duration, 0) << " s = " << intervals << " intervals of " << fmt(d.period, 1)
        << " s; estimated " << (seconds < 10 ? fmt(seconds, 1) : fmt(seconds, 0)) << " s of computing on two cores (" << fmt(kWaveRate / 1e6, 1)
        << " M wave and " << fmt(kFlowRate / 1e6, 1) << " M flow cell-steps a second)\n";
    for (const std::string& w : out.warnings) rep << "warning: " << w << "\n";
    rep << "Map (map.png): survey beneath (blues water, greens land, grey dots soundings), grid outline red, cells thin "
           "red, offshore side thick blue, phase reference point red circle, gauges black crosses, "
        << (fit ? "the fitted shoreline dashed orange, " : "") << "north up\n";
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    rep << "Built in " << fmt(took, 1) << " s\n";

    // ---- the map ----
    CaseMapPicture pic;
    {
        MapPoint c[4];
        f.centre(-0.5, -0.5, c[0].x, c[0].y);
        f.centre(nx - 0.5, -0.5, c[1].x, c[1].y);
        f.centre(nx - 0.5, ny - 0.5, c[2].x, c[2].y);
        f.centre(-0.5, ny - 0.5, c[3].x, c[3].y);
        Extent e;
        for (auto& p : c) e.add(p.x, p.y);
        for (const Extent& s : extents)
            if (!s.empty) e.add(s.xMin, s.yMin), e.add(s.xMax, s.yMax);
        const double pad = 0.03 * std::max(e.xMax - e.xMin, e.yMax - e.yMin);
        pic.xMin = e.xMin - pad, pic.xMax = e.xMax + pad, pic.yMin = e.yMin - pad, pic.yMax = e.yMax + pad;
        for (int k = 0; k < 4; ++k) pic.corners[k] = c[k];
        pic.offshore[0] = c[1], pic.offshore[1] = c[2];
        f.centre(nx - 1, phaseJ - 1, pic.phasePoint.x, pic.phasePoint.y);
        pic.gauges = gaugeMap;
        if (fit) pic.shoreline = {{fit->line.x0, fit->line.y0}, {fit->line.x1, fit->line.y1}};
        pic.soundings = soundings;
        const int stepI = std::max(1, nx / 40), stepJ = std::max(1, ny / 40);
        for (int i = 0; i <= nx; i += stepI) {
            MapPoint a, b;
            f.centre(i - 0.5, -0.5, a.x, a.y);
            f.centre(i - 0.5, ny - 0.5, b.x, b.y);
            pic.cellLines.push_back({a, b});
        }
        for (int j = 0; j <= ny; j += stepJ) {
            MapPoint a, b;
            f.centre(-0.5, j - 0.5, a.x, a.y);
            f.centre(nx - 0.5, j - 0.5, b.x, b.y);
            pic.cellLines.push_back({a, b});
        }
        // The rasters beneath, sampled on the picture's own pixels.
        pic.cols = 300;
        pic.rows = std::max(30, std::min(800, static_cast<int>(pic.cols * (pic.yMax - pic.yMin) / (pic.xMax - pic.xMin))));
        std::vector<double> px(static_cast<size_t>(pic.cols) * pic.rows), py(px.size());
        for (int r = 0; r < pic.rows; ++r)
            for (int q = 0; q < pic.cols; ++q) {
                px[static_cast<size_t>(r) * pic.cols + q] = pic.xMin + (q + 0.5) * (pic.xMax - pic.xMin) / pic.cols;
                py[static_cast<size_t>(r) * pic.cols + q] = pic.yMax - (r + 0.5) * (pic.yMax - pic.yMin) / pic.rows;
            }
        pic.elevation.assign(px.size(), std::numeric_limits<float>::quiet_NaN());
        for (size_t s = 0; s < paths.size(); ++s) {
            if (isPointFile(paths[s])) continue;  // drawn as dots
            const Samples got = sampleSource(paths[s], d.sources[s], wkts[s], gridWkt, px, py);
            for (size_t k = 0; k < px.size(); ++k)
                if (got.cover[k] == Cover::value)
                    pic.elevation[k] = static_cast<float>((d.elevation ? got.z[k] : -got.z[k]) + d.datumOffset);
        }
    }
    const bool mapDrawn = writeCaseMap(pic, (tmpCase / "map.png").string());
    {
        std::ofstream o(tmpCase / "report.txt");
        o << rep.str();
    }

    // ---- into place ----
    fs::create_directories(dataClean, ec);
    if (ec) refuse(d, "case.data", "the data folder " + dataClean.string() + " cannot be made (" + ec.message() + ")");
    fs::create_directories(dataClean.parent_path() / "output", ec);
    putInPlace(tmpCase, dataClean / d.name, tmp.path / "old-case");
    putInPlace(tmp.path / "data" / (d.name + "cnt.txt"), dataClean / (d.name + "cnt.txt"), tmp.path / "old-cnt");
    putInPlace(tmp.path / "data" / (d.name + ".toml"), dataClean / (d.name + ".toml"), tmp.path / "old-toml");

    out.controlFile = (dataClean / (d.name + "cnt.txt")).string();
    out.optionsFile = (dataClean / (d.name + ".toml")).string();
    out.reportFile = (dataClean / d.name / "report.txt").string();
    out.mapFile = mapDrawn ? (dataClean / d.name / "map.png").string() : "";
    out.report = rep.str();
    out.depth = std::move(in.depth);
    return out;
}

}  // namespace littoral
