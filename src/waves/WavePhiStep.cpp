// One wave step of the potential: breaking excess, predictor, ghost ring of the predictor,
// corrector; and the per-step surface kinematics with their period sums.
//
// Breaking is a local damping of phi whose coefficient brkEx = H/h - gamma is how far the
// local height-to-depth ratio (H = 2 |eta| of the previous step) exceeds the limit
//
//   gamma = brkRatio (1 + 15 s'^(4/3)) tanh(kh)/kh,  s' = max(0, slope of h along theta).
//
// gamma depends on depth, theta and kh only, which stay fixed during a wave period, so it
// is formed once per period (prepareBreaking) and each step only compares.
//
// The passes sweep rows j (outer) with i inner over contiguous memory, all passes of a step
// in one sweep (see sweep below). Within a pass every cell reads older levels only and
// writes its own cell, so the order of the cells does not change the result. The row
// loops take the closed-face rule, land and cc2 = 0 as selects on values loaded
// unconditionally, so that they vectorise; their arithmetic is that of the point kernels
// in PhiStencil.h and WaveStats.h, bit for bit. The corrector takes the terms it shares
// with the predictor of the same cell from the predictor (predictParts) instead of
// forming them again.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "core/Parallel.h"
#include "core/RowClones.h"
#include "sediment/Sediment.h"
#include "waves/PhiStencil.h"
#include "waves/WaveFunctions.h"
#include "waves/WaveModel.h"
#include "waves/WaveStats.h"

