#include "run/RunCase.h"

#include <filesystem>
#include <system_error>

#include "core/Allocation.h"
#include "core/Error.h"
#include "core/Numeric.h"
#include "input/CaseInput.h"
#include "input/Echo.h"
#include "input/MemoryBudget.h"
#include "output/Gauges.h"
#include "output/PreviousRun.h"
#include "output/RecordWriter.h"
#include "run/MainLoop.h"
#include "run/Checkpoint.h"
#include "waves/Offshore.h"

namespace littoral {

namespace {

// 0options.txt: the options in force, each with where it was set, and the span of bed
// evolution the run stands for. Written only for a run with options (an options file or an
// option away from its default); a run without removes the echo an earlier run left.
void writeOptionsEcho(const Model& m) {
    if (m.optionsEcho.empty()) {
        std::error_code ec;
        std::filesystem::remove(m.outDir + "0options.txt", ec);
        return;
    }
    RecordWriter w(m.outDir + "0options.txt");
    for (const std::string& line : m.optionsEcho) w.append(line + "\n");
    const int64_t n = intervalCount(m);
    const double morph = n > 0 ? morphologicalSeconds(m, n - 1) : 0.0;
    w.append("morphological time = " + formatNum(morph) + " s after " + std::to_string(n) +
             " intervals of " + formatNum(m.waveT0) + " s (morphology.morfac x the period for each interval " +
             "ending at or after morphology.start)\n");
    w.close();
}

}  // namespace

CaseDriver::CaseDriver(Model& m, RunHost& host) : m_(m), host_(host) {}
CaseDriver::~CaseDriver() = default;

template <class F>
auto CaseDriver::named(F&& part) -> decltype(part()) {
    try {
        return part();
    } catch (const std::bad_alloc& e) {
        const std::string what =
            dynamic_cast<const AllocationError*>(&e) ? std::string(" (") + e.what() + " could not be allocated)" : "";
        throw StopError(m_.cntPath + ": the memory ran out while " + doing_ + what + "; " + memoryFigures(m_));
    }
}

void CaseDriver::start(bool inputRead) {
    named([&] {
        Model& m = m_;
        RunHost& host = host_;
        doing_ = "reading its control file";
        host.caseStarted(m.cntPath);
        doing_ = "reading the control, coefficient, wave and tide files and allocating the case's grids";
        SlabLink& link = m.slabs();
        link.guarded([&] {
            if (inputRead) prepareOutputFolder(m);
            else readControlFile(m);
        });
        link.check();
        // The case holds its output folder until it ends, however it ends (on several
        // ranks, the first holds it and writes every file).
        link.guarded([&] {
            if (!m.writesFiles() || !m.filesWanted) return;
            folderLock_.emplace(m.outDir, m.cntPath);
            // One run's files per folder: an earlier run's go into a subfolder of their own,
            // unless this run continues that one.
            if (m.continuesRun) return;
            if (const auto moved = setAsidePreviousRun(m.outDir))
                host.warning("the files of an earlier run in " + m.outDir + " (" + std::to_string(moved->files) +
                             " files) were moved into " + moved->folder);
        });
        link.check();
        doing_ = "reading the depth and boundary files and allocating the open-boundary lines";
        // Every rank reads the files whole and keeps its rows; the boundary reader and the
        // grid echoes are reached by every rank (they agree over the ranks).
        if (!inputRead) {
            link.guarded([&] { readDepthFile(m); });
            readBoundaryFile(m);
        }
        link.check();
        // The gauges are placed before anything is written (a gauge off the grid or on land
        // stops the case here).
        if (!m.gaugeSites.empty()) placeGauges(m);
        m.checkStop();
        // Checked again with the run's threads and result files, before the wave and flow
        // arrays are allocated.
        link.guarded([&] { requireMemoryFor(m); });
        link.check();
        doing_ = "writing the echo files";
        transformIncidentWave(m);
        // The warnings of the input, once the offshore wave is carried in (every rank has the
        // same; the first reports them).
        if (m.slabs().rank() == 0)
            for (const std::string& w : m.inputWarnings) host.warning(w);
        if (m.filesWanted) {
            link.guarded([&] {
                if (!m.writesFiles()) return;
                writeConstEcho(m);
                writeWavTideEcho(m);
                writeOptionsEcho(m);
            });
            writeDepBndEcho(m);
            writeSurferGrids(m);
        }
        link.check();
        doing_ = "running (flow arrays, wave statistics and work arrays, result files, pictures)";
        host.showPlotWindows(m);
        m.checkStop();
        // What a checkpoint records of the inputs is taken as they were read; a resumed run
        // checks its checkpoint against it.
        m.checkpointRecord.clear();
        std::optional<ResumePoint> from;
        if (m.filesWanted && (m.checkpointEvery > 0 || m.resume)) {
            doing_ = "reading and checking its checkpoint";
            m.checkpointRecord = makeCheckpointRecord(m);
            if (m.resume) from = openCheckpoint(m, host);
            doing_ = "running (flow arrays, wave statistics and work arrays, result files, pictures)";
        }
        loop_ = std::make_unique<IntervalLoop>(m, host, m.hMax);
        loop_->begin(from ? &*from : nullptr);
    });
}

bool CaseDriver::advance() {
    return named([&] { return loop_->step(); });
}

void CaseDriver::finish() {
    named([&] { loop_->finish(); });
    folderLock_.reset();
}

void runCase(Model& m, RunHost& host) {
    CaseDriver run(m, host);
    run.start();
    while (run.advance()) {
    }
    run.finish();
}

}  // namespace littoral
