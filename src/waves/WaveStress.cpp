// Period statistics, radiation stress and wave force.
//
// The sums of the period become means; etarms becomes the standard deviation of eta;
// theta = direction of mean(eta grad phi). The radiation stress per unit density is taken
// from the simulated kinematics integrated over depth with the linear-theory profiles:
//
//   Sxx = A <u^2> - B <eta_t^2> + g/2 var(eta),  Syy = A <v^2> - B <eta_t^2> + g/2 var(eta),
//   Sxy = A <u v>,   A = int cosh^2 k(z+h) dz / cosh^2 kh,   B = int sinh^2 k(z+h) dz / sinh^2 kh,
//
// and the wave force is F = -div S by centred differences, a neighbour behind a closed face
// replaced by the cell's own value (the divisor 2 dx kept).
#include <cmath>
#include <initializer_list>

#include "core/Parallel.h"
#include "waves/PhiStencil.h"
#include "waves/WaveFunctions.h"
#include "waves/WaveModel.h"

namespace littoral {

namespace {

using D = double;

// Ghost cells: west and east columns, then south and north rows; periodic (code 16) from
// the opposite edge, otherwise from the adjacent interior cell. Corners are left alone.
// The columns of a rank's own rows need nothing from the others; the rows read the other
// end of the grid, which the halo exchange between the two brings (with the columns).
bool periodicGhost(const Model& m, int32_t i, int32_t j) { return m.bndCode(m.bndPointNo(i, j)) == 16; }

void fillStressGhostColumns(const Model& m, Grid& g) {
    const int32_t i0 = m.ixStart, i1 = m.ixEnd;
    for (int32_t j = m.ownRows().begin; j <= m.ownRows().end; ++j) {
        g(i0 - 1, j) = periodicGhost(m, i0 - 1, j) ? g(i1, j) : g(i0, j);
        g(i1 + 1, j) = periodicGhost(m, i1 + 1, j) ? g(i0, j) : g(i1, j);
    }
}

void fillStressGhostRows(const Model& m, Grid& g) {
    const int32_t j0 = m.jyStart, j1 = m.jyEnd;
    const bool south = m.holdsSouthEdge(), north = m.holdsNorthEdge();
    for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) {
        if (south) g(i, j0 - 1) = periodicGhost(m, i, j0 - 1) ? g.cell(i, j1) : g(i, j0);
        if (north) g(i, j1 + 1) = periodicGhost(m, i, j1 + 1) ? g.cell(i, j0) : g(i, j1);
    }
}

// The ghost ring of the grids, the rows next to a rank's own brought from the others.
void fillStressGhosts(Model& m, std::initializer_list<Grid*> grids) {
    for (Grid* g : grids) fillStressGhostColumns(m, *g);
    m.readsHalos(grids);
    for (Grid* g : grids) fillStressGhostRows(m, *g);
}

// -(d sN-sS / 2dy + d sE-sW / 2dx) with closed faces taking the cell's own value.
float divergence(const Model& m, const Grid& gx, const Grid& gy, int32_t i, int32_t j) {
    const int32_t f = m.cellFlag(i, j);
    const float own = gx(i, j), ownY = gy(i, j);
    const float sE = (f & kClosedE) ? own : gx(i + 1, j);
    const float sW = (f & kClosedW) ? own : gx(i - 1, j);
    const float sN = (f & kClosedN) ? ownY : gy(i, j + 1);
    const float sS = (f & kClosedS) ? ownY : gy(i, j - 1);
    return static_cast<float>(-((static_cast<D>(sN) - sS) / (2.0 * m.dyW) + (static_cast<D>(sE) - sW) / (2.0 * m.dxW)));
}

}  // namespace

void waveStress(Model& m, Grid& fx, Grid& fy) {
    const D N = m.nAcc;
    auto mean = [N](float& s) { s = static_cast<float>(static_cast<D>(s) / N); };
    Model::markWritten({&m.sumEta, &m.sumU, &m.sumV, &m.etarms, &m.sumU2, &m.sumV2, &m.sumEtaU, &m.sumEtaV, &m.sumUV,
                        &m.sumEtaT, &m.sumEtaT2, &m.theta, &m.sxx, &m.sxy, &m.syy, &fx, &fy});
    // Every cell is independent in these passes: they run along the rows (i fastest in
    // memory), a slab of rows per thread.
    forRowSlabs(m.ownRows().begin, m.ownRows().end, [&](int32_t jBegin, int32_t jEnd, int) {
        for (int32_t j = jBegin; j <= jEnd; ++j) {
            for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) {
                mean(m.sumEta(i, j));
                mean(m.sumU(i, j));
                mean(m.sumV(i, j));
                const D etaMean = m.sumEta(i, j);
                D var = static_cast<D>(m.etarms(i, j)) / N - etaMean * etaMean;
                if (var < 0.0) var = 0.0;  // rounding can leave a tiny negative variance
                m.etarms(i, j) = static_cast<float>(std::sqrt(var));
                mean(m.sumU2(i, j));
                mean(m.sumV2(i, j));
                mean(m.sumEtaU(i, j));
                mean(m.sumEtaV(i, j));
                mean(m.sumUV(i, j));
                mean(m.sumEtaT(i, j));
                mean(m.sumEtaT2(i, j));
                m.theta(i, j) = angleOf(m.sumEtaU(i, j), m.sumEtaV(i, j));

                float sxx = 0, syy = 0, sxy = 0;
                const float h = static_cast<float>(static_cast<D>(m.dep(i, j)) + m.setup(i, j));
                if (h > 0.0f) {
                    const float kh = m.kd(i, j);
                    const float k = static_cast<float>(static_cast<D>(kh) / h);
                    if (k != 0.0f) {
                        float A, B;
                        if (kh > 100.0f) {
                            A = B = static_cast<float>(0.5 / k);
                        } else {
                            const SinhCosh e = sinhCoshD(kh);
                            const D sh = e.sh, ch = e.ch;
                            A = static_cast<float>((sh * ch / (2.0 * k) + h / 2.0) / (ch * ch));
                            B = static_cast<float>((sh * ch / (2.0 * k) - h / 2.0) / (sh * sh));
                        }
                        sxx = static_cast<float>(static_cast<D>(A) * m.sumU2(i, j) - static_cast<D>(B) * m.sumEtaT2(i, j) +
                                                 4.905 * var);
                        syy = static_cast<float>(static_cast<D>(A) * m.sumV2(i, j) - static_cast<D>(B) * m.sumEtaT2(i, j) +
                                                 4.905 * var);
                        sxy = static_cast<float>(static_cast<D>(A) * m.sumUV(i, j));
                    }
                }
                m.sxx(i, j) = sxx;
                m.syy(i, j) = syy;
                m.sxy(i, j) = sxy;
            }
        }
    });
    // The ghost rows of periodic sides and the differences below read the rows beyond.
    fillStressGhosts(m, {&m.sxx, &m.sxy, &m.syy, &m.theta});

    forRowSlabs(m.ownRows().begin, m.ownRows().end, [&](int32_t jBegin, int32_t jEnd, int) {
        for (int32_t j = jBegin; j <= jEnd; ++j)
            for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) {
                fx(i, j) = divergence(m, m.sxx, m.sxy, i, j);
                fy(i, j) = divergence(m, m.sxy, m.syy, i, j);
            }
    });
    fillStressGhosts(m, {&fx, &fy});
}

}  // namespace littoral
