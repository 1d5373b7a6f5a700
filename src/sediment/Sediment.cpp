// Bottom stress, sediment transport and bed change.
//
// At every wave step, per cell with total depth h = dep + setup > 0:
//   near-bed velocity   ub = a (u, v) + (curU, curV),  a = 1/cosh(kh) (0 for kh > 100)
//   kinematic stress    tk = fricCoef/2 |ub|^2,  Shields number psi = tk / subWeight
//   above psi_cr        qb = (psi - psi_cr) bedloadCoef sqrt(psi) sqrt(subWeight) d
//                       qs = (psi - psi_cr) suspCoef fallVel d,  both along ub
// and the period means qbx, qby, qsx, qsy, tau = 1030 tk gain the step's value times
// w = waveDt / waveT0; maxtau keeps the largest stress of the period.
// Once per period the bed changes by dh = waveT0 div(qb + qs) (times the morphological
// factor), central differences over the interior, the ghost ring copied from the nearest
// interior cell, or on a periodic side from the partner cell at the other end of the grid.
//
// Cells are independent in the accumulation and in the divergence, so the passes run
// along the rows (i fastest in memory): the results are those of any cell order.
#include "sediment/Sediment.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/RowClones.h"
#include "core/Parallel.h"
#include "waves/WaveFunctions.h"

