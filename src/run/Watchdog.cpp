#include "run/Watchdog.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <limits>

#include "core/Error.h"
#include "core/Numeric.h"
#include "core/Parallel.h"

namespace littoral {

namespace {

constexpr double kG = 9.81;
constexpr int kFiniteChecks = 24;  // grids checkFinite looks at

std::string cellText(int32_t i, int32_t j) { return "(" + std::to_string(i) + ", " + std::to_string(j) + ")"; }

// The first cell, row by row along memory, whose value lies outside [lo, hi] (a value that is
// not a number included) and is not exactly `alsoOk`. Over the interior cells, or the whole
// grid with its ghost ring; with wetOnly, only cells whose total depth reaches minDepth count.
// The rows run on all threads: each thread keeps the first row holding a bad value, the earliest of them counts, and rows
// after it are not looked at. The cells of a row are tested without a branch, the first bad
// row searched again for its first bad cell.
// On a rank, over the rows it holds.
bool firstOutside(const Model& m, const Grid& g, double lo, double hi, float alsoOk, bool whole, bool wetOnly,
                  int32_t& fi, int32_t& fj) {
    if (g.empty()) return false;
    const int32_t i0 = whole ? g.iLo() : m.ixStart, i1 = whole ? g.iHi() : m.ixEnd;
    const int32_t j0 = whole ? std::max(g.jLo(), m.heldRows().begin) : m.ownRows().begin;
    const int32_t j1 = whole ? std::min(g.jHi(), m.heldRows().end) : m.ownRows().end;
    const int32_t n = i1 - i0 + 1;
    const float md = m.minDepthS;
    auto outside = [&](const float* row, const float* h, int32_t k) {
        const double v = row[k];
        const bool in = (v >= lo && v <= hi) || row[k] == alsoOk;
        return !in && (!wetOnly || h[k] >= md);
    };
    std::atomic<int32_t> first{std::numeric_limits<int32_t>::max()};
    forRowSlabs(j0, j1, [&](int32_t jBegin, int32_t jEnd, int) {
        for (int32_t j = jBegin; j <= jEnd && j < first.load(std::memory_order_relaxed); ++j) {
            const float* row = g.at(i0, j);
            const float* h = wetOnly ? m.hTot.at(i0, j) : row;
            bool bad = false;
            for (int32_t k = 0; k < n; ++k) bad |= outside(row, h, k);
            if (!bad) continue;
            int32_t seen = first.load();
            while (j < seen && !first.compare_exchange_weak(seen, j)) {
            }
            return;
        }
    });
    const int32_t j = first.load();
    if (j == std::numeric_limits<int32_t>::max()) return false;
    const float* row = g.at(i0, j);
    const float* h = wetOnly ? m.hTot.at(i0, j) : row;
    for (int32_t k = 0; k < n; ++k)
        if (outside(row, h, k)) {
            fi = i0 + k;
            fj = j;
            return true;
        }
    return false;
}

constexpr float kNone = std::numeric_limits<float>::quiet_NaN();  // never equal to a value

// The order in which a single pass over the checks (number `check`) and their cells meets
// cell (i, j): of the failures on several ranks, the first in that order is reported.
int64_t checkPlace(const Model& m, int check, int32_t i, int32_t j) {
    const int64_t ni = int64_t{m.ixEnd} - m.ixStart + 3, nj = int64_t{m.jyEnd} - m.jyStart + 3;
    return (int64_t{check} * nj + (j - (m.jyStart - 1))) * ni + (i - (m.ixStart - 1));
}

// The cell of a place of checkPlace's order (check 0).
void cellOfPlace(const Model& m, int64_t place, int32_t& i, int32_t& j) {
    const int64_t ni = int64_t{m.ixEnd} - m.ixStart + 3;
    i = static_cast<int32_t>(place % ni) + m.ixStart - 1;
    j = static_cast<int32_t>(place / ni) + m.jyStart - 1;
}

// No place: beyond every place of the checks, exact in double.
constexpr double kNoPlace = 9.0e15;

// The largest of the ranks' values v, and of the places (whole numbers, kNoPlace for none)
// whose rank has it the first: an arg-max whose first place in the order of one pass wins.
std::pair<double, int64_t> largestFirst(SlabLink& link, double v, double place) {
    const double top = link.largest(v);
    double first = v == top ? place : kNoPlace;
    link.minima(&first, 1);
    return {top, static_cast<int64_t>(first)};
}

}  // namespace

void checkFinite(const Model& m, float timeSeconds) {
    struct Named { const Grid* g; const char* name; };
    const Named grids[kFiniteChecks] = {
        {&m.phiNew, "the wave potential (phiNew)"}, {&m.phiCur, "the wave potential (phiCur)"},
        {&m.wavH, "the wave height (wavH)"}, {&m.etaOut, "the wave surface elevation (eta)"},
        {&m.fx, "the wave force in X (fx)"}, {&m.fy, "the wave force in Y (fy)"},
        {&m.hTot, "the total water depth of the flow"}, {&m.etaS, "the mean water level of the flow"},
        {&m.uS, "the flow velocity in X"}, {&m.vS, "the flow velocity in Y"},
        {&m.dep, "the depth (dep)"}, {&m.dh, "the bed change (dh)"},
        {&m.qbx, "the bedload transport in X (qbx)"}, {&m.qby, "the bedload transport in Y (qby)"},
        {&m.qsx, "the suspended load transport in X (qsx)"}, {&m.qsy, "the suspended load transport in Y (qsy)"},
        {&m.sxx, "the radiation stress (sxx)"}, {&m.sxy, "the radiation stress (sxy)"},
        {&m.syy, "the radiation stress (syy)"}, {&m.tau, "the bottom shear stress (tau)"},
        {&m.maxtau, "the largest bottom shear stress (maxtau)"}, {&m.theta, "the wave direction (theta)"},
        {&m.sumDiss, "the wave breaking dissipation (vptwb)"}, {&m.kd, "the relative depth (kd)"},
    };
    for (const Named& n : grids) {
        int32_t i = 0, j = 0;
        if (firstOutside(m, *n.g, -FLT_MAX, FLT_MAX, kNone, true, false, i, j))
            throw PlacedStop(checkPlace(m, static_cast<int>(&n - grids), i, j), "the computation broke down: " + std::string(n.name) + " is not a finite number at cell (" +
                            std::to_string(i) + ", " + std::to_string(j) + ") at model time " +
                            formatNum(timeSeconds) + " s; the result files of the finished intervals are complete");
    }
}

Watchdog::Watchdog(const Model& m) {
    const double tide = m.tideLevel;
    // The largest incident wave: regular, with groups, or the cap of the irregular heights.
    double hin = m.waveH0;
    if (m.nGroup > 0) hin *= 1.0 + std::fabs(static_cast<double>(m.groupAmp));
    if (m.hmaxIrr > 1) hin = static_cast<double>(m.waveH0) * m.hmaxIrr;
    hin = std::fabs(hin);

    // The bed as the flow feels it: a cell counts no deeper than its deepest neighbour, so a
    // single cell far off its surroundings (an input error) does not widen the bounds. Each
    // rank forms it on its own rows, exchanged so that a step across the slab's edge compares
    // the next rank's first row (a value of dep, exact as a float).
    SlabLink& link = m.slabs();
    const RowRange own = m.ownRows();
    Grid felt;
    link.guarded([&] { m.allocGrid(felt); });
    link.check();
    for (int32_t j = own.begin; j <= own.end; ++j)
        for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) {
            double around = std::max(double(m.dep(i - 1, j)), double(m.dep(i + 1, j)));
            around = std::max(around, std::max(double(m.dep(i, j - 1)), double(m.dep(i, j + 1))));
            felt(i, j) = static_cast<float>(std::min(double(m.dep(i, j)), around));
        }
    link.exchange({&felt}, SlabLink::Rows::Halos, m.jyStart, m.jyEnd);
    // Deepest interior water, the largest bed step between neighbours (over steps the
    // scheme's own drift moves water), wet area and the first bed; over every rank's rows.
    double dInt = 0, relief = 0, wetCells = 0, depLo = DBL_MAX, depHi = -DBL_MAX;
    for (int32_t j = own.begin; j <= own.end; ++j)
        for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) {
            const double d = m.dep(i, j), f = felt(i, j);
            dInt = std::max(dInt, f + tide);
            if (i < m.ixEnd) relief = std::max(relief, std::fabs(double(felt(i + 1, j)) - f));
            if (j < m.jyEnd) relief = std::max(relief, std::fabs(double(felt(i, j + 1)) - f));
            wetCells += d + tide > 0;
            depLo = std::min(depLo, d);
            depHi = std::max(depHi, d);
        }
    double extremes[4] = {-dInt, -relief, depLo, -depHi};
    link.minima(extremes, 4);
    dInt = -extremes[0], relief = -extremes[1], depLo = extremes[2], depHi = -extremes[3];
    link.sums(&wetCells, 1);
    const double wetArea = std::max(wetCells, 1.0) * m.dx * m.dy;

    // What the listed boundary cells impose: levels, prescribed speeds, inflow.
    double lo = tide, hi = tide, up = 0, levelAmp = 0;
    for (int32_t n = 1; n <= m.nBndListed; ++n) {
        const int32_t e = m.bndCode(n);
        if (e > 16 && e <= m.nBndApprox && m.bndType(e) == 1) levelAmp = std::max(levelAmp, std::fabs(double(m.bndVal1(e))));
    }
    lo = std::min(lo, -levelAmp);
    hi = std::max(hi, levelAmp);
    double inflow = 0;  // m3/s if every prescribing cell let water in
    for (int32_t n = 1; n <= m.nBndListed; ++n) {
        const int32_t e = m.bndCode(n);
        if (e <= 16 || e > m.nBndApprox) continue;
        const double q = std::hypot(static_cast<double>(m.bndVal1(e)), static_cast<double>(m.bndVal2(e)));
        if (m.bndType(e) == 2) {
            up = std::max(up, q);
            inflow += q * std::max(m.dx, m.dy) * (dInt + hi - lo);
        } else if (m.bndType(e) == 3) {
            const double hc = std::cbrt(q * q / m.dx / m.dy / kG);
            up = std::max(up, std::sqrt(kG * hc));
            inflow += q;
        }
    }
    const double span = std::max(0.0, static_cast<double>(m.tEnd) - m.tStart) + m.waveT0;
    const double rise = inflow * span / wetArea;
    const double margin = 2.0 * hin + relief + rise + 1.0;
    levelLo_ = lo - margin;
    levelHi_ = hi + margin;
    speed_ = 2.0 * std::sqrt(kG * (levelHi_ - levelLo_)) + 2.0 * up;
    wave_ = 8.0 * hin + 0.01;
    bedStep_ = dInt + (levelHi_ - levelLo_);
    bedLo_ = depLo - bedStep_;
    bedHi_ = depHi + bedStep_;
    // Flow steps one interval needs: the step is the cell width over the fastest signal,
    // |u| + c, counted on both faces of a cell, with c and |u| of the deepest still water
    // raised by the waves. Boundary rows are left out on purpose: a level or discharge
    // beyond all reason is what makes a run crawl. 20 times that allows water 400 times as
    // deep.
    const double c = std::sqrt(kG * (dInt + 2.0 * hin + 1.0));
    const double expected = m.waveT0 * 2.0 * (2.0 * c) / std::min(m.dx, m.dy);
    stepLimit_ = static_cast<long>(std::min(20.0 * expected + 1000.0, 1e12));
    limit_ = stepLimit_;
    cause_ = likelyCause(m);  // from the input as read, before the bed moves
}

