// Cell update of one flow step (updateCells) and the time-level advance (advanceFlowState).
//
// Forward Euler on the conserved variables U = (h, h u, h v) of every interior cell:
//   U_new = U - dtdx (fluxXW(i, j) - fluxXE(i-1, j)) - dtdy (fluxYS(i, j) - fluxYN(i, j-1))
//           + dtS srcS(i, j)
// i.e. the cell takes the west-side flux of its east face and the east-side flux of its west
// face (likewise north/south), which carry its own share of the bed-slope term.
// A cell whose four neighbours and itself are below minDepth, and a land cell (cellFlag 15),
// is set dry at the tide level. A new depth at or below zero makes the cell dry. Where the new
// unit discharge q would be supercritical (h <= q^(2/3), gravity 1) the depth is raised to the
// critical depth, which adds water but keeps the Froude number at 1; the level keeps the depth
// before that raise.
//
// The cells run in blocks of a row: a branch-free pass forms every cell's new state as a
// wet, clearly subcritical cell (the common case) in vector registers, and a short pass
// then redoes the cells near the critical-depth limit, which need the cube root, and
// sets the dry and land cells. The numbers are those of the rule cell by cell.
//
// advanceFlowState makes the new level current over the whole grid; publishFlowState gives
// the mean water level and the current in metres and metres per second.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "core/Parallel.h"
#include "core/RowClones.h"
#include "flow/Flow.h"

