// The case's map as a PNG: the survey beneath, the grid's outline and cells, the offshore
// side, the phase reference point and the gauges (drawn without a display).
#pragma once

#include <string>
#include <vector>

namespace littoral::casebuilder {

struct MapPoint {
    double x = 0, y = 0;
};

struct CaseMapPicture {
    // The map's window (the grid's coordinate system) and the survey on a raster over it:
    // cols x rows elevations above the datum (north-up, first row at yMax), NaN where none.
    double xMin = 0, xMax = 1, yMin = 0, yMax = 1;
    int cols = 0, rows = 0;
    std::vector<float> elevation;
    std::vector<MapPoint> soundings;          // survey points drawn as dots (a sample of them)
    MapPoint corners[4];                      // the grid's outer corners, in order round it
    std::vector<std::pair<MapPoint, MapPoint>> cellLines;  // lines between cells (a selection)
    MapPoint offshore[2];                     // the offshore side's two ends
    MapPoint phasePoint;
    std::vector<MapPoint> gauges;
    std::vector<MapPoint> shoreline;          // the fitted shoreline's ends (none: not fitted)
};

// Writes the picture as a PNG under a temporary name, renamed once complete; false when
// this build draws no pictures or the file cannot be written.
bool writeCaseMap(const CaseMapPicture& picture, const std::string& path);

}  // namespace littoral::casebuilder
