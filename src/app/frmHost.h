// The desktop program's host of a running case, called on the main thread: the progress
// lines in the start-up window and the two plot windows. The plot windows are created at their first
// use, sized from the grid of that case, and reused for every later case.
#pragma once

#include <chrono>
#include <memory>

#include "run/RunHost.h"

namespace littoral {

class frmCnt;
class frmOvalin;
class frmIgwPicture;

class DesktopHost : public RunHost {
public:
    explicit DesktopHost(frmCnt& cnt);
    ~DesktopHost() override;
    // Runs pending window events at most every few milliseconds: a clock read otherwise.
    // Throws RunAborted once the start-up window has been closed. (The case runs on a
    // worker thread; the main thread processes events while it waits for it.)
    void pumpEvents();
    void progressLine(const std::string& line) override;
    void warning(const std::string& text) override;
    void caseStarted(const std::string&) override {}
    // Shows the grid plot window, then the graph window, both modeless.
    void showPlotWindows(const Model& m) override;
    void runStarted(const Model&) override {}
    // Draw into the windows' pictures; the windows show them at the next event pump.
    void plotxy(const Model& m, const std::string& outfile, const Grid& dataxy, float aaa, float mininp,
                float maxinp) override;
    void graphUVEta(const Model& m, const Grid& fx, const Grid& fy, float bbb, const Grid& eta, float aaa,
                    float mininp, float maxinp) override;
    void runFinished(const Model&) override {}

    // Processes every pending event now (also when the interval has not passed).
    void pumpNow();

    // The plot windows, created for the grid of m at their first use.
    frmOvalin& ovalin(const Model& m);
    frmIgwPicture& igwPicture(const Model& m);
    // The windows if they exist yet, else null.
    frmOvalin* ovalinWindow() const { return ovalin_.get(); }
    frmIgwPicture* igwPictureWindow() const { return igw_.get(); }

private:
    frmCnt& cnt_;
    std::chrono::steady_clock::time_point next_{};
    std::unique_ptr<frmOvalin> ovalin_;
    std::unique_ptr<frmIgwPicture> igw_;
};

}  // namespace littoral
