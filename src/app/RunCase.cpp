#include "app/RunCase.h"

#include "app/MainLoop.h"
#include "input/CaseInput.h"
#include "input/Echo.h"
#include "waves/Offshore.h"

namespace littoral {

void runCase(Model& m, RunHost& host) {
    host.caseStarted(m.cntPath);
    readControlFile(m);
    readDepthFile(m);
    readBoundaryFile(m);
    transformIncidentWave(m);
    writeConstEcho(m);
    writeWavTideEcho(m);
    writeDepBndEcho(m);
    writeSurferGrids(m);
    host.showPlotWindows(m);
    mainLoop(m, host, m.hMax);
}

}  // namespace littoral