namespace littoral {

namespace {

using D = double;

// Predictor over one row of n interior cells, breaking excess first. Row pointers point at
// the first interior cell; st is the distance to the next row. The parts the corrector of
// the row shares with the predictor go to sh (PhiRowShare, at the row's first cell).
LITTORAL_ROW_CLONES void predictRow(int32_t n, std::ptrdiff_t st, const float* __restrict pc, const float* __restrict po,
                const float* __restrict ccg, const float* __restrict omk, const float* __restrict cc2,
                const float* __restrict cu, const float* __restrict cv, const int32_t* __restrict flag,
                const float* __restrict eta, const float* __restrict hB, const float* __restrict gB,
                float* __restrict brk, float* __restrict pred, double* __restrict shTc, float* __restrict shB,
                float* __restrict shE, float* __restrict shS, float* __restrict shW, float* __restrict shN,
                float* __restrict shC, float rx, float ry, float dt) {
    for (int32_t k = 0; k < n; ++k) {
        const int32_t f = flag[k];
        const bool cE = (f & kClosedE) != 0, cN = (f & kClosedN) != 0;
        const bool cW = (f & kClosedW) != 0, cS = (f & kClosedS) != 0;
        const float gam = breakingExcess(eta[k], hB[k], gB[k]);
        brk[k] = gam;
        const StencilCoefs a = stencilValues(ccg[k], ccg[k + 1], ccg[k - st], ccg[k - 1], ccg[k + st], omk[k], rx, ry, dt);
        const float U = cu[k], V = cv[k], mU = -U, mV = -V;
        const float uE = cu[k + 1], uW = cu[k - 1], vN = cv[k + st], vS = cv[k - st];
        const CurrentCoefs p = currentValues(U, V, pick(cE, mU, uE), pick(cW, mU, uW), pick(cN, mV, vN), pick(cS, mV, vS), rx, ry);
        const float C = pc[k], E = pc[k + 1], S = pc[k - st], W = pc[k - 1], N = pc[k + st];
        const float oC = po[k], oE = po[k + 1], oS = po[k - st], oW = po[k - 1], oN = po[k + st];
        const Phi5 cur{C, pick(cE, C, E), pick(cS, C, S), pick(cW, C, W), pick(cN, C, N)};
        const Phi5 old{oC, pick(cE, oC, oE), pick(cS, oC, oS), pick(cW, oC, oW), pick(cN, oC, oN)};
        const PredictParts v = predictParts(a, p, cur, old, gam);
        pred[k] = pick(f == kLand, 0.0f, pick(cc2[k] == 0.0f, C, v.pred));
        shTc[k] = v.tc;
        shB[k] = v.B;
        shE[k] = p.pE;
        shS[k] = p.pS;
        shW[k] = p.pW;
        shN[k] = p.pN;
        shC[k] = p.pC;
    }
}

// Corrector over one row from the parts its predictor left in sh.
LITTORAL_ROW_CLONES void correctRow(int32_t n, std::ptrdiff_t st, const float* __restrict pp,
                const float* __restrict cc2, const int32_t* __restrict flag, const double* __restrict shTc,
                const float* __restrict shB, const float* __restrict shE, const float* __restrict shS,
                const float* __restrict shW, const float* __restrict shN, const float* __restrict shC,
                float* __restrict pn) {
    for (int32_t k = 0; k < n; ++k) {
        const int32_t f = flag[k];
        const bool cE = (f & kClosedE) != 0, cN = (f & kClosedN) != 0;
        const bool cW = (f & kClosedW) != 0, cS = (f & kClosedS) != 0;
        const CurrentCoefs p{shE[k], shS[k], shW[k], shN[k], shC[k]};
        const float qC = pp[k], qE = pp[k + 1], qS = pp[k - st], qW = pp[k - 1], qN = pp[k + st];
        const Phi5 prd{qC, pick(cE, qC, qE), pick(cS, qC, qS), pick(cW, qC, qW), pick(cN, qC, qN)};
        const float v = correctFromParts(shTc[k], shB[k], p, prd);
        pn[k] = pick(f == kLand, 0.0f, pick(cc2[k] == 0.0f, qC, v));
    }
}

LITTORAL_ROW_CLONES void statsRow(int32_t n, std::ptrdiff_t st, const float* __restrict pc, const float* __restrict po,
              const float* __restrict pn, const int32_t* __restrict flag, const float* __restrict brk,
              float* __restrict uO, float* __restrict vO, float* __restrict etaO, float* __restrict sDiss,
              float* __restrict sEta, float* __restrict sEta2, float* __restrict sEtaU, float* __restrict sEtaV,
              float* __restrict sU, float* __restrict sU2, float* __restrict sV, float* __restrict sV2,
              float* __restrict sEtaT2, float* __restrict sEtaT, float* __restrict sUV, float dxW, float dyW,
              float dt, float T) {
    for (int32_t k = 0; k < n; ++k) {
        const int32_t f = flag[k];
        const float C = pc[k], E = pc[k + 1], S = pc[k - st], W = pc[k - 1], N = pc[k + st];
        const SurfaceKinematics s =
            surfaceValues(pick(f & kClosedE, C, E), pick(f & kClosedW, C, W), pick(f & kClosedN, C, N),
                          pick(f & kClosedS, C, S), po[k], C, pn[k], dxW, dyW, dt);
        addToPeriodSums(s, brk[k], dt, T, sDiss[k], sEta[k], sEta2[k], sEtaU[k], sEtaV[k], sU[k], sU2[k], sV[k],
                        sV2[k], sEtaT2[k], sEtaT[k], sUV[k]);
        uO[k] = s.u;
        vO[k] = s.v;
        etaO[k] = s.eta;
    }
}

// Ghost ring of a surface field: periodic (code 16) from the opposite edge, otherwise a
// copy of the adjacent interior cell; corners untouched. The values come from the interior
// only: the west and east ghosts of a row need that row, the south and north ghost rows
// the first and last rows.
inline bool periodicGhost(const Model& m, int32_t i, int32_t j) { return m.bndCode(m.bndPointNo(i, j)) == 16; }

void surfaceGhostsRow(Model& m, int32_t j) {
    const int32_t i0 = m.ixStart, i1 = m.ixEnd;
    const bool pW = periodicGhost(m, i0 - 1, j), pE = periodicGhost(m, i1 + 1, j);
    for (Grid* g : {&m.uOrb, &m.vOrb, &m.eta}) {
        (*g)(i0 - 1, j) = pW ? (*g)(i1, j) : (*g)(i0, j);
        (*g)(i1 + 1, j) = pE ? (*g)(i0, j) : (*g)(i1, j);
    }
}

void surfaceGhostsEdges(Model& m) {
    const int32_t j0 = m.jyStart, j1 = m.jyEnd;
    const bool south = m.holdsSouthEdge(), north = m.holdsNorthEdge();
    for (Grid* g : {&m.uOrb, &m.vOrb, &m.eta})
        for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) {
            if (south) (*g)(i, j0 - 1) = periodicGhost(m, i, j0 - 1) ? g->cell(i, j1) : (*g)(i, j0);
            if (north) (*g)(i, j1 + 1) = periodicGhost(m, i, j1 + 1) ? g->cell(i, j0) : (*g)(i, j1);
        }
}

// The row passes of one wave step on row j (interior cells ixStart..ixEnd).
struct StepRows {
    Model& m;
    WaveWork& w;
    int32_t n, i0;
    std::ptrdiff_t st;
    float rx, ry, dt;

    StepRows(Model& model, WaveWork& work)
        : m(model), w(work), n(model.ixEnd - model.ixStart + 1), i0(model.ixStart), st(model.phiCur.stride()),
          rx(waveRx(model)), ry(waveRy(model)), dt(model.waveDt) {}

