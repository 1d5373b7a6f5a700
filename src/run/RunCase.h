// One case, from its control file m.cntPath to its last result file: read and echoed by
// start(), run interval by interval, finished by finish(). runCase does all of it.
#pragma once

#include <memory>
#include <optional>

#include "core/Model.h"
#include "output/OutputLock.h"
#include "run/MainLoop.h"
#include "run/RunHost.h"

namespace littoral {

class CaseDriver {
public:
    CaseDriver(Model& m, RunHost& host);
    ~CaseDriver();
    CaseDriver(const CaseDriver&) = delete;
    CaseDriver& operator=(const CaseDriver&) = delete;

    // Reads the case, holds its output folder, writes the echo files and begins the
    // intervals (the windows are shown in between). With inputRead the model holds the case's
    // files already (read by Case::read): only the output folder is made.
    void start(bool inputRead = false);
    // One output interval; false once the time span is done.
    bool advance();
    // Ends the case (runFinished) and lets its output folder go.
    void finish();
    const IntervalLoop& loop() const { return *loop_; }
    IntervalLoop& loop() { return *loop_; }

private:
    // Runs part; the memory running out becomes a StopError naming what the case was doing.
    template <class F>
    auto named(F&& part) -> decltype(part());

    Model& m_;
    RunHost& host_;
    const char* doing_ = "reading its control file";
    std::optional<OutputLock> folderLock_;
    std::unique_ptr<IntervalLoop> loop_;
};

void runCase(Model& m, RunHost& host);

}  // namespace littoral
