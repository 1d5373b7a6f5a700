#include "input/CaseChecks.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/Error.h"
#include "core/Numeric.h"
#include "waves/WaveFunctions.h"

namespace littoral {

namespace {

std::string cellText(int32_t i, int32_t j) { return "(" + std::to_string(i) + ", " + std::to_string(j) + ")"; }

// A value with its unit ("0.5 m", "35 degrees", "0.01").
std::string withUnit(double v, const char* unit) { return formatNum(v) + (*unit ? std::string(" ") + unit : ""); }

// One value of an input file and the range in which the model means something for it.
struct Field {
    const std::string& file;
    const char* name;  // "the latitude (8th value)"
    double value;
    const char* unit;  // "" for a pure number
};

[[noreturn]] void refuse(const Field& f, const std::string& expected, const std::string& why) {
    throw StopError(f.file + ": " + f.name + " is " + withUnit(f.value, f.unit) + ": expected " + expected + " (" +
                    why + ")");
}

std::string rangeText(double lo, double hi, const char* unit) {
    return formatNum(lo) + " to " + withUnit(hi, unit);
}

// Refused unless lo <= value <= hi.
void within(const Field& f, double lo, double hi, const char* why) {
    if (!(f.value >= lo && f.value <= hi)) refuse(f, rangeText(lo, hi, f.unit), why);
}

void warn(Model& m, const std::string& text) { m.inputWarnings.push_back("warning: " + text); }

// A warning unless lo <= value <= hi.
void usual(Model& m, const Field& f, double lo, double hi, const char* why) {
    if (f.value >= lo && f.value <= hi) return;
    warn(m, f.file + ": " + f.name + " is " + withUnit(f.value, f.unit) + ", outside the usual " +
                rangeText(lo, hi, f.unit) + " (" + why + "); the case runs with it");
}

}  // namespace

void checkCoefficients(Model& m) {
    const std::string& c = m.coefFile;
    within({c, "the latitude (8th value)", m.latitude, "degrees"}, -90, 90, "a latitude lies between the poles");

    const Field fric{c, "the bottom friction coefficient (9th value)", m.fricCoef, ""};
    if (!(m.fricCoef >= 0))
        refuse(fric, "0 or more", "a negative friction would accelerate the flow instead of slowing it");
    within(fric, 0, 1, "the quadratic friction factor of the roughest sea beds is a few tenths; above 1 the bed "
                       "would stop any current within a cell");
    usual(m, fric, 0, 0.1, "sand beds give 0.002 to 0.05, rippled and rocky beds up to 0.1");

    const Field brk{c, "the breaking wave height to depth ratio (10th value)", m.brkRatio, ""};
    if (!(m.brkRatio > 0)) refuse(brk, "a positive ratio", "at 0 or less every wave breaks at once");
    within(brk, 0, 2, "no wave stands higher than about the depth it travels in; at twice the depth no wave ever "
                      "breaks");
    usual(m, brk, 0.5, 1.2, "breaking ratios of beaches lie between about 0.6 and 1.2");

    const Field minD{c, "the minimum computational depth (11th value)", m.minDepth, "m"};
    if (!(m.minDepth > 0))
        refuse(minD, "a positive depth in metres",
               "cells shallower than it are dry; at 0 or less dry cells count as wet and water runs onto dry land");
    within(minD, 1e-6, 1e4, "cells shallower than it are dry; below a micrometre the wet and dry cells are told "
                            "apart by rounding alone");
    usual(m, minD, 1e-6, 0.5, "a minimum depth of more than half a metre dries the surf zone");

    if (!(m.tEnd >= m.tStart))
        throw StopError(c + ": the end time (14th value) is " + formatNum(m.tEnd) + " s, before the start time (13th "
                        "value) " + formatNum(m.tStart) + " s: expected an end time of " + formatNum(m.tStart) +
                        " s or later (the run would compute nothing)");

    const Field shields{c, "the critical Shields number (15th value)", m.shieldsCr, ""};
    if (!(m.shieldsCr >= 0))
        refuse(shields, "0 or more", "a negative threshold would move sediment without any bottom stress");
    within(shields, 0, 1, "the threshold of motion of loose grains lies below 0.1; above 1 nothing would ever move");
    usual(m, shields, 0, 0.3, "sand and gravel begin to move at Shields numbers of 0.03 to 0.06");

    const Field grain{c, "the grain diameter (16th value)", m.grainSize, "m"};
    within(grain, 2e-6, 4.096, "from silt (2 micrometres; finer grains are clay, which the transport formulas do "
                               "not describe) to boulders (4.096 m)");
    usual(m, grain, 6.25e-5, 0.064, "sand and gravel: silt settles and binds, cobbles and boulders hardly move "
                                    "under waves");

    const Field dens{c, "the sediment density (17th value)", m.sedDensity, "kg/m3"};
    if (!(m.sedDensity > 1030))
        refuse(dens, "a density above that of sea water (1030 kg/m3)", "a lighter grain would float, not settle");
    within(dens, 1030, 8000, "the heaviest minerals of beaches (magnetite, 5200 kg/m3) stay well below 8000");
    usual(m, dens, 2000, 3500, "quartz sand is 2650 kg/m3; coal, shell or heavy-mineral sands lie outside");

    within({c, "the kinematic viscosity (18th value)", m.viscosity, "m2/s"}, 1e-7, 1e-5,
           "the viscosity of water, fresh or salt, is 0.3e-6 m2/s at 100 degrees C to 1.8e-6 m2/s at freezing");
    usual(m, {c, "the kinematic viscosity (18th value)", m.viscosity, "m2/s"}, 0.7e-6, 1.9e-6,
          "sea water from freezing to 35 degrees C");

    const Field bed{c, "the bedload coefficient (19th value)", m.bedloadCoef, ""};
    if (!(m.bedloadCoef >= 0))
        refuse(bed, "0 or more", "a negative coefficient would carry sediment against the stress that moves it");
    usual(m, bed, 0, 100, "bedload formulas use coefficients of about 4 to 20");
    const Field susp{c, "the suspended load coefficient (20th value)", m.suspCoef, ""};
    if (!(m.suspCoef >= 0))
        refuse(susp, "0 or more", "a negative coefficient would carry sediment against the stress that moves it");
    usual(m, susp, 0, 100, "suspended load coefficients are of order 1");
}

void checkStartTime(Model& m) {
    const std::string& w = m.wavFile;
    const Field period{w, "the wave period (3rd value)", m.waveT0, "s"};
    within(period, 0.1, 300, "waves ruled by gravity: below 0.1 s surface tension rules, beyond 300 s the tide");
    usual(m, period, 1, 30, "wind waves and swell");

    const Field height{w, "the offshore wave height (2nd value)", m.waveH0, "m"};
    if (!(m.waveH0 >= 0)) refuse(height, "0 or more", "a wave height is not negative");
    within(height, 0, 30, "the highest waves measured at sea are about 30 m");
    // Deep-water waves break at a steepness H / L0 of about 1/7.
    const double L0 = 9.81 / (2 * 3.14159265358979) * static_cast<double>(m.waveT0) * m.waveT0;
    if (m.waveH0 > L0 / 7)
        warn(m, w + ": the offshore wave height (2nd value) " + withUnit(m.waveH0, "m") +
                    " is steeper than a wave of the period " + withUnit(m.waveT0, "s") +
                    " can be in deep water (at most " + withUnit(L0 / 7, "m") +
                    ", a seventh of the deep-water wavelength): it breaks as it enters; the case runs with it");

    // Directions run from 90 to 270 degrees (180 is normal incidence), or from -270 to -90;
    // beyond, an angle would be taken round the circle again.
    within({w, "the wave direction (4th value)", m.waveDir0, "degrees"}, -270, 270,
           "directions are given from 90 to 270 degrees, 180 being normal incidence, or from -270 to -90");

    if (m.nGroup > 0)
        within({w, "the wave group amplitude (8th value)", m.groupAmp, ""}, -1, 1,
               "the envelope 1 + a sin(psi) of the wave groups would turn negative");

    // The first interval ends one wave period after the start; the flow clock starts at 0.
    if (static_cast<double>(m.tStart) + m.waveT0 < 0.0)
        throw StopError(m.coefFile + ": the start time (13th value) is " + formatNum(m.tStart) +
                        " s, more than one wave period (" + formatNum(m.waveT0) + " s in " + m.wavFile +
                        ") before 0: expected a start time of " + formatNum(-m.waveT0) +
                        " s or later (the flow clock starts at 0 and cannot run backwards)");
}

void checkTide(Model& m) {
    const Field tide{m.tideFile, "the tide level (1st value)", m.tideLevel, "m"};
    within(tide, -30, 30, "the largest tidal ranges are about 16 m, storm surges add a few metres");
    usual(m, tide, -10, 10, "beyond the tides of all but a few bays");
}

void refuseDepth(const std::string& where, float depth, int32_t i, int32_t j) {
    throw StopError(where + "the depth " + formatNum(depth) + " m of cell " + cellText(i, j) +
                    " is out of range: expected -9000 to 11000 m (from above the highest mountain to below the "
                    "deepest trench; negative depths are land above the datum)");
}

void checkMinimumDepth(const Model& m) {
    if (m.minDepth < m.hMax) return;
    throw StopError(m.coefFile + ": the minimum computational depth (11th value) is " + formatNum(m.minDepth) +
                    " m, not below the largest depth plus tide " + formatNum(m.hMax) + " m of " + m.depFile +
                    ": expected a minimum depth below " + formatNum(m.hMax) +
                    " m (every cell would be dry and the flow switched off)");
}

void checkWaveInput(const Model& m) {
    std::vector<int32_t> codes;
    for (int32_t n = 1; n <= m.nBndListed; ++n) {
        if (m.bndCode(n) == m.bndWave) return;
        if (std::find(codes.begin(), codes.end(), m.bndCode(n)) == codes.end()) codes.push_back(m.bndCode(n));
    }
    std::sort(codes.begin(), codes.end());
    std::string list;
    for (size_t k = 0; k < codes.size(); ++k) list += (k ? ", " : "") + std::to_string(codes[k]);
    throw StopError(m.wavFile + ": the wave input boundary code " + std::to_string(m.bndWave) +
                    " is the code of no boundary cell in " + m.bndFile + ", which holds the boundary codes " + list +
                    ": expected one of them, or the case would run without any wave");
}

void checkTideRows(Model& m, const std::vector<int32_t>& rows) {
    std::vector<char> given(static_cast<size_t>(m.nBndApprox) + 1, 0), used(given.size(), 0);
    for (const int32_t r : rows)
        if (r >= 0 && r <= m.nBndApprox) given[static_cast<size_t>(r)] = 1;
    for (int32_t n = 1; n <= m.nBndListed; ++n) {
        const int32_t code = m.bndCode(n);
        if (code <= 16) continue;
        if (!given[static_cast<size_t>(code)])
            throw StopError(m.bndFile + ": boundary cell " + cellText(m.bndCellI(n), m.bndCellJ(n)) + " has the code " +
                            std::to_string(code) + ", for which " + m.tideFile +
                            " gives no row: expected a row numbered " + std::to_string(code) +
                            " in the boundary-condition table (the cell would silently be open)");
        used[static_cast<size_t>(code)] = 1;
    }
    for (size_t r = 0; r < given.size(); ++r)
        if (given[r] && !used[r])
            warn(m, m.tideFile + ": row " + std::to_string(r) + " of the boundary-condition table is used by no cell of " +
                        m.bndFile + (r <= 16 ? " (codes 17 and up name the rows)" : "") + "; the case runs without it");
}

double checkWaveInputCells(const Model& m) {
    double shortest = std::numeric_limits<double>::infinity();
    for (int32_t k = 1; k <= m.nBndListed; ++k) {
        if (m.bndCode(k) != m.bndWave) continue;
        const int32_t i = m.bndCellI(k), j = m.bndCellJ(k);
        if (!m.holdsRow(j)) continue;
        const float d = m.dep(i, j);
        const double h = static_cast<double>(d) + m.tideLevel;
        if (!(h > m.minDepth))
            throw PlacedStop(k, m.bndFile + ": the wave input cell " + cellText(i, j) + " (code " +
                                    std::to_string(m.bndWave) + ") is dry: depth " + formatNum(d) + " m in " +
                                    m.depFile + " plus tide " + formatNum(m.tideLevel) +
                                    " m: expected a total depth above the minimum depth " + formatNum(m.minDepth) +
                                    " m (waves put in on dry land drive the bed there away)");
        const double kw = waveNumber(1.0 / m.waveT0, static_cast<float>(h));
        if (kw > 0 && std::isfinite(kw)) shortest = std::min(shortest, 6.28318530717958 / kw);
    }
    return shortest;
}

void checkWaveResolution(Model& m, double L) {
    if (!std::isfinite(L)) return;
    const double width = std::max(m.dx, m.dy);
    const double cells = L / width;
    const std::string what = m.coefFile + ": the cell width " + formatNum(width) + " m (the larger of dx and dy) " +
                             "gives the incident wave (wavelength " + formatNum(L) + " m at the wave input cells, " +
                             "period " + formatNum(m.waveT0) + " s in " + m.wavFile + ") " + formatNum(cells) +
                             " cells a wavelength";
    if (cells < 2)
        throw StopError(what + ": expected at least 2, a cell width of " + formatNum(L / 2) +
                        " m or less (a wave shorter than two cells cannot be represented on the grid)");
    if (cells < 3)
        warn(m, what + ": below 3 the grid carries the wave with a large error of its speed and direction; the "
                       "case runs with it");
}

}  // namespace littoral
