// The stable flow step: the smallest of dx / s and dy / s over the interior cells, s the
// spread of the Roe wave speeds at the cell's faces (at least 0.001):
//   X: both speeds of the west face, n~ + c~ minus n~ - c~; where the cell and its west
//      neighbour are dry, |n~ - c~| of the east face; where the cell and its east
//      neighbour are dry (the west side wet), |n~ + c~| of the west face;
//   Y: n~ + c~ of the south face minus n~ - c~ of the north face, with the same rules
//      for dry pairs (|n~ - c~| of the north face, |n~ + c~| of the south face).
//
// flowTimeStep takes the step in a pass of its own; the main loop has the fluxes take it
// along (computeFluxes), from the face speeds they form anyway, with the same numbers.
// It runs branch-free in blocks of a row: the speeds of the block's faces first, then its
// cells. A face's speeds are the
// same numbers as roeSpeed gives (RoeAverages.h): every wet/dry case is formed and the
// face's case picked. The smallest value does not depend on the order of the cells, so
// each slab of rows takes its own and the slabs' are compared.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "flow/Flow.h"
#include "flow/StepSpeeds.h"
#include "core/Parallel.h"
#include "core/RowClones.h"

namespace littoral {

// n faces with sides L and R (depths h, normal velocities q): right-going n~ + c~ to s0,
// left-going n~ - c~ to s1.
LITTORAL_ROW_CLONES void flowFaceSpeeds(int32_t n, const float* __restrict hL, const float* __restrict hR,
                                        const float* __restrict qL, const float* __restrict qR, float md,
                                        float* __restrict s0, float* __restrict s1) {
    for (int32_t k = 0; k < n; ++k) {
        const float a = hL[k], b = hR[k];
        const bool aw = a >= md, bw = b >= md;
        const double sa = std::sqrt(static_cast<double>(a)), sb = std::sqrt(static_cast<double>(b));
        const float cBoth = static_cast<float>(std::sqrt(std::sqrt(static_cast<double>(a) * b)));
        const float nBoth = static_cast<float>((sa * qL[k] + sb * qR[k]) / (sa + sb));
        const float c = pick(aw & bw, cBoth, pick(aw, static_cast<float>(sa), pick(bw, static_cast<float>(sb), 0.0f)));
        const float v = pick(aw & bw, nBoth, pick(aw, qL[k], pick(bw, qR[k], 0.0f)));
        s0[k] = static_cast<float>(static_cast<double>(v) + c);
        s1[k] = static_cast<float>(static_cast<double>(v) - c);
    }
}

namespace {

constexpr int32_t kBlock = 256;  // cells per block of a row

// n cells of a block: h the cell depths with one more on each side (h[-1], h[n]), hS, hN
// the rows south and north; xs0/xs1 the speeds of the n + 1 X faces (face k west of cell
// k), ys0 the right-going speeds of the south faces, yn1 the left-going ones of the north
// faces.
// Returns the smallest step of the block below dtMin.
LITTORAL_ROW_CLONES float blockStep(int32_t n, const float* __restrict h, const float* __restrict hS,
                                    const float* __restrict hN, const float* __restrict xs0,
                                    const float* __restrict xs1, const float* __restrict ys0,
                                    const float* __restrict yn1, float md,
                                    float dxS, float dyS, float dtMin) {
    float dt = dtMin;
    for (int32_t k = 0; k < n; ++k) {
        const bool dry = !(h[k] >= md);
        const bool wDry = dry & !(h[k - 1] >= md), eDry = dry & !(h[k + 1] >= md);
        const bool sDry = dry & !(hS[k] >= md), nDry = dry & !(hN[k] >= md);
        const float sx = stepSpread(wDry, eDry, xs0[k], xs1[k], xs1[k + 1]);
        const float sy = stepSpread(sDry, nDry, ys0[k], yn1[k], yn1[k]);
        const float cx = static_cast<float>(static_cast<double>(dxS) / sx);
        const float cy = static_cast<float>(static_cast<double>(dyS) / sy);
        dt = cx < dt ? cx : dt;
        dt = cy < dt ? cy : dt;
    }
    return dt;
}

}  // namespace

float flowTimeStep(const Model& m) {
    const float md = m.minDepthS;
    const int32_t i0 = m.ixStart, i1 = m.ixEnd;
    // Each slab of rows keeps its own smallest step; the slabs' are then compared.
    return minOverRowSlabs(m.ownRows().begin, m.ownRows().end, 100.0f, [&](int32_t j0, int32_t j1) {
        float dtMin = 100.0f;
        alignas(64) float xs0[kBlock + 1], xs1[kBlock + 1];
        alignas(64) float ya0[kBlock], ya1[kBlock], yb0[kBlock], yb1[kBlock];
        for (int32_t a = i0; a <= i1; a += kBlock) {
            const int32_t n = std::min(kBlock, i1 - a + 1);
            float *s0 = ya0, *s1 = ya1, *n0 = yb0, *n1 = yb1;
            // South faces of the slab's first row.
            flowFaceSpeeds(n, m.hTot.at(a, j0 - 1), m.hTot.at(a, j0), m.vS.at(a, j0 - 1), m.vS.at(a, j0), md, s0, s1);
            for (int32_t j = j0; j <= j1; ++j) {
                flowFaceSpeeds(n + 1, m.hTot.at(a - 1, j), m.hTot.at(a, j), m.uS.at(a - 1, j), m.uS.at(a, j), md, xs0,
                               xs1);
                flowFaceSpeeds(n, m.hTot.at(a, j), m.hTot.at(a, j + 1), m.vS.at(a, j), m.vS.at(a, j + 1), md, n0, n1);
                dtMin = blockStep(n, m.hTot.at(a, j), m.hTot.at(a, j - 1), m.hTot.at(a, j + 1), xs0, xs1, s0, n1, md,
                                  m.dxS, m.dyS, dtMin);
                std::swap(s0, n0);  // the north faces of this row are the south faces of the next
                std::swap(s1, n1);
            }
        }
        return dtMin;
    });
}

}  // namespace littoral
