#include "casebuilder/SurveyFiles.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include <gdal_priv.h>
#include <ogr_spatialref.h>

namespace littoral::test {

double planeElevation(double x, double y) {
    const double s = (x - 431000) * 0.86602540378443865 + (y - 5560000) * 0.5;
    return 2 - 0.02 * s;
}

double beachElevation(double x, double y) {
    const double r2 = (x - 431300) * (x - 431300) + (y - 5560260) * (y - 5560260);
    return planeElevation(x, y) + 1.5 * std::exp(-r2 / 5000);
}

void writeGeoTiff(const std::filesystem::path& file, const RasterLayout& raster) {
    GDALAllRegister();
    GDALDriver* drv = GetGDALDriverManager()->GetDriverByName("GTiff");
    if (!drv) throw std::runtime_error("no GTiff driver");
    GDALDataset* d = drv->Create(file.c_str(), raster.cols, raster.rows, 1, GDT_Float32, nullptr);
    if (!d) throw std::runtime_error("cannot create " + file.string());
    double gt[6] = {raster.x0, raster.pixel, 0, raster.yTop, 0, -raster.pixel};
    d->SetGeoTransform(gt);
    if (raster.epsg > 0) {
        OGRSpatialReference s;
        s.importFromEPSG(raster.epsg);
        d->SetSpatialRef(&s);
    }
    GDALRasterBand* b = d->GetRasterBand(1);
    b->SetNoDataValue(raster.noData);
    std::vector<float> v(static_cast<size_t>(raster.cols) * raster.rows);
    for (int r = 0; r < raster.rows; ++r)
        for (int c = 0; c < raster.cols; ++c) {
            const double x = raster.x0 + (c + 0.5) * raster.pixel, y = raster.yTop - (r + 0.5) * raster.pixel;
            v[static_cast<size_t>(r) * raster.cols + c] =
                raster.hole && raster.hole(c, r) ? static_cast<float>(raster.noData) : static_cast<float>(raster.surface(x, y));
        }
    if (b->RasterIO(GF_Write, 0, 0, raster.cols, raster.rows, v.data(), raster.cols, raster.rows, GDT_Float32, 0, 0) != CE_None)
        throw std::runtime_error("cannot write " + file.string());
    GDALClose(d);
}

void writePoints(const std::filesystem::path& file, double x0, double x1, double y0, double y1, double spacing,
                 const std::function<double(double, double)>& surface) {
    FILE* f = std::fopen(file.c_str(), "w");
    if (!f) throw std::runtime_error("cannot write " + file.string());
    std::fprintf(f, "x y z\n");
    const int ni = static_cast<int>(std::floor((x1 - x0) / spacing)), nj = static_cast<int>(std::floor((y1 - y0) / spacing));
    for (int j = 0; j <= nj; ++j)
        for (int i = 0; i <= ni; ++i) {
            const double jx = (i == 0 || i == ni) ? 0 : (((i * 37 + j * 91) % 17) / 16.0 - 0.5) * spacing * 0.66;
            const double jy = (j == 0 || j == nj) ? 0 : (((i * 53 + j * 29) % 13) / 12.0 - 0.5) * spacing * 0.66;
            const double x = x0 + i * spacing + jx, y = y0 + j * spacing + jy;
            std::fprintf(f, "%.3f %.3f %.5f\n", x, y, surface(x, y));
        }
    std::fclose(f);
}

}  // namespace littoral::test
