// The survey's sources sampled at given map positions: GDAL rasters bilinearly between their
// pixel centres, x y z points linearly on their Delaunay triangulation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace littoral::casebuilder {

// A rectangle on the map (the grid's coordinate system).
struct Extent {
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    bool empty = true;
    void add(double x, double y);
    std::string text() const;
};

// What a source gives the cells.
enum class Cover : uint8_t { none = 0, value = 1, nodata = 2 };

struct Samples {
    std::vector<double> z;       // the value read where cover is value
    std::vector<Cover> cover;
    // Survey points only: the largest distance from a covered position to the nearest
    // corner of its triangle (in the source's units), and the points read.
    double farthest = 0;
    long points = 0;
    Extent extent;               // the source's extent in the grid's coordinate system
    // Survey points only: a few thousand of them, evenly through the file, in the grid's
    // coordinate system (for the map).
    std::vector<std::pair<double, double>> dots;
    std::string crsWkt;          // the source's coordinate system
};

// Whether a source is read as x y z points (by its name's ending) rather than as a raster.
bool isPointFile(const std::string& path);

// The coordinate system of a source as WKT ("" when it has none; an InputError naming the
// source when it is neither a raster nor a point file).
std::string sourceCrs(const std::string& path, const std::string& shownName);

// WKT of a coordinate system given as "EPSG:n", WKT or any text PROJ takes; InputError
// naming `where` when it is none.
std::string crsToWkt(const std::string& text, const std::string& where);

// Whether a coordinate system has metres on the map (a projected one), and its name
// ("WGS 84 / UTM zone 31N (EPSG:32631)").
bool isProjectedCrs(const std::string& wkt);
std::string crsName(const std::string& wkt);

// A source's extent in the grid's coordinate system (a raster's outer edges, the points'
// bounding rectangle), without sampling it.
Extent sourceExtent(const std::string& path, const std::string& shownName, const std::string& sourceWkt,
                    const std::string& gridWkt);

// Samples one source at the positions (x[k], y[k]) of the grid's coordinate system gridWkt;
// the source's own system is sourceWkt (positions are carried into it when it differs).
Samples sampleSource(const std::string& path, const std::string& shownName, const std::string& sourceWkt,
                     const std::string& gridWkt, const std::vector<double>& x, const std::vector<double>& y);

}  // namespace littoral::casebuilder
