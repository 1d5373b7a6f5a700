// A case from a survey: littoral-case reads a short description (TOML), samples the survey's
// rasters and x y z points at the cell centres of a rotated grid, converts elevations, the
// wave direction and the sides into the case files' conventions and writes a complete case
// (control, coefficient, depth, boundary, wave and tide files, the options file with the
// georeference) with a report and a map.
//
//   littoral::BuiltCase b = littoral::buildCase("bay.toml");   // InputError on bad input
//   std::cout << b.report;                                      // b.controlFile runs as is
//
// Nothing is written when the case cannot be built: the files are made in a temporary
// folder beside the data folder and take their places once the case has been read back.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "littoral/littoral.h"

namespace littoral {

// The description as read (every key, its default where it was left out). Lengths in metres
// of the sources' coordinate system, angles in degrees.
struct CaseDescription {
    std::string file;              // the description file (errors name it)
    std::string folder;            // its folder: relative paths start there

    // [case]
    std::string name = "case";
    std::string data = "data";     // the data folder (relative to the description's folder)

    // [bathymetry]
    std::vector<std::string> sources;   // GDAL rasters or x y z text files; later ones win
    bool elevation = true;              // vertical = "elevation" (up) or "depth" (down)
    double datumOffset = 0.0;           // added to the elevations to reach the datum
    std::string crs;                    // of sources that carry none ("EPSG:n" or WKT)
    std::string fill = "none";          // gaps inside the grid: "none" (refused) or "nearest"
    std::optional<double> landAbove;    // cells whose bed stands higher above the datum: land (code 15)

    // [grid]
    double originX = 0, originY = 0;    // the first cell's centre
    double rotation = 0;                // anticlockwise from the CRS's x axis to the grid's X axis
    double dx = 1, dy = 1;
    int nx = 0, ny = 0;
    std::string offshore = "high-x";    // high-x, low-x, high-y, low-y
    std::string sides = "periodic";     // periodic, closed, open
    // fit = "shoreline": origin and rotation found from the survey instead of given: the
    // axis of the offshore side across the still-water shoreline (pointing seawards at the
    // offshore side), the other along it, landFraction of the cross-shore extent on land and
    // the grid centred along the shore; fitWithin (xmin, ymin, xmax, ymax) limits the part
    // of the survey searched for the shoreline.
    std::string fit = "none";
    double landFraction = 0.2;
    std::optional<std::array<double, 4>> fitWithin;

    // [waves]
    double height = 1.0, period = 8.0;
    double from = 0.0;                  // nautical: clockwise from north, where the waves come from
    double groups = 0.0, groupAmplitude = 0.0;

    // [tide]
    double tideLevel = 0.0;

    // [run]
    double duration = 3600.0;
    double startTime = 0.0;

    // [coefficients] (the coefficient file's values)
    double latitude = 35.0, friction = 0.01, breakingRatio = 0.8, minDepth = 0.01;
    double shieldsCritical = 0.05, grainSize = 0.0002, sedimentDensity = 2650.0, viscosity = 1.0e-6;
    double bedloadCoef = 8.0, suspendedCoef = 5.0;

    // [[gauges]] in the sources' coordinates; written to the options file in the grid's x, y.
    struct MapGauge {
        std::string name;
        double x = 0, y = 0;
    };
    std::vector<MapGauge> gauges;
};

// Reads and checks a description: an unknown table or key, a value of the wrong type or out
// of its range is an InputError naming the file, the key (field "grid.cells") and its line.
CaseDescription readCaseDescription(const std::string& descriptionFile);

// Where the model's grid lies on the map. The model takes its waves in at its high X side;
// a grid described with another offshore side is turned for it (the report says so).
struct GridFrame {
    std::string crsWkt;                 // WKT of the grid's coordinate system
    double originX = 0, originY = 0;    // map position of the model's first interior cell's centre
    double rotation = 0;                // degrees anticlockwise from the map's x axis to the model's X
    double dx = 1, dy = 1;
    int nx = 0, ny = 0;
    int turned = 0;                     // quarter turns from the described grid to the model's
    // Map position of the centre of model cell (i, j), 0-based interior indices (the ghost
    // ring at -1 and n).
    void centre(double i, double j, double& x, double& y) const;
};

// The nautical direction the waves come from (degrees clockwise from north) as the wave
// file's direction in a grid whose X axis lies `rotation` degrees anticlockwise from east:
// the direction the waves travel, anticlockwise from the grid's X axis, 180 being normal
// incidence on a coast at low X; within (-180, 180] + 360 as needed, 0 to 360.
double modelWaveDirection(double nauticalFrom, double rotation);

// The still-water shoreline a fitted grid was placed by: the straight line through the
// points where the survey crosses the datum (least squares across the line).
struct FittedShoreline {
    long points = 0;              // crossings of the datum found
    double x0 = 0, y0 = 0;        // the fitted line's ends (the span of the points along it)
    double x1 = 0, y1 = 0;
    double length = 0;            // between the ends (m)
    double rms = 0, worst = 0;    // distances of the points from the line (m)
    double bearing = 0;           // where the sea lies: degrees anticlockwise from east
};

struct BuiltCase {
    std::string controlFile;     // <data>/<name>cnt.txt, ready to run
    std::string optionsFile;     // <data>/<name>.toml ([georeference], gauges)
    std::string reportFile;      // <data>/<name>/report.txt
    std::string mapFile;         // <data>/<name>/map.png ("" in a build without pictures)
    std::string report;          // the report's text
    std::vector<std::string> warnings;
    GridFrame frame;
    std::optional<FittedShoreline> shoreline;   // when the grid was fitted to it
    double direction = 0;        // the wave file's direction
    double minDepth = 0, maxDepth = 0;   // over the interior cells (m, positive down)
    double farthestPoint = 0;    // largest distance from a cell centre to a survey point used (m; 0: rasters only)
    int phaseI = 0, phaseJ = 0;  // the phase reference point (cell indices of the case files)
    // Depth of every cell of the case, ghost ring included ((nx + 2) x (ny + 2), i fastest).
    std::vector<float> depth;
};

// Builds the case a description file describes (InputError on any fault; nothing written).
BuiltCase buildCase(const std::string& descriptionFile);
BuiltCase buildCase(const CaseDescription& description);

}  // namespace littoral
