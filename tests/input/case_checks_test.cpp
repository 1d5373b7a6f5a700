// Input that reads well but would give a run without meaning is refused before anything is
// computed, naming the file, the value and what is expected.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/Numeric.h"
#include "input/CaseInput.h"
#include "waves/Offshore.h"
#include "support/GeneratedCases.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {

std::string readMessage(const SmallCase& c) {
    CaseDir dir("input-checks");
    Model m;
    c.prepare(dir, "x", m);
    return stopMessage([&] { readCase(m); });
}

}  // namespace

TEST(CaseChecks, CoefficientsWithoutMeaningAreRefused) {
    struct Bad {
        const char* name;
        CoefSpec coef;
        const char* expected;
    };
    const Bad cases[] = {
        {"minimum depth 0", {.minDepth = 0},
         "x\\coef.txt: the minimum computational depth (11th value) is 0 m: expected a positive depth in metres"},
        {"minimum depth negative", {.minDepth = -0.01f},
         "the minimum computational depth (11th value) is -0.01"},
        {"negative friction", {.fricCoef = -1},
         "x\\coef.txt: the bottom friction coefficient (9th value) is -1: expected 0 or more"},
        {"breaking ratio 0", {.brkRatio = 0},
         "x\\coef.txt: the breaking wave height to depth ratio (10th value) is 0: expected a positive ratio"},
        {"negative Shields number", {.shieldsCr = -0.05f},
         "x\\coef.txt: the critical Shields number (15th value) is -0.05: expected 0 or more"},
        {"start long before 0", {.tStart = -6.5f},
         "x\\coef.txt: the start time (13th value) is -6.5 s, more than one wave period (6 s in x\\wave.txt) before 0: "
         "expected a start time of -6 s or later"},
    };
    for (const Bad& b : cases) {
        SCOPED_TRACE(b.name);
        EXPECT_TRUE(containsAll(readMessage({.coef = b.coef}), {b.expected}));
    }
    // The limits themselves are sound: no friction, no threshold, a start one period early.
    EXPECT_EQ(readMessage({.coef = {.fricCoef = 0, .tStart = -6, .shieldsCr = 0}}), "");
}

// A wave input code that no boundary cell carries would run the whole case without a wave.
TEST(CaseChecks, WaveInputCodeMustMatchABoundaryCell) {
    for (int code : {0, -1, 15, 18, 32767})
        EXPECT_TRUE(containsAll(readMessage({.wave = waveText(0.5f, 6, 180, 10, 1, 0, 0, code)}),
                                {"x\\wave.txt: the wave input boundary code " + std::to_string(code) +
                                 " is the code of no boundary cell in x\\boundary.txt, which holds the boundary codes "
                                 "16, 17"}));
    // The generated case puts code 17 on the east ghost column: a 15 there leaves no 17.
    SmallCase land;
    land.bnd = boundaryText(land.coef, [](int i, int j) {
        const bool gi = i == 0 || i == 11, gj = j == 0 || j == 9;
        return gi && gj ? 0 : i == 11 ? 15 : gj ? 16 : 0;
    });
    EXPECT_TRUE(containsAll(readMessage(land), {"the wave input boundary code 17 is the code of no boundary cell in "
                                                "x\\boundary.txt, which holds the boundary codes 16:"}));
    EXPECT_EQ(readMessage(SmallCase{}), "");
}

namespace {

// The rows of the generated case's boundary file (12 x 10 values, i outer) with the code at
// (ci, cj) replaced.
std::string boundaryWith(int ci, int cj, const std::string& code) {
    const CoefSpec c{};
    return boundaryText(c, [&](int i, int j) -> std::string {
        if (i == ci && j == cj) return code;
        const bool gi = i == 0 || i == 11, gj = j == 0 || j == 9;
        return gi && gj ? "0" : i == 11 ? "17" : gj ? "16" : "0";
    });
}

struct Refused {
    const char* name;
    SmallCase c;
    std::vector<std::string> parts;  // the file, the field, the value and what was expected
};

// The warnings of reading c ("" parts are not looked for); the case must read.
std::vector<std::string> readWarnings(const SmallCase& c) {
    CaseDir dir("input-warnings");
    Model m;
    c.prepare(dir, "x", m);
    const std::string msg = stopMessage([&] { readCase(m); });
    EXPECT_EQ(msg, "");
    return m.inputWarnings;
}

}  // namespace

