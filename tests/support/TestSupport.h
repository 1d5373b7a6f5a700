// Helpers shared by the tests: scratch case folders, generated case files, a recording host.
#pragma once

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run/RunHost.h"
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
    // Renames the output folder as it stands to <root>/<name> and makes a fresh empty one;
    // returns the kept folder.
    std::filesystem::path keepOutput(const std::string& name) const;
};

// Relative paths of every file below root, sorted.
std::vector<std::string> filesBelow(const std::filesystem::path& root);
// The differences between two output trees: files missing on either side or differing in
// any byte; "" when they are the same.
std::string treeDifferences(const std::filesystem::path& a, const std::filesystem::path& b);

// The message of the StopError that f throws; "" when f returns.
std::string stopMessage(const std::function<void()>& f);
// Success when every part stands in text; the failure shows the missing part and the text.
testing::AssertionResult containsAll(const std::string& text, const std::vector<std::string>& parts);

// Reads a prepared case as a run does before its first interval: the control file, the
// coefficient, wave and tide files it names, the depth and the boundary file.
void readCase(Model& m);

// The batch program run to its end with the given arguments (a shell command line):
// its exit status (-1 if it did not exit) and everything it printed.
struct BatchRun {
    int status;
    std::string out;
};
// A shell command line (its error output joined to its output): exit status and output.
BatchRun runCommand(const std::string& command);
BatchRun runBatch(const std::string& args);
// The batch program started on one control file, its output going to `log`; returns the
// child's process id.
int startBatch(const std::filesystem::path& cnt, const std::filesystem::path& log);

// A shell command started in a process group of its own, its output going to `log`; returns
// the group's id. killGroupAfter sends SIGKILL to the whole group (the program and whatever it
// started, mpirun's processes too) after the delay and waits for the shell.
int startInGroup(const std::string& command, const std::filesystem::path& log);
void killGroupAfter(int group, double seconds);

// A small memory file system of `bytes` mounted on the folder `at` while it lives; ok tells
// whether it could be mounted (it needs the right to mount, as root on a test machine has).
struct SmallDisk {
    SmallDisk(const std::filesystem::path& at, uintmax_t bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    std::filesystem::path at;
    bool ok;
};

// Reads a whole file as text.
std::string readFile(const std::filesystem::path& p);
// Number of lines (LF-terminated) of a file.
long countLines(const std::filesystem::path& p);
// The lines of a file without their line ends; a last line without its end is a failure.
std::vector<std::string> linesOf(const std::filesystem::path& p);

// Wave number (1/m) of linear theory for the period T (s) in still water h (m) deep,
// omega^2 = g k tanh(k h), by Newton's method in double precision: independent of the
// model's own iteration.
double linearWaveNumber(double T, double h);

// Index of the first of n values whose bits differ (zero signs and NaNs count); -1 if none.
long firstBitDifference(const float* a, const float* b, size_t n);

// Gives m a grid of nx x ny interior cells from (1, 1), cells of dx by dy, boundary-condition
// rows up to nBndApprox and room for a boundary list round the whole ghost ring.
void setGrid(Model& m, int32_t nx, int32_t ny, float dx, float dy, int nBndApprox = 20);

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

// The text of a wave file: input code, height, period, direction, phase reference point,
// wave groups (0 none, < 0 irregular heights capped at -groups H) and group amplitude.
std::string waveText(float H, float T, float dir, int px, int py, float groups = 0, float amp = 0, int code = 17);

// The text of a control file naming <in>\coef.txt ... <in>\tide.txt and the output name `out`.
std::string controlText(const std::string& in, const std::string& out);

// A boundary file with code(i, j) per cell (i across the lines, j along; ghost ring included).
template <class F>
std::string boundaryText(const CoefSpec& c, F&& code) {
    std::ostringstream o;
    for (int i = c.ixStart - 1; i <= c.ixEnd + 1; ++i) {
        for (int j = c.jyStart - 1; j <= c.jyEnd + 1; ++j) o << (j > c.jyStart - 1 ? "," : "") << code(i, j);
        o << "\n";
    }
    return o.str();
}

// A small plane-beach case written into a CaseDir: control file <name>cnt.txt naming
// <name>/coef.txt, depth.txt, boundary.txt, wave.txt, tide.txt and output folder <name>.
// Depth falls from `depthOff` at the east edge linearly with `slope`; the east ghost column
// carries the wave input code 17, the south and north ghost rows are periodic (16).
struct SmallCase {
    CoefSpec coef{};
    float depthOff = 5, slope = 0;  // slope 0: flat bed of depthOff
    float waveH = 0.5f, waveT = 6, waveDir = 180;
    std::string tide = "0, tide\n1\n17, 0, 0, 0\n";
    std::string wave{};  // if set, replaces the generated wave file
    std::string depth{}; // if set, replaces the generated depth file
    std::string bnd{};   // if set, replaces the generated boundary file
    void write(const CaseDir& dir, const std::string& name) const;
    // Writes the case as <name> and prepares m to run it.
    void prepare(const CaseDir& dir, const std::string& name, Model& m) const;
};

// A sloping beach (1 in 25) under oblique waves (200 degrees) from 0 to tEnd: waves,
// currents, sediment and bed change in a few cells.
SmallCase beach(float tEnd);

// A recording host: keeps progress lines and warnings, counts plot calls.
struct RecordingHost : RunHost {
    long plots = 0, graphs = 0;
    std::vector<std::string> lines, warnings;
    void progressLine(const std::string& l) override { lines.push_back(l); }
    void warning(const std::string& t) override { warnings.push_back(t); }
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
