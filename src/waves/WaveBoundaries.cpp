// Ghost ring of the potential and the radiating lines of the open boundaries.
//
// Each ghost cell has a boundary number s = Int(cellFlag / 16) and a code bndCode(s):
//   0        zero gradient: the ghost copies the adjacent interior (inner) cell;
//   16       periodic: the ghost copies the interior cell at the far end of its row/column;
//   other    open: the ghost value comes from a one-dimensional line of nLine + 1 points
//            along the outward normal (point 0 = inner cell, point 1 = ghost), spaced a
//            tenth of the local wavelength, damped more and more along its length and
//            closed by a first-order radiation condition at its end.
// With the absorbing wave input (Model::absorbingInput) the wave input cells on the sides
// are left to incidentWave, which runs their lines on the potential less the incident one.
// Ghosts are visited south and north for each i, then west and east for each j; the four
// corner cells are never written.
#include <cmath>

#include "waves/WaveModel.h"

namespace littoral {

namespace {

using D = double;

enum class Side { South, North, West, East };

struct Ghost {
    int32_t gi, gj;  // ghost cell
    int32_t ii, ij;  // inner cell
    int32_t fi, fj;  // far cell (south and north: in the far row of a rank's grids)
};

inline Ghost ghostOf(const Model& m, Side side, int32_t k) {
    switch (side) {
    case Side::South: return {k, m.jyStart - 1, k, m.jyStart, k, m.jyEnd};
    case Side::North: return {k, m.jyEnd + 1, k, m.jyEnd, k, m.jyStart};
    case Side::West: return {m.ixStart - 1, k, m.ixStart, k, m.ixEnd, k};
    default: return {m.ixEnd + 1, k, m.ixEnd, k, m.ixStart, k};
    }
}

// Visits every non-corner ghost in the fixed order.
// On a rank, the ghosts of the rows it holds.
template <class F>
void forEachGhost(const Model& m, F&& visit) {
    const bool south = m.holdsSouthEdge(), north = m.holdsNorthEdge();
    for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) {
        if (south) visit(Side::South, ghostOf(m, Side::South, i));
        if (north) visit(Side::North, ghostOf(m, Side::North, i));
    }
    for (int32_t j = m.ownRows().begin; j <= m.ownRows().end; ++j) {
        visit(Side::West, ghostOf(m, Side::West, j));
        visit(Side::East, ghostOf(m, Side::East, j));
    }
}

// The ghost's inner cell, the current out of the grid there and twice the cell's width
// across the side.
GhostSide sideOf(const Model& m, Side side, const Ghost& g) {
    GhostSide r;
    r.onSide = true;
    r.ii = g.ii;
    r.ij = g.ij;
    const bool acrossY = side == Side::South || side == Side::North;
    r.width2 = static_cast<float>(2.0 * (acrossY ? m.dyW : m.dxW));
    switch (side) {
    case Side::South: r.un = -m.curV(g.ii, g.ij); break;
    case Side::North: r.un = m.curV(g.ii, g.ij); break;
    case Side::West: r.un = -m.curU(g.ii, g.ij); break;
    default: r.un = m.curU(g.ii, g.ij); break;
    }
    return r;
}

}  // namespace

namespace {

// Each predictor ghost is written from interior predictor values or from phiCur, never
// from another ghost, so the ghosts can be set in any order.
inline void predGhost(Model& m, const Ghost& g) {
    const int32_t code = m.bndCode(m.bndPointNo(g.gi, g.gj));
    if (code == 0) m.phiPred(g.gi, g.gj) = m.phiPred(g.ii, g.ij);
    else if (code == 16) m.phiPred(g.gi, g.gj) = m.phiPred.cell(g.fi, g.fj);
    else m.phiPred(g.gi, g.gj) = m.phiCur(g.gi, g.gj);  // open: level n during the corrector
}

}  // namespace

void setPredBoundaryRow(Model& m, int32_t j) {
    predGhost(m, ghostOf(m, Side::West, j));
    predGhost(m, ghostOf(m, Side::East, j));
}

void setPredBoundaryEdges(Model& m) {
    const bool south = m.holdsSouthEdge(), north = m.holdsNorthEdge();
    for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) {
        if (south) predGhost(m, ghostOf(m, Side::South, i));
        if (north) predGhost(m, ghostOf(m, Side::North, i));
    }
}

void setPhiBoundary(Model& m) {
    forEachGhost(m, [&](Side side, const Ghost& g) {
        const int32_t s = m.bndPointNo(g.gi, g.gj);
        const int32_t code = m.bndCode(s);
        if (code == 0) { m.phiNew(g.gi, g.gj) = m.phiNew(g.ii, g.ij); return; }
        if (code == 16) { m.phiNew(g.gi, g.gj) = m.phiNew.cell(g.fi, g.fj); return; }
        if (code == m.bndWave && m.absorbingInput) return;  // incidentWave's
        m.phiNew(g.gi, g.gj) = radiatedGhost(m, sideOf(m, side, g), s);
    });
}