// Each value outside the range in which the model means something is refused, naming the
// file, the field, the value and the range; each of these used to run to a result.
TEST(CaseChecks, ValuesOutsideTheirPhysicalRangeAreRefused) {
    const Refused cases[] = {
        {"latitude 91", {.coef = {.latitude = 91}},
         {"x\\coef.txt: the latitude (8th value) is 91 degrees: expected -90 to 90 degrees"}},
        {"friction 2e9", {.coef = {.fricCoef = 2e9f}},
         {"x\\coef.txt: the bottom friction coefficient (9th value) is 2e+09: expected 0 to 1"}},
        {"breaking ratio 3e38", {.coef = {.brkRatio = 3e38f}},
         {"x\\coef.txt: the breaking wave height to depth ratio (10th value) is 3e+38: expected 0 to 2"}},
        {"minimum depth 1e-45", {.coef = {.minDepth = 1e-45f}},
         {"x\\coef.txt: the minimum computational depth (11th value) is 1.401298e-45 m: expected 1e-06 to 10000 m"}},
        {"minimum depth above every depth", {.coef = {.minDepth = 6}},
         {"x\\coef.txt: the minimum computational depth (11th value) is 6 m, not below the largest depth plus tide 5 m "
          "of x\\depth.txt: expected a minimum depth below 5 m"}},
        {"end before start", {.coef = {.tStart = 100, .tEnd = 50}},
         {"x\\coef.txt: the end time (14th value) is 50 s, before the start time (13th value) 100 s: expected an end "
          "time of 100 s or later"}},
        {"Shields number 5", {.coef = {.shieldsCr = 5}},
         {"x\\coef.txt: the critical Shields number (15th value) is 5: expected 0 to 1"}},
        {"grain of 1e10 m", {.coef = {.grainSize = 1e10f}},
         {"x\\coef.txt: the grain diameter (16th value) is 1e+10 m: expected 2e-06 to 4.096 m"}},
        {"sediment of lead", {.coef = {.sedDensity = 11340}},
         {"x\\coef.txt: the sediment density (17th value) is 11340 kg/m3: expected 1030 to 8000 kg/m3"}},
        {"viscosity 1.5", {.coef = {.viscosity = 1.5f}},
         {"x\\coef.txt: the kinematic viscosity (18th value) is 1.5 m2/s: expected 1e-07 to 1e-05 m2/s"}},
        {"negative bedload", {.coef = {.bedloadCoef = -8}},
         {"x\\coef.txt: the bedload coefficient (19th value) is -8: expected 0 or more"}},
        {"negative suspended load", {.coef = {.suspCoef = -1}},
         {"x\\coef.txt: the suspended load coefficient (20th value) is -1: expected 0 or more"}},
        {"cells of 1e20 m", {.coef = {.dx = 1e20f, .dy = 1e20f}},
         {"x\\coef.txt: the cell width 1e+20 m (the larger of dx and dy) gives the incident wave (wavelength 38.0",
          "m at the wave input cells, period 6 s in x\\wave.txt) 3.8", "e-19 cells a wavelength: expected at least 2"}},
        {"offshore height 100 m", {.waveH = 100},
         {"x\\wave.txt: the offshore wave height (2nd value) is 100 m: expected 0 to 30 m"}},
        {"direction 1e11 degrees", {.waveDir = 1e11f},
         {"x\\wave.txt: the wave direction (4th value) is 1e+11 degrees: expected -270 to 270 degrees"}},
        {"period 1000 s", {.waveT = 1000}, {"x\\wave.txt: the wave period (3rd value) is 1000 s: expected 0.1 to 300 s"}},
        {"group amplitude 2", {.wave = waveText(0.5f, 6, 180, 10, 1, 3, 2)},
         {"x\\wave.txt: the wave group amplitude (8th value) is 2: expected -1 to 1"}},
        {"tide 100 m", {.tide = "100, tide\n1\n17, 0, 0, 0\n"},
         {"x\\tide.txt: the tide level (1st value) is 100 m: expected -30 to 30 m"}},
        {"depth 2e9 m", {.depth = depthWithCell(5, 4, 2e9f)},
         {"x\\depth.txt: field 55 (line 6): the depth 2e+09 m of cell (5, 4) is out of range: expected -9000 to 11000 m"}},
    };
    for (const Refused& b : cases) {
        SCOPED_TRACE(b.name);
        EXPECT_TRUE(containsAll(readMessage(b.c), b.parts));
    }
}

