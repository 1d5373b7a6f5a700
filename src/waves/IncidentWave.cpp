// Incident regular wave at the wave input cells (boundary code bndWave):
//
//   eta = H/2 sin(kx0 (i - phaseX) dx + ky0 (j - phaseY) dy - 2 pi f t)
//
// optionally modulated by wave groups of nGroup carrier lengths and periods, and ramped up
// with sin(pi f t / 4) over the first two wave periods of model time; imposed through
// eta = -phi_t / g as phiNew = phiCur - eta g dt.
#include <cmath>

#include "waves/WaveModel.h"

namespace littoral {

void incidentWave(Model& m, float t) { incidentWave(m, IncidentTime{t, t, t}); }

void incidentWave(Model& m, const IncidentTime& time) {
    using D = double;
    const D twoPi = 6.28318530717958;
    const D t = time.carrier, tg = time.group, tr = time.ramp;
    const bool ramp = static_cast<float>(2.0 / m.waveFreq) > tr;
    for (int32_t n = 1; n <= m.nBndCell; ++n) {
        if (m.bndCode(n) != m.bndWave) continue;
        const int32_t i = m.bndCellI(n), j = m.bndCellJ(n);
        if (!m.holdsRow(j)) continue;
        const int32_t di = i - m.phaseX, dj = j - m.phaseY;
        const D psi = static_cast<D>(m.ky0) * dj * m.dyW + static_cast<D>(m.kx0) * di * m.dxW -
                      static_cast<D>(m.waveFreq) * twoPi * t;
        float e = static_cast<float>(static_cast<D>(m.waveHin) / 2.0 * std::sin(psi));
        if (m.nGroup > 0) {
            const D psiG = static_cast<D>(m.ky0) / m.nGroup * dj * m.dyW + static_cast<D>(m.kx0) / m.nGroup * di * m.dxW -
                           static_cast<D>(m.waveFreq) * twoPi / m.nGroup * tg;
            e = static_cast<float>((static_cast<D>(m.groupAmp) * std::sin(psiG) + 1.0) * e);
        }
        if (ramp) e = static_cast<float>(static_cast<D>(e) * std::sin(3.14159265358979 / 4.0 * m.waveFreq * tr));
        m.phiNew(i, j) = static_cast<float>(static_cast<D>(m.phiCur(i, j)) - static_cast<D>(e) * 9.81 * m.waveDt);
    }
}

}  // namespace littoral
