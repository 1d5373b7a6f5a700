#include "app/RunCase.h"

#include "app/MainLoop.h"
#include "input/CaseInput.h"
#include "input/Echo.h"
#include "output/OutputLock.h"
#include "waves/Offshore.h"

namespace littoral {

void runCase(Model& m, RunHost& host) {
    host.caseStarted(m.cntPath);
    readControlFile(m);
    // The case holds its output folder until it ends, however it ends.
    const OutputLock folderLock(m.outDir, m.cntPath);
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
