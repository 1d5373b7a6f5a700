// Helpers shared by the tests: scratch case folders, generated case files, a recording host.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/RunHost.h"
#include "core/Model.h"

namespace littoral::test {

// A fresh folder under the system's temporary folder, with "data" and "output" inside.
struct CaseDir {
    explicit CaseDir(const std::string& name);
    ~CaseDir();
    std::filesystem::path root, data, output;
    // Writes data/<name> with the given text.
    void write(const std::string& name, const std::string& text) const;
    // Prepares a model to run data/<cnt> (cntPath, dataDir, outBase).
    void prepare(Model& m, const std::string& cnt) const;
    // Names of the files in output/<sub>, sorted.
    std::vector<std::string> outputFiles(const std::string& sub) const;
};

// The batch program run to its end with the given arguments (a shell command line):
// its exit status (-1 if it did not exit) and everything it printed.
struct BatchRun {
    int status;
    std::string out;
};
BatchRun runBatch(const std::string& args);
// The batch program started on one control file, its output going to `log`; returns the
// child's process id.
int startBatch(const std::filesystem::path& cnt, const std::filesystem::path& log);

// Reads a whole file as text.
std::string readFile(const std::filesystem::path& p);
// Number of lines (LF-terminated) of a file.
long countLines(const std::filesystem::path& p);

// Index of the first of n values whose bits differ (zero signs and NaNs count); -1 if none.
long firstBitDifference(const float* a, const float* b, size_t n);

// The text of a coefficient file with the given grid and times; other values typical.
struct CoefSpec {
    int ixStart = 1, ixEnd = 10, jyStart = 1, jyEnd = 8;
    float dx = 10, dy = 10;
    int nBndApprox = 20;
    float latitude = 35, fricCoef = 0.01f, brkRatio = 0.8f, minDepth = 0.01f;
    float tStart = 0, tEnd = 30;
    float shieldsCr = 0.05f, grainSize = 2e-4f, sedDensity = 2650, viscosity = 1e-6f;
    float bedloadCoef = 8, suspCoef = 1;
};
std::string coefText(const CoefSpec& c);

// A small plane-beach case written into a CaseDir: control file <name>cnt.txt naming
// <name>/coef.txt, depth.txt, boundary.txt, wave.txt, tide.txt and output folder <name>.
// Depth falls from `depthOff` at the east edge linearly with `slope`; the east ghost column
// carries the wave input code 17, the south and north ghost rows are periodic (16).
struct SmallCase {
    CoefSpec coef;
    float depthOff = 5, slope = 0;  // slope 0: flat bed of depthOff
    float waveH = 0.5f, waveT = 6, waveDir = 180;
    std::string tide = "0, tide\n1\n17, 0, 0, 0\n";
    std::string wave;  // if set, replaces the generated wave file
    std::string depth; // if set, replaces the generated depth file
    std::string bnd;   // if set, replaces the generated boundary file
    void write(const CaseDir& dir, const std::string& name) const;
};

// A recording host: counts pump calls, keeps progress lines and plot calls.
struct RecordingHost : RunHost {
    long pumps = 0, plots = 0, graphs = 0;
    std::vector<std::string> lines;
    void pumpEvents() override { ++pumps; }
    void progressLine(const std::string& l) override { lines.push_back(l); }
    void caseStarted(const std::string&) override {}
    void showPlotWindows(const Model&) override {}
    void runStarted(const Model&) override {}
    void plotxy(const Model&, const std::string&, const Grid&, float, float, float) override { ++plots; }
    void graphUVEta(const Model&, const Grid&, const Grid&, float, const Grid&, float, float, float) override {
        ++graphs;
    }
    void runFinished(const Model&) override {}
};

}  // namespace littoral::test
