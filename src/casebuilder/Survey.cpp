// Sampling the survey's sources with GDAL: rasters bilinearly in their pixel grid, x y z
// points on their Delaunay triangulation (GDAL's, over qhull), both exact for a plane.
#include "casebuilder/Survey.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>
#include <gdal_alg.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include "littoral/littoral.h"

namespace littoral::casebuilder {

namespace {

[[noreturn]] void refuse(const std::string& file, const std::string& what, long line = 0) {
    throw InputError(file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + what, file, "", line);
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

void gdalOnce() {
    static const bool done = [] {
        GDALAllRegister();
        CPLSetErrorHandler(CPLQuietErrorHandler);  // GDAL's messages come back as our own
        return true;
    }();
    (void)done;
}

std::string lastGdalError() {
    const char* m = CPLGetLastErrorMsg();
    return m && *m ? std::string(" (") + m + ")" : std::string();
}

struct DatasetCloser {
    void operator()(GDALDataset* d) const { GDALClose(d); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

Dataset openRaster(const std::string& path, const std::string& shown) {
    gdalOnce();
    CPLErrorReset();
    auto* d = static_cast<GDALDataset*>(GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (!d) {
        std::ifstream probe(path);
        if (!probe) refuse(shown, "the survey source cannot be opened (no such file, or not readable)");
        refuse(shown, "is neither a raster GDAL can read nor a point file (x y z text ending in .xyz, .txt, .csv or "
                      ".pts)" + lastGdalError());
    }
    if (d->GetRasterCount() < 1) {
        GDALClose(d);
        refuse(shown, "holds no raster band: expected a raster of elevations or depths");
    }
    return Dataset(d);
}

OGRSpatialReference srsOf(const std::string& wkt) {
    OGRSpatialReference s;
    s.importFromWkt(wkt.c_str());
    s.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return s;
}

// The positions carried from the grid's coordinate system into the source's (unchanged when
// the two are the same).
void toSource(const std::string& gridWkt, const std::string& sourceWkt, std::vector<double>& x, std::vector<double>& y,
              const std::string& shown) {
    if (gridWkt == sourceWkt) return;
    const OGRSpatialReference g = srsOf(gridWkt), s = srsOf(sourceWkt);
    if (g.IsSame(&s)) return;
    std::unique_ptr<OGRCoordinateTransformation> t(OGRCreateCoordinateTransformation(&g, &s));
    if (!t) refuse(shown, "its coordinate system cannot be reached from the grid's" + lastGdalError());
    std::vector<int> ok(x.size());
    t->Transform(x.size(), x.data(), y.data(), nullptr, ok.data());
    for (size_t k = 0; k < x.size(); ++k)
        if (!ok[k]) x[k] = y[k] = std::numeric_limits<double>::quiet_NaN();
}

// The source's rectangle (given in its own system) in the grid's system.
Extent extentInGrid(double x0, double x1, double y0, double y1, const std::string& sourceWkt, const std::string& gridWkt) {
    std::vector<double> xs{x0, x1, x1, x0}, ys{y0, y0, y1, y1};
    if (sourceWkt != gridWkt) {
        const OGRSpatialReference g = srsOf(gridWkt), s = srsOf(sourceWkt);
        if (!g.IsSame(&s)) {
            std::unique_ptr<OGRCoordinateTransformation> t(OGRCreateCoordinateTransformation(&s, &g));
            if (t) t->Transform(4, xs.data(), ys.data());
        }
    }
    Extent e;
    for (int k = 0; k < 4; ++k) e.add(xs[k], ys[k]);
    return e;
}

Samples sampleRaster(const std::string& path, const std::string& shown, const std::string& sourceWkt,
                     const std::string& gridWkt, std::vector<double> x, std::vector<double> y) {
    Dataset d = openRaster(path, shown);
    double gt[6];
    if (d->GetGeoTransform(gt) != CE_None)
        refuse(shown, "the raster is not placed on the map (it has no geotransform): expected a georeferenced raster");
    double inv[6];
    if (!GDALInvGeoTransform(gt, inv)) refuse(shown, "the raster's geotransform cannot be inverted (pixels of no size)");
    const int w = d->GetRasterXSize(), h = d->GetRasterYSize();
    GDALRasterBand* band = d->GetRasterBand(1);
    int hasNoData = 0;
    const double noData = band->GetNoDataValue(&hasNoData);
    int hasScale = 0, hasOffset = 0;
    const double scale = band->GetScale(&hasScale), offset = band->GetOffset(&hasOffset);

    Samples s;
    s.crsWkt = sourceWkt;
    {
        // The raster's outer edges.
        double cx[4], cy[4];
        const double px[4] = {0, double(w), double(w), 0}, py[4] = {0, 0, double(h), double(h)};
        Extent own;
        for (int k = 0; k < 4; ++k) {
            cx[k] = gt[0] + px[k] * gt[1] + py[k] * gt[2];
            cy[k] = gt[3] + px[k] * gt[4] + py[k] * gt[5];
            own.add(cx[k], cy[k]);
        }
        s.extent = extentInGrid(own.xMin, own.xMax, own.yMin, own.yMax, sourceWkt, gridWkt);
    }
    toSource(gridWkt, sourceWkt, x, y, shown);
    const size_t n = x.size();
    s.z.assign(n, 0.0);
    s.cover.assign(n, Cover::none);

    // Fractional pixel positions, measured from the first pixel's centre.
    std::vector<double> fc(n), fr(n);
    double cMin = 1e300, cMax = -1e300, rMin = 1e300, rMax = -1e300;
    for (size_t k = 0; k < n; ++k) {
        fc[k] = inv[0] + x[k] * inv[1] + y[k] * inv[2] - 0.5;
        fr[k] = inv[3] + x[k] * inv[4] + y[k] * inv[5] - 0.5;
        // Inside the raster's outer edges (half a pixel beyond the outer centres).
        if (fc[k] >= -0.5 && fc[k] <= w - 0.5 && fr[k] >= -0.5 && fr[k] <= h - 0.5) {
            cMin = std::min(cMin, fc[k]);
            cMax = std::max(cMax, fc[k]);
            rMin = std::min(rMin, fr[k]);
            rMax = std::max(rMax, fr[k]);
        } else {
            fc[k] = std::numeric_limits<double>::quiet_NaN();
        }
    }
    if (cMin > cMax) return s;  // the grid lies wholly outside this raster
    // The window of pixels the positions need, read once.
    const int c0 = std::max(0, static_cast<int>(std::floor(cMin)) - 1), c1 = std::min(w - 1, static_cast<int>(std::floor(cMax)) + 2);
    const int r0 = std::max(0, static_cast<int>(std::floor(rMin)) - 1), r1 = std::min(h - 1, static_cast<int>(std::floor(rMax)) + 2);
    const int ww = c1 - c0 + 1, wh = r1 - r0 + 1;
    std::vector<double> px(static_cast<size_t>(ww) * wh);
    if (band->RasterIO(GF_Read, c0, r0, ww, wh, px.data(), ww, wh, GDT_Float64, 0, 0) != CE_None)
        refuse(shown, "the raster's values cannot be read" + lastGdalError());
    auto isNoData = [&](double v) { return !std::isfinite(v) || (hasNoData && (v == noData || (std::isnan(noData) && std::isnan(v)))); };
    for (size_t k = 0; k < n; ++k) {
        if (std::isnan(fc[k])) continue;
        // The four pixel centres around the position; at the raster's outer half pixel the
        // nearest two columns (rows) are taken on, so that a plane stays exact.
        const int ci = std::clamp(static_cast<int>(std::floor(fc[k])), 0, std::max(0, w - 2));
        const int ri = std::clamp(static_cast<int>(std::floor(fr[k])), 0, std::max(0, h - 2));
        const double tc = w > 1 ? fc[k] - ci : 0.0, tr = h > 1 ? fr[k] - ri : 0.0;
        const int ci1 = std::min(ci + 1, w - 1), ri1 = std::min(ri + 1, h - 1);
        auto at = [&](int c, int r) { return px[static_cast<size_t>(r - r0) * ww + (c - c0)]; };
        const double v00 = at(ci, ri), v10 = at(ci1, ri), v01 = at(ci, ri1), v11 = at(ci1, ri1);
        const double w00 = (1 - tc) * (1 - tr), w10 = tc * (1 - tr), w01 = (1 - tc) * tr, w11 = tc * tr;
        if ((w00 != 0 && isNoData(v00)) || (w10 != 0 && isNoData(v10)) || (w01 != 0 && isNoData(v01)) ||
            (w11 != 0 && isNoData(v11))) {
            s.cover[k] = Cover::nodata;
            continue;
        }
        double v = 0;
        if (w00 != 0) v += w00 * v00;
        if (w10 != 0) v += w10 * v10;
        if (w01 != 0) v += w01 * v01;
        if (w11 != 0) v += w11 * v11;
        if (hasScale) v *= scale;
        if (hasOffset) v += offset;
        s.z[k] = v;
        s.cover[k] = Cover::value;
    }
    return s;
}

// Reads x y z lines: blanks, tabs, commas or semicolons between the three numbers (more
// columns are ignored), '#' comments and blank lines skipped, one header line allowed first.
void readPoints(const std::string& path, const std::string& shown, std::vector<double>& px, std::vector<double>& py,
                std::vector<double>& pz) {
    std::ifstream f(path, std::ios::binary);
    if (!f) refuse(shown, "the survey source cannot be opened (no such file, or not readable)");
    std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const char* p = text.data();
    const char* end = p + text.size();
    long line = 0;
    bool any = false;
    while (p < end) {
        ++line;
        const char* eol = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        if (!eol) eol = end;
        const char* q = p;
        auto skipSep = [&] {
            while (q < eol && (*q == ' ' || *q == '\t' || *q == ',' || *q == ';' || *q == '\r')) ++q;
        };
        skipSep();
        if (q == eol || *q == '#') {
            p = eol + 1;
            continue;
        }
        double v[3];
        int got = 0;
        for (; got < 3; ++got) {
            skipSep();
            if (q >= eol) break;
            if (*q == '+') ++q;
            const auto r = std::from_chars(q, eol, v[got]);
            if (r.ec != std::errc() || !std::isfinite(v[got])) break;
            q = r.ptr;
            if (q < eol && !(*q == ' ' || *q == '\t' || *q == ',' || *q == ';' || *q == '\r')) {
                got = -1;
                break;
            }
        }
        if (got != 3) {
            if (!any && line == 1 && got == 0) {  // a header naming the columns
                p = eol + 1;
                continue;
            }
            const std::string shownLine(p, static_cast<size_t>(std::min<ptrdiff_t>(eol - p, 60)));
            refuse(shown, "expected three numbers x y z on the line, found \"" + shownLine + "\"", line);
        }
        px.push_back(v[0]);
        py.push_back(v[1]);
        pz.push_back(v[2]);
        any = true;
        p = eol + 1;
    }
    if (px.size() < 3) refuse(shown, "holds " + std::to_string(px.size()) + " points: expected at least three x y z points");
}

struct TriangulationFree {
    void operator()(GDALTriangulation* t) const { GDALTriangulationFree(t); }
};

Samples samplePoints(const std::string& path, const std::string& shown, const std::string& sourceWkt,
                     const std::string& gridWkt, std::vector<double> x, std::vector<double> y) {
    gdalOnce();
    std::vector<double> px, py, pz;
    readPoints(path, shown, px, py, pz);
    Samples s;
    s.crsWkt = sourceWkt;
    s.points = static_cast<long>(px.size());
    Extent own;
    for (size_t k = 0; k < px.size(); ++k) own.add(px[k], py[k]);
    s.extent = extentInGrid(own.xMin, own.xMax, own.yMin, own.yMax, sourceWkt, gridWkt);
    {
        const size_t every = std::max<size_t>(1, px.size() / 4000);
        std::vector<double> dx, dy;
        for (size_t k = 0; k < px.size(); k += every) dx.push_back(px[k]), dy.push_back(py[k]);
        toSource(sourceWkt, gridWkt, dx, dy, shown);  // from the source's system into the grid's
        for (size_t k = 0; k < dx.size(); ++k)
            if (std::isfinite(dx[k])) s.dots.push_back({dx[k], dy[k]});
    }
    if (px.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
        refuse(shown, "holds more points than one triangulation takes (2^31)");
    CPLErrorReset();
    std::unique_ptr<GDALTriangulation, TriangulationFree> dt(
        GDALTriangulationCreateDelaunay(static_cast<int>(px.size()), px.data(), py.data()));
    if (!dt || !GDALTriangulationComputeBarycentricCoefficients(dt.get(), px.data(), py.data()))
        refuse(shown, "the points cannot be triangulated (all on one line, or the same point over and over)" +
                          lastGdalError());
    toSource(gridWkt, sourceWkt, x, y, shown);
    const size_t n = x.size();
    s.z.assign(n, 0.0);
    s.cover.assign(n, Cover::none);
    int facet = 0;
    for (size_t k = 0; k < n; ++k) {
        if (!std::isfinite(x[k]) || x[k] < own.xMin || x[k] > own.xMax || y[k] < own.yMin || y[k] > own.yMax) continue;
        int found = -1;
        if (!GDALTriangulationFindFacetDirected(dt.get(), facet, x[k], y[k], &found) || found < 0) continue;
        facet = found;
        double l1 = 0, l2 = 0, l3 = 0;
        if (!GDALTriangulationComputeBarycentricCoordinates(dt.get(), found, x[k], y[k], &l1, &l2, &l3)) continue;
        const int* v = dt->pasFacets[found].anVertexIdx;
        s.z[k] = l1 * pz[v[0]] + l2 * pz[v[1]] + l3 * pz[v[2]];
        s.cover[k] = Cover::value;
        double nearest = 1e300;
        for (int c = 0; c < 3; ++c) nearest = std::min(nearest, std::hypot(px[v[c]] - x[k], py[v[c]] - y[k]));
        s.farthest = std::max(s.farthest, nearest);
    }
    return s;
}

}  // namespace

void Extent::add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    if (empty) {
        xMin = xMax = x;
        yMin = yMax = y;
        empty = false;
        return;
    }
    xMin = std::min(xMin, x);
    xMax = std::max(xMax, x);
    yMin = std::min(yMin, y);
    yMax = std::max(yMax, y);
}

std::string Extent::text() const {
    if (empty) return "nothing";
    char b[160];
    std::snprintf(b, sizeof b, "x %.2f to %.2f, y %.2f to %.2f", xMin, xMax, yMin, yMax);
    return b;
}

bool isPointFile(const std::string& path) {
    const std::string l = lower(path);
    for (const char* e : {".xyz", ".txt", ".csv", ".pts", ".dat"})
        if (l.size() > std::strlen(e) && l.compare(l.size() - std::strlen(e), std::strlen(e), e) == 0) return true;
    return false;
}

std::string sourceCrs(const std::string& path, const std::string& shown) {
    if (isPointFile(path)) {
        std::ifstream probe(path);
        if (!probe) refuse(shown, "the survey source cannot be opened (no such file, or not readable)");
        return "";
    }
    Dataset d = openRaster(path, shown);
    const OGRSpatialReference* s = d->GetSpatialRef();
    if (!s || s->IsEmpty()) return "";
    char* wkt = nullptr;
    const char* options[] = {"FORMAT=WKT2_2019", nullptr};
    s->exportToWkt(&wkt, options);
    std::string out = wkt ? wkt : "";
    CPLFree(wkt);
    return out;
}

std::string crsToWkt(const std::string& text, const std::string& where) {
    gdalOnce();
    OGRSpatialReference s;
    CPLErrorReset();
    if (s.SetFromUserInput(text.c_str()) != OGRERR_NONE || s.IsEmpty())
        throw InputError(where + ": \"" + text.substr(0, 80) + "\" is not a coordinate system (expected \"EPSG:n\" or WKT)" +
                             lastGdalError(),
                         where, "", 0);
    char* wkt = nullptr;
    const char* options[] = {"FORMAT=WKT2_2019", nullptr};
    s.exportToWkt(&wkt, options);
    std::string out = wkt ? wkt : "";
    CPLFree(wkt);
    return out;
}

bool isProjectedCrs(const std::string& wkt) {
    const OGRSpatialReference s = srsOf(wkt);
    return s.IsProjected() != 0;
}

std::string crsName(const std::string& wkt) {
    const OGRSpatialReference s = srsOf(wkt);
    const char* name = s.GetName();
    const char* auth = s.GetAuthorityName(nullptr);
    const char* code = s.GetAuthorityCode(nullptr);
    std::string out = name ? name : "unnamed";
    if (auth && code) out += std::string(" (") + auth + ":" + code + ")";
    return out;
}

Extent sourceExtent(const std::string& path, const std::string& shown, const std::string& sourceWkt,
                    const std::string& gridWkt) {
    Extent own;
    if (isPointFile(path)) {
        std::vector<double> px, py, pz;
        readPoints(path, shown, px, py, pz);
        for (size_t k = 0; k < px.size(); ++k) own.add(px[k], py[k]);
    } else {
        Dataset d = openRaster(path, shown);
        double gt[6];
        if (d->GetGeoTransform(gt) != CE_None)
            refuse(shown, "the raster is not placed on the map (it has no geotransform): expected a georeferenced raster");
        const double w = d->GetRasterXSize(), h = d->GetRasterYSize();
        const double px[4] = {0, w, w, 0}, py[4] = {0, 0, h, h};
        for (int k = 0; k < 4; ++k) own.add(gt[0] + px[k] * gt[1] + py[k] * gt[2], gt[3] + px[k] * gt[4] + py[k] * gt[5]);
    }
    if (own.empty) return own;
    return extentInGrid(own.xMin, own.xMax, own.yMin, own.yMax, sourceWkt, gridWkt);
}

Samples sampleSource(const std::string& path, const std::string& shown, const std::string& sourceWkt,
                     const std::string& gridWkt, const std::vector<double>& x, const std::vector<double>& y) {
    return isPointFile(path) ? samplePoints(path, shown, sourceWkt, gridWkt, x, y)
                             : sampleRaster(path, shown, sourceWkt, gridWkt, x, y);
}

}  // namespace littoral::casebuilder
