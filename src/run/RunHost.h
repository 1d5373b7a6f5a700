// What a running case reports to its front-end: the desktop program shows it in its
// windows, the batch program on a progress bar, the library's users through its events,
// tests record it. Called on the thread that runs the case, between the passes of the
// time loops (never from inside a pass); the grids handed over stay valid and unchanged
// until the call returns.
#pragma once

#include <string>

#include "core/Grid.h"

namespace littoral {

struct Model;

struct RunHost {
    // The "endwav ..." line after every wave period (periodDone first gives its time).
    virtual void progressLine(const std::string& line) = 0;
    // A wave period beginning at model time seconds is done.
    virtual void periodDone(double seconds) { (void)seconds; }
    // A case is about to be read (its control file name).
    virtual void caseStarted(const std::string& controlFileName) = 0;
    // The case's input is read and echoed: show the two plot windows.
    virtual void showPlotWindows(const Model& m) = 0;
    // The main loop begins (the scales and the time span are known).
    virtual void runStarted(const Model& m) = 0;
    // A wave period is done: dataxy*aaa over the whole grid with the range mininp..maxinp
    // (the grid plot window's picture).
    virtual void plotxy(const Model& m, const std::string& outfile, const Grid& dataxy, float aaa,
                        float mininp, float maxinp) = 0;
    // An interval is done: eta*aaa - tideLevel over the interior (the graph window's
    // picture; fx, fy, bbb are not drawn).
    virtual void graphUVEta(const Model& m, const Grid& fx, const Grid& fy, float bbb,
                            const Grid& eta, float aaa, float mininp, float maxinp) = 0;
    // The interval numbered n, ending at model time seconds, has written its files.
    virtual void intervalDone(const Model& m, int n, double seconds) { (void)m, (void)n, (void)seconds; }
    // The main loop has finished the case.
    virtual void runFinished(const Model& m) = 0;
    // A warning for the user that does not stop the run (one line of text).
    virtual void warning(const std::string& text) { (void)text; }
    // Progress of the flow part of the present interval, 0 to 1; called after every flow
    // step, so it must cost next to nothing.
    virtual void intervalProgress(double fraction) { (void)fraction; }
    virtual ~RunHost() = default;
};

// A host that shows nothing; a base for tests and the batch program.
struct SilentHost : RunHost {
    void progressLine(const std::string&) override {}
    void caseStarted(const std::string&) override {}
    void showPlotWindows(const Model&) override {}
    void runStarted(const Model&) override {}
    void plotxy(const Model&, const std::string&, const Grid&, float, float, float) override {}
    void graphUVEta(const Model&, const Grid&, const Grid&, float, const Grid&, float, float,
                    float) override {}
    void runFinished(const Model&) override {}
};

}  // namespace littoral
