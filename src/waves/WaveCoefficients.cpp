// Local coefficients of the mild-slope equation for the present total depth and current,
//
//   phi_tt - div(C Cg grad phi) + k^2 C^2 (1 - n) phi = 0,  n = Cg / C,
//
// from the Doppler-shifted dispersion relation at the absolute period, per cell over the
// whole grid (ghost ring included): kd = kh, wlen = L, cc2 = C^2 (0 marks a cell without
// waves), ccg = C Cg, omk = k^2 C^2 (1 - n); and the incident wave-number vector (kx0, ky0)
// at the phase reference point with the input direction.
#include <algorithm>
#include <cmath>

#include "core/Error.h"
#include "core/Numeric.h"
#include "core/Parallel.h"
#include "waves/PhiStencil.h"
#include "waves/WaveFunctions.h"
#include "waves/WaveModel.h"

namespace littoral {

namespace {
using D = double;

std::string cellName(int32_t i, int32_t j) { return "(" + std::to_string(i) + ", " + std::to_string(j) + ")"; }

// Cosine and sine of the incident direction. The single-precision angle of 180 degrees lies
// 8.7e-8 rad off pi, so the incident wave carries a wave number of 8.7e-8 k along the side:
// the rows of a coast that is the same alongshore get incident phases that differ in their
// last bits, and over a long run the coupling of the waves with the currents grows those
// differences into heights that differ from row to row by centimetres. The absorbing input,
// made for long runs, takes the direction exactly at whole quarter turns (normal to a side:
// no wave number along it); the prescribed input keeps the angle's own cosine and sine.
struct Direction { D c, s; };
Direction incidentDirection(float degrees, float radians, bool exactQuarterTurns) {
    const D q = static_cast<D>(degrees) / 90.0;
    if (exactQuarterTurns && std::isfinite(q) && q == std::floor(q)) {
        switch (((static_cast<int64_t>(q) % 4) + 4) % 4) {
        case 0: return {1.0, 0.0};
        case 1: return {0.0, 1.0};
        case 2: return {-1.0, 0.0};
        default: return {0.0, -1.0};
        }
    }
    return {std::cos(static_cast<D>(radians)), std::sin(static_cast<D>(radians))};
}
}  // namespace

void waveCoefficients(Model& m, float time) {
    const float T = static_cast<float>(1.0 / m.waveFreq);
    // Cells are taken in blocks of a row whose dispersion iterations run side by side.
    constexpr int32_t kLanes = 8;
    const int32_t iLo = m.ixStart - 1, iHi = m.ixEnd + 1;
    forRowSlabs(m.slabRows().begin, m.slabRows().end, [&](int32_t jBegin, int32_t jEnd, int) {
        for (int32_t j = jBegin; j <= jEnd; ++j) {
            for (int32_t ib = iLo; ib <= iHi; ib += kLanes) {
                const int32_t nb = std::min<int32_t>(kLanes, iHi - ib + 1);
                DispersionIteration it[kLanes];
                bool wet[kLanes];
                for (int32_t l = 0; l < nb; ++l) {
                    const int32_t i = ib + l;
                    const float h = static_cast<float>(static_cast<D>(m.setup(i, j)) + m.dep(i, j));
                    wet[l] = h > 0.000001f && m.cellFlag(i, j) != kLand;
                    it[l].h = h;
                    if (wet[l]) it[l].start(T, h, m.curU(i, j), m.curV(i, j), m.theta(i, j));
                    else it[l].done = true;
                }
                for (bool running = true; running;) {
                    running = false;
                    for (int32_t l = 0; l < nb; ++l)
                        if (!it[l].done) {
                            it[l].step();
                            running = running || !it[l].done;
                        }
                }
                for (int32_t l = 0; l < nb; ++l) {
                    const int32_t i = ib + l;
                    const float h = it[l].h;
                    float C = 0, k = 0, n = 1, L = 0, kh = 0;
                    if (wet[l]) {
                        const Dispersion d = it[l].result();
                        if (d.ok) {
                            L = d.L;
                            kh = d.kh;
                            const WaveSpeeds sp = waveSpeeds(kh, h);
                            C = static_cast<float>(sp.C);
                            const float Cg = static_cast<float>(sp.Cg);
                            n = static_cast<float>(static_cast<D>(Cg) / C);
                            k = static_cast<float>(static_cast<D>(kh) / h);
                        }
                    }
                    m.kd(i, j) = kh;
                    m.wlen(i, j) = L;
                    m.cc2(i, j) = static_cast<float>(static_cast<D>(C) * C);
                    m.ccg(i, j) = static_cast<float>(static_cast<D>(C) * C * n);
                    m.omk(i, j) = static_cast<float>(static_cast<D>(k) * k * C * C * (1.0 - n));
                }
            }
        }
    });
    m.dxW = m.dx;
    m.dyW = m.dy;

    // The incident wave is phased from the reference point: it must be wet and carry a wave.
    // Its values come from the rank that holds it.
    const int32_t pi = m.phaseX, pj = m.phaseY;
    double at[5] = {0, 0, 0, 0, 0};  // depth, set-up, flag, current
    m.shareFromRow(pj, at, 5, [&](double* v) {
        v[0] = m.dep(pi, pj), v[1] = m.setup(pi, pj), v[2] = m.cellFlag(pi, pj), v[3] = m.curU(pi, pj),
        v[4] = m.curV(pi, pj);
    });
    const float curU = static_cast<float>(at[3]), curV = static_cast<float>(at[4]);
    const float h = static_cast<float>(at[0] + static_cast<float>(at[1]));
    // The texts of the stops below are built only when one is raised.
    const auto where = [&] { return "the phase reference point " + cellName(pi, pj) + " (in " + m.wavFile + ")"; };
    const auto when = [&] { return " at model time " + formatNum(time) + " s"; };
    if (static_cast<int32_t>(at[2]) == kLand)
        throw StopError(where() + " is a land cell (boundary code 15)" + when() +
                        ": expected a water cell where the incident wave is defined");
    if (!(h > 0.000001f))
        throw StopError(where() + " is dry: its water depth is " + formatNum(h) + " m" + when() +
                        ": expected a wet cell where the incident wave is defined");
    const Dispersion d = waveNumberCurrent(T, h, curU, curV, m.dirRad);
    if (!d.ok)
        throw StopError(where() + ": the dispersion relation has no wave number for the period " + formatNum(T) +
                        " s in " + formatNum(h) + " m of water with the current (" + formatNum(curU) +
                        ", " + formatNum(curV) + ") m/s" + when() +
                        ": expected a cell where the incident wave can travel");
    const float k = static_cast<float>(static_cast<D>(d.kh) / h);
    const Direction dir = incidentDirection(m.waveDir0, m.dirRad, m.absorbingInput);
    m.kx0 = static_cast<float>(static_cast<D>(k) * dir.c);
    m.ky0 = static_cast<float>(static_cast<D>(k) * dir.s);
}

}  // namespace littoral
