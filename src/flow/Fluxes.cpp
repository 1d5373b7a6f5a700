// Face fluxes of one flow step (computeFluxes).
//
// For every X face (i, j)-(i+1, j) and Y face (i, j)-(i, j+1), i = ixStart-1..ixEnd,
// j = jyStart-1..jyEnd, the flux is computed from the current level (hTot, uS, vS) and the
// still depth d = depthRatio. L is the west/south cell (i, j), R the east/north one.
// fluxXW / fluxYS hold the flux as the L cell takes it, fluxXE / fluxYN as the R cell takes
// it; both are stored at (., i, j).
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
// after the block. The numbers are those of the face-by-face functions of RoeFlux.h, bit for bit: the same
// operations on the same operands in the same order, only selected instead of branched.
// Components are written as mass, normal momentum, tangential momentum and stored as
// (mass, X momentum, Y momentum).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/Parallel.h"
#include "core/RowClones.h"
#include "flow/Flow.h"
#include "flow/StepSpeeds.h"

namespace littoral {

namespace {

using D = double;

constexpr int32_t kBlock = 128;  // faces per block of a row

struct Flux3N {
    float m, n, t;  // mass, normal momentum, tangential momentum
};

// Roe flux of a face without bed term (sides L, R: depth h, its square root s, normal
// velocity n, tangential t), with the face's averages and waves for the bed term. The tangential momentum flux
// h n t is formed as (h n) t on X faces and (h t) n on Y faces, as the physical fluxes of
// the two directions are written.
struct FaceRoe {
    Flux3N F;
    float c, tm, l1, l2, l3;
};

// kAnyFace false: for faces with water on both sides or on neither (a face with water on
// one side only gets wrong wave strengths and must be formed again with kAnyFace true).
template <bool kY, bool kAnyFace = true>
[[gnu::always_inline]] inline FaceRoe roeFace(float hL, float hR, D sL, D sR, float nL, float nR, float tL, float tR,
                                              float md) {
    const bool aw = hL >= md, bw = hR >= md, both = aw & bw, wet = aw | bw;
    // Averages (faceAverages): code 3 both wet, 2 only L, 1 only R, 0 none.
    const D p = static_cast<D>(hL) * hR;
    const float c = pick(both, static_cast<float>(std::sqrt(std::sqrt(p))),
                         pick(aw, static_cast<float>(sL), pick(bw, static_cast<float>(sR), 0.0f)));
    const float hm = pick(both, static_cast<float>(std::sqrt(p)), pick(aw, hL, pick(bw, hR, 0.0f)));
    const float nm = pick(both, static_cast<float>((sL * nL + sR * nR) / (sL + sR)), pick(aw, nL, pick(bw, nR, 0.0f)));
    const float tm = pick(both, static_cast<float>((sL * tL + sR * tR) / (sL + sR)), pick(aw, tL, pick(bw, tR, 0.0f)));
    // Waves (roeWavesOf): divisor 2 on a wet face; on a half-dry face the wave that runs
    // onto the dry side moves at n~ -/+ 2 c~ and the divisor is 3.
    const float dh = static_cast<float>(static_cast<D>(hR) - hL);
    const float dn = static_cast<float>(static_cast<D>(nR) - nL);
    const float dt = static_cast<float>(static_cast<D>(tR) - tL);
    const D cd = c, hd = hm, n = nm;
    // The numerator of the face's case over its divisor: one division each, not one per case;
    // none on a face that is wet on both sides or on neither.
    float a1, a2;
    if constexpr (kAnyFace) {
        const D div = pickD(both, 2.0, 3.0);
        a1 = static_cast<float>(pickD(both | aw, cd * dn + dh, cd * dn + 2.0 * dh) / div);
        a2 = static_cast<float>(pickD(both | !aw, dh - cd * dn, 2.0 * dh - cd * dn) / div);
    } else {
        a1 = static_cast<float>((cd * dn + dh) / 2.0);
        a2 = static_cast<float>((dh - cd * dn) / 2.0);
    }
    const float l1 = pick(both | bw, static_cast<float>(n + cd), static_cast<float>(n + 2.0 * cd));
    const float l2 = pick(both | aw, static_cast<float>(n - cd), static_cast<float>(n - 2.0 * cd));
    FaceRoe r;
    const float w1 = pick(wet, a1, 0.0f), w2 = pick(wet, a2, 0.0f), w3 = pick(wet, static_cast<float>(hd * dt), 0.0f);
    r.l1 = pick(wet, l1, 0.0f);
    r.l2 = pick(wet, l2, 0.0f);
    r.l3 = pick(wet, static_cast<float>(n), 0.0f);
    r.c = c;
    r.tm = tm;
    // Physical fluxes of both sides.
    const D hLd = hL, hRd = hR;
    const float pmL = static_cast<float>(hLd * nL), pmR = static_cast<float>(hRd * nR);
    const float pnL = static_cast<float>(hLd * nL * nL + hLd * hL / 2.0);
    const float pnR = static_cast<float>(hRd * nR * nR + hRd * hR / 2.0);
    const float ptL = kY ? static_cast<float>(hLd * tL * nL) : static_cast<float>(hLd * nL * tL);
    const float ptR = kY ? static_cast<float>(hRd * tR * nR) : static_cast<float>(hRd * nR * tR);
    // F = (P(L) + P(R)) / 2 - (|l2| a2 r2 + |l1| a1 r1 + |l3| a3 r3) / 2 with the rows
    // (1, 1, 0), (l1, l2, 0), (t~, t~, 1).
    const D g1 = std::fabs(static_cast<D>(r.l1)) * w1, g2 = std::fabs(static_cast<D>(r.l2)) * w2;
    const D g3 = std::fabs(static_cast<D>(r.l3)) * w3;
    auto combine = [&](float pl, float pr, float r1, float r2, float r3) {
        const D diss = g2 * r2 + g1 * r1 + g3 * r3;
        return static_cast<float>((static_cast<D>(pl) + pr) / 2.0 - diss / 2.0);
    };
    r.F.m = combine(pmL, pmR, 1.0f, 1.0f, 0.0f);
    r.F.n = combine(pnL, pnR, r.l1, r.l2, 0.0f);
    r.F.t = combine(ptL, ptR, tm, tm, 1.0f);
    return r;
}

// Upwinded shares of the bed term: the R side takes the waves with l > 0, the L side
// those with l < 0 (bedShareR, bedShareL).
[[gnu::always_inline]] inline float shareR(float f, const FaceRoe& w, float b1, float b2, float b3, float r1, float r2, float r3) {
    D s = f;
    s = pickD(w.l1 > 0, s + static_cast<D>(b1) * r1, s);
    s = pickD(w.l2 > 0, s + static_cast<D>(b2) * r2, s);
    s = pickD(w.l3 > 0, s + static_cast<D>(b3) * r3, s);
    return static_cast<float>(s);
}
[[gnu::always_inline]] inline float shareL(float f, const FaceRoe& w, float b1, float b2, float b3, float r1, float r2, float r3) {
    D s = f;
    s = pickD(w.l1 < 0, s - static_cast<D>(b1) * r1, s);
    s = pickD(w.l2 < 0, s - static_cast<D>(b2) * r2, s);
    s = pickD(w.l3 < 0, s - static_cast<D>(b3) * r3, s);
    return static_cast<float>(s);
}

// Level of the wet side (h - d) above the dry side's bed (-d), both rounded to single precision.
[[gnu::always_inline]] inline bool levelAboveBed(float hWet, float dWet, float dDry) {
    return static_cast<float>(static_cast<D>(hWet) - dWet) > -dDry;
}

// n faces of a block. Inputs per face: the sides' depths and their square roots, normal and
// tangential velocities, still depths and whether the face is closed. Outputs: what the R side
// takes (fR*) and what the L side takes (fL*), by component. Marks in walls the faces that
// need a wall flux (bits 1 and 2) and, unless kAnyFace, those with water on one side only
// (bit 4), and returns the marks of all faces or-ed.
template <bool kY, bool kAnyFace>
[[gnu::always_inline]] inline int32_t faceBlock(int32_t n, const float* __restrict hL, const float* __restrict hR,
                      const D* __restrict sL, const D* __restrict sR, const float* __restrict nL,
                      const float* __restrict nR, const float* __restrict tL, const float* __restrict tR,
                      const float* __restrict dL, const float* __restrict dR, const int32_t* __restrict closed,
                      float md, float* __restrict fRm, float* __restrict fRn, float* __restrict fRt,
                      float* __restrict fLm, float* __restrict fLn, float* __restrict fLt,
                      int32_t* __restrict walls, float* __restrict sp0, float* __restrict sp1) {
    int32_t any = 0;
    for (int32_t k = 0; k < n; ++k) {
        const float a = hL[k], b = hR[k];
        const bool aw = a >= md, bw = b >= md;
        // Flux with the bed term.
        const FaceRoe w = roeFace<kY, kAnyFace>(a, b, sL[k], sR[k], nL[k], nR[k], tL[k], tR[k], md);
        const float hbar = static_cast<float>((static_cast<D>(a) + b) / 2.0);
        const float bv = static_cast<float>(static_cast<D>(hbar) / w.c * (static_cast<D>(dR[k]) - dL[k]) / 2.0);
        const bool noBed = w.c == 0.0f;
        const float b1 = pick(noBed, 0.0f, bv), b2 = pick(noBed, 0.0f, -bv), b3 = 0.0f;
        const float eM = shareR(w.F.m, w, b1, b2, b3, 1.0f, 1.0f, 0.0f);
        const float eN = shareR(w.F.n, w, b1, b2, b3, w.l1, w.l2, 0.0f);
        const float eT = shareR(w.F.t, w, b1, b2, b3, w.tm, w.tm, 1.0f);
        const float lM = shareL(w.F.m, w, b1, b2, b3, 1.0f, 1.0f, 0.0f);
        const float lN = shareL(w.F.n, w, b1, b2, b3, w.l1, w.l2, 0.0f);
        const float lT = shareL(w.F.t, w, b1, b2, b3, w.tm, w.tm, 1.0f);
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
        fRm[k] = pick(useFull, eM, 0.0f);
        fRn[k] = pick(useFull, eN, 0.0f);
        fRt[k] = pick(useFull, eT, 0.0f);
        fLm[k] = pick(useFull, lM, 0.0f);
        fLn[k] = pick(useFull, lN, 0.0f);
        fLt[k] = pick(useFull, lT, 0.0f);
        walls[k] = static_cast<int32_t>(wallL) | (static_cast<int32_t>(wallR) << 1) |
                   (static_cast<int32_t>(!kAnyFace & (aw != bw)) << 2);
        any |= walls[k];
        // The face's wave speeds n~ + c~ and n~ - c~ for the stable step (l3 is n~ on a
        // face with water, 0 as n~ and c~ are on a dry one).
        sp0[k] = static_cast<float>(static_cast<D>(w.l3) + w.c);
        sp1[k] = static_cast<float>(static_cast<D>(w.l3) - w.c);
    }
    return any;
}

// The wall fluxes of the faces faceBlock marked (bit 1: the L side, bit 2: the R side).
template <bool kY>
void wallPass(int32_t n, const float* hL, const float* hR, const float* nL, const float* nR, const float* tL,
              const float* tR, const int32_t* walls, float md, float* fRm, float* fRn, float* fRt, float* fLm,
              float* fLn, float* fLt) {
    for (int32_t k = 0; k < n; ++k) {
        if (walls[k] & 1) {
            const D s = std::sqrt(static_cast<D>(hL[k]));
            const Flux3N w = roeFace<kY>(hL[k], hL[k], s, s, nL[k], -nL[k], tL[k], tL[k], md).F;
            fLm[k] = w.m;
            fLn[k] = w.n;
            fLt[k] = w.t;
        }
        if (walls[k] & 2) {
            const D s = std::sqrt(static_cast<D>(hR[k]));
            const Flux3N w = roeFace<kY>(hR[k], hR[k], s, s, -nR[k], nR[k], tR[k], tR[k], md).F;
            fRm[k] = w.m;
            fRn[k] = w.n;
            fRt[k] = w.t;
        }
    }
}

// The faces of a block: all of them as faces wet on both sides or on neither, in vector
// registers, then again one by one those wet on one side only (few: along the shoreline).
// Returns nonzero when some face needs a wall flux.
template <bool kY>
[[gnu::always_inline]] inline int32_t faceRow(int32_t n, const float* hL, const float* hR, const D* sL, const D* sR,
                                              const float* nL, const float* nR, const float* tL, const float* tR,
                                              const float* dL, const float* dR, const int32_t* closed, float md,
                                              float* fRm, float* fRn, float* fRt, float* fLm, float* fLn, float* fLt,
                                              int32_t* walls, float* sp0, float* sp1) {
    const int32_t any = faceBlock<kY, false>(n, hL, hR, sL, sR, nL, nR, tL, tR, dL, dR, closed, md, fRm, fRn, fRt,
                                             fLm, fLn, fLt, walls, sp0, sp1);
    if (any & 4)
        for (int32_t k = 0; k < n; ++k)
            if (walls[k] & 4)
                faceBlock<kY, true>(1, hL + k, hR + k, sL + k, sR + k, nL + k, nR + k, tL + k, tR + k, dL + k, dR + k,
                                    closed + k, md, fRm + k, fRn + k, fRt + k, fLm + k, fLn + k, fLt + k, walls + k,
                                    sp0 + k, sp1 + k);
    return any & 3;
}

// faceRow along X or Y, built for each vector width.
LITTORAL_ROW_CLONES int32_t faceBlockAlong(bool alongY, int32_t n, const float* hL, const float* hR, const D* sL,
                                           const D* sR, const float* nL, const float* nR, const float* tL,
                                           const float* tR, const float* dL, const float* dR, const int32_t* closed,
                                           float md, float* fRm, float* fRn, float* fRt, float* fLm, float* fLn,
                                           float* fLt, int32_t* walls, float* sp0, float* sp1) {
    return alongY ? faceRow<true>(n, hL, hR, sL, sR, nL, nR, tL, tR, dL, dR, closed, md, fRm, fRn, fRt, fLm, fLn, fLt,
                                  walls, sp0, sp1)
                  : faceRow<false>(n, hL, hR, sL, sR, nL, nR, tL, tR, dL, dR, closed, md, fRm, fRn, fRt, fLm, fLn, fLt,
                                   walls, sp0, sp1);
}

// The stable step (TimeStep.cpp) over the cells k = 0..n-1 of a block of row j, from the
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
    const float md = m.minDepthS;
    const D len = m.lenScale;
    const int32_t i0 = m.ixStart - 1, width = m.ixEnd - m.ixStart + 2;  // columns of faces
    float step = 100.0f;
    // Rows of faces are independent: each thread takes a slab of them, band by band, with
    // the events pumped between bands.
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
                // X faces (a + k, j)-(a + k + 1, j): normal u, tangential v.
                if (faceBlockAlong(false, n, h0, h0 + 1, bs0, bs0 + 1, u0, u0 + 1, v0, v0 + 1, bd0, bd0 + 1, b.cx, md, b.f[0],
                               b.f[1], b.f[2], b.f[3], b.f[4], b.f[5], b.wx, xs0, xs1))
                    wallPass<false>(n, h0, h0 + 1, u0, u0 + 1, v0, v0 + 1, b.wx, md, b.f[0], b.f[1], b.f[2], b.f[3],
                                    b.f[4], b.f[5]);
                // Y faces (a + k, j)-(a + k, j + 1): normal v, tangential u.
                if (faceBlockAlong(true, n, h0, h1, bs0, bs1, v0, v1, u0, u1, bd0, bd1, b.cy, md, b.f[6], b.f[7], b.f[8], b.f[9],
                               b.f[10], b.f[11], b.wy, b.ys0, b.ys1))
                    wallPass<true>(n, h0, h1, v0, v1, u0, u1, b.wy, md, b.f[6], b.f[7], b.f[8], b.f[9], b.f[10],
                                   b.f[11]);
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
