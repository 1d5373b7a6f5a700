// Placeholder until the wave model lands.
#include "waves/WaveField.h"

#include "core/Error.h"

namespace littoral {

void allocWaveArrays(Model& m) {
    for (Grid* g : {&m.phiNew, &m.phiCur, &m.phiOld, &m.phiPred, &m.sumDiss, &m.theta, &m.kd})
        m.allocGrid(*g);
}

void waveField(Model&, RunHost&, float&, float, Grid&, Grid&) {
    throw StopError("the wave model is not built yet");
}

}  // namespace littoral
