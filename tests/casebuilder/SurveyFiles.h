// Surveys made for the case builder's tests: an analytic beach (a plane rising towards the
// coast with a Gaussian shoal) written as a GeoTIFF or as x y z points in UTM zone 31N.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace littoral::test {

// Elevation above the datum (m) at map position x, y: a plane of slope 1:50 falling along
// the bearing 30 degrees anticlockwise from east, 2 m high at (431000, 5560000), and a
// shoal of 1.5 m and 50 m radius at (431300, 5560260).
double beachElevation(double x, double y);
// The plane alone.
double planeElevation(double x, double y);

struct RasterLayout {
    double x0 = 430850, yTop = 5560500;  // the upper left corner
    double pixel = 5.0;
    int cols = 140, rows = 120;
    int epsg = 32631;                     // 0: no coordinate system
    double noData = -9999;
    // Pixels (col, row) whose value is nodata.
    std::function<bool(int, int)> hole;
    std::function<double(double, double)> surface = beachElevation;
};
void writeGeoTiff(const std::filesystem::path& file, const RasterLayout& raster);

// Points over the rectangle [x0, x1] x [y0, y1], about `spacing` apart, each moved by up to a
// third of it in a fixed pattern.
void writePoints(const std::filesystem::path& file, double x0, double x1, double y0, double y1, double spacing,
                 const std::function<double(double, double)>& surface = beachElevation);

}  // namespace littoral::test
