// littoral-case: a rotated grid laid over an analytic beach (GeoTIFF and x y z points in
// UTM zone 31N), the depths against the surface, the conventions of the case files, every
// bad input refused with nothing written, the built case run by both programs and its
// georeferenced results.nc.
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <sstream>

#include <gtest/gtest.h>

#include "casebuilder/SurveyFiles.h"
#include "littoral/casebuilder.h"
#include "support/TestSupport.h"

#ifdef LITTORAL_NETCDF
#include <netcdf.h>
#endif

namespace fs = std::filesystem;
using namespace littoral;
using namespace littoral::test;

namespace {

std::string readText(const fs::path& p) {
    std::ifstream f(p);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// A scratch folder with the analytic survey and a description whose keys can be changed.
struct Site {
    explicit Site(const std::string& name) : root(fs::temp_directory_path() / ("littoral-case-" + name + "-" + std::to_string(::getpid()))) {
        fs::remove_all(root);
        fs::create_directories(root);
        writeGeoTiff(root / "survey.tif", RasterLayout{});
        // Points over the grid's area only, 8 m apart.
        writePoints(root / "soundings.xyz", 430880, 431520, 5559920, 5560480, 8.0);
        keys = {{"case.name", "\"bay\""},
                {"case.data", "\"data\""},
                {"bathymetry.sources", "[\"survey.tif\"]"},
                {"bathymetry.vertical", "\"elevation\""},
                {"bathymetry.crs", "\"EPSG:32631\""},
                {"grid.origin", "[431050.0, 5559950.0]"},
                {"grid.rotation", "30.0"},
                {"grid.spacing", "[2.5, 5.0]"},
                {"grid.cells", "[160, 40]"},
                {"grid.offshore", "\"high-x\""},
                {"grid.sides", "\"periodic\""},
                {"waves.height", "0.5"},
                {"waves.period", "8.0"},
                {"waves.from", "60.0"},
                {"tide.level", "0.0"},
                {"run.duration", "16.0"}};
    }
    ~Site() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    // The description with the keys as they stand ("" as a value leaves the key out).
    fs::path description(const std::string& extra = "") const {
        std::map<std::string, std::vector<std::string>> tables;
        for (const auto& [k, v] : keys) {
            if (v.empty()) continue;
            const size_t dot = k.find('.');
            tables[k.substr(0, dot)].push_back(k.substr(dot + 1) + " = " + v);
        }
        std::string text;
        for (const auto& [t, lines] : tables) {
            text += "[" + t + "]\n";
            for (const std::string& l : lines) text += l + "\n";
            text += "\n";
        }
        const fs::path p = root / "bay.toml";
        std::ofstream(p) << text << extra;
        return p;
    }
    BuiltCase build(const std::string& extra = "") const { return buildCase(description(extra).string()); }
    // The InputError's message of a build that must fail, and that nothing was written.
    std::string refusal(const std::string& extra = "") const {
        try {
            buildCase(description(extra).string());
        } catch (const InputError& e) {
            EXPECT_FALSE(fs::exists(root / "data")) << "a refused case wrote its data folder";
            for (const auto& entry : fs::directory_iterator(root))
                EXPECT_EQ(entry.path().filename().string().rfind(".littoral-case", 0), std::string::npos)
                    << "a temporary folder was left: " << entry.path();
            return e.what();
        }
        ADD_FAILURE() << "the case was built";
        return "";
    }
    fs::path root;
    std::map<std::string, std::string> keys;
};

// The case-file depth of interior cell (i, j), 1-based.
float depthAt(const BuiltCase& b, int i, int j) {
    return b.depth[static_cast<size_t>(j) * (b.frame.nx + 2) + i];
}

// The still-water depth of the surface at the centre of model cell (i, j), 1-based.
double surfaceDepth(const BuiltCase& b, int i, int j, const std::function<double(double, double)>& s = beachElevation) {
    double x = 0, y = 0;
    b.frame.centre(i - 1, j - 1, x, y);
    return -s(x, y);
}

std::vector<std::string> lines(const fs::path& p) {
    std::vector<std::string> v;
    std::ifstream f(p);
    for (std::string l; std::getline(f, l);) v.push_back(l);
    return v;
}

}  // namespace

TEST(CaseBuilderDirection, NauticalFromBecomesTheGridsTravelDirection) {
    // Grid X east, coast at low X (west): waves from the east come straight in.
    EXPECT_NEAR(modelWaveDirection(90, 0), 180, 1e-12);
    // From the north-east they travel south-west: 225 degrees in the grid's axes.
    EXPECT_NEAR(modelWaveDirection(45, 0), 225, 1e-12);
    EXPECT_NEAR(modelWaveDirection(135, 0), 135, 1e-12);
    // Grid X turned 30 degrees anticlockwise (towards the north-east): its offshore normal
    // points to the bearing 60, and waves from there are normal incidence.
    EXPECT_NEAR(modelWaveDirection(60, 30), 180, 1e-12);
    EXPECT_NEAR(modelWaveDirection(80, 30), 160, 1e-12);
    // Round the circle: the same direction whichever turn the angles are given in.
    EXPECT_NEAR(modelWaveDirection(60 - 360, 30 + 360), 180, 1e-9);
}

TEST(CaseBuilderRaster, RotatedGridDepthsWithin5mmOfTheSurfaceAndTheFilesConventions) {
    Site site("raster");
    const BuiltCase b = site.build();
    ASSERT_EQ(b.frame.nx, 160);
    ASSERT_EQ(b.frame.ny, 40);
    EXPECT_DOUBLE_EQ(b.frame.originX, 431050.0);
    EXPECT_DOUBLE_EQ(b.frame.rotation, 30.0);
    // Bilinear sampling of 5 m pixels: exact for the plane, the shoal's curvature (1.5 m over
    // 50 m) costs at most pixel^2/8 * |z''| = 1.9 mm.
    double worst = 0;
    for (int j = 1; j <= 40; ++j)
        for (int i = 1; i <= 160; ++i) worst = std::max(worst, std::fabs(depthAt(b, i, j) - surfaceDepth(b, i, j)));
    EXPECT_LT(worst, 0.005) << "largest difference from the analytic surface";
    // The shoal lies inside the grid: the depth there stands 1.5 m above the plane.
    double x = 0, y = 0, lowest = 1e9;
    for (int j = 1; j <= 40; ++j)
        for (int i = 1; i <= 160; ++i) {
            b.frame.centre(i - 1, j - 1, x, y);
            lowest = std::min(lowest, depthAt(b, i, j) + planeElevation(x, y));
        }
    EXPECT_NEAR(lowest, -1.5, 0.05);
    EXPECT_NEAR(b.direction, 180.0, 1e-9);
    EXPECT_EQ(b.farthestPoint, 0.0);

    // The ghost ring: the coast (low X) mirrors, the offshore side continues, the periodic
    // sides take the partner across the grid.
    for (int j = 1; j <= 40; ++j) {
        EXPECT_EQ(depthAt(b, 0, j), depthAt(b, 1, j));
        EXPECT_EQ(depthAt(b, 161, j), depthAt(b, 160, j));
    }
    for (int i = 1; i <= 160; ++i) {
        EXPECT_EQ(depthAt(b, i, 0), depthAt(b, i, 40));
        EXPECT_EQ(depthAt(b, i, 41), depthAt(b, i, 1));
    }
    // The boundary file: one line per i (X), the offshore column of code 17, the sides 16.
    const auto bnd = lines(fs::path(b.controlFile).parent_path() / "bay" / "boundary.txt");
    ASSERT_EQ(bnd.size(), 162u);
    EXPECT_NE(bnd[161].find("0,17,17"), std::string::npos) << bnd[161].substr(0, 40);
    EXPECT_EQ(bnd[5].rfind("16,0,0", 0), 0u) << bnd[5].substr(0, 40);
    EXPECT_EQ(bnd[0].find_first_not_of("0,"), std::string::npos);
    // The wave file: code 17, the converted direction and the phase point on the wave input side.
    const std::string wave = readText(fs::path(b.controlFile).parent_path() / "bay" / "wave.txt");
    EXPECT_TRUE(containsAll(wave, {"17, wave input", "180, offshore wave direction", "160, phase reference point X"}));
    EXPECT_EQ(b.phaseI, 160);
    // The options file: the georeference as WKT of UTM zone 31N, the origin and rotation.
    const std::string opts = readText(b.optionsFile);
    EXPECT_TRUE(containsAll(opts, {"[georeference]", "UTM zone 31N", "origin = [431050.0, 5559950.0]", "rotation = 30.0"}));
    // The report and the map.
    EXPECT_TRUE(containsAll(b.report, {"direction 180.00", "160 x 40 cells", "wave steps a period", "estimated",
                                       "cells; at the shallowest wet cells"}));
    EXPECT_TRUE(fs::exists(b.reportFile));
#ifdef LITTORAL_CASE_PICTURES
    ASSERT_FALSE(b.mapFile.empty());
    const std::string png = readText(b.mapFile);
    EXPECT_EQ(png.substr(1, 3), "PNG");
#endif
}

TEST(CaseBuilderPoints, TriangulatedSoundingsWithin5cmAndTheLaterSourceWins) {
    Site site("points");
    site.keys["bathymetry.sources"] = "[\"soundings.xyz\"]";
    const BuiltCase b = site.build();
    double worst = 0;
    for (int j = 1; j <= 40; ++j)
        for (int i = 1; i <= 160; ++i) worst = std::max(worst, std::fabs(depthAt(b, i, j) - surfaceDepth(b, i, j)));
    EXPECT_LT(worst, 0.05) << "largest difference from the analytic surface";
    // Points 8 m apart moved by up to a third of that: no cell is farther than the spacing.
    EXPECT_GT(b.farthestPoint, 0.5);
    EXPECT_LT(b.farthestPoint, 8.0);
    EXPECT_TRUE(containsAll(b.report, {"points; largest distance from a cell centre to a point used"}));

    // On a plane the triangulation is exact (up to the five decimals of the file).
    {
        Site plane("plane");
        writePoints(plane.root / "soundings.xyz", 430880, 431520, 5559920, 5560480, 8.0, planeElevation);
        plane.keys["bathymetry.sources"] = "[\"soundings.xyz\"]";
        const BuiltCase p = plane.build();
        double w = 0;
        for (int j = 1; j <= 40; ++j)
            for (int i = 1; i <= 160; ++i) w = std::max(w, std::fabs(depthAt(p, i, j) - surfaceDepth(p, i, j, planeElevation)));
        EXPECT_LT(w, 1e-4);
    }

    // Raster first, points over it: where both cover the points win; a raster of the plane
    // alone under points of the beach gives the beach.
    {
        Site both("both");
        RasterLayout flat;
        flat.surface = planeElevation;
        writeGeoTiff(both.root / "survey.tif", flat);
        both.keys["bathymetry.sources"] = "[\"survey.tif\", \"soundings.xyz\"]";
        const BuiltCase c = both.build();
        double w = 0;
        for (int j = 1; j <= 40; ++j)
            for (int i = 1; i <= 160; ++i) w = std::max(w, std::fabs(depthAt(c, i, j) - surfaceDepth(c, i, j)));
        EXPECT_LT(w, 0.05);
    }
}

TEST(CaseBuilderGrid, OtherOffshoreSidesTurnTheGridAndDepthFlipsTheSign) {
    // The same area described with the offshore side at low Y: the grid's Y axis points to
    // the coast, so the model's X runs along -Y.
    Site site("turned");
    // The raster case's grid, described from its cell (160, 1) with Y towards the coast.
    site.keys["grid.origin"] = "[431394.2450980043, 5560148.75]";
    site.keys["grid.rotation"] = "120.0";
    site.keys["grid.spacing"] = "[5.0, 2.5]";
    site.keys["grid.cells"] = "[40, 160]";
    site.keys["grid.offshore"] = "\"low-y\"";
    site.keys["grid.sides"] = "\"closed\"";
    const BuiltCase b = site.build();
    EXPECT_EQ(b.frame.turned, 3);
    EXPECT_EQ(b.frame.nx, 160);
    EXPECT_EQ(b.frame.ny, 40);
    EXPECT_DOUBLE_EQ(b.frame.dx, 2.5);
    EXPECT_NEAR(b.frame.rotation, 30.0, 1e-9);
    EXPECT_NEAR(b.frame.originX, 431050.0, 1e-6);
    EXPECT_NEAR(b.frame.originY, 5559950.0, 1e-6);
    EXPECT_NEAR(b.direction, 180.0, 1e-9);  // waves from 60: normal incidence on this coast too
    for (int j = 1; j <= 40; ++j)
        for (int i = 1; i <= 160; ++i) ASSERT_NEAR(depthAt(b, i, j), surfaceDepth(b, i, j), 0.005);
    // The offshore side is the deep one; closed sides mirror their cell.
    EXPECT_GT(depthAt(b, 160, 20), depthAt(b, 1, 20) + 5);
    for (int i = 1; i <= 160; ++i) EXPECT_EQ(depthAt(b, i, 0), depthAt(b, i, 1));
    EXPECT_TRUE(containsAll(b.report, {"turned by 270 degrees", "sides: closed (code 0)"}));

    // A survey of depths (positive down) with a datum offset: depth = z - offset.
    Site depths("depths");
    RasterLayout raster;
    raster.surface = [](double x, double y) { return -beachElevation(x, y) + 0.25; };
    writeGeoTiff(depths.root / "survey.tif", raster);
    depths.keys["bathymetry.vertical"] = "\"depth\"";
    depths.keys["bathymetry.datum_offset"] = "0.25";
    const BuiltCase c = depths.build();
    for (int i = 1; i <= 160; i += 13) EXPECT_NEAR(depthAt(c, i, 7), surfaceDepth(c, i, 7), 0.005);
}

TEST(CaseBuilderRefusals, EveryBadInputNamedAndNothingWritten) {
    Site site("bad");
    // A source that is neither a raster nor a point file.
    std::ofstream(site.root / "notes.tif") << "this is not a survey\n";
    site.keys["bathymetry.sources"] = "[\"notes.tif\"]";
    EXPECT_TRUE(containsAll(site.refusal(), {"notes.tif", "neither a raster"}));
    site.keys["bathymetry.sources"] = "[\"missing.tif\"]";
    EXPECT_TRUE(containsAll(site.refusal(), {"missing.tif", "cannot be opened"}));
    // A point file with a line that is not three numbers names the line.
    std::ofstream(site.root / "bad.xyz") << "431000 5560000 1.0\n431010 5560000 1.1\n431000 five 1.2\n";
    site.keys["bathymetry.sources"] = "[\"bad.xyz\"]";
    EXPECT_TRUE(containsAll(site.refusal(), {"bad.xyz:3", "expected three numbers x y z", "431000 five"}));
    site.keys["bathymetry.sources"] = "[\"survey.tif\"]";

    // The grid reaching past the survey: the corners outside and the survey's extent.
    site.keys["grid.cells"] = "[400, 40]";
    EXPECT_TRUE(containsAll(site.refusal(), {"reaches past the survey", "cell (400, 1)", "cell (400, 40)",
                                             "survey.tif: x 430850.00 to 431550.00, y 5559900.00 to 5560500.00"}));
    site.keys["grid.cells"] = "[160, 40]";

    // No coordinate system where one is needed: points carry none.
    site.keys["bathymetry.sources"] = "[\"soundings.xyz\"]";
    site.keys["bathymetry.crs"] = "";
    EXPECT_TRUE(containsAll(site.refusal(), {"bathymetry.sources[1]", "soundings.xyz carries no coordinate system",
                                             "bathymetry.crs"}));
    site.keys["bathymetry.crs"] = "\"EPSG:4326\"";
    EXPECT_TRUE(containsAll(site.refusal(), {"not projected"}));
    site.keys["bathymetry.crs"] = "\"EPSG:99999999\"";
    EXPECT_TRUE(containsAll(site.refusal(), {"bathymetry.crs", "is not a coordinate system"}));
    site.keys["bathymetry.crs"] = "\"EPSG:32631\"";
    site.keys["bathymetry.sources"] = "[\"survey.tif\"]";

    // A resolution too coarse for the waves: 3 s waves of 14 m on 5 m cells.
    site.keys["waves.period"] = "3.0";
    site.keys["grid.spacing"] = "[5.0, 5.0]";
    site.keys["grid.cells"] = "[80, 40]";
    EXPECT_TRUE(containsAll(site.refusal(), {"grid.spacing", "too coarse for the waves", "cells a wavelength"}));
    site.keys["waves.period"] = "8.0";
    site.keys["grid.spacing"] = "[2.5, 5.0]";
    site.keys["grid.cells"] = "[160, 40]";

    // Waves from the land side.
    site.keys["waves.from"] = "240.0";
    EXPECT_TRUE(containsAll(site.refusal(), {"waves.from", "away from the offshore side"}));
    site.keys["waves.from"] = "60.0";

    // The offshore side on dry land (the grid turned round: its high X is the coast).
    site.keys["grid.offshore"] = "\"low-x\"";
    site.keys["waves.from"] = "240.0";
    EXPECT_TRUE(containsAll(site.refusal(), {"grid.offshore", "is dry"}));
    site.keys["grid.offshore"] = "\"high-x\"";
    site.keys["waves.from"] = "60.0";

    // Descriptions: an unknown key, an unknown table, a wrong type, a bad choice, a missing
    // key, text that is not TOML; each names the key and its line.
    site.keys["grid.spacings"] = "[2.5, 5.0]";
    EXPECT_TRUE(containsAll(site.refusal(), {"bay.toml:", "grid.spacings is not a key", "spacing"}));
    site.keys.erase("grid.spacings");
    EXPECT_TRUE(containsAll(site.refusal("[wave]\nheight = 1.0\n"), {"wave is not a key", "[waves]"}));
    site.keys["grid.cells"] = "[160.5, 40]";
    EXPECT_TRUE(containsAll(site.refusal(), {"grid.cells[1] must be a whole number", "the number 160.5"}));
    site.keys["grid.cells"] = "[160, 40]";
    site.keys["waves.height"] = "\"1 m\"";
    EXPECT_TRUE(containsAll(site.refusal(), {"waves.height must be a number", "the text"}));
    site.keys["waves.height"] = "0.5";
    site.keys["grid.sides"] = "\"wall\"";
    EXPECT_TRUE(containsAll(site.refusal(), {"grid.sides must be one of \"periodic\", \"closed\", \"open\"", "\"wall\""}));
    site.keys["grid.sides"] = "\"periodic\"";
    site.keys["grid.origin"] = "";
    EXPECT_TRUE(containsAll(site.refusal(), {"grid.origin is missing"}));
    site.keys["grid.origin"] = "[431050.0, 5559950.0]";
    EXPECT_TRUE(containsAll(site.refusal("this is = = not toml\n"), {"bay.toml:", "not a TOML file"}));
    try {
        site.keys["grid.rotation"] = "true";
        buildCase(site.description().string());
        ADD_FAILURE() << "built";
    } catch (const InputError& e) {
        EXPECT_EQ(e.field(), "grid.rotation");
        EXPECT_GT(e.line(), 0);
        EXPECT_EQ(e.file(), (site.root / "bay.toml").string());
    }
    site.keys["grid.rotation"] = "30.0";
    // A gauge off the grid.
    EXPECT_TRUE(containsAll(site.refusal("[[gauge]]\nname = \"far\"\nx = 431500.0\ny = 5559910.0\n"),
                            {"gauge[1]", "\"far\"", "outside the grid"}));
    // And then the same description builds.
    EXPECT_NO_THROW(site.build());
}

TEST(CaseBuilderGaps, NodataInsideTheGridNamedWithItsExtentOrFilledWhenAsked) {
    Site site("gaps");
    RasterLayout raster;
    // A hole of 4 x 3 pixels round (431200, 5560100), inside the grid.
    raster.hole = [](int c, int r) { return c >= 68 && c < 72 && r >= 79 && r < 82; };
    writeGeoTiff(site.root / "survey.tif", raster);
    const std::string m = site.refusal();
    EXPECT_TRUE(containsAll(m, {"bathymetry.fill", "cells have no depth", "on nodata of survey.tif", "in cells",
                                "x 431"}));
    site.keys["bathymetry.fill"] = "\"nearest\"";
    const BuiltCase b = site.build();
    EXPECT_TRUE(containsAll(b.report, {"filled from the nearest cells"}));
    double worst = 0;
    for (int j = 1; j <= 40; ++j)
        for (int i = 1; i <= 160; ++i) worst = std::max(worst, std::fabs(depthAt(b, i, j) - surfaceDepth(b, i, j)));
    EXPECT_LT(worst, 0.5);  // filled over some 30 m of a 1:50 slope
    EXPECT_GT(worst, 0.005);
}

TEST(CaseBuilderRuns, TheBuiltCaseRunsWithBothProgramsAndResultsNcIsPlacedOnTheMap) {
    Site site("run");
    site.keys["bathymetry.sources"] = "[\"survey.tif\", \"soundings.xyz\"]";
    site.keys["run.duration"] = "8.0";  // one interval
    const BuiltCase b = site.build("[[gauge]]\nname = \"shoal\"\nx = 431300.0\ny = 5560260.0\n");
    // The batch program.
    const BatchRun batch = runBatch(b.controlFile);
    EXPECT_EQ(batch.status, 0) << batch.out;
    EXPECT_TRUE(fs::exists(site.root / "output" / "bay" / "surfer1.csv")) << batch.out;

#ifdef LITTORAL_NETCDF
    // Through the library, with the georeference set as the options file gives it.
    Case c = Case::read(b.controlFile);
    RunOptions o;
    o.netcdf = true;
    o.csv = false;
    Georeference g;
    const std::string opts = readText(b.optionsFile);
    const size_t q0 = opts.find("crs = \"") + 7, q1 = opts.find("\"\norigin");
    for (size_t k = q0; k < q1; ++k) {
        if (opts[k] == '\\') ++k;
        g.crs += opts[k];
    }
    g.originX = b.frame.originX, g.originY = b.frame.originY, g.rotation = b.frame.rotation;
    o.georeference = g;
    runToEnd(c, o);
    const fs::path nc = site.root / "output" / "bay" / "results.nc";
    int id = -1;
    ASSERT_EQ(nc_open(nc.c_str(), NC_NOWRITE, &id), NC_NOERR);
    int vx = -1, vy = -1, vc = -1, vh = -1;
    ASSERT_EQ(nc_inq_varid(id, "map_x", &vx), NC_NOERR);
    ASSERT_EQ(nc_inq_varid(id, "map_y", &vy), NC_NOERR);
    ASSERT_EQ(nc_inq_varid(id, "crs", &vc), NC_NOERR);
    ASSERT_EQ(nc_inq_varid(id, "wavH", &vh), NC_NOERR);
    double x[2], y[2];
    const size_t start[2] = {0, 0}, count[2] = {1, 2};
    ASSERT_EQ(nc_get_vara_double(id, vx, start, count, x), NC_NOERR);
    ASSERT_EQ(nc_get_vara_double(id, vy, start, count, y), NC_NOERR);
    EXPECT_DOUBLE_EQ(x[0], 431050.0);
    EXPECT_DOUBLE_EQ(y[0], 5559950.0);
    EXPECT_NEAR(x[1], 431050.0 + 2.5 * std::cos(30 * std::numbers::pi / 180), 1e-6);
    EXPECT_NEAR(y[1], 5559950.0 + 2.5 * std::sin(30 * std::numbers::pi / 180), 1e-6);
    // The first cell of the second row: dy along the grid's Y (120 degrees from east).
    const size_t row1[2] = {1, 0}, one[2] = {1, 1};
    double x10 = 0, y10 = 0;
    ASSERT_EQ(nc_get_vara_double(id, vx, row1, one, &x10), NC_NOERR);
    ASSERT_EQ(nc_get_vara_double(id, vy, row1, one, &y10), NC_NOERR);
    EXPECT_NEAR(x10, 431050.0 - 5.0 * 0.5, 1e-6);
    EXPECT_NEAR(y10, 5559950.0 + 5.0 * std::sqrt(0.75), 1e-6);
    auto att = [&](int var, const char* name) {
        size_t len = 0;
        if (nc_inq_attlen(id, var, name, &len) != NC_NOERR) return std::string();
        std::string s(len, '\0');
        nc_get_att_text(id, var, name, s.data());
        return s;
    };
    EXPECT_EQ(att(vx, "standard_name"), "projection_x_coordinate");
    EXPECT_EQ(att(vy, "standard_name"), "projection_y_coordinate");
    EXPECT_EQ(att(vh, "grid_mapping"), "crs");
    EXPECT_EQ(att(vh, "coordinates"), "map_y map_x");
    EXPECT_NE(att(vc, "crs_wkt").find("UTM zone 31N"), std::string::npos);
    EXPECT_EQ(att(vc, "crs_wkt"), att(vc, "spatial_ref"));
    nc_close(id);

    // Without a georeference nothing of it is written and x keeps its standard name.
    Case c2 = Case::read(b.controlFile);
    o.georeference.reset();
    runToEnd(c2, o);
    ASSERT_EQ(nc_open(nc.c_str(), NC_NOWRITE, &id), NC_NOERR);
    EXPECT_NE(nc_inq_varid(id, "map_x", &vx), NC_NOERR);
    EXPECT_NE(nc_inq_varid(id, "crs", &vc), NC_NOERR);
    ASSERT_EQ(nc_inq_varid(id, "x", &vx), NC_NOERR);
    EXPECT_EQ(att(vx, "standard_name"), "projection_x_coordinate");
    ASSERT_EQ(nc_inq_varid(id, "wavH", &vh), NC_NOERR);
    EXPECT_EQ(att(vh, "grid_mapping"), "");
    nc_close(id);
#endif
}

namespace {

// littoral-case run with the given arguments: its exit status and everything it printed.
BatchRun runCaseProgram(const std::string& args) {
    const std::string cmd = std::string(LITTORAL_CASE_EXE) + " " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n = 0;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int st = pclose(p);
    return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, out};
}

}  // namespace