namespace littoral {

namespace {

using D = double;

constexpr int32_t kBlock = 256;  // cells per block of a row
constexpr int32_t kDry = 1, kNearCritical = 2;  // cells the second pass redoes

struct CellConsts {
    float md, etaDry;
    double dtS, dtdx, dtdy, len;
};

// n cells of a row from the first cell: h the depths of the row (h[-1], h[n] the
// neighbours beyond the ends), hS, hN the rows south and north; xw, xe, ys, yn the face
// fluxes (three components each) of the cell's east face as its west side takes it, of
// its west face as its east side takes it, and likewise for Y (yn of the south face);
// src the sources. Writes the new state as for a wet, clearly subcritical cell, the new
// unit discharges to qx, qy, and to redo kDry where the cell is dry all round or land,
// kNearCritical where it is not clearly subcritical.
LITTORAL_ROW_CLONES void cellBlock(int32_t n, const CellConsts& cc, const float* __restrict h,
                                   const float* __restrict hS, const float* __restrict hN,
                                   const float* __restrict u, const float* __restrict v,
                                   const float* __restrict dep, const int32_t* __restrict flag,
                                   const float* __restrict xw, const float* __restrict xe,
                                   const float* __restrict ys, const float* __restrict yn,
                                   const float* __restrict src, float* __restrict hOut,
                                   float* __restrict uOut, float* __restrict vOut, float* __restrict celOut,
                                   float* __restrict etaOut, float* __restrict qxOut, float* __restrict qyOut,
                                   int32_t* __restrict redo) {
    const CellConsts c = cc;
    for (int32_t k = 0; k < n; ++k) {
        const float h0 = h[k];
        const bool dryAround = !(h0 >= c.md) & !(h[k - 1] >= c.md) & !(h[k + 1] >= c.md) & !(hS[k] >= c.md) &
                               !(hN[k] >= c.md);
        const float X0 = static_cast<float>((static_cast<D>(xw[3 * k]) - xe[3 * k - 3]) * c.dtdx);
        const float X1 = static_cast<float>((static_cast<D>(xw[3 * k + 1]) - xe[3 * k - 2]) * c.dtdx);
        const float X2 = static_cast<float>((static_cast<D>(xw[3 * k + 2]) - xe[3 * k - 1]) * c.dtdx);
        const float Y0 = static_cast<float>((static_cast<D>(ys[3 * k]) - yn[3 * k]) * c.dtdy);
        const float Y1 = static_cast<float>((static_cast<D>(ys[3 * k + 1]) - yn[3 * k + 1]) * c.dtdy);
        const float Y2 = static_cast<float>((static_cast<D>(ys[3 * k + 2]) - yn[3 * k + 2]) * c.dtdy);
        const float h1 = static_cast<float>(c.dtS * src[3 * k] + ((static_cast<D>(h0) - X0) - Y0));
        const bool pos = h1 > 0;
        const float hNew = pick(pos, h1, 0.0f);
        const float d = static_cast<float>(static_cast<D>(dep[k]) / c.len);
        celOut[k] = pick(pos, static_cast<float>(std::sqrt(static_cast<D>(h1))), 0.0f);
        etaOut[k] = pick(pos, static_cast<float>(static_cast<D>(h1) - d), c.etaDry);
        const float qx = static_cast<float>(static_cast<D>(h0) * u[k] - X1 - Y1 + c.dtS * src[3 * k + 1]);
        const float qy = static_cast<float>(static_cast<D>(h0) * v[k] - X2 - Y2 + c.dtS * src[3 * k + 2]);
        const D q2 = static_cast<D>(qx) * qx + static_cast<D>(qy) * qy;
        const D h3 = static_cast<D>(hNew) * hNew * hNew;
        const bool clearlySub = h3 > q2 * 1.0001;
        qxOut[k] = qx;
        qyOut[k] = qy;
        uOut[k] = static_cast<float>(static_cast<D>(qx) / hNew);
        vOut[k] = static_cast<float>(static_cast<D>(qy) / hNew);
        hOut[k] = hNew;
        const bool dry = dryAround | (flag[k] == 15);
        redo[k] = static_cast<int32_t>(dry) * kDry + static_cast<int32_t>(!dry & !clearlySub) * kNearCritical;
    }
}

}  // namespace

void updateCells(Model& m) {
    Model::markWritten({&m.hTotNew, &m.etaSNew, &m.celSNew, &m.uSNew, &m.vSNew});
    CellConsts c;
    c.md = m.minDepthS;
    c.dtS = m.dtS;
    c.dtdx = m.dtdx;
    c.dtdy = m.dtdy;
    c.len = m.lenScale;
    c.etaDry = static_cast<float>(static_cast<D>(m.tideLevel) / m.lenScale);
    // Cells are independent: each thread takes a slab of rows.
    forRowSlabs(m.ownRows().begin, m.ownRows().end, [&](int32_t jBegin, int32_t jEnd, int) {
        alignas(64) float qx[kBlock], qy[kBlock];
        alignas(64) int32_t redo[kBlock];
        for (int32_t j = jBegin; j <= jEnd; ++j) {
            for (int32_t a = m.ixStart; a <= m.ixEnd; a += kBlock) {
                const int32_t n = std::min(kBlock, m.ixEnd - a + 1);
                cellBlock(n, c, m.hTot.at(a, j), m.hTot.at(a, j - 1), m.hTot.at(a, j + 1), m.uS.at(a, j), m.vS.at(a, j),
                          m.dep.at(a, j), m.cellFlag.at(a, j), &m.fluxXW(0, a, j), &m.fluxXE(0, a, j),
                          &m.fluxYS(0, a, j), &m.fluxYN(0, a, j - 1), &m.srcS(0, a, j), m.hTotNew.at(a, j),
                          m.uSNew.at(a, j), m.vSNew.at(a, j), m.celSNew.at(a, j), m.etaSNew.at(a, j), qx, qy, redo);
                for (int32_t k = 0; k < n; ++k) {
                    if (!redo[k]) continue;
                    const int32_t i = a + k;
                    if (redo[k] == kDry) {
                        m.hTotNew(i, j) = 0.0f;
                        m.uSNew(i, j) = 0.0f;
                        m.vSNew(i, j) = 0.0f;
                        m.celSNew(i, j) = 0.0f;
                        m.etaSNew(i, j) = c.etaDry;
                        continue;
                    }
                    // Near the critical depth of the new unit discharge (gravity 1),
                    // hc = (q^2)^(1/3): a depth at or below it is raised to it (the level and
                    // the celerity keep the depth before the raise); a cell left without depth
                    // stands still.
                    float hNew = m.hTotNew(i, j);
                    const D q2 = static_cast<D>(qx[k]) * qx[k] + static_cast<D>(qy[k]) * qy[k];
                    const float hc = static_cast<float>(std::pow(q2, 1.0 / 3.0));
                    if (hNew > hc || hNew > 0) {
                        if (!(hNew > hc)) hNew = hc;
                        m.uSNew(i, j) = static_cast<float>(static_cast<D>(qx[k]) / hNew);
                        m.vSNew(i, j) = static_cast<float>(static_cast<D>(qy[k]) / hNew);
                    } else {
                        m.uSNew(i, j) = 0.0f;
                        m.vSNew(i, j) = 0.0f;
                    }
                    m.hTotNew(i, j) = hNew;
                }
            }
        }
    });
}

namespace {
// to[k] = scale * from[k], rounded to single precision.
void scaled(float* __restrict to, const float* __restrict from, double scale, size_t n) {
    for (size_t k = 0; k < n; ++k) to[k] = static_cast<float>(scale * from[k]);
}
}  // namespace

void advanceFlowState(Model& m) {
    // The levels swap; the present level's ghost ring is copied into the next.
    Model::markWritten({&m.hTot, &m.hTotNew, &m.etaS, &m.etaSNew, &m.celS, &m.celSNew, &m.uS, &m.uSNew, &m.vS, &m.vSNew});
    // The new level's grids become the present ones, and the present ones the new level of
    // the next step, which writes every interior cell before anything reads it. Of the
    // ghost ring a step writes some cells and reads others as the step before left them
    // (corners, the tangential velocity of closed and open sides, the boundary conditions'
    // cells): the new level keeps the ring it had.
    // On a rank, of the rows it keeps (far rows included).
    const int32_t i0 = m.ixStart - 1, i1 = m.ixEnd + 1, j0 = m.jyStart - 1, j1 = m.jyEnd + 1;
    const RowRange rows = m.slabRows();
    for (auto [now, next] : {std::pair{&m.etaS, &m.etaSNew}, {&m.hTot, &m.hTotNew}, {&m.uS, &m.uSNew},
                             {&m.vS, &m.vSNew}, {&m.celS, &m.celSNew}}) {
        std::swap(*now, *next);
        Grid& from = *now;
        Grid& to = *next;
        auto ring = [&](int32_t j) {
            const float* f = from.row(j);
            float* t = to.row(j);
            if (j == j0 || j == j1) {
                std::copy_n(f, i1 - i0 + 1, t);
            } else {
                t[0] = f[0];
                t[i1 - i0] = f[i1 - i0];
            }
        };
        for (int32_t j = rows.begin; j <= rows.end; ++j) ring(j);
        for (int32_t j : {m.jyStart, m.jyEnd})
            if ((j < rows.begin || j > rows.end) && to.hasRow(j)) ring(j);
    }
}

void sumCurrents(Model& m) {
    const double dt = m.dtS;
    forFlatParts(m.heldCells().first, m.heldCells().second, [&](size_t a, size_t b) {
        const float *u = m.uS.data(), *v = m.vS.data();
        double *su = m.curSumU.data(), *sv = m.curSumV.data();
        for (size_t k = a; k < b; ++k) {
            su[k] += static_cast<double>(u[k]) * dt;
            sv[k] += static_cast<double>(v[k]) * dt;
        }
    });
    m.curSumSpan += dt;
}

void publishMeanCurrents(Model& m) {
    Model::markWritten({&m.curUMean, &m.curVMean});
    const double scale = static_cast<double>(m.velScale) / m.curSumSpan;
    forFlatParts(m.heldCells().first, m.heldCells().second, [&](size_t a, size_t b) {
        float *u = m.curUMean.data(), *v = m.curVMean.data();
        double *su = m.curSumU.data(), *sv = m.curSumV.data();
        for (size_t k = a; k < b; ++k) {
            u[k] = static_cast<float>(su[k] * scale);
            v[k] = static_cast<float>(sv[k] * scale);
            su[k] = sv[k] = 0.0;
        }
    });
    m.curSumSpan = 0.0;
}

void publishFlowState(Model& m) {
    Model::markWritten({&m.setup, &m.curU, &m.curV});
    // Element by element over the whole grid (on a rank, over the rows it holds), ghost
    // ring included; every grid shares one layout, so the flat arrays are scaled whole.
    forFlatParts(m.heldCells().first, m.heldCells().second, [&](size_t a, size_t b) {
        const size_t n = b - a;
        scaled(m.setup.data() + a, m.etaS.data() + a, m.lenScale, n);
        scaled(m.curU.data() + a, m.uS.data() + a, m.velScale, n);
        scaled(m.curV.data() + a, m.vS.data() + a, m.velScale, n);
    });
}

}  // namespace littoral