void Watchdog::stalled(const Model& m, float tSeconds) const {
    // The cell with the fastest signal |u| + c over the whole grid limits the step (the
    // first in row order of equals). Every rank stops here at the same step: the ranks
    // agree on the fastest signal, then on the first cell that has it, whose values its
    // rank shares.
    double best = -1;
    int32_t bi = m.ixStart, bj = m.jyStart;
    for (int32_t j = m.heldRows().begin; j <= m.heldRows().end; ++j)
        for (int32_t i = m.ixStart - 1; i <= m.ixEnd + 1; ++i) {
            const double s = std::max(std::fabs(double(m.uS(i, j))), std::fabs(double(m.vS(i, j)))) +
                             std::sqrt(std::max(0.0, double(m.hTot(i, j))));
            if (s > best) { best = s; bi = i; bj = j; }
        }
    cellOfPlace(m, largestFirst(m.slabs(), best, double(checkPlace(m, 0, bi, bj))).second, bi, bj);
    double at[4] = {0, 0, 0, 0};
    m.shareFromRow(bj, at, 4, [&](double* v) {
        v[0] = m.hTot(bi, bj), v[1] = m.dep(bi, bj), v[2] = m.uS(bi, bj), v[3] = m.vS(bi, bj);
    });
    const float hTot = static_cast<float>(at[0]), dep = static_cast<float>(at[1]);
    const float uS = static_cast<float>(at[2]), vS = static_cast<float>(at[3]);
    const double len = m.lenScale, vel = m.velScale;
    throw StopError("the run looks hung: the interval ending at " + formatNum(tSeconds) + " s has taken more than " +
                    std::to_string(limit_) + " flow steps, 20 times what the deepest still water explains, and "
                    "would take hours; the step is limited at cell " +
                    cellText(bi, bj) + ", water depth " + formatNum(hTot * len) + " m over a still depth of " +
                    formatNum(dep) + " m, velocity (" + formatNum(uS * vel) + ", " +
                    formatNum(vS * vel) + ") m/s; most likely cause: " + cause_ +
                    "; the result files of the finished intervals are complete");
}