TEST(CaseBuilderProgram, HelpVersionOptionsAndAReportOrARefusal) {
    const BatchRun help = runCaseProgram("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(containsAll(help.out, {"description", "--quiet", "--version", "--help"})) << help.out;
    const BatchRun ver = runCaseProgram("--version");
    EXPECT_EQ(ver.status, 0);
    EXPECT_TRUE(containsAll(ver.out, {"littoral-case", version()})) << ver.out;
    const BatchRun unknown = runCaseProgram("--colour bay.toml");
    EXPECT_NE(unknown.status, 0);
    EXPECT_TRUE(containsAll(unknown.out, {"--colour"})) << unknown.out;
    const BatchRun none = runCaseProgram("");
    EXPECT_NE(none.status, 0);
    EXPECT_TRUE(containsAll(none.out, {"description"})) << none.out;

    Site site("program");
    const BatchRun built = runCaseProgram(site.description().string());
    EXPECT_EQ(built.status, 0) << built.out;
    EXPECT_TRUE(containsAll(built.out, {"direction 180.00", "wrote ", "baycnt.txt"})) << built.out;
    site.keys["grid.cells"] = "[400, 40]";
    fs::remove_all(site.root / "data");
    fs::remove_all(site.root / "output");
    const BatchRun refused = runCaseProgram(site.description().string());
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(containsAll(refused.out, {"bay.toml", "reaches past the survey", "nothing was written"})) << refused.out;
    EXPECT_FALSE(fs::exists(site.root / "data"));
}

namespace {

// A plane beach of slope 1:40 whose sea lies 20 degrees clockwise from east, its shoreline
// (0 m) 120 m seawards of (431200, 5560200); `ripple` m of elevation in waves of 100 m along
// the shore move the shoreline back and forth by ripple * 40 m.
constexpr double kSeaBearing = -20.0;
struct TiltedBeach {
    double ripple = 0;
    double across(double x, double y) const {  // metres seawards from the shoreline
        const double r = kSeaBearing * std::numbers::pi / 180;
        return (x - 431200) * std::cos(r) + (y - 5560200) * std::sin(r) - 120;
    }
    double along(double x, double y) const {  // metres along the shore, the sea on the right
        const double r = kSeaBearing * std::numbers::pi / 180;
        return -(x - 431200) * std::sin(r) + (y - 5560200) * std::cos(r);
    }
    double operator()(double x, double y) const {
        return -0.025 * across(x, y) + ripple * std::sin(2 * std::numbers::pi * along(x, y) / 100);
    }
};

// A site over the tilted beach with the grid to be fitted: 60 x 60 cells of 3 x 5 m.
void fitSite(Site& site, const TiltedBeach& beach) {
    RasterLayout raster;
    raster.surface = beach;
    writeGeoTiff(site.root / "survey.tif", raster);
    site.keys["grid.origin"] = "";
    site.keys["grid.rotation"] = "";
    site.keys["grid.fit"] = "\"shoreline\"";
    site.keys["grid.spacing"] = "[3.0, 5.0]";
    site.keys["grid.cells"] = "[60, 60]";
    site.keys["waves.from"] = "110.0";  // straight onto this beach
}

// Per row of the model's grid, where the depth crosses 0 across it, as a share of the
// grid's extent across the shore from its landward edge (the mean over the rows).
double landShare(const BuiltCase& b) {
    double sum = 0;
    int rows = 0;
    for (int j = 1; j <= b.frame.ny; ++j)
        for (int i = 1; i < b.frame.nx; ++i) {
            const double a = depthAt(b, i, j), c = depthAt(b, i + 1, j);
            if (a <= 0 && c > 0) {
                sum += (i - 0.5 + a / (a - c)) * b.frame.dx;
                ++rows;
                break;
            }
        }
    return rows ? sum / rows / (b.frame.nx * b.frame.dx) : -1;
}

// The rotation written to the options file.
double optionsRotation(const BuiltCase& b) {
    const std::string opts = readText(b.optionsFile);
    const size_t at = opts.find("\nrotation = ");
    return at == std::string::npos ? 1e9 : std::stod(opts.substr(at + 12));
}

}  // namespace

TEST(CaseBuilderFit, GridAlongAStraightShorelineTurnedCentredAndWithItsShareOfLand) {
    const TiltedBeach plane;
    Site site("fit");
    fitSite(site, plane);
    const BuiltCase b = site.build();
    ASSERT_TRUE(b.shoreline.has_value());
    // A plane sampled bilinearly and its crossings interpolated linearly: the line is exact
    // up to the raster's float values.
    EXPECT_NEAR(b.frame.rotation, kSeaBearing, 0.01);
    EXPECT_NEAR(b.shoreline->bearing, kSeaBearing, 0.01);
    EXPECT_LT(b.shoreline->worst, 0.01);
    EXPECT_NEAR(landShare(b), 0.2, 0.002);
    // The offshore side is the deep one, in every row, and waves from 110 come straight in.
    for (int j = 1; j <= 60; ++j) ASSERT_GT(depthAt(b, 60, j), depthAt(b, 1, j) + 4.0) << "row " << j;
    EXPECT_NEAR(b.direction, 180.0, 0.01);
    // Centred along the shore: the grid's middle at the middle of the shoreline's span over
    // the survey (the line crosses y = 5559900 and y = 5560500 inside the raster).
    double cx = 0, cy = 0;
    b.frame.centre(29.5, 29.5, cx, cy);
    const double r = kSeaBearing * std::numbers::pi / 180;
    // Where the shoreline crosses the line of the given y, measured along the shore.
    auto alongAtY = [&](double y) {
        const double x = 431200 + (120 - (y - 5560200) * std::sin(r)) / std::cos(r);
        return plane.along(x, y);
    };
    EXPECT_NEAR(plane.along(cx, cy), 0.5 * (alongAtY(5559900) + alongAtY(5560500)), 2.0);
    EXPECT_NEAR(plane.across(cx, cy), (0.5 - 0.2) * 180.0, 0.05);
    // The report and the options file give the fitted placement.
    EXPECT_TRUE(containsAll(b.report, {"fitted to the shoreline", "the sea lies -20.000 degrees", "36.0 m of the 180.0 m"}))
        << b.report;
    EXPECT_NEAR(optionsRotation(b), kSeaBearing, 0.01);
    EXPECT_NE(readText(b.optionsFile).find("origin = [" + std::to_string(static_cast<long>(b.frame.originX))),
              std::string::npos);

    // Described with the offshore side at low Y (cells and spacing swapped) and 30 % land:
    // the same model frame across the shore, the described X along it.
    site.keys["grid.offshore"] = "\"low-y\"";
    site.keys["grid.cells"] = "[60, 60]";
    site.keys["grid.spacing"] = "[5.0, 3.0]";
    site.keys["grid.land_fraction"] = "0.3";
    const BuiltCase t = site.build();
    EXPECT_EQ(t.frame.turned, 3);
    EXPECT_NEAR(t.frame.rotation, kSeaBearing, 0.01);
    EXPECT_DOUBLE_EQ(t.frame.dx, 3.0);
    EXPECT_NEAR(landShare(t), 0.3, 0.002);
    EXPECT_TRUE(containsAll(t.report, {"described grid: origin", "rotation 70.000 degrees"})) << t.report;
    site.keys["grid.land_fraction"] = "";
    site.keys["grid.offshore"] = "\"high-x\"";
    site.keys["grid.spacing"] = "[3.0, 5.0]";

    // A shoreline that wanders 12 m either way in waves of 100 m: the least-squares line
    // within half a degree, and the land share on average as asked.
    {
        Site wavy("fit-wavy");
        fitSite(wavy, TiltedBeach{0.3});
        const BuiltCase w = wavy.build();
        EXPECT_NEAR(w.frame.rotation, kSeaBearing, 0.5);
        EXPECT_GT(w.shoreline->worst, 9.0);
        EXPECT_LT(w.shoreline->worst, 13.0);
        EXPECT_NEAR(landShare(w), 0.2, 0.03);
    }

    // Soundings of the same plane (no raster): the triangulated survey gives the same line.
    {
        Site points("fit-points");
        writePoints(points.root / "soundings.xyz", 430880, 431520, 5559920, 5560480, 8.0, plane);
        fitSite(points, plane);
        points.keys["bathymetry.sources"] = "[\"soundings.xyz\"]";
        const BuiltCase p = points.build();
        EXPECT_NEAR(p.frame.rotation, kSeaBearing, 0.05);
        EXPECT_NEAR(landShare(p), 0.2, 0.005);
    }

    // fit_within: only the shoreline inside it counts; the grid is centred on that part.
    site.keys["grid.cells"] = "[40, 40]";
    site.keys["grid.fit_within"] = "[431200.0, 5560100.0, 431550.0, 5560500.0]";
    const BuiltCase in = site.build();
    in.frame.centre(19.5, 19.5, cx, cy);
    EXPECT_NEAR(plane.along(cx, cy), 0.5 * (alongAtY(5560100) + alongAtY(5560500)), 2.0);
    EXPECT_NEAR(in.frame.rotation, kSeaBearing, 0.01);
    EXPECT_TRUE(containsAll(in.report, {"within grid.fit_within"}));
}

TEST(CaseBuilderFit, NoShorelineAGridPastTheSurveyAndAGivenPlacementRefused) {
    Site site("fit-bad");
    fitSite(site, TiltedBeach{});
    // Searched only out at sea: no crossing of the still-water level.
    site.keys["grid.fit_within"] = "[431450.0, 5559900.0, 431550.0, 5560000.0]";
    EXPECT_TRUE(containsAll(site.refusal(), {"grid.fit", "no shoreline found within grid.fit_within",
                                             "never crossing the still-water level"}));
    // The whole survey under water (a datum 20 m above the survey's).
    site.keys["grid.fit_within"] = "";
    site.keys["bathymetry.datum_offset"] = "-20.0";
    EXPECT_TRUE(containsAll(site.refusal(), {"no shoreline found over the survey", "m above the datum"}));
    site.keys["bathymetry.datum_offset"] = "";
    // Searched where the survey has nothing.
    site.keys["grid.fit_within"] = "[440000.0, 5570000.0, 440100.0, 5570100.0]";
    EXPECT_TRUE(containsAll(site.refusal(), {"no shoreline found: the survey holds no elevations within grid.fit_within"}));
    site.keys["grid.fit_within"] = "[431550.0, 5559900.0, 431450.0, 5560000.0]";
    EXPECT_TRUE(containsAll(site.refusal(), {"grid.fit_within", "xmin below xmax"}));
    site.keys["grid.fit_within"] = "";
    // Too long a grid across the shore: it reaches past the survey, the corners named.
    site.keys["grid.cells"] = "[200, 60]";
    EXPECT_TRUE(containsAll(site.refusal(), {"grid.fit", "the grid fitted to the shoreline reaches past the survey",
                                             "cell (200, 1)", "cell (200, 60)", "grid.land_fraction"}));
    site.keys["grid.cells"] = "[60, 60]";
    site.keys["grid.land_fraction"] = "1.0";
    EXPECT_TRUE(containsAll(site.refusal(), {"grid.land_fraction must lie from 0 to below 1"}));
    site.keys["grid.land_fraction"] = "";
    // The placement given as well as fitted: refused naming the key and both lines.
    site.keys["grid.origin"] = "[431050.0, 5559950.0]";
    try {
        buildCase(site.description().string());
        ADD_FAILURE() << "built with grid.fit and grid.origin";
    } catch (const InputError& e) {
        EXPECT_EQ(e.field(), "grid.origin");
        EXPECT_GT(e.line(), 0);
        EXPECT_TRUE(containsAll(e.what(), {"cannot be given with grid.fit = \"shoreline\" (line", "leave out grid.origin"}));
    }
    site.keys["grid.origin"] = "";
    site.keys["grid.rotation"] = "30.0";
    EXPECT_TRUE(containsAll(site.refusal(), {"grid.rotation cannot be given with grid.fit"}));
    // The fit's own keys without the fit.
    site.keys["grid.rotation"] = "";
    site.keys["grid.fit"] = "";
    site.keys["grid.land_fraction"] = "0.2";
    site.keys["grid.origin"] = "[431250.0, 5560150.0]";
    EXPECT_TRUE(containsAll(site.refusal(), {"grid.land_fraction is used only with grid.fit"}));
    site.keys["grid.land_fraction"] = "";
    site.keys["grid.origin"] = "";
    EXPECT_TRUE(containsAll(site.refusal(), {"grid.origin is missing", "grid.fit = \"shoreline\""}));
}