    // s: the slot of w.share that carries the row's predictor parts to its corrector.
    void predict(int32_t j, int32_t s) const {
        PhiRowShare& sh = w.share;
        predictRow(n, st, m.phiCur.at(i0, j), m.phiOld.at(i0, j), m.ccg.at(i0, j), m.omk.at(i0, j), m.cc2.at(i0, j),
                   m.curU.at(i0, j), m.curV.at(i0, j), m.cellFlag.at(i0, j), m.eta.at(i0, j), w.hBrk.at(i0, j),
                   w.gamBrk.at(i0, j), m.brkEx.at(i0, j), m.phiPred.at(i0, j), sh.tc(s), sh.f(s, 0), sh.f(s, 1),
                   sh.f(s, 2), sh.f(s, 3), sh.f(s, 4), sh.f(s, 5), rx, ry, dt);
    }
    void correct(int32_t j, int32_t s) const {
        PhiRowShare& sh = w.share;
        correctRow(n, st, m.phiPred.at(i0, j), m.cc2.at(i0, j), m.cellFlag.at(i0, j), sh.tc(s), sh.f(s, 0),
                   sh.f(s, 1), sh.f(s, 2), sh.f(s, 3), sh.f(s, 4), sh.f(s, 5), m.phiNew.at(i0, j));
    }
    void stats(int32_t j) const {
        statsRow(n, st, m.phiCur.at(i0, j), m.phiOld.at(i0, j), m.phiNew.at(i0, j), m.cellFlag.at(i0, j),
                 m.brkEx.at(i0, j), m.uOrb.at(i0, j), m.vOrb.at(i0, j), m.eta.at(i0, j), m.sumDiss.at(i0, j),
                 m.sumEta.at(i0, j), m.etarms.at(i0, j), m.sumEtaU.at(i0, j), m.sumEtaV.at(i0, j), m.sumU.at(i0, j),
                 m.sumU2.at(i0, j), m.sumV.at(i0, j), m.sumV2.at(i0, j), m.sumEtaT2.at(i0, j), m.sumEtaT.at(i0, j),
                 m.sumUV.at(i0, j), m.dxW, m.dyW, m.waveDt, m.waveT0);
    }
    // Sediment transport of row j, ghost cells at both ends included.
    void sediment(int32_t j) const {
        accumSedimentRow(m, w.sed, w.bedFac, m.uOrb, m.vOrb, j, m.ixStart - 1, m.ixEnd + 1);
    }
};

}  // namespace

namespace {

// Slabs of the rows for the present thread count, and the share slots: two per slab for
// its first and last rows, which are predicted before the slabs run, and two per thread
// for the rows inside a slab, which alternate.
void planSlabs(const Model& m, WaveWork& w) {
    const int32_t j0 = m.ownRows().begin, j1 = m.ownRows().end;
    const int32_t threads = static_cast<int32_t>(std::min<int64_t>(threadCount(), std::max(1, j1 - j0 + 1)));
    w.slabs.resize(static_cast<size_t>(threads));
    for (int32_t t = 0; t < threads; ++t) w.slabs[static_cast<size_t>(t)] = slabOf(j0, j1, t, threads);
    w.share.allocate(m.ixEnd - m.ixStart + 1, 2 * static_cast<int32_t>(w.slabs.size()) + 2 * threads);
}

}  // namespace

float breakingLimit(const Model& m, int32_t i, int32_t j) {
    auto hT = [&](int32_t a, int32_t b) { return static_cast<float>(static_cast<D>(m.dep(a, b)) + m.setup(a, b)); };
    const float gx = static_cast<float>((static_cast<D>(hT(i + 1, j)) - hT(i - 1, j)) / 2.0 / m.dxW);
    const float gy = static_cast<float>((static_cast<D>(hT(i, j + 1)) - hT(i, j - 1)) / 2.0 / m.dyW);
    const D th = m.theta(i, j);
    const float s = static_cast<float>(static_cast<D>(gy) * std::sin(th) + static_cast<D>(gx) * std::cos(th));
    const float sp = s >= 0.0f ? static_cast<float>(std::pow(static_cast<D>(s), 4.0 / 3.0)) : 0.0f;
    const float F = static_cast<float>(1.0 + 15.0 * sp);
    const float kh = m.kd(i, j);
    if (kh != 0.0f) return static_cast<float>(static_cast<D>(m.brkRatio) * F * tanhD(kh) / kh);
    return static_cast<float>(static_cast<D>(m.brkRatio) * F);
}