void Watchdog::endInterval(const Model& m, float tSeconds) {
    checkFinite(m, tSeconds);
    checkBounds(m, tSeconds);
}

void Watchdog::checkBounds(const Model& m, float tSeconds) const {
    struct Check {
        const Grid* g;
        const char* name;
        const char* unit;
        double lo, hi;
        float alsoOk;
        bool wetOnly;
        const char* why;
    };
    const double big = FLT_MAX;
    const Check checks[] = {
        {&m.dep, "the depth (dep)", " m", bedLo_, bedHi_, kNone, false,
         "the first depths widened by the deepest water column the case can hold"},
        {&m.wavH, "the wave height (wavH)", " m", 0.0, wave_, kNone, false,
         "8 times the largest incident wave height plus 1 cm: shoaling, focusing and reflection stay below"},
        {&m.setup, "the mean water level (setup) of a wet cell", " m", levelLo_, levelHi_, kNone, true,
         "the tide and boundary levels widened by twice the incident wave height, the largest bed step, the rise "
         "all boundary inflow could give, and 1 m"},
        {&m.curU, "the current in X (lfu)", " m/s", -speed_, speed_, kNone, false,
         "the front speed of a dam break over the largest level difference, plus twice any prescribed speed"},
        {&m.curV, "the current in Y (lfv)", " m/s", -speed_, speed_, kNone, false,
         "the front speed of a dam break over the largest level difference, plus twice any prescribed speed"},
        {&m.tau, "the bottom shear stress (tau)", " Pa", 0.0, big, kNone, false, "a stress is not negative"},
        {&m.maxtau, "the largest bottom shear stress (maxtau)", " Pa", 0.0, big, kNone, false, "a stress is not negative"},
        {&m.dh, "the bed change (dh)", " m", -bedStep_, bedStep_, kNone, false,
         "the deepest water column the case can hold, in one interval"},
        {&m.theta, "the wave direction (theta)", " rad", -3.1416, 3.1416, -9.0f, false,
         "a direction in radians, or -9 where there is none"},
        {&m.etaOut, "the wave surface elevation (eta)", " m", -wave_, wave_, kNone, false,
         "8 times the largest incident wave height plus 1 cm"},
        {&m.kd, "the relative depth (kd)", "", 0.0, big, kNone, false, "a product of wave number and depth"},
    };
    for (const Check& c : checks) {
        int32_t i = 0, j = 0;
        if (!firstOutside(m, *c.g, c.lo, c.hi, c.alsoOk, false, c.wetOnly, i, j)) continue;
        const std::string range = c.hi == big ? "0 or more" : formatNum(c.lo) + " to " + formatNum(c.hi) + c.unit;
        // After the finiteness checks of every grid.
        throw PlacedStop(checkPlace(m, kFiniteChecks + static_cast<int>(&c - checks), i, j), "the run was stopped before writing the results of the interval ending at " +
                        formatNum(tSeconds) + " s: " + c.name + " is " + formatNum((*c.g)(i, j)) + c.unit +
                        " at cell " + cellText(i, j) + ", where no sound case of this input goes beyond " + range +
                        " (" + c.why + "); most likely cause: " + cause_ +
                        "; the result files of the finished intervals are complete");
    }
}

