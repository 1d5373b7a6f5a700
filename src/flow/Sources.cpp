// Momentum sources of one flow step (momentumSources), per cell and per unit time, in the
// non-dimensional units of the flow (gravity 1):
//   S0 = 0
//   S1 = -h v f - (cf / 2) u |U| + fx / V^2
//   S2 =  h u f - (cf / 2) v |U| + fy / V^2
// f = coriolis (negative for a northern latitude, so -h v f > 0 for v > 0 there), cf =
// fricCoef, |U| = sqrt(u^2 + v^2), V = velScale; fx, fy are the wave forces of the wave
// period (m^2/s^2). Computed over the whole grid, ghost ring included. With the balanced wave
// force (Model::balancedWaveForce) the faces carry the wave force (Fluxes.cpp) and the cells'
// sources leave it out.
#include <cmath>

#include "core/Parallel.h"
#include "core/RowClones.h"
#include "flow/Flow.h"

namespace littoral {

namespace {

LITTORAL_ROW_CLONES void sourcesOf(size_t n, const float* __restrict h, const float* __restrict u,
                                   const float* __restrict v, const float* __restrict fx,
                                   const float* __restrict fy, float* __restrict src, double f, double cf2,
                                   double vv, double keep) {
    for (size_t k = 0; k < n; ++k) {
        const double uk = u[k], vk = v[k], hk = h[k];
        const float speed = static_cast<float>(std::sqrt(uk * uk + vk * vk));
        src[3 * k] = 0.0f;
        src[3 * k + 1] = static_cast<float>(-hk * vk * f - cf2 * uk * speed + fx[k] / vv * keep);
        src[3 * k + 2] = static_cast<float>(uk * hk * f - cf2 * vk * speed + fy[k] / vv * keep);
    }
}

}  // namespace

void momentumSources(Model& m) {
    // Element by element: every grid shares one layout and srcS holds three components per
    // cell, so the flat arrays are walked directly.
    const double f = m.coriolisS, cf2 = static_cast<double>(m.fricCoef) / 2.0;
    const double vv = static_cast<double>(m.velScale) * m.velScale;
    const double keep = m.balancedWaveForce ? 0.0 : 1.0;  // x 1 leaves the sum's bits as they were
    forFlatParts(m.heldCells().first, m.heldCells().second, [&](size_t a, size_t b) {
        sourcesOf(b - a, m.hTot.data() + a, m.uS.data() + a, m.vS.data() + a, m.fx.data() + a, m.fy.data() + a,
                  m.srcS.data() + 3 * a, f, cf2, vv, keep);
    });
}

}  // namespace littoral