float radiatedGhost(Model& m, const GhostSide& side, int32_t s, float incCur, float incNew) {
    const float L = m.wlen(side.ii, side.ij);
    if (side.width2 >= L) return 0.0f;  // no wave, or too short to resolve
    return radiateLine(m, side.ii, side.ij, side.un, s, m.ccg(side.ii, side.ij), m.omk(side.ii, side.ij),
                       static_cast<float>(static_cast<D>(L) / 10.0), incCur, incNew);
}

GhostSide ghostSide(const Model& m, int32_t i, int32_t j) {
    const bool inX = i >= m.ixStart && i <= m.ixEnd, inY = j >= m.jyStart && j <= m.jyEnd;
    if (inY && i == m.ixStart - 1) return sideOf(m, Side::West, ghostOf(m, Side::West, j));
    if (inY && i == m.ixEnd + 1) return sideOf(m, Side::East, ghostOf(m, Side::East, j));
    if (inX && j == m.jyStart - 1) return sideOf(m, Side::South, ghostOf(m, Side::South, i));
    if (inX && j == m.jyEnd + 1) return sideOf(m, Side::North, ghostOf(m, Side::North, i));
    return {};  // a corner of the ghost ring or an interior cell
}

// One predictor-corrector step of the line s (1-D form of the interior update, without the
// divergence term), damping dt (k/N)^2 at point k, radiation phi_t + sqrt(C Cg) phi_x = 0
// at the end point N. incCur and incNew are taken off the inner cell's potential at the
// levels n and n+1 (the incident wave, for a line that carries what goes out only).
float radiateLine(Model& m, int32_t i, int32_t j, float un, int32_t s, float ccgB, float omkB, float dl, float incCur,
                  float incNew) {
    const int32_t N = m.nLine;
    const float dt = m.waveDt;
    const float r = static_cast<float>(static_cast<D>(dt) / dl);
    float* L = m.line.row(s);
    const float* O = m.lineOld.row(s);
    float* P = m.lineNew.row(0);  // scratch: predicted values of this line
    float* W = m.lineNew.row(s);
    L[0] = static_cast<float>(static_cast<D>(m.phiCur(i, j)) - incCur);  // exact when 0
    P[0] = static_cast<float>(static_cast<D>(m.phiNew(i, j)) - incNew);
    const float a = static_cast<float>(static_cast<D>(ccgB) * r * r);
    const float b = static_cast<float>(static_cast<D>(dt) * omkB * dt);
    const float pP = static_cast<float>(-static_cast<D>(un) * r);  // outward neighbour k+1
    const float pM = static_cast<float>(static_cast<D>(un) * r);   // inward neighbour k-1
    auto damping = [&](int32_t k) {
        const D q = static_cast<D>(k) / N;
        return static_cast<D>(dt) * (q * q);
    };
    auto factorA = [&](int32_t k) {
        const float gk = static_cast<float>(damping(k));
        return static_cast<float>(2.0 - (static_cast<D>(a) + a + b) + gk);
    };
    auto factorB = [&](int32_t k) { return static_cast<float>(damping(k) + 1.0); };

    for (int32_t k = 1; k <= N - 1; ++k) {
        const D num = static_cast<D>(L[k]) * factorA(k) - O[k] +
                      (static_cast<D>(a) * L[k + 1] + static_cast<D>(a) * L[k - 1]) -
                      (static_cast<D>(pP) * O[k + 1] + static_cast<D>(pM) * O[k - 1]) +
                      (static_cast<D>(pM) * L[k - 1] + static_cast<D>(pP) * L[k + 1]);
        P[k] = static_cast<float>(num / factorB(k));
    }
    P[N] = static_cast<float>(L[N] + static_cast<D>(r) * std::sqrt(static_cast<D>(ccgB)) * (static_cast<D>(L[N - 1]) - L[N]));
    for (int32_t k = 1; k <= N - 1; ++k) {
        const D num = static_cast<D>(L[k]) * factorA(k) - O[k] +
                      (static_cast<D>(a) * L[k - 1] + static_cast<D>(a) * L[k + 1]) +
                      (static_cast<D>(pM) * P[k - 1] + static_cast<D>(pP) * P[k + 1]) / 2.0 -
                      (static_cast<D>(pP) * L[k + 1] + static_cast<D>(pM) * L[k - 1]) / 2.0;
        W[k] = static_cast<float>(num / factorB(k));
    }
    W[N] = P[N];
    const float result = W[1];
    float* Ow = m.lineOld.row(s);
    for (int32_t k = 1; k <= N; ++k) {
        Ow[k] = L[k];
        L[k] = W[k];
    }
    return result;
}

}  // namespace littoral
