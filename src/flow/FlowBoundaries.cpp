// Flow boundaries: the ghost ring of the new level (setBoundaryGhosts) and the prescribed
// level, velocity or discharge of the listed boundary cells (applyBoundaryConditions).
//
// A ghost cell G has the interior neighbour I and, across the grid, the periodic partner P.
// Its code b = bndCode(bndPointNo(G)) makes the side
//   closed   (b = 0) : G mirrors the new I with the normal velocity negated;
//   periodic (b = 16): G copies the new P;
//   open     (other) : the Riemann invariants R+- = n +- 2c of G (n the velocity normal to
//                      the side, positive along +X or +Y; c = celS = sqrt h) are advanced by a
//                      first-order upwind step from I for the waves that leave the domain;
//                      those that enter keep G's own value, which applyBoundaryConditions may
//                      prescribe.
// North and east sides face +Y and +X (outgoing waves have speed > 0), south and west sides
// -Y and -X (outgoing speed < 0). Corner cells of the ghost ring are never written.
// The tangential velocity of G is written only by a periodic side.
#include <algorithm>
#include <cmath>
#include <string>

#include "core/Error.h"
#include "core/Numeric.h"
#include "core/SlabLink.h"
#include "flow/Flow.h"
#include "flow/RoeAverages.h"

