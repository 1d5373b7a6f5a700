// Face fluxes of one flow step (computeFluxes).
//
// For every X face (i, j)-(i+1, j) and Y face (i, j)-(i, j+1), i = ixStart-1..ixEnd,
// j = jyStart-1..jyEnd, the flux is computed from the current level (hTot, uS, vS) and the
// still depth d = depthRatio. L is the west/south cell (i, j), R the east/north one.
// fluxXW / fluxYS hold the flux as the L cell takes it, fluxXE / fluxYN as the R cell takes
// it; both are stored at (., i, j).
//
// Balanced wave force (Model::balancedWaveForce): the wave force along the face's normal
// enters as the bed slope does, a term (0, Sf dx, 0) of the face, Sf the mean of its two
// cells' forces, split on r1 and r2 and upwinded with the bed term; the cells' sources then
// leave it out (momentumSources). A set-up that balances the force then stands with the
// water at rest, as over a sloping bed, and passes no water from cell to cell. A face that
// carries no flux with bed term (closed, dry, or a wall to one side) gives each wet side
// half its own force directly, so no force is lost at walls and shorelines.
//
// Classification of a face, X written (Y: bits 8 of R and 2 of L, v mirrored instead of u):
//   closed (cellFlag(R) & 4 or cellFlag(L) & 1): each side sees its own mirror image,
//       a wall flux without bed term, whatever the depths;
//   both dry: zero flux on both sides;
//   half-dry: if the wet side's level lies strictly above the dry side's bed the face
//       carries the full flux with bed term, otherwise the wet side sees a wall and the dry
//       side gets zero;
//   both wet: Roe flux with the upwinded bed term.
// Only the current level is read, so the order of the faces does not matter. A closed ghost
// cell stands on the bed of the interior cell it mirrors (flowStillDepth), so no bed-slope
// term crosses a closed wall.
//
// The faces run in blocks of a row, branch-free so that the compiler keeps the block in
// vector registers: every face forms its flux with bed term by every wet/dry case and
// picks its case; the faces that need a wall flux instead (closed faces, half-dry faces
// whose wet level stands at or below the dry bed) are marked and get it in a short pass
// after the block. Every face's numbers are those of the point kernels of RoeFlux.h
// (roeFace, withBedTerm, wallFluxOfL, wallFluxOfR), which the block inlines.
// Components are written as mass, normal momentum, tangential momentum and stored as
// (mass, X momentum, Y momentum).
//
// The fluxes take the stable step along, from the speeds of the faces they form anyway:
// the smallest of dx / s and dy / s over the interior cells, s the spread of the Roe wave
// speeds at the cell's faces (at least 0.001):
//   X: both speeds of the west face, n~ + c~ minus n~ - c~; where the cell and its west
//      neighbour are dry, |n~ - c~| of the east face; where the cell and its east
//      neighbour are dry (the west side wet), |n~ + c~| of the west face;
//   Y: n~ + c~ of the south face minus n~ - c~ of the north face, with the same rules
//      for dry pairs (|n~ - c~| of the north face, |n~ + c~| of the south face).
// The smallest value does not depend on the order of the cells, so each slab of rows takes
// its own and the slabs' are compared.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/Parallel.h"
#include "core/RowClones.h"
#include "flow/Flow.h"
#include "flow/RoeAverages.h"
#include "flow/RoeFlux.h"

