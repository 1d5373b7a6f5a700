// Runaway and hung runs stop with a message that names the quantity, the cell, the model
// time and the input behind it, before the interval's results are written; sound cases run
// through untouched. Each case here used to run on: a 1e4 m cell gave a set-up of thousands
// of metres in surfer0.csv, a 50 m boundary level currents of 10,000 m/s, a discharge of
// 1e10 m3/s or an open ghost 1e6 m deep a step a million times too small (hours per interval
// with nothing printed).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "run/RunCase.h"
#include "core/Error.h"
#include "support/GeneratedCases.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {

struct WatchHost : RecordingHost {
    long progressCalls = 0;
    bool fractionsInRange = true;
    double lastFraction = 0;
    void intervalProgress(double f) override {
        ++progressCalls;
        fractionsInRange = fractionsInRange && f > 0 && f <= 1;
        lastFraction = f;
    }
};

struct Outcome {
    std::string error;
    int results = 0;  // result files written
    WatchHost host;
};

Outcome run(const SmallCase& c) {
    CaseDir dir("watchdog");
    Outcome o;
    Model m;
    c.prepare(dir, "x", m);
    o.error = stopMessage([&] { runCase(m, o.host); });
    for (const auto& f : dir.outputFiles("x")) o.results += f.rfind("surfer", 0) == 0 && f.find("dep") == std::string::npos &&
                                                          f.find("bnd") == std::string::npos;
    return o;
}

}  // namespace

TEST(Watchdog, SoundCaseRunsThroughWithProgressInsideIntervals) {
    const Outcome o = run(SmallCase{.coef = {.tEnd = 30}});
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.results, 6);
    EXPECT_TRUE(o.host.warnings.empty());
    EXPECT_GT(o.host.progressCalls, 6);
    EXPECT_TRUE(o.host.fractionsInRange);
    EXPECT_EQ(o.host.lastFraction, 1.0);
}

// Each case stops with the message naming the quantity, the cell and the input behind it,
// having written at most `results` result files.
TEST(Watchdog, RunawayAndHungRunsStopNamingTheirCause) {
    struct Runaway {
        const char* name;
        SmallCase c;
        std::vector<std::string> parts;
        int results;
    };
    const std::string stopped = "the run was stopped before writing the results";
    const Runaway cases[] = {
        {"one cell ten kilometres deep", {.coef = {.tEnd = 60}, .depth = depthWithCell(5, 4, 1e4f)},
         {stopped + " of the interval ending at", "most likely cause: the depth 10000 m of cell (5, 4) in x\\depth.txt"},
         1},
        {"boundary level above all water", {.coef = {.tEnd = 60}, .tide = "0, tide\n1\n17, 1, 50, 0\n"},
         {stopped + " of the interval ending at 6 s",
          "most likely cause: row 17 of x\\tide.txt (used by boundary cell (11, 1)) sets the water level 50 m"},
         0},
        {"huge discharge looks hung", {.tide = "0, tide\n1\n17, 3, 1e10, 0\n"},
         {"the run looks hung: the interval ending at 6 s has taken more than",
          "most likely cause: row 17 of x\\tide.txt (used by boundary cell (11, 1)) sets a discharge of 1e+10"},
         0},
        // A depth beyond any sea and a breaking ratio without meaning are now refused as they
        // are read, before the run could hang or run away.
        {"open ghost a thousand kilometres deep", {.depth = depthWithCell(11, 4, 1e6f)},
         {"x\\depth.txt: field 115 (line 12): the depth 1000000 m of cell (11, 4) is out of range: expected -9000 to "
          "11000 m"},
         0},
        {"breaking ratio without meaning", {.coef = {.brkRatio = 3e38f, .tEnd = 600}, .depthOff = 4, .slope = 0.03f},
         {"x\\coef.txt: the breaking wave height to depth ratio (10th value) is 3e+38: expected 0 to 2"},
         0},
    };
    for (const Runaway& r : cases) {
        SCOPED_TRACE(r.name);
        const Outcome o = run(r.c);
        EXPECT_TRUE(containsAll(o.error, r.parts));
        EXPECT_LE(o.results, r.results);
    }
}

// The beach sample with one dry cell on its wave input column: the waves put in there would
// drive the bed there and beside it away (12 m of erosion in 5 minutes) until the bounds
// stopped it. The case is now refused as its boundary file is read, naming the dry cell.
TEST(Watchdog, DryWaveInputCellStops) {
    CaseDir dir("watchdog-dry");
    std::filesystem::copy(std::filesystem::path(LITTORAL_SOURCE_DIR) / "data", dir.data,
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    std::string depth = readFile(dir.data / "beach" / "depth.txt");
    // The last line is the east ghost column (i = 81), j = 0 .. 51: make j = 24 dry.
    size_t line = depth.rfind('\n', depth.size() - 2) + 1;
    for (int k = 0; k < 24; ++k) line = depth.find(',', line) + 1;
    depth.replace(line, depth.find(',', line) - line, "-1");
    dir.write("beach/depth.txt", depth);
    std::string coef = readFile(dir.data / "beach" / "coef.txt");
    coef.replace(coef.find("480,"), 4, "600,");
    dir.write("beach/coef.txt", coef);
    Model m;
    dir.prepare(m, "beachcnt.txt");
    WatchHost host;
    EXPECT_TRUE(containsAll(stopMessage([&] { runCase(m, host); }),
                            {"beach\\boundary.txt: the wave input cell (81, 24) (code 17) is dry: depth -1 m in "
                             "beach\\depth.txt plus tide 0 m: expected a total depth above the minimum depth 0.01 m"}));
}