namespace littoral {

namespace {

struct Cell {
    int32_t i, j;
};

// One ghost cell. nCur/nNew are the normal-velocity grids of the side (uS/uSNew on east and
// west, vS/vSNew on north and south), delta the step ratio, outPositive whether the outward
// direction is +X / +Y.
void ghostCell(Model& m, Cell G, Cell I, Cell P, const Grid& nCur, Grid& nNew, float delta, bool outPositive) {
    const int32_t b = m.bndCode(m.bndPointNo(G.i, G.j));
    if (b == 0) {  // closed
        const float hI = m.hTotNew(I.i, I.j);
        m.hTotNew(G.i, G.j) = hI;
        nNew(G.i, G.j) = -nNew(I.i, I.j);
        m.celSNew(G.i, G.j) = static_cast<float>(std::sqrt(static_cast<double>(hI)));
    } else if (b == 16) {  // periodic (P of a south or north ghost: in the far row on a rank)
        const float hP = m.hTotNew.cell(P.i, P.j);
        m.hTotNew(G.i, G.j) = hP;
        m.uSNew(G.i, G.j) = m.uSNew.cell(P.i, P.j);
        m.vSNew(G.i, G.j) = m.vSNew.cell(P.i, P.j);
        m.celSNew(G.i, G.j) = static_cast<float>(std::sqrt(static_cast<double>(hP)));
    } else {  // open: Riemann invariants from the current level
        const float md = m.minDepthS;
        const float hI = m.hTot(I.i, I.j), hG = m.hTot(G.i, G.j);
        const float nI = nCur(I.i, I.j), nG = nCur(G.i, G.j);
        const float lp = roeSpeed(0, hI, hG, nI, nG, md);
        const float lm = roeSpeed(1, hI, hG, nI, nG, md);
        const double prod = static_cast<double>(lp) * lm;  // exact for two singles
        if (prod == 0.0) {  // dry face, or exactly critical: G keeps its current level
            m.hTotNew(G.i, G.j) = hG;
            m.celSNew(G.i, G.j) = m.celS(G.i, G.j);
            nNew(G.i, G.j) = nG;
        } else {
            const double cG = m.celS(G.i, G.j), cI = m.celS(I.i, I.j);
            const float rpG = static_cast<float>(nG + 2.0 * cG), rmG = static_cast<float>(nG - 2.0 * cG);
            const float rpI = static_cast<float>(nI + 2.0 * cI), rmI = static_cast<float>(nI - 2.0 * cI);
            const double d = delta;
            float rp = rpG, rm = rmG;
            if (outPositive) {
                if (prod < 0) {  // subcritical: R+ leaves
                    rp = static_cast<float>(rpG - d * lp * (static_cast<double>(rpG) - rpI));
                } else if (lm > 0) {  // supercritical outflow: both leave
                    rp = static_cast<float>(rpG - d * lp * (static_cast<double>(rpG) - rpI));
                    rm = static_cast<float>(rmG - d * lm * (static_cast<double>(rmG) - rmI));
                }  // supercritical inflow: both enter
            } else {
                if (prod < 0) {  // subcritical: R- leaves
                    rm = static_cast<float>(rmG - d * lm * (static_cast<double>(rmI) - rmG));
                } else if (lp < 0) {  // supercritical outflow
                    rp = static_cast<float>(rpG - d * lp * (static_cast<double>(rpI) - rpG));
                    rm = static_cast<float>(rmG - d * lm * (static_cast<double>(rmI) - rmG));
                }
            }
            const float c = static_cast<float>((static_cast<double>(rp) - rm) / 4.0);
            m.celSNew(G.i, G.j) = c;
            nNew(G.i, G.j) = static_cast<float>((static_cast<double>(rp) + rm) / 2.0);
            m.hTotNew(G.i, G.j) = static_cast<float>(static_cast<double>(c) * c);
        }
    }
    m.etaSNew(G.i, G.j) = static_cast<float>(static_cast<double>(m.hTotNew(G.i, G.j)) - depthRatio(m, G.i, G.j));
}

void ghostNorth(Model& m) {
    const int32_t j = m.jyEnd + 1;
    for (int32_t i = m.ixStart; i <= m.ixEnd; ++i)
        ghostCell(m, {i, j}, {i, m.jyEnd}, {i, m.jyStart}, m.vS, m.vSNew, m.dtdy, true);
}

void ghostEast(Model& m) {
    const int32_t i = m.ixEnd + 1;
    for (int32_t j = m.ownRows().begin; j <= m.ownRows().end; ++j)
        ghostCell(m, {i, j}, {m.ixEnd, j}, {m.ixStart, j}, m.uS, m.uSNew, m.dtdx, true);
}

void ghostWest(Model& m) {
    const int32_t i = m.ixStart - 1;
    for (int32_t j = m.ownRows().begin; j <= m.ownRows().end; ++j)
        ghostCell(m, {i, j}, {m.ixStart, j}, {m.ixEnd, j}, m.uS, m.uSNew, m.dtdx, false);
}

void ghostSouth(Model& m) {
    const int32_t j = m.jyStart - 1;
    for (int32_t i = m.ixStart; i <= m.ixEnd; ++i)
        ghostCell(m, {i, j}, {i, m.jyStart}, {i, m.jyEnd}, m.vS, m.vSNew, m.dtdy, false);
}

// The interior neighbour I and the periodic partner P of ghost cell (i, j); false for a
// cell that is not on a side of the ghost ring (interior cells and the corners).
bool ghostSides(const Model& m, int32_t i, int32_t j, Cell& I, Cell& P) {
    const bool inX = i >= m.ixStart && i <= m.ixEnd, inY = j >= m.jyStart && j <= m.jyEnd;
    if (inY && i == m.ixStart - 1) { I = {m.ixStart, j}; P = {m.ixEnd, j}; return true; }
    if (inY && i == m.ixEnd + 1) { I = {m.ixEnd, j}; P = {m.ixStart, j}; return true; }
    if (inX && j == m.jyStart - 1) { I = {i, m.jyStart}; P = {i, m.jyEnd}; return true; }
    if (inX && j == m.jyEnd + 1) { I = {i, m.jyEnd}; P = {i, m.jyStart}; return true; }
    return false;
}

std::string cellName(int32_t i, int32_t j) { return "(" + std::to_string(i) + ", " + std::to_string(j) + ")"; }

}  // namespace

float flowStillDepth(const Model& m, int32_t i, int32_t j) {
    Cell I{}, P{};
    if (ghostSides(m, i, j, I, P) && m.bndCode(m.bndPointNo(i, j)) == 0) return depthRatio(m, I.i, I.j);
    return depthRatio(m, i, j);
}

void periodicGhostDepths(Model& m) {
    // On a rank: the ghost rows it keeps, from the far rows, and the ghost columns of every
    // row of its slab (the depths as read are the same on every rank).
    for (int32_t i = m.ixStart - 1; i <= m.ixEnd + 1; ++i)
        for (int32_t j : {m.jyStart - 1, m.jyEnd + 1}) {
            Cell I{}, P{};
            if (m.dep.hasRow(j) && ghostSides(m, i, j, I, P) && m.bndCode(m.bndPointNo(i, j)) == 16)
                m.dep(i, j) = m.dep.cell(P.i, P.j);
        }
    const RowRange rows = m.slabRows();
    for (int32_t j = std::max(rows.begin, m.jyStart); j <= std::min(rows.end, m.jyEnd); ++j)
        for (int32_t i : {m.ixStart - 1, m.ixEnd + 1}) {
            Cell I{}, P{};
            if (ghostSides(m, i, j, I, P) && m.bndCode(m.bndPointNo(i, j)) == 16) m.dep(i, j) = m.dep(P.i, P.j);
        }
}

void setBoundaryGhosts(Model& m) {
    // A periodic ghost row copies the new level of the row at the other end.
    m.readsFarRows({&m.hTotNew, &m.uSNew, &m.vSNew});
    if (m.holdsNorthEdge()) ghostNorth(m);
    ghostEast(m);
    ghostWest(m);
    if (m.holdsSouthEdge()) ghostSouth(m);
}

void applyBoundaryConditions(Model& m, float t) {
    for (int32_t n = 1; n <= m.nBndCell; ++n) {
        const int32_t i = m.bndCellI(n), j = m.bndCellJ(n);
        if (!m.holdsRow(j)) continue;
        const int32_t bp = m.bndPointNo(i, j);
        if (bp <= 0) continue;
        float hP = m.hTotNew(i, j), uP = m.uSNew(i, j), vP = m.vSNew(i, j);
        const float d = depthRatio(m, i, j);
        // The boundary reader keeps codes within 16 bits.
        const int16_t e = static_cast<int16_t>(m.bndCode(bp));
        if (e > 16) {
            const float v1 = m.bndVal1(e), v2 = m.bndVal2(e);
            switch (m.bndType(e)) {
                case 1: {  // water level: v1 m above the datum, oscillating with period v2 s if v2 != 0
                    const double level = v2 != 0 ? static_cast<double>(v1) / m.lenScale *
                                                       std::sin(6.28318530717958 * t / v2)
                                                 : static_cast<double>(v1) / m.lenScale;
                    hP = static_cast<float>(d + level);
                    if (hP < 0) {
                        const double levelM =
                            v2 != 0 ? static_cast<double>(v1) * std::sin(6.28318530717958 * t / v2) : v1;
                        throw PlacedStop(n, m.tideFile + ": boundary-condition row " + std::to_string(e) +
                                        " (water level) sets the level " + formatNum(levelM) +
                                        " m at boundary cell " + cellName(i, j) + " at model time " +
                                        formatNum(t) + " s, below the bed there at " +
                                        formatNum(-static_cast<double>(m.dep(i, j))) +
                                        " m: expected a level at or above the bed of every cell of the row");
                    }
                    break;
                }
                case 2:  // velocity, m/s along X and Y
                    uP = static_cast<float>(static_cast<double>(v1) / m.velScale);
                    vP = static_cast<float>(static_cast<double>(v2) / m.velScale);
                    break;
                case 3: {  // discharge, m3/s along X through dy and along Y through dx
                    const float hc = static_cast<float>(
                        std::pow((static_cast<double>(v2) * v2 + static_cast<double>(v1) * v1) / m.dx / m.dy / 9.81,
                                 1.0 / 3.0) /
                        m.lenScale);
                    if (!(hP >= hc)) hP = hc;
                    if (hP > 0) {
                        uP = static_cast<float>(static_cast<double>(v1) / m.lenScale / m.lenScale / m.velScale / m.dyS / hP);
                        vP = static_cast<float>(static_cast<double>(v2) / m.lenScale / m.lenScale / m.velScale / m.dxS / hP);
                    } else {
                        // Zero discharge into a dry cell: it stays dry and at rest.
                        uP = 0.0f;
                        vP = 0.0f;
                    }
                    break;
                }
                default:
                    break;
            }
        }
        m.hTotNew(i, j) = hP;
        m.celSNew(i, j) = static_cast<float>(std::sqrt(static_cast<double>(hP)));
        m.uSNew(i, j) = uP;
        m.vSNew(i, j) = vP;
        m.etaSNew(i, j) = static_cast<float>(static_cast<double>(hP) - d);
    }
}

}  // namespace littoral