void prepareBreaking(const Model& m, WaveWork& w) {
    m.keepGrid(w.hBrk);  // the interior is written below, the ghost ring is never used
    m.keepGrid(w.gamBrk);
    planSlabs(m, w);
    const float never = std::numeric_limits<float>::infinity();
    forRowSlabs(m.ownRows().begin, m.ownRows().end, [&](int32_t jBegin, int32_t jEnd, int) {
        for (int32_t j = jBegin; j <= jEnd; ++j) {
            for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) {
                const float h = static_cast<float>(static_cast<D>(m.dep(i, j)) + m.setup(i, j));
                if (h > 0.0f) {
                    w.hBrk(i, j) = h;
                    w.gamBrk(i, j) = breakingLimit(m, i, j);
                } else {
                    w.hBrk(i, j) = 1.0f;  // a dry cell never breaks
                    w.gamBrk(i, j) = never;
                }
            }
        }
    });
}

void prepareWaveWork(const Model& m, WaveWork& w) {
    prepareBreaking(m, w);
    bedFactors(m, w.bedFac);
    w.sed = sedimentCoefs(m, m.waveDt);
}

namespace {

// The passes of a step run row by row, each row while its neighbours are still in cache:
// the predictor runs one row ahead of the corrector, and the statistics and the sediment
// transport of a row follow its corrector at once. Every pass
// reads only what the passes before it in the separate order have finished for that row
// and its neighbours:
//   - the corrector of row j needs the predictor of rows j-1..j+1 and their ghosts; the
//     south and north ghost rows copy the first or the last row;
//   - the predictor of row j reads the previous step's eta of row j only, which the
//     statistics of row j overwrite after it;
//   - the statistics read phiNew at the cell itself, never its ghosts, so the ghost ring of
//     phiNew can follow the sweep; the sediment transport of the ghost rows follows the
//     ghost rows of uOrb and vOrb.
// The rows are cut into slabs (WaveWork::slabs) that run side by side. The only reads
// across a slab's edge are the corrector's reads of the predictor in the rows beyond it,
// so the first and last rows of every slab are predicted first, for all slabs, together
// with the ghost rows of the predictor; then each slab sweeps its rows, predicting only
// those inside it. Every value is the one the single sweep over the grid gives.
void sweep(Model& m, WaveWork& w) {
    const StepRows rows(m, w);
    const int32_t nSlabs = static_cast<int32_t>(w.slabs.size());
    const int32_t threads = std::min(nSlabs, threadCount());
    auto predict = [&](int32_t j, int32_t slot) {
        rows.predict(j, slot);
        setPredBoundaryRow(m, j);
    };
    // The slab's first and last rows, in the slab's own slots.
    onThreads(threads, [&](int t, int nt) {
        for (int32_t s = t; s < nSlabs; s += nt) {
            const RowRange r = w.slabs[s];
            if (r.end < r.begin) continue;
            predict(r.begin, 2 * s);
            if (r.end > r.begin) predict(r.end, 2 * s + 1);
        }
    });
    // The rows beyond this rank's first and last rows are the next ranks' edge rows.
    m.readsHalos({&m.phiPred});
    setPredBoundaryEdges(m);
    const int32_t inner = 2 * nSlabs;  // first slot of the rows inside the slabs
    auto sweepSlab = [&](int32_t s, int t) {
        const RowRange r = w.slabs[s];
        auto slot = [&](int32_t j) { return j == r.begin ? 2 * s : j == r.end ? 2 * s + 1 : inner + 2 * t + (j & 1); };
        for (int32_t j = r.begin; j <= r.end; ++j) {
            if (j + 1 < r.end) predict(j + 1, slot(j + 1));
            rows.correct(j, slot(j));
            rows.stats(j);
            surfaceGhostsRow(m, j);
            rows.sediment(j);
        }
    };
    onThreads(threads, [&](int t, int nt) {
        for (int32_t s = t; s < nSlabs; s += nt) sweepSlab(s, t);
    });
    m.readsFarRows({&m.uOrb, &m.vOrb, &m.eta});
    surfaceGhostsEdges(m);
    if (m.holdsSouthEdge()) rows.sediment(m.jyStart - 1);
    if (m.holdsNorthEdge()) rows.sediment(m.jyEnd + 1);
}

}  // namespace

void waveStep(Model& m, WaveWork& w) {
    // The predictor reads the present and the previous level one row beyond this rank's rows.
    m.readsHalos({&m.phiCur, &m.phiOld});
    Model::markWritten({&m.phiNew, &m.phiPred, &m.brkEx, &m.uOrb, &m.vOrb, &m.eta, &m.sumDiss, &m.sumEta, &m.etarms,
                        &m.sumEtaU, &m.sumEtaV, &m.sumU, &m.sumU2, &m.sumV, &m.sumV2, &m.sumEtaT2, &m.sumEtaT, &m.sumUV,
                        &m.qbx, &m.qby, &m.qsx, &m.qsy, &m.tau, &m.maxtau});
    sweep(m, w);
    m.readsFarRows({&m.phiNew});
    setPhiBoundary(m);
}

}  // namespace littoral