// The boundary codes, the tide table and the wave input as one system: before, a code
// without a row left its cells silently open, a code inside the grid or a rounded code
// named another boundary, and a dry wave input cell drove the bed there away.
TEST(CaseChecks, CodesTideRowsAndWaveInputAgree) {
    const Refused cases[] = {
        {"code without a tide row", {.tide = "0.3, tide\n1\n18, 1, 0.3, 0\n"},
         {"x\\boundary.txt: boundary cell (11, 1) has the code 17, for which x\\tide.txt gives no row: expected a row "
          "numbered 17"}},
        {"periodic code inside the grid", {.bnd = boundaryWith(5, 4, "16")},
         {"x\\boundary.txt: field 55 (line 6): the boundary code 16 at cell (5, 4) lies inside the grid: expected codes "
          "above 15 only on the ghost ring"}},
        {"code 15.5", {.bnd = boundaryWith(3, 0, "15.5")},
         {"x\\boundary.txt: field 31 (line 4): expected a boundary code (a whole number), found 15.5 at cell (3, 0)"}},
        {"tide type 1.5", {.tide = "0, tide\n1\n17, 1.5, 0, 0\n"},
         {"x\\tide.txt: field 5 (line 3): expected the boundary type of row 1 (a whole number), found 1.5"}},
        {"row number 17.5", {.tide = "0, tide\n1\n17.5, 1, 0, 0\n"},
         {"x\\tide.txt: field 4 (line 3): expected the table row number of row 1 (a whole number), found 17.5"}},
        {"tide type 7", {.tide = "0, tide\n1\n17, 7, 0, 0\n"},
         {"x\\tide.txt: field 5 (line 3): expected the boundary type of row 1 (0 none, 1 water level, 2 velocity, "
          "3 discharge), found 7"}},
        {"dry wave input cell", {.depth = depthWithCell(11, 4, -1)},
         {"x\\boundary.txt: the wave input cell (11, 4) (code 17) is dry: depth -1 m in x\\depth.txt plus tide 0 m: "
          "expected a total depth above the minimum depth 0.01 m"}},
    };
    for (const Refused& b : cases) {
        SCOPED_TRACE(b.name);
        EXPECT_TRUE(containsAll(readMessage(b.c), b.parts));
    }
}

// Text after the terminators was ignored; a file that goes on is refused where it goes on.
TEST(CaseChecks, TextAfterTheTerminatorsIsRefused) {
    CaseDir dir("input-after-end");
    SmallCase{}.write(dir, "x");
    dir.write("xcnt.txt", controlText("x", "x") + "y\\coef.txt\n");
    Model m;
    dir.prepare(m, "xcnt.txt");
    EXPECT_EQ(stopMessage([&] { readCase(m); }),
              "xcnt.txt: line 8: expected the end of the file after the terminator 'endcnt, found more data: "
              "\"y\\coef.txt\"");
    dir.write("xcnt.txt", controlText("x", "x"));
    dir.write("x/coef.txt", coefText({}) + "0.5, a second friction\n");
    EXPECT_EQ(stopMessage([&] { readCase(m); }),
              "x\\coef.txt: line 22: expected the end of the file after the terminator 'endconst, found more data: "
              "\"0.5\"");
}

// A decimal comma splits a value into two fields; the message names it where it stands
// instead of the label the next value meets.
TEST(CaseChecks, DecimalCommaIsNamed) {
    SmallCase c;
    c.wave = "17, wave input boundary\n0,5, offshore wave height (m)\n6, period\n180, direction\n10, x\n1, y\n0, g\n0, a\n";
    EXPECT_EQ(readMessage(c),
              "x\\wave.txt: field 3 (line 2): `0,5` looks like a decimal comma: use `0.5` (expected the wave height (m))");
}