namespace littoral {

namespace {

// Bed factor of a cell of total depth h: the orbital velocity at the bed relative to the
// surface; negative marks a dry cell. Only wet cells form the exponentials.
inline float bedFactor(float h, float kh) {
    if (!(h > 0.0f)) return -1.0f;
    return !(kh > 100.0f) ? static_cast<float>(1.0 / coshD(kh)) : 0.0f;
}

// n cells of a row: every pointer is at the first cell. A dry cell (a < 0) keeps its
// values; its velocities are formed like the others' and not used.
LITTORAL_ROW_CLONES void accumCells(const SedimentCoefs& coefs, int32_t n, const float* __restrict a,
                                    const float* __restrict u, const float* __restrict v,
                                    const float* __restrict curU, const float* __restrict curV,
                                    float* __restrict qbx, float* __restrict qby, float* __restrict qsx,
                                    float* __restrict qsy, float* __restrict tau, float* __restrict maxtau) {
    const SedimentCoefs c = coefs;
    for (int32_t k = 0; k < n; ++k) {
        const bool wet = !(a[k] < 0.0f);
        const float ubx = static_cast<float>(static_cast<double>(a[k]) * u[k] + curU[k]);
        const float uby = static_cast<float>(static_cast<double>(a[k]) * v[k] + curV[k]);
        const float s = static_cast<float>(std::sqrt(static_cast<double>(uby) * uby + static_cast<double>(ubx) * ubx));
        const float tk = static_cast<float>(c.fric * 0.5 * (static_cast<double>(s) * s));
        const float psi = static_cast<float>(tk / c.subWeight);
        const double excess = psi - c.cr;
        // The excess must be strictly positive after rounding: a still cell (s = 0) never
        // moves, so the direction below is never used from a zero speed.
        const bool moves = wet & (static_cast<float>(excess) > 0.0f);
        const float cx = static_cast<float>(ubx / static_cast<double>(s));
        const float cy = static_cast<float>(uby / static_cast<double>(s));
        const float qb = static_cast<float>(excess * c.bedload * std::sqrt(static_cast<double>(psi)) * c.sqrtSubWeight * c.grain);
        const float qs = static_cast<float>(excess * c.susp * c.fallVel * c.grain);
        const float nbx = static_cast<float>(qbx[k] + static_cast<double>(qb) * cx * c.w);
        const float nby = static_cast<float>(qby[k] + static_cast<double>(qb) * cy * c.w);
        const float nsx = static_cast<float>(qsx[k] + static_cast<double>(qs) * cx * c.w);
        const float nsy = static_cast<float>(qsy[k] + static_cast<double>(qs) * cy * c.w);
        qbx[k] = pick(moves, nbx, qbx[k]);
        qby[k] = pick(moves, nby, qby[k]);
        qsx[k] = pick(moves, nsx, qsx[k]);
        qsy[k] = pick(moves, nsy, qsy[k]);
        const float t = static_cast<float>(static_cast<double>(tk) * 1030.0);  // sea water 1030 kg/m^3
        const float nt = static_cast<float>(tau[k] + static_cast<double>(t) * c.w);
        tau[k] = pick(wet, nt, tau[k]);
        maxtau[k] = pick(wet & (t > maxtau[k]), t, maxtau[k]);
    }
}

inline float totalDepth(const Model& m, int32_t i, int32_t j) {
    return static_cast<float>(static_cast<double>(m.dep(i, j)) + m.setup(i, j));
}

}  // namespace

SedimentCoefs sedimentCoefs(const Model& m, float dt) {
    SedimentCoefs c;
    c.fric = m.fricCoef;
    c.cr = m.shieldsCr;
    c.bedload = m.bedloadCoef;
    c.susp = m.suspCoef;
    c.grain = m.grainSize;
    c.subWeight = m.subWeight;
    c.sqrtSubWeight = std::sqrt(static_cast<double>(m.subWeight));
    c.fallVel = m.fallVel;
    c.w = static_cast<float>(static_cast<double>(dt) / m.waveT0);  // weight of one step in the period mean
    return c;
}

void bedFactors(const Model& m, Grid& a) {
    m.keepGrid(a);  // every cell that is read is written below
    forRowSlabs(m.heldRows().begin, m.heldRows().end, [&](int32_t jBegin, int32_t jEnd, int) {
        for (int32_t j = jBegin; j <= jEnd; ++j)
            for (int32_t i = m.ixStart - 1; i <= m.ixEnd + 1; ++i) a(i, j) = bedFactor(totalDepth(m, i, j), m.kd(i, j));
    });
}

void accumSedimentRow(Model& m, const SedimentCoefs& c, const Grid& a, const Grid& u, const Grid& v, int32_t j,
                      int32_t i0, int32_t i1) {
    accumCells(c, i1 - i0 + 1, a.at(i0, j), u.at(i0, j), v.at(i0, j), m.curU.at(i0, j), m.curV.at(i0, j),
               m.qbx.at(i0, j), m.qby.at(i0, j), m.qsx.at(i0, j), m.qsy.at(i0, j), m.tau.at(i0, j),
               m.maxtau.at(i0, j));
}

void clearTransport(Model& m) {
    forFlatParts(m.slabCells().first, m.slabCells().second, [&](size_t a, size_t b) {
        for (Grid* g : {&m.qbx, &m.qby, &m.qsx, &m.qsy, &m.tau, &m.maxtau}) std::fill(g->data() + a, g->data() + b, 0.0f);
    });
}

void applyBedChange(Model& m) {
    // Element by element over the rows this rank keeps.
    m.readsHalos({&m.dh});
    float* dep = m.dep.data();
    float* dh = m.dh.data();
    forFlatParts(m.slabCells().first, m.slabCells().second, [&](size_t a, size_t b) {
        for (size_t k = a; k < b; ++k) {
            dep[k] = dep[k] + dh[k];
            dh[k] = 0.0f;
        }
    });
}

void bedChange(Model& m, double morfac) {
    // The span of bed evolution one period stands for (morfac 0: the bed stays).
    const double dx = m.dx, dy = m.dy, T = static_cast<double>(m.waveT0) * morfac;
    const int32_t n = m.ixEnd - m.ixStart + 1;
    // The divergences read the transport one row beyond this rank's rows.
    m.readsHalos({&m.qbx, &m.qby, &m.qsx, &m.qsy});
    Model::markWritten({&m.dh});
    forRowSlabs(m.ownRows().begin, m.ownRows().end, [&](int32_t jBegin, int32_t jEnd, int) {
        for (int32_t j = jBegin; j <= jEnd; ++j) {
            const float* __restrict bxW = m.qbx.at(m.ixStart - 1, j);
            const float* __restrict bxE = m.qbx.at(m.ixStart + 1, j);
            const float* __restrict byS = m.qby.at(m.ixStart, j - 1);
            const float* __restrict byN = m.qby.at(m.ixStart, j + 1);
            const float* __restrict sxW = m.qsx.at(m.ixStart - 1, j);
            const float* __restrict sxE = m.qsx.at(m.ixStart + 1, j);
            const float* __restrict syS = m.qsy.at(m.ixStart, j - 1);
            const float* __restrict syN = m.qsy.at(m.ixStart, j + 1);
            float* __restrict dh = m.dh.at(m.ixStart, j);
            if (T == 0.0) {
                std::fill_n(dh, n, 0.0f);
                continue;
            }
            for (int32_t k = 0; k < n; ++k) {
                // central-difference divergences of the bedload and the suspended load
                const float b = static_cast<float>((static_cast<double>(byN[k]) - byS[k]) / dy / 2.0 +
                                                   (static_cast<double>(bxE[k]) - bxW[k]) / dx / 2.0);
                const float s = static_cast<float>((static_cast<double>(syN[k]) - syS[k]) / dy / 2.0 +
                                                   (static_cast<double>(sxE[k]) - sxW[k]) / dx / 2.0);
                dh[k] = static_cast<float>((static_cast<double>(s) + b) * T);  // diverging transport deepens
            }
        }
    });
    // Ghost ring: south and north rows first, then the west and east columns, which also
    // give each corner the value of its diagonal interior neighbour. A closed or open side
    // copies its interior neighbour; a periodic side (code 16) its partner, the interior cell
    // at the other end of the grid, so that the ghost's depth stays its partner's.
    // On a rank, those of the rows it holds; then the rows next to its own from the others.
    // The partner rows of the south and north ghosts come round from the other end first.
    m.readsFarRows({&m.dh});
    const auto periodic = [&](int32_t i, int32_t j) { return m.bndCode(m.bndPointNo(i, j)) == 16; };
    for (int32_t i = m.ixStart - 1; i <= m.ixEnd + 1; ++i) {
        const bool side = i >= m.ixStart && i <= m.ixEnd;
        if (m.holdsSouthEdge()) {
            const int32_t j = m.jyStart - 1;
            m.dh(i, j) = side && periodic(i, j) ? m.dh.cell(i, m.jyEnd) : m.dh(i, m.jyStart);
        }
        if (m.holdsNorthEdge()) {
            const int32_t j = m.jyEnd + 1;
            m.dh(i, j) = side && periodic(i, j) ? m.dh.cell(i, m.jyStart) : m.dh(i, m.jyEnd);
        }
    }
    for (int32_t j = m.heldRows().begin; j <= m.heldRows().end; ++j) {
        const bool side = j >= m.jyStart && j <= m.jyEnd;
        m.dh(m.ixStart - 1, j) = side && periodic(m.ixStart - 1, j) ? m.dh(m.ixEnd, j) : m.dh(m.ixStart, j);
        m.dh(m.ixEnd + 1, j) = side && periodic(m.ixEnd + 1, j) ? m.dh(m.ixStart, j) : m.dh(m.ixEnd, j);
    }
}

}  // namespace littoral
