// Bottom stress, sediment transport accumulated over a wave period, and bed change.
#pragma once

#include "core/Model.h"

namespace littoral {

// One wave step (dt = waveDt) of stress and transport, with u, v the surface orbital
// velocities of the step, added row by row by the wave step while each row is in cache.
// The bed factors depend on the depth, the mean level and kh only, which stay fixed during
// a wave period: they are formed once per period. SedimentCoefs (core/WaveWork.h) holds the
// constants of one step.
SedimentCoefs sedimentCoefs(const Model& m, float dt);
// Bed factor of every cell (ghost ring included): 1/cosh(kh) where the cell is wet, 0 where
// it is wet and kh > 100, and -1 (negative: no stress, no transport) where it is dry.
void bedFactors(const Model& m, Grid& a);
// Row j from cell i0 to i1 (inclusive) with the bed factors a of bedFactors.
void accumSedimentRow(Model& m, const SedimentCoefs& c, const Grid& a, const Grid& u, const Grid& v, int32_t j,
                      int32_t i0, int32_t i1);
void clearTransport(Model& m);
void applyBedChange(Model& m);
void bedChange(Model& m, double morfac = 1.0);

}  // namespace littoral