namespace littoral {

namespace {

using D = double;

constexpr int32_t kBlock = 128;  // faces per block of a row

// n faces with sides L and R (depths h, normal velocities q): right-going n~ + c~ to s0,
// left-going n~ - c~ to s1.
LITTORAL_ROW_CLONES void flowFaceSpeeds(int32_t n, const float* __restrict hL, const float* __restrict hR,
                                        const float* __restrict qL, const float* __restrict qR, float md,
                                        float* __restrict s0, float* __restrict s1) {
    for (int32_t k = 0; k < n; ++k) {
        const bool wL = hL[k] >= md, wR = hR[k] >= md;
        const D sL = std::sqrt(static_cast<D>(hL[k])), sR = std::sqrt(static_cast<D>(hR[k]));
        const float c = roeCelerity(wL, wR, hL[k], hR[k], sL, sR);
        const float q = roeVelocity(wL, wR, sL, sR, qL[k], qR[k]);
        s0[k] = static_cast<float>(static_cast<D>(q) + c);
        s1[k] = static_cast<float>(static_cast<D>(q) - c);
    }
}

// Speed spread of a cell along one direction from the right-going speed low0 of its low
// face (west or south), the left-going speed `minus` the rule subtracts from it and the
// left-going speed high1 of its high face; lowDry, highDry: the cell and its neighbour
// across that face are both dry.
[[gnu::always_inline]] inline float stepSpread(bool lowDry, bool highDry, float low0, float minus, float high1) {
    const float both = static_cast<float>(static_cast<D>(low0) - minus);
    const float s = pick(!lowDry & !highDry, both, pick(lowDry, std::fabs(high1), std::fabs(low0)));
    return s < 0.001f ? 0.001f : s;
}

// Level of the wet side (h - d) above the dry side's bed (-d), both rounded to single precision.
[[gnu::always_inline]] inline bool levelAboveBed(float hWet, float dWet, float dDry) {
    return static_cast<float>(static_cast<D>(hWet) - dWet) > -dDry;
}

// The wave forces along a face's normal of its L and R cells (fx for X faces, fy for Y
// faces, m^2/s^2) and the factor dx / (4 V^2) of the strength of the face's term.
struct FaceForces {
    const float* gL = nullptr;
    const float* gR = nullptr;
    D scale = 0.0;
};

// n faces of a block. Inputs per face: the sides' depths and their square roots, normal and
// tangential velocities, still depths and whether the face is closed. Outputs: what the R side
// takes (fR*) and what the L side takes (fL*), by component. Marks in walls the faces that
// need a wall flux (bits 1 and 2) and, unless kAnyFace, those with water on one side only
// (bit 4), and with kForce those without the flux with bed term (bit 8), and returns the
// marks of all faces or-ed.
template <Along kDir, bool kAnyFace, bool kForce>
[[gnu::always_inline]] inline int32_t faceBlock(int32_t n, const float* __restrict hL, const float* __restrict hR,
                      const D* __restrict sL, const D* __restrict sR, const float* __restrict nL,
                      const float* __restrict nR, const float* __restrict tL, const float* __restrict tR,
                      const float* __restrict dL, const float* __restrict dR, const int32_t* __restrict closed,
                      float md, float* __restrict fRm, float* __restrict fRn, float* __restrict fRt,
                      float* __restrict fLm, float* __restrict fLn, float* __restrict fLt,
                      int32_t* __restrict walls, float* __restrict sp0, float* __restrict sp1, FaceForces g) {
    int32_t any = 0;
    for (int32_t k = 0; k < n; ++k) {
        const float a = hL[k], b = hR[k];
        const bool aw = a >= md, bw = b >= md;
        // Flux with the bed term.
        const RoeFace w = roeFace<kDir, kAnyFace>(a, b, sL[k], sR[k], nL[k], nR[k], tL[k], tR[k], md);
        float Bf = 0.0f;
        if constexpr (kForce) {
            // Bf = Sf dx / (2 c~) with Sf = (gL + gR) / (2 V^2); none on a dry face.
            const D c = pick(w.c == 0.0f, 1.0f, w.c);
            Bf = pick(w.c == 0.0f, 0.0f,
                      static_cast<float>((static_cast<D>(g.gL[k]) + g.gR[k]) * g.scale / c));
        }
        const FaceSides f = withBedTerm<kForce>(w, a, b, dL[k], dR[k], Bf);
        // Which applies: closed -> both walls; both dry -> nothing; half-dry -> the flux with
        // bed term when the wet side's level stands above the dry bed, else the wet side's
        // wall and nothing for the dry side; both wet -> the flux with bed term. The walls
        // (each side against its own mirror image) are rare: they are marked here and formed
        // by wallPass.
        const bool isClosed = closed[k] != 0;
        const bool full = (aw & bw) | (aw & !bw & levelAboveBed(a, dL[k], dR[k])) |
                          (!aw & bw & levelAboveBed(b, dR[k], dL[k]));
        const bool wallL = isClosed | (!full & aw & !bw), wallR = isClosed | (!full & bw & !aw);
        const bool useFull = !isClosed & full;
        fRm[k] = pick(useFull, f.toR.mass, 0.0f);
        fRn[k] = pick(useFull, f.toR.normal, 0.0f);
        fRt[k] = pick(useFull, f.toR.tangential, 0.0f);
        fLm[k] = pick(useFull, f.toL.mass, 0.0f);
        fLn[k] = pick(useFull, f.toL.normal, 0.0f);
        fLt[k] = pick(useFull, f.toL.tangential, 0.0f);
        walls[k] = static_cast<int32_t>(wallL) | (static_cast<int32_t>(wallR) << 1) |
                   (static_cast<int32_t>(!kAnyFace & (aw != bw)) << 2) | (static_cast<int32_t>(kForce & !useFull) << 3);
        any |= walls[k];
        // The face's wave speeds n~ + c~ and n~ - c~ for the stable step (l3 is n~ on a
        // face with water, 0 as n~ and c~ are on a dry one).
        sp0[k] = static_cast<float>(static_cast<D>(w.l3) + w.c);
        sp1[k] = static_cast<float>(static_cast<D>(w.l3) - w.c);
    }
    return any;
}

// The wall fluxes of the faces faceBlock marked (bit 1: the L side, bit 2: the R side).
template <Along kDir>
void wallPass(int32_t n, const float* hL, const float* hR, const float* nL, const float* nR, const float* tL,
              const float* tR, const int32_t* walls, float md, float* fRm, float* fRn, float* fRt, float* fLm,
              float* fLn, float* fLt) {
    for (int32_t k = 0; k < n; ++k) {
        if (walls[k] & 1) {
            const FaceFlux w = wallFluxOfL<kDir>(hL[k], nL[k], tL[k], md);
            fLm[k] = w.mass;
            fLn[k] = w.normal;
            fLt[k] = w.tangential;
        }
        if (walls[k] & 2) {
            const FaceFlux w = wallFluxOfR<kDir>(hR[k], nR[k], tR[k], md);
            fRm[k] = w.mass;
            fRn[k] = w.normal;
            fRt[k] = w.tangential;
        }
    }
}

// The faces of a block: all of them as faces wet on both sides or on neither, in vector
// registers, then again one by one those wet on one side only (few: along the shoreline).
// Returns the marks of bits 1 and 2 (some face needs a wall flux) and 8 (some face gives its
// sides their forces directly).
template <Along kDir, bool kForce>
[[gnu::always_inline]] inline int32_t faceRow(int32_t n, const float* hL, const float* hR, const D* sL, const D* sR,
                                              const float* nL, const float* nR, const float* tL, const float* tR,
                                              const float* dL, const float* dR, const int32_t* closed, float md,
                                              float* fRm, float* fRn, float* fRt, float* fLm, float* fLn, float* fLt,
                                              int32_t* walls, float* sp0, float* sp1, FaceForces g) {
    int32_t any = faceBlock<kDir, false, kForce>(n, hL, hR, sL, sR, nL, nR, tL, tR, dL, dR, closed, md, fRm, fRn, fRt,
                                                 fLm, fLn, fLt, walls, sp0, sp1, g);
    if (any & 4) {
        any = 0;
        for (int32_t k = 0; k < n; ++k) {
            if (walls[k] & 4) {
                FaceForces one = g;
                if constexpr (kForce) one = {g.gL + k, g.gR + k, g.scale};
                faceBlock<kDir, true, kForce>(1, hL + k, hR + k, sL + k, sR + k, nL + k, nR + k, tL + k, tR + k, dL + k,
                                              dR + k, closed + k, md, fRm + k, fRn + k, fRt + k, fLm + k, fLn + k,
                                              fLt + k, walls + k, sp0 + k, sp1 + k, one);
            }
            any |= walls[k];
        }
    }
    return any & 11;
}

// faceRow along X or Y, built for each vector width; g.gL null: the wave force is left to
// the cells' sources.
LITTORAL_ROW_CLONES int32_t faceBlockAlong(bool alongY, int32_t n, const float* hL, const float* hR, const D* sL,
                                           const D* sR, const float* nL, const float* nR, const float* tL,
                                           const float* tR, const float* dL, const float* dR, const int32_t* closed,
                                           float md, float* fRm, float* fRn, float* fRt, float* fLm, float* fLn,
                                           float* fLt, int32_t* walls, float* sp0, float* sp1, FaceForces g) {
    if (g.gL != nullptr)
        return alongY ? faceRow<Along::Y, true>(n, hL, hR, sL, sR, nL, nR, tL, tR, dL, dR, closed, md, fRm, fRn, fRt, fLm,
                                                fLn, fLt, walls, sp0, sp1, g)
                      : faceRow<Along::X, true>(n, hL, hR, sL, sR, nL, nR, tL, tR, dL, dR, closed, md, fRm, fRn, fRt, fLm,
                                                fLn, fLt, walls, sp0, sp1, g);
    return alongY ? faceRow<Along::Y, false>(n, hL, hR, sL, sR, nL, nR, tL, tR, dL, dR, closed, md, fRm, fRn, fRt, fLm, fLn,
                                             fLt, walls, sp0, sp1, g)
                  : faceRow<Along::X, false>(n, hL, hR, sL, sR, nL, nR, tL, tR, dL, dR, closed, md, fRm, fRn, fRt, fLm, fLn,
                                             fLt, walls, sp0, sp1, g);
}

// The faces marked with bit 8 (no flux with bed term): each side that holds water takes half
// its own wave force, 2 g scale = dx / (2 V^2) times it, as momentum through the face.
void forcesOnShutFaces(int32_t n, const int32_t* walls, const float* hL, const float* hR, float md, FaceForces g,
                       float* fRn, float* fLn) {
    const D half = 2.0 * g.scale;
    for (int32_t k = 0; k < n; ++k) {
        if (!(walls[k] & 8)) continue;
        if (hL[k] >= md) fLn[k] = static_cast<float>(static_cast<D>(fLn[k]) - static_cast<D>(g.gL[k]) * half);
        if (hR[k] >= md) fRn[k] = static_cast<float>(static_cast<D>(fRn[k]) + static_cast<D>(g.gR[k]) * half);
    }
}

// The stable step over the cells k = 0..n-1 of a block of row j, from the
// speeds of their faces: xs0, xs1 of the X faces, xs0[k - 1] west and xs0[k] east of cell k
// (the block's faces are those east of its cells; index -1 holds the west face of the
// first cell, the last face of the block before), south0 the right-going speeds of the
// cells' south faces and ys1 the left-going ones of their north faces; h the depths of
// row j (h[-1]..h[n] read), hS, hN the rows south and north. Cells outside lo..hi are not
// interior and give no step. The spreads are picked first, so each cell takes one
// division per direction. The steps go to cx and cy, 100 for a cell that gives none (no
// smaller than any step the minimum keeps).
LITTORAL_ROW_CLONES void blockSteps(int32_t n, int32_t lo, int32_t hi, const float* __restrict h,
                                    const float* __restrict hS, const float* __restrict hN,
                                    const float* __restrict xs0, const float* __restrict xs1,
                                    const float* __restrict south0, const float* __restrict ys1, float md, float dxS,
                                    float dyS, float* __restrict cx, float* __restrict cy) {
    constexpr float kNone = 100.0f;
    for (int32_t k = 0; k < n; ++k) {
        const bool dC = !(h[k] >= md);
        const bool cIn = (k >= lo) & (k <= hi);
        const float sX = stepSpread(dC & !(h[k - 1] >= md), dC & !(h[k + 1] >= md), xs0[k - 1], xs1[k - 1], xs1[k]);
        const float sY = stepSpread(dC & !(hS[k] >= md), dC & !(hN[k] >= md), south0[k], ys1[k], ys1[k]);
        cx[k] = pick(cIn, static_cast<float>(static_cast<double>(dxS) / sX), kNone);
        cy[k] = pick(cIn, static_cast<float>(static_cast<double>(dyS) / sY), kNone);
    }
}

// The smallest of n candidates below dt, a NaN never taken. Each of kLanes lanes keeps
// its own smallest, which the last lines compare: the smallest of a set does not depend
// on the order it is taken in, and the lanes keep the comparisons out of one long chain.
LITTORAL_ROW_CLONES float smallestStep(int32_t n, const float* __restrict c, float dt) {
    constexpr int32_t kLanes = 16;
    float lane[kLanes];
    for (float& l : lane) l = dt;
    int32_t k = 0;
    for (; k + kLanes <= n; k += kLanes)
        for (int32_t l = 0; l < kLanes; ++l) lane[l] = c[k + l] < lane[l] ? c[k + l] : lane[l];
    for (; k < n; ++k) dt = c[k] < dt ? c[k] : dt;
    for (const float l : lane) dt = l < dt ? l : dt;
    return dt;
}

// What the faces take from the n cells of a row: the still depths over the length scale d
// and the square roots s of the depths h. Each row serves two rows of faces (as the north
// row of one and the south row of the next), each cell the faces on both its sides.
LITTORAL_ROW_CLONES void rowInputs(int32_t n, double len, const float* __restrict dep, const float* __restrict h,
                                   float* __restrict d, D* __restrict s) {
    for (int32_t k = 0; k < n; ++k) {
        d[k] = static_cast<float>(static_cast<D>(dep[k]) / len);
        s[k] = std::sqrt(static_cast<D>(h[k]));
    }
}

// The closed marks of a block's X and Y faces from the cell flags fl0, fl1 of its row and
// the next.
LITTORAL_ROW_CLONES void closedFaces(int32_t n, const int32_t* __restrict fl0, const int32_t* __restrict fl1,
                                     int32_t* __restrict cx, int32_t* __restrict cy) {
    for (int32_t k = 0; k < n; ++k) {
        cx[k] = ((fl0[k + 1] & 4) | (fl0[k] & 1)) != 0;
        cy[k] = ((fl1[k] & 8) | (fl0[k] & 2)) != 0;
    }
}

// The block's twelve flux components f into the grids' (mass, X momentum, Y momentum)
// triples: xe, xw of the X faces, yn, ys of the Y faces (whose tangential momentum is X's).
LITTORAL_ROW_CLONES void storeFluxes(int32_t n, const float (&f)[12][kBlock], float* __restrict xe,
                                     float* __restrict xw, float* __restrict yn, float* __restrict ys) {
    for (int32_t k = 0; k < n; ++k) {
        xe[3 * k] = f[0][k];
        xe[3 * k + 1] = f[1][k];
        xe[3 * k + 2] = f[2][k];
        xw[3 * k] = f[3][k];
        xw[3 * k + 1] = f[4][k];
        xw[3 * k + 2] = f[5][k];
        yn[3 * k] = f[6][k];
        yn[3 * k + 1] = f[8][k];
        yn[3 * k + 2] = f[7][k];
        ys[3 * k] = f[9][k];
        ys[3 * k + 1] = f[11][k];
        ys[3 * k + 2] = f[10][k];
    }
}

// Block buffers: still depths of the row and of the next, closed marks, and the six flux
// components of each direction.
struct FluxBlock {
    alignas(64) int32_t cx[kBlock], cy[kBlock], wx[kBlock], wy[kBlock];
    alignas(64) float f[12][kBlock];
    // Face speeds; X with the west face of the block's first cell before them.
    alignas(64) float xs0[kBlock + 16], xs1[kBlock + 16], ys0[kBlock], ys1[kBlock];
    alignas(64) float steps[2][kBlock];  // the cells' steps along X and Y
};

}  // namespace

float computeFluxes(Model& m) {
    // The faces between this rank's rows and the next ranks' read the level one row beyond.
    m.readsHalos({&m.hTot, &m.uS, &m.vS, &m.dep});
    const bool force = m.balancedWaveForce;
    if (force) m.readsHalos({&m.fx, &m.fy});
    const D vv = static_cast<D>(m.velScale) * m.velScale;
    const D forceX = static_cast<D>(m.dxS) / (4.0 * vv), forceY = static_cast<D>(m.dyS) / (4.0 * vv);
    const float md = m.minDepthS;
    const D len = m.lenScale;
    const int32_t i0 = m.ixStart - 1, width = m.ixEnd - m.ixStart + 2;  // columns of faces
    float step = 100.0f;
    // Rows of faces are independent: each thread takes a slab of them.
    // On a rank, the faces of its own cells, and the step of its own cells.
    const int32_t own0 = m.ownRows().begin;
    forRowSlabs(own0 - 1, m.ownRows().end, [&](int32_t jBegin, int32_t jEnd, int) {
        FluxBlock b;
        // The right-going speeds of the south faces of the row (of its Y faces, for the
        // next row); the faces below the slab's first row are formed here.
        thread_local std::vector<float> speeds;  // sized at the first step
        if (speeds.size() < 2 * static_cast<size_t>(width)) speeds.resize(2 * static_cast<size_t>(width));
        float* south0 = speeds.data();
        // Still depths and square roots of the depths of the row (d0, s0) and the next (d1,
        // s1), i = ixStart - 1..ixEnd + 1; the next row's become the row's.
        thread_local std::vector<float> stills;
        thread_local std::vector<D> roots;
        const size_t cells = static_cast<size_t>(width) + 1;
        if (stills.size() < 2 * cells) stills.resize(2 * cells);
        if (roots.size() < 2 * cells) roots.resize(2 * cells);
        float *d0 = stills.data(), *d1 = d0 + cells;
        D *s0 = roots.data(), *s1 = s0 + cells;
        // Closed ghosts stand on the bed of the cell whose water they mirror.
        auto inputsOf = [&](int32_t j, float* d, D* s) {
            rowInputs(width + 1, len, m.dep.at(i0, j), m.hTot.at(i0, j), d, s);
            if (j == m.jyStart - 1 || j == m.jyEnd + 1) {
                for (int32_t k = 0; k <= width; ++k) d[k] = flowStillDepth(m, i0 + k, j);
            } else {
                d[0] = flowStillDepth(m, i0, j);
                d[width] = flowStillDepth(m, m.ixEnd + 1, j);
            }
        };
        inputsOf(jBegin, d0, s0);
        if (jBegin >= own0)
            flowFaceSpeeds(width, m.hTot.at(i0, jBegin - 1), m.hTot.at(i0, jBegin), m.vS.at(i0, jBegin - 1),
                           m.vS.at(i0, jBegin), md, south0, south0 + width);
        float dtMin = 100.0f;
        float* xs0 = b.xs0 + 16;  // xs0[-1], xs1[-1]: the face west of the block
        float* xs1 = b.xs1 + 16;
        for (int32_t j = jBegin; j <= jEnd; ++j) {
            inputsOf(j + 1, d1, s1);
            xs0[-1] = xs1[-1] = 1.0f;  // west of the ghost cell: no face, and no step taken
            for (int32_t a = m.ixStart - 1; a <= m.ixEnd; a += kBlock) {
                const int32_t n = std::min(kBlock, m.ixEnd - a + 1);
                const float *h0 = m.hTot.at(a, j), *u0 = m.uS.at(a, j), *v0 = m.vS.at(a, j);
                const float *h1 = m.hTot.at(a, j + 1), *u1 = m.uS.at(a, j + 1), *v1 = m.vS.at(a, j + 1);
                closedFaces(n, m.cellFlag.at(a, j), m.cellFlag.at(a, j + 1), b.cx, b.cy);
                const float *bd0 = d0 + (a - i0), *bd1 = d1 + (a - i0);
                const D *bs0 = s0 + (a - i0), *bs1 = s1 + (a - i0);
                FaceForces gx, gy;
                if (force) {
                    gx = {m.fx.at(a, j), m.fx.at(a, j) + 1, forceX};
                    gy = {m.fy.at(a, j), m.fy.at(a, j + 1), forceY};
                }
                // X faces (a + k, j)-(a + k + 1, j): normal u, tangential v.
                const int32_t mx = faceBlockAlong(false, n, h0, h0 + 1, bs0, bs0 + 1, u0, u0 + 1, v0, v0 + 1, bd0, bd0 + 1,
                                                  b.cx, md, b.f[0], b.f[1], b.f[2], b.f[3], b.f[4], b.f[5], b.wx, xs0, xs1, gx);
                if (mx & 3)
                    wallPass<Along::X>(n, h0, h0 + 1, u0, u0 + 1, v0, v0 + 1, b.wx, md, b.f[0], b.f[1], b.f[2], b.f[3],
                                    b.f[4], b.f[5]);
                if (mx & 8) forcesOnShutFaces(n, b.wx, h0, h0 + 1, md, gx, b.f[1], b.f[4]);
                // Y faces (a + k, j)-(a + k, j + 1): normal v, tangential u.
                const int32_t my = faceBlockAlong(true, n, h0, h1, bs0, bs1, v0, v1, u0, u1, bd0, bd1, b.cy, md, b.f[6],
                                                  b.f[7], b.f[8], b.f[9], b.f[10], b.f[11], b.wy, b.ys0, b.ys1, gy);
                if (my & 3)
                    wallPass<Along::Y>(n, h0, h1, v0, v1, u0, u1, b.wy, md, b.f[6], b.f[7], b.f[8], b.f[9], b.f[10],
                                   b.f[11]);
                if (my & 8) forcesOnShutFaces(n, b.wy, h0, h1, md, gy, b.f[7], b.f[10]);
                float* south = south0 + (a - i0);
                if (j >= own0) {
                    blockSteps(n, m.ixStart - a, m.ixEnd - a, h0, m.hTot.at(a, j - 1), h1, xs0, xs1, south, b.ys1, md,
                               m.dxS, m.dyS, b.steps[0], b.steps[1]);
                    for (const float* c : b.steps) dtMin = smallestStep(n, c, dtMin);
                }
                std::copy_n(b.ys0, n, south);
                xs0[-1] = xs0[n - 1];
                xs1[-1] = xs1[n - 1];
                storeFluxes(n, b.f, &m.fluxXE(0, a, j), &m.fluxXW(0, a, j), &m.fluxYN(0, a, j), &m.fluxYS(0, a, j));
            }
            std::swap(d0, d1);
            std::swap(s0, s1);
        }
        // The smallest of a set does not depend on the order it is taken in.
#pragma omp critical(littoral_flux_step)
        step = dtMin < step ? dtMin : step;
    });
    return step;
}

}  // namespace littoral
