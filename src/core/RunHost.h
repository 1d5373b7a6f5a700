// What a running case needs from its front-end. The desktop program implements it with
// its windows, the batch program with a progress bar on the terminal, tests with a
// recorder. The engine never includes a window toolkit: it reaches one only through here.
#pragma once

#include <string>

#include "core/Grid.h"

namespace littoral {

struct Model;

struct RunHost {
    // Lets pending window events run; must cost next to nothing when none wait. May throw
    // RunAborted when the user has closed the start-up window.
    virtual void pumpEvents() = 0;
    // The "endwav ..." line after every wave period.
    virtual void progressLine(const std::string& line) = 0;
    // A case is about to be read (its control file name).
    virtual void caseStarted(const std::string& controlFileName) = 0;
    // The case's input is read and echoed: show the two plot windows.
    virtual void showPlotWindows(const Model& m) = 0;
    // The main loop begins (the scales and the time span are known).
    virtual void runStarted(const Model& m) = 0;
    // Grid plot window: draw dataxy*aaa over the whole grid with the range mininp..maxinp.
    virtual void plotxy(const Model& m, const std::string& outfile, const Grid& dataxy, float aaa,
                        float mininp, float maxinp) = 0;
    // Graph window: draw eta*aaa - tideLevel over the interior (fx, fy, bbb are not drawn).
    virtual void graphUVEta(const Model& m, const Grid& fx, const Grid& fy, float bbb,
                            const Grid& eta, float aaa, float mininp, float maxinp) = 0;
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
    void pumpEvents() override {}
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