std::string likelyCause(const Model& m) {
    // Every rank looks at its rows; the ranks agree on each finding.
    SlabLink& link = m.slabs();
    const RowRange own = m.ownRows(), held = m.heldRows();
    double dInt = 0;
    for (int32_t j = own.begin; j <= own.end; ++j)
        for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) dInt = std::max(dInt, double(m.dep(i, j)) + m.tideLevel);
    dInt = link.largest(dInt);
    const double cDeep = std::sqrt(kG * std::max(dInt, 0.01));
    // A boundary row that imposes more than the grid's water can carry.
    for (int32_t n = 1; n <= m.nBndListed; ++n) {
        const int32_t e = m.bndCode(n);
        if (e <= 16 || e > m.nBndApprox) continue;
        const double v1 = m.bndVal1(e), v2 = m.bndVal2(e), q = std::hypot(v1, v2);
        const std::string row = "row " + std::to_string(e) + " of " + m.tideFile + " (used by boundary cell " +
                                cellText(m.bndCellI(n), m.bndCellJ(n)) + ")";
        if (m.bndType(e) == 1 && std::fabs(v1) > dInt)
            return row + " sets the water level " + formatNum(v1) + " m, more than the deepest water of the grid (" +
                   formatNum(dInt) + " m)";
        if (m.bndType(e) == 2 && q > cDeep)
            return row + " sets a velocity of " + formatNum(q) + " m/s, faster than long waves in the deepest water (" +
                   formatNum(cDeep) + " m/s)";
        if (m.bndType(e) == 3 && std::cbrt(q * q / m.dx / m.dy / kG) > dInt)
            return row + " sets a discharge of " + formatNum(q) + " m3/s, whose critical depth exceeds the deepest "
                   "water of the grid (" + formatNum(dInt) + " m)";
    }
    // A cell far deeper than all its neighbours (ghost ring included; the first in row order
    // of equals).
    double worst = 0;
    int32_t wi = 0, wj = 0;
    for (int32_t j = held.begin; j <= held.end; ++j)
        for (int32_t i = m.ixStart - 1; i <= m.ixEnd + 1; ++i) {
            const double d = m.dep(i, j);
            if (!(d > 1.0)) continue;
            double around = 0.1;
            for (int32_t a = std::max(i - 1, m.ixStart - 1); a <= std::min(i + 1, m.ixEnd + 1); ++a)
                for (int32_t b = std::max(j - 1, m.jyStart - 1); b <= std::min(j + 1, m.jyEnd + 1); ++b)
                    if (a != i || b != j) around = std::max(around, double(m.dep(a, b)));
            if (d / around > worst) { worst = d / around; wi = i; wj = j; }
        }
    const auto [ratio, place] = largestFirst(link, worst, double(checkPlace(m, 0, wi, wj)));
    if (ratio > 5.0) {
        cellOfPlace(m, place, wi, wj);
        double d = 0;
        m.shareFromRow(wj, &d, 1, [&](double* v) { *v = m.dep(wi, wj); });
        return "the depth " + formatNum(static_cast<float>(d)) + " m of cell " + cellText(wi, wj) + " in " + m.depFile +
               ", " + formatNum(ratio) + " times the deepest of its neighbours";
    }
    if (m.brkRatio > 2.0f)
        return "the breaking wave height to depth ratio " + formatNum(m.brkRatio) + " in " + m.coefFile +
               " (waves break at about 0.8 of the depth)";
    // The first wave input cell in list order that is dry.
    double dry = kNoPlace;
    for (int32_t n = 1; n <= m.nBndListed && dry == kNoPlace; ++n) {
        const int32_t i = m.bndCellI(n), j = m.bndCellJ(n);
        if (m.holdsRow(j) && m.bndCode(n) == m.bndWave && !(double(m.dep(i, j)) + m.tideLevel > 0)) dry = n;
    }
    link.minima(&dry, 1);
    if (dry != kNoPlace) {
        const int32_t n = static_cast<int32_t>(dry), i = m.bndCellI(n), j = m.bndCellJ(n);
        double d = 0;
        m.shareFromRow(j, &d, 1, [&](double* v) { *v = m.dep(i, j); });
        return "the wave input cell " + cellText(i, j) + " is dry (still depth " + formatNum(static_cast<float>(d)) +
               " m in " + m.depFile + " with the tide " + formatNum(m.tideLevel) +
               " m): waves are put into a cell without water";
    }
    return "no single input stands out; look at the depths, boundary codes and coefficients around that cell";
}

}  // namespace littoral
