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
// The passes sweep rows j (outer) with i inner over contiguous memory. Each pass reads
// older levels only and writes one array per quantity, so the sweep order does not change
// the result. The row loops take the closed-face rule, land and cc2 = 0 as selects on
// values loaded unconditionally, so that they vectorise; their arithmetic is that of the
// point kernels in PhiStencil.h and WaveStats.h, bit for bit.
#include <cmath>
#include <cstddef>
#include <limits>

#include "waves/PhiStencil.h"
#include "waves/WaveFunctions.h"
#include "waves/WaveModel.h"
#include "waves/WaveStats.h"

namespace littoral {

namespace {

using D = double;

// The row loops are also built for the wider vector units of newer processors and chosen
// at load time; the operations are the same IEEE operations in the same order (no
// contraction into fused multiply-adds), so every build gives the same numbers.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define LITTORAL_ROW_CLONES __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define LITTORAL_ROW_CLONES
#endif

// Predictor over one row of n interior cells, breaking excess first. Row pointers point at
// the first interior cell; st is the distance to the next row.
LITTORAL_ROW_CLONES void predictRow(int32_t n, std::ptrdiff_t st, const float* __restrict pc, const float* __restrict po,
                const float* __restrict ccg, const float* __restrict omk, const float* __restrict cc2,
                const float* __restrict cu, const float* __restrict cv, const int32_t* __restrict flag,
                const float* __restrict eta, const float* __restrict hB, const float* __restrict gB,
                float* __restrict brk, float* __restrict pred, float rx, float ry, float dt) {
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
        const float v = predictValue(a, p, cur, old, gam);
        pred[k] = pick(f == kLand, 0.0f, pick(cc2[k] == 0.0f, C, v));
    }
}

LITTORAL_ROW_CLONES void correctRow(int32_t n, std::ptrdiff_t st, const float* __restrict pc, const float* __restrict po,
                const float* __restrict pp, const float* __restrict ccg, const float* __restrict omk,
                const float* __restrict cc2, const float* __restrict cu, const float* __restrict cv,
                const int32_t* __restrict flag, const float* __restrict brk, float* __restrict pn, float rx,
                float ry, float dt) {
    for (int32_t k = 0; k < n; ++k) {
        const int32_t f = flag[k];
        const bool cE = (f & kClosedE) != 0, cN = (f & kClosedN) != 0;
        const bool cW = (f & kClosedW) != 0, cS = (f & kClosedS) != 0;
        const StencilCoefs a = stencilValues(ccg[k], ccg[k + 1], ccg[k - st], ccg[k - 1], ccg[k + st], omk[k], rx, ry, dt);
        const float U = cu[k], V = cv[k], mU = -U, mV = -V;
        const float uE = cu[k + 1], uW = cu[k - 1], vN = cv[k + st], vS = cv[k - st];
        const CurrentCoefs p = currentValues(U, V, pick(cE, mU, uE), pick(cW, mU, uW), pick(cN, mV, vN), pick(cS, mV, vS), rx, ry);
        const float C = pc[k], E = pc[k + 1], S = pc[k - st], W = pc[k - 1], N = pc[k + st];
        const float oC = po[k], oE = po[k + 1], oS = po[k - st], oW = po[k - 1], oN = po[k + st];
        const float qC = pp[k], qE = pp[k + 1], qS = pp[k - st], qW = pp[k - 1], qN = pp[k + st];
        const Phi5 cur{C, pick(cE, C, E), pick(cS, C, S), pick(cW, C, W), pick(cN, C, N)};
        const Phi5 old{oC, pick(cE, oC, oE), pick(cS, oC, oS), pick(cW, oC, oW), pick(cN, oC, oN)};
        const Phi5 prd{qC, pick(cE, qC, qE), pick(cS, qC, qS), pick(cW, qC, qW), pick(cN, qC, qN)};
        const float v = correctValue(a, p, cur, old, prd, brk[k]);
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
        const D e = s.eta, u = s.u, v = s.v, et = s.etat;
        uO[k] = s.u;
        vO[k] = s.v;
        etaO[k] = s.eta;
        sDiss[k] = addTo(sDiss[k], e * brk[k] * e * dt / T);
        sEta[k] = addTo(sEta[k], e);
        sEta2[k] = addTo(sEta2[k], e * e);
        sEtaU[k] = addTo(sEtaU[k], e * u);
        sEtaV[k] = addTo(sEtaV[k], e * v);
        sU[k] = addTo(sU[k], u);
        sU2[k] = addTo(sU2[k], u * u);
        sV[k] = addTo(sV[k], v);
        sV2[k] = addTo(sV2[k], v * v);
        sEtaT2[k] = addTo(sEtaT2[k], et * et);
        sEtaT[k] = addTo(sEtaT[k], et);
        sUV[k] = addTo(sUV[k], u * v);
    }
}

// Ghost ring of a surface field: periodic (code 16) from the opposite edge, otherwise a
// copy of the adjacent interior cell; corners untouched.
void fillSurfaceGhosts(Model& m, Grid& g) {
    const int32_t i0 = m.ixStart, i1 = m.ixEnd, j0 = m.jyStart, j1 = m.jyEnd;
    auto periodic = [&](int32_t i, int32_t j) { return m.bndCode(m.bndPointNo(i, j)) == 16; };
    for (int32_t j = j0; j <= j1; ++j) {
        g(i0 - 1, j) = periodic(i0 - 1, j) ? g(i1, j) : g(i0, j);
        g(i1 + 1, j) = periodic(i1 + 1, j) ? g(i0, j) : g(i1, j);
    }
    for (int32_t i = i0; i <= i1; ++i) {
        g(i, j0 - 1) = periodic(i, j0 - 1) ? g(i, j1) : g(i, j0);
        g(i, j1 + 1) = periodic(i, j1 + 1) ? g(i, j0) : g(i, j1);
    }
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
    m.allocGrid(w.hBrk);
    m.allocGrid(w.gamBrk);
    const float never = std::numeric_limits<float>::infinity();
    for (int32_t j = m.jyStart; j <= m.jyEnd; ++j) {
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
}

void wavePhiStep(Model& m, const WaveWork& w) {
    const int32_t n = m.ixEnd - m.ixStart + 1, i0 = m.ixStart;
    const std::ptrdiff_t st = m.phiCur.stride();
    const float rx = waveRx(m), ry = waveRy(m), dt = m.waveDt;
    for (int32_t j = m.jyStart; j <= m.jyEnd; ++j)
        predictRow(n, st, m.phiCur.at(i0, j), m.phiOld.at(i0, j), m.ccg.at(i0, j), m.omk.at(i0, j), m.cc2.at(i0, j),
                   m.curU.at(i0, j), m.curV.at(i0, j), m.cellFlag.at(i0, j), m.eta.at(i0, j), w.hBrk.at(i0, j),
                   w.gamBrk.at(i0, j), m.brkEx.at(i0, j), m.phiPred.at(i0, j), rx, ry, dt);
    setPredBoundary(m);
    for (int32_t j = m.jyStart; j <= m.jyEnd; ++j)
        correctRow(n, st, m.phiCur.at(i0, j), m.phiOld.at(i0, j), m.phiPred.at(i0, j), m.ccg.at(i0, j),
                   m.omk.at(i0, j), m.cc2.at(i0, j), m.curU.at(i0, j), m.curV.at(i0, j), m.cellFlag.at(i0, j),
                   m.brkEx.at(i0, j), m.phiNew.at(i0, j), rx, ry, dt);
}

void waveDiagnostics(Model& m) {
    const int32_t n = m.ixEnd - m.ixStart + 1, i0 = m.ixStart;
    const std::ptrdiff_t st = m.phiCur.stride();
    for (int32_t j = m.jyStart; j <= m.jyEnd; ++j)
        statsRow(n, st, m.phiCur.at(i0, j), m.phiOld.at(i0, j), m.phiNew.at(i0, j), m.cellFlag.at(i0, j),
                 m.brkEx.at(i0, j), m.uOrb.at(i0, j), m.vOrb.at(i0, j), m.eta.at(i0, j), m.sumDiss.at(i0, j),
                 m.sumEta.at(i0, j), m.etarms.at(i0, j), m.sumEtaU.at(i0, j), m.sumEtaV.at(i0, j), m.sumU.at(i0, j),
                 m.sumU2.at(i0, j), m.sumV.at(i0, j), m.sumV2.at(i0, j), m.sumEtaT2.at(i0, j), m.sumEtaT.at(i0, j),
                 m.sumUV.at(i0, j), m.dxW, m.dyW, m.waveDt, m.waveT0);
    // The ghost values come from the interior only, so the three fields can be filled apart.
    fillSurfaceGhosts(m, m.uOrb);
    fillSurfaceGhosts(m, m.vOrb);
    fillSurfaceGhosts(m, m.eta);
}

}  // namespace littoral
