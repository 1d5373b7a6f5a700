// A grid placed along the shoreline: the still-water shoreline found in the survey (where
// the elevation above the datum crosses 0), a straight line fitted through it, and the
// grid's origin and rotation set from that line.
#pragma once

#include <string>
#include <vector>

#include "casebuilder/Survey.h"
#include "littoral/casebuilder.h"

namespace littoral::casebuilder {

struct ShorelineSearch {
    FittedShoreline line;              // line.points == 0: no shoreline in the window
    double seaX = 1, seaY = 0;         // unit vector across the line, towards deeper water
    double midX = 0, midY = 0;         // the middle of the line's span
    double lowest = 0, highest = 0;    // the elevations met (above the datum)
    long samples = 0;                  // lattice points with a value
    double step = 0;                   // the lattice's spacing (m)
    Extent window;                     // the part of the survey searched
};

// Samples the sources (later over earlier, as the grid's cells are) on a lattice of about
// 400 points along the window's longer side, finds where the elevation above the datum,
// (elevation ? z : -z) + datumOffset, crosses 0 along the lattice's lines, and fits the
// line of least squares across it (the principal axis of the crossings). The sea's side is
// the one the elevations fall towards (their regression over the whole window).
ShorelineSearch findShoreline(const std::vector<std::string>& paths, const std::vector<std::string>& shown,
                              const std::vector<std::string>& wkts, const std::string& gridWkt, const Extent& window,
                              bool elevation, double datumOffset);

// Sets d.originX, d.originY and d.rotation so that the axis of d.offshore runs across the
// shoreline with the offshore side seawards, d.landFraction of the grid's extent across the
// shore lies landward of the line, and the grid is centred on the middle of the line's span.
void placeAlongShore(CaseDescription& d, const ShorelineSearch& s);

}  // namespace littoral::casebuilder
