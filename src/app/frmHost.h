// The desktop program's host of a running case: the event pump, the progress lines in the
// start-up window and the two plot windows.
#pragma once

#include <chrono>

#include "app/RunHost.h"

namespace littoral {

class frmCnt;

class DesktopHost : public RunHost {
public:
    explicit DesktopHost(frmCnt& cnt);
    ~DesktopHost() override;
    // Runs pending window events at most every few milliseconds: a clock read otherwise.
    void pumpEvents() override;
    void progressLine(const std::string& line) override;
    void caseStarted(const std::string&) override {}
    void showPlotWindows(const Model& m) override;
    void runStarted(const Model&) override {}
    void plotxy(const Model& m, const std::string& outfile, const Grid& dataxy, float aaa, float mininp,
                float maxinp) override;
    void graphUVEta(const Model& m, const Grid& fx, const Grid& fy, float bbb, const Grid& eta, float aaa,
                    float mininp, float maxinp) override;
    void runFinished(const Model&) override {}

    // Processes every pending event now (also when the interval has not passed).
    void pumpNow();

private:
    frmCnt& cnt_;
    std::chrono::steady_clock::time_point next_{};
};

}  // namespace littoral