// Values at the edge of plausibility are read with a warning each; a sound case has none.
TEST(CaseChecks, ValuesAtTheEdgeAreWarned) {
    EXPECT_TRUE(readWarnings(SmallCase{}).empty());
    const struct {
        const char* name;
        SmallCase c;
        std::string warning;
    } cases[] = {
        {"silt", {.coef = {.grainSize = 1e-5f}},
         "warning: x\\coef.txt: the grain diameter (16th value) is 1e-05 m, outside the usual 6.25e-05 to 0.064 m"},
        {"warm water", {.coef = {.viscosity = 5e-7f}},
         "warning: x\\coef.txt: the kinematic viscosity (18th value) is 5e-07 m2/s, outside the usual 7e-07 to "
         "1.9e-06 m2/s"},
        {"rough bed", {.coef = {.fricCoef = 0.5f}},
         "warning: x\\coef.txt: the bottom friction coefficient (9th value) is 0.5, outside the usual 0 to 0.1"},
        {"unused tide row", {.tide = "0, tide\n2\n17, 0, 0, 0\n18, 1, 0.3, 0\n"},
         "warning: x\\tide.txt: row 18 of the boundary-condition table is used by no cell of x\\boundary.txt"},
        {"coarse cells", {.coef = {.dx = 15, .dy = 15}},
         "warning: x\\coef.txt: the cell width 15 m (the larger of dx and dy) gives the incident wave (wavelength "
         "38.0"},
        {"steep wave", {.waveH = 6, .waveT = 5},
         "warning: x\\wave.txt: the offshore wave height (2nd value) 6 m is steeper than a wave of the period 5 s can "
         "be in deep water (at most 5.57"},
    };
    for (const auto& w : cases) {
        SCOPED_TRACE(w.name);
        const std::vector<std::string> got = readWarnings(w.c);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].rfind(w.warning, 0), 0u) << got[0];
        EXPECT_NE(got[0].find("; the case runs with"), std::string::npos) << got[0];
    }
}

// The offshore height capped by breaking on its way to the phase reference point: the run
// says so with both heights (before, a 100 m wave became the breaker height without a word).
TEST(CaseChecks, HeightCappedByBreakingIsWarnedWithBothValues) {
    CaseDir dir("input-capped");
    Model m;
    SmallCase{.waveH = 4}.prepare(dir, "x", m);
    readCase(m);
    transformIncidentWave(m);
    ASSERT_EQ(m.inputWarnings.size(), 1u);
    EXPECT_TRUE(containsAll(m.inputWarnings[0],
                            {"warning: x\\wave.txt: the offshore wave height 4 m breaks before the phase reference point "
                             "(10, 1) (depth 5 m): its height there is capped by breaking at " + formatNum(m.waveH0) +
                                 " m"}));
    EXPECT_LT(m.waveH0, 4.0f);
    // A wave that reaches the point unbroken has no warning.
    Model calm;
    SmallCase{}.prepare(dir, "y", calm);
    readCase(calm);
    transformIncidentWave(calm);
    EXPECT_TRUE(calm.inputWarnings.empty());
}

// An output folder that a link leads out of the output folder is refused before anything
// is made or written there.
TEST(CaseChecks, OutputFolderLeadingOutOfTheOutputFolderIsRefused) {
    namespace fs = std::filesystem;
    CaseDir dir("input-outlink");
    SmallCase{}.write(dir, "c");
    fs::create_directory(dir.root / "elsewhere");
    fs::create_directory_symlink(dir.root / "elsewhere", dir.output / "link");
    for (const char* name : {"link", "link\\c"}) {
        SCOPED_TRACE(name);
        dir.write("ocnt.txt", controlText("c", name));
        Model m;
        dir.prepare(m, "ocnt.txt");
        const std::string msg = stopMessage([&] { readCase(m); });
        EXPECT_TRUE(containsAll(msg, {"ocnt.txt: the case's output folder " + m.outDir + " leads to " +
                                     (dir.root / "elsewhere").string(),
                                 "outside the output folder " + dir.output.string() +
                                     ": expected a folder inside it (a link on the way leads out)"}));
        EXPECT_TRUE(fs::is_empty(dir.root / "elsewhere"));
    }
    // A link that stays inside is followed.
    fs::create_directory(dir.output / "runs");
    fs::create_directory_symlink(dir.output / "runs", dir.output / "inside");
    dir.write("ocnt.txt", controlText("c", "inside\\c"));
    Model m;
    dir.prepare(m, "ocnt.txt");
    EXPECT_EQ(stopMessage([&] { readCase(m); }), "");
    EXPECT_TRUE(fs::is_directory(dir.output / "runs" / "c"));
}
