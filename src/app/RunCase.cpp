#include "app/RunCase.h"

#include <optional>

#include "app/MainLoop.h"
#include "core/Allocation.h"
#include "core/Error.h"
#include "input/CaseInput.h"
#include "input/Echo.h"
#include "input/MemoryBudget.h"
#include "output/OutputLock.h"
#include "waves/Offshore.h"

namespace littoral {

void runCase(Model& m, RunHost& host) {
    // What the case is doing, for the message should the memory run out.
    const char* doing = "reading its control file";
    try {
        host.caseStarted(m.cntPath);
        doing = "reading the control, coefficient, wave and tide files and allocating the case's grids";
        SlabLink& link = m.slabs();
        link.guarded([&] { readControlFile(m); });
        link.check();
        // The case holds its output folder until it ends, however it ends (on several
        // ranks, the first holds it and writes every file).
        std::optional<OutputLock> folderLock;
        link.guarded([&] {
            if (m.writesFiles()) folderLock.emplace(m.outDir, m.cntPath);
        });
        link.check();
        doing = "reading the depth and boundary files and allocating the open-boundary lines";
        // Every rank reads the files whole and keeps its rows; the boundary reader and the
        // grid echoes are reached by every rank (they agree over the ranks).
        link.guarded([&] { readDepthFile(m, &host); });
        readBoundaryFile(m, &host);
        link.check();
        doing = "writing the echo files";
        transformIncidentWave(m);
        link.guarded([&] {
            if (!m.writesFiles()) return;
            writeConstEcho(m);
            writeWavTideEcho(m);
        });
        writeDepBndEcho(m, &host);
        writeSurferGrids(m, &host);
        link.check();
        doing = "running (flow arrays, wave statistics and work arrays, result files, pictures)";
        host.showPlotWindows(m);
        mainLoop(m, host, m.hMax);
    } catch (const std::bad_alloc& e) {
        const std::string what =
            dynamic_cast<const AllocationError*>(&e) ? std::string(" (") + e.what() + " could not be allocated)" : "";
        std::string source;
        const uint64_t avail = availableMemoryBytes(&source);
        throw StopError(m.cntPath + ": the memory ran out while " + doing + what + "; the case's arrays need about " +
                        formatBytes(static_cast<double>(caseMemoryBytes(m))) + " in all, " +
                        formatBytes(static_cast<double>(avail)) + " is available (" + source + ")");
    }
}

}  // namespace littoral
