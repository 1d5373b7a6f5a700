#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include <sys/stat.h>

#include "waves/WaveFunctions.h"
#include "run/RunCase.h"
#include "input/CaseInput.h"
#include "input/Echo.h"
#include "support/GeneratedCases.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {

// The message of reading the case as a run does up to the boundary file; "" if it reads.
std::string readStop(Model& m) {
    return stopMessage([&] { readCase(m); });
}

// The generated case c written into dir as <name> and read.
Model readSmall(const CaseDir& dir, const SmallCase& c, const std::string& name) {
    Model m;
    c.prepare(dir, name, m);
    readCase(m);
    return m;
}

// The wave file of the generated case with another phase reference point.
std::string waveAt(int px, int py) { return waveText(0.5f, 6, 180, px, py); }

}  // namespace

TEST(CaseInput, DeepWaterAtTheBoundaryGivesTheDeepWaterLine) {
    CaseDir dir("input-deep");
    // kh of 4000 at the boundary cells (2 s in 2000 m): the line spacing comes from the
    // deep-water wavelength g T^2 / 2 pi = 6.245 m; 3 m cells (two cells a wavelength, the
    // least that carries the wave) give a line of three steps.
    const Model m = readSmall(dir, {.coef = {.dx = 3, .dy = 3}, .depthOff = 2000, .waveT = 2}, "d");
    EXPECT_EQ(m.nLine, 3);
    EXPECT_NEAR(2 * M_PI / waveNumber(1.0 / m.waveT0, 2000.0), 9.81 * 4 / (2 * M_PI), 1e-5);
}

TEST(CaseInput, ReadsTheSmallCaseAndDerivedConstants) {
    CaseDir dir("input-ok");
    Model m = readSmall(dir, {.coef = {.ixEnd = 50, .jyEnd = 30, .latitude = 35}}, "a");
    EXPECT_EQ(m.coefFile, "a\\coef.txt");  // as written; only opening the file turns the backslash into /
    EXPECT_EQ(m.outDir, dir.output.string() + "/a/");
    EXPECT_EQ(m.nBndCell, 168);
    EXPECT_NEAR(m.coriolis, -8.3627e-5, 1e-8);
    EXPECT_NEAR(m.subWeight, 3.0862e-3, 1e-6);
    EXPECT_NEAR(m.fallVel, 2.44e-2, 0.005e-2);
    EXPECT_EQ(m.dep.size(), 52u * 32u);
    EXPECT_EQ(m.bndCode(0), 0);
    EXPECT_FLOAT_EQ(m.theta(0, 0), -9.0f);
    EXPECT_FLOAT_EQ(m.hMax, 5.0f);
    // Boundary cells are numbered in file order: i outer, j inner.
    EXPECT_EQ(m.cellFlag(1, 0), 16);
    EXPECT_EQ(m.cellFlag(1, 31), 32);
    EXPECT_EQ(m.bndCode(1), 16);
    EXPECT_EQ(m.bndCellI(2), 1);
    EXPECT_EQ(m.bndCellJ(2), 31);
    EXPECT_EQ(m.cellFlag(51, 1), 16 * (2 * 50 + 1));
    EXPECT_EQ(m.bndCode(2 * 50 + 1), 17);
    EXPECT_EQ(m.nBndListed, 2 * 50 + 30);
    // Line length: the longest wavelength at boundary cells (6 s in 5 m) over the cell size.
    const double L = 2 * M_PI / waveNumber(1.0 / 6.0, 5.0);
    EXPECT_EQ(m.nLine, static_cast<int>(std::floor(L / 10.0)) + 1);
    EXPECT_EQ(m.line.sHi(), m.nBndListed);
}

TEST(CaseInput, BoundaryNumberingAndHmaxRules) {
    CaseDir dir("input-bnd");
    // 3 x 3 cells, codes 17, 15, 17 at the first three (the wave input cells, wet).
    SmallCase c{.coef = {.ixEnd = 1, .jyEnd = 1},
                .tide = "0.2, tide\n1\n17, 0, 0, 0\n",
                .depth = "1,-2,1\n-1,-0.5,-1\n-4,-4,-4\n",
                .bnd = "17,15,17\n0,0,0\n0,0,0\n"};
    Model m = readSmall(dir, c, "b");
    EXPECT_EQ(m.cellFlag(0, 0), 16);
    EXPECT_EQ(m.cellFlag(0, 1), 15);
    EXPECT_EQ(m.cellFlag(0, 2), 32);
    EXPECT_EQ(m.bndCode(1), 17);
    EXPECT_EQ(m.bndCode(2), 17);
    EXPECT_EQ(m.nBndListed, 2);
    EXPECT_EQ(m.bndPointNo(0, 2), 2);
    EXPECT_FLOAT_EQ(m.hMax, 1.2f);
    EXPECT_FLOAT_EQ(m.setup(1, 1), 0.2f);
    // The line spacing comes from the still depth of the boundary cells (the tide not added).
    EXPECT_EQ(m.nLine, static_cast<int>(std::floor(2 * M_PI / waveNumber(1.0 / 6.0, 1.0f) / 10.0)) + 1);
    // hMax is 0 when every tide + depth is negative: no cell could ever be wet, and the
    // minimum depth is not below it.
    c.depth = "-1,-2,-3\n-1,-0.5,-1\n-4,-4,-4\n";
    Model dry;
    c.prepare(dir, "d", dry);
    readControlFile(dry);
    EXPECT_EQ(stopMessage([&] { readDepthFile(dry); }),
              "d\\coef.txt: the minimum computational depth (11th value) is 0.01 m, not below the largest depth plus "
              "tide 0 m of d\\depth.txt: expected a minimum depth below 0 m (every cell would be dry and the flow "
              "switched off)");
    EXPECT_FLOAT_EQ(dry.hMax, 0.0f);
}

TEST(CaseInput, GroupsAndIrregularHeights) {
    for (auto [groups, expectN, expectIrr] : {std::tuple{-2.0f, 0.0f, 2.0f}, std::tuple{3.0f, 3.0f, 0.0f}}) {
        CaseDir dir("input-groups");
        const Model m = readSmall(dir, {.wave = waveText(1, 8, 180, 10, 1, groups, 0.3f)}, "g");
        EXPECT_FLOAT_EQ(m.nGroup, expectN);
        EXPECT_FLOAT_EQ(m.hmaxIrr, expectIrr);
    }
}

// The six names may stand on one line and end in CRLF. An empty output name (two commas, an
// empty quoted field or an empty sixth line) leaves outDir as the output folder followed by a
// second separator: the case writes straight into the output folder, and the echo shows the
// folder as formed. A second read into the same folder works.
TEST(CaseInput, ControlFileLayoutsAndEmptyOutputNames) {
    const std::string names = "c/coef.txt,c/depth.txt,c/boundary.txt,c/wave.txt,c/tide.txt";
    const std::string lines = "c/coef.txt\nc/depth.txt\nc/boundary.txt\nc/wave.txt\nc/tide.txt\n";
    for (const auto& [text, out] : {std::pair{names + ",c\r\n'endcnt\r\n", "/c/"}, {names + ",,'endcnt\n", "//"},
                                    {names + ",\"\"\n'endcnt\n", "//"}, {lines + "\n'endcnt\n", "//"}}) {
        SCOPED_TRACE(text);
        CaseDir dir("input-cnt");
        SmallCase{}.write(dir, "c");
        dir.write("ecnt.txt", text);
        Model m;
        dir.prepare(m, "ecnt.txt");
        readCase(m);
        EXPECT_EQ(m.tideFile, "c/tide.txt");
        EXPECT_EQ(m.outDir, dir.output.string() + out);
        writeConstEcho(m);
        const std::string echo = readFile(m.outDir + "0const.txt");
        EXPECT_TRUE(containsAll(echo, {"\"出力フォルダ\",\"" + m.outDir + "\"\n"}));
        readCase(m);
    }
}

// The phase reference point may be any cell of the grid, ghost ring included: a case whose
// point lies on the offshore ghost column (the wave input cells) runs (one cell further out
// is refused below).
TEST(CaseInput, PhasePointOnTheGhostRing) {
    CaseDir dir("input-phase-ghost");
    Model m;
    // 10 x 8 interior cells, the east ghost column i = 11 carries code 17.
    SmallCase{.coef = {.tEnd = 0}, .wave = waveAt(11, 4)}.prepare(dir, "p", m);
    SilentHost host;
    runCase(m, host);
    EXPECT_EQ(m.phaseX, 11);
    EXPECT_TRUE(std::filesystem::exists(dir.output / "p" / "surfer0.csv"));
}

// Every bad input stops with a message naming the file, the position and what was
// expected; the case's output folder stays empty.
TEST(CaseInput, BadInputsStopWithClearMessages) {
    auto rows = [](int n, const std::string& row) {
        std::string t;
        for (int i = 0; i < n; ++i) t += row;
        return t;
    };
    struct Bad {
        const char* name;
        std::function<void(SmallCase&)> before;  // changes to the generated case
        std::function<void(CaseDir&)> after;     // changes to the written files
        std::string expected;                    // a part of the message
    };
    auto none = [](CaseDir&) {};
    auto keep = [](SmallCase&) {};
    const std::string wave = "17,a\n1,b\n8,c\n180,d\n10,e\n1,f\n0,g\n0,h\n";
    const std::vector<Bad> cases = {
        {"terminator case", keep,
         [](CaseDir& d) {
             std::string t = controlText("x", "x");
             d.write("xcnt.txt", t.replace(t.find("'endcnt"), 7, "'ENDCNT"));
         },
         "xcnt.txt: field 7 (line 7): expected the terminator 'endcnt, found \"'ENDCNT\""},
        {"short control", keep, [](CaseDir& d) { d.write("xcnt.txt", "x/coef.txt\nx/depth.txt\n"); },
         "xcnt.txt: field 3 (line 3): expected the name of the boundary file, found the end of the file"},
        {"coef terminator", keep,
         [](CaseDir& d) {
             std::string t = readFile(d.data / "x/coef.txt");
             t.replace(t.find("'endconst"), 9, "0.5");
             d.write("x/coef.txt", t);
         },
         "x\\coef.txt: field 41 (line 21): expected the terminator 'endconst, found \"0.5\""},
        {"missing file", keep, [](CaseDir& d) { std::filesystem::remove(d.data / "x/tide.txt"); },
         "x\\tide.txt: the file cannot be opened"},
        {"row outside table", [](SmallCase& c) { c.tide = "0, t\n1\n21, 1, 0.5, 0\n"; }, none,
         "x\\tide.txt: field 4 (line 3): expected a table row number from 0 to 20"},
        {"extra depth", [&](SmallCase& c) { c.depth = rows(12, "5,5,5,5,5,5,5,5,5,5\n") + "5\n"; }, none,
         "x\\depth.txt: line 13: expected the end of the file after 120 depths"},
        {"short depth", [&](SmallCase& c) { c.depth = rows(11, "5,5,5,5,5,5,5,5,5,5\n"); }, none,
         "x\\depth.txt: field 111 (line 12): expected a depth (m), found the end of the file"},
        {"wave extra", [&](SmallCase& c) { c.wave = wave + "5\n"; }, none,
         "x\\wave.txt: line 9: expected the end of the file after the eight values"},
        {"non-numeric", [](SmallCase& c) { c.wave = "17,a\n1,b\neight,c\n180,d\n10,e\n1,f\n0,g\n0,h\n"; }, none,
         "x\\wave.txt: field 5 (line 3): expected the wave period (s), found \"eight\""},
        {"code names no row", [](SmallCase& c) { c.coef.nBndApprox = 16; c.tide = "0, t\n0\n"; }, none,
         "names no row of the boundary-condition table"},
        {"no boundary cell", [&](SmallCase& c) { c.bnd = rows(12, "0,0,0,0,0,0,0,0,0,0\n"); }, none,
         "x\\boundary.txt: no boundary cell"},
        // Codes above 15 stand only on the ghost ring, which never holds more cells than the
        // lists' capacity.
        {"boundary codes inside the grid", [&](SmallCase& c) { c.bnd = rows(12, "17,17,17,17,17,17,17,17,17,17\n"); },
         none,
         "x\\boundary.txt: field 12 (line 2): the boundary code 17 at cell (1, 1) lies inside the grid: expected codes "
         "above 15 only on the ghost ring (X 0 or 11, Y 0 or 9), and 0 to 15 inside"},
        {"empty grid", [](SmallCase& c) { c.coef.ixEnd = 0; }, none, "holds no cell"},
        {"origin outside", [](SmallCase& c) { c.coef.ixStart = 2; c.coef.ixEnd = 11; }, none,
         "put cell (0, 0) outside the grid"},
        // Cells -5 .. -3 with their ghost ring end at -2: cell (0, 0) is not on the grid.
        {"origin beyond the last cell", [](SmallCase& c) { c.coef.ixStart = -5; c.coef.ixEnd = -3; }, none,
         "x\\coef.txt: the last computed cells (-3, 8) put cell (0, 0) outside the grid: expected them to be -1 or more"},
        {"viscosity far beyond that of water", [](SmallCase& c) { c.coef.viscosity = 1e30f; }, none,
         "x\\coef.txt: the kinematic viscosity (18th value) is 1e+30 m2/s: expected 1e-07 to 1e-05 m2/s"},
        {"phase point outside", [](SmallCase& c) { c.wave = waveAt(99, 1); }, none,
         "the phase reference point (99, 1) lies outside the grid"},
        {"phase point beyond the ghost column", [](SmallCase& c) { c.wave = waveAt(12, 4); }, none,
         "the phase reference point (12, 4) lies outside the grid: expected a cell of X 0 to 11 and Y 0 to 9 (ghost "
         "ring included)"},
        {"phase point beyond the ghost row", [](SmallCase& c) { c.wave = waveAt(5, -1); }, none,
         "the phase reference point (5, -1) lies outside the grid: expected a cell of X 0 to 11 and Y 0 to 9 (ghost "
         "ring included)"},
        // A depth at a boundary cell so small that the dispersion relation has no solution
        // in double precision (a periodic cell: the wave input cells must be wet).
        {"no wavelength at a boundary cell", [](SmallCase& c) {
             c.depth = depthText([](int32_t i, int32_t j) { return i == 1 && j == 0 ? "1e-30" : "5"; });
         }, none,
         "x\\boundary.txt: boundary cell (1, 0) has no wavelength for its open-boundary line: depth 1e-30 m (in "
         "x\\depth.txt) with the wave period 6 s (in x\\wave.txt)"},
        {"code too large", [&](SmallCase& c) { c.bnd = rows(3, "0,0,0,0,0,0,0,0,0,0\n") + "70000,0,0,0,0,0,0,0,0,0\n" + rows(8, "0,0,0,0,0,0,0,0,0,0\n"); },
         none, "expected a boundary code up to 32767, found 70000 at cell (3, 0)"},
    };
    for (const Bad& b : cases) {
        SCOPED_TRACE(b.name);
        CaseDir dir("input-bad");
        SmallCase c;  // 10 x 8 interior cells: 12 x 10 values per grid file
        b.before(c);
        Model m;
        c.prepare(dir, "x", m);
        b.after(dir);
        EXPECT_TRUE(containsAll(readStop(m), {b.expected}));
        EXPECT_TRUE(dir.outputFiles("x").empty());
    }
}

// The names of the control file stay as written in the model, the echo and the messages;
// only opening a file turns '\' into the platform's separator.
TEST(CaseInput, NamesStayAsWritten) {
    CaseDir dir("input-names");
    Model m = readSmall(dir, {}, "b");  // its control file names b\coef.txt and so on
    EXPECT_EQ(m.coefFile, "b\\coef.txt");
    EXPECT_EQ(m.tideFile, "b\\tide.txt");
    EXPECT_EQ(inputPath(m, m.depFile), m.dataDir + "b/depth.txt");
    writeConstEcho(m);
    const std::string echo = readFile(dir.output / "b" / "0const.txt");
    EXPECT_TRUE(containsAll(echo, {"\"係数ファイル\",\"b\\coef.txt\"\n", "\"" + m.dataDir + "b\\coef.txt\"\n"}));
    dir.write("b/tide.txt", "0, tide\n1\n17, 0, 0\n");
    EXPECT_EQ(readStop(m), "b\\tide.txt: field 7 (line 4): expected the second value of row 1, found the end of the file");
}

// An output name that leaves the output folder is refused before any folder is made; an
// input name may point anywhere.
TEST(CaseInput, OutputNameMustStayInsideTheOutputFolder) {
    for (const char* name : {"..", "../../x", "..\\x", "a/../../x", "/tmp/x", "\\tmp\\x", "C:\\x", "a/.."}) {
        SCOPED_TRACE(name);
        CaseDir dir("input-outname");
        SmallCase{}.write(dir, "c");
        dir.write("ocnt.txt", controlText("c", name));
        Model m;
        dir.prepare(m, "ocnt.txt");
        const std::string msg = readStop(m);
        EXPECT_EQ(msg, "ocnt.txt: field 6 (line 6): the output name \"" + std::string(name) +
                           "\" leaves the output folder: expected a folder name inside " + m.outBase +
                           " (no \"..\", not an absolute path)");
        EXPECT_TRUE(std::filesystem::is_empty(dir.output));
        EXPECT_FALSE(std::filesystem::exists(dir.root / "x"));
    }
    // A sub-folder of an existing folder, "." and names with dots stay inside.
    CaseDir dir("input-outname-ok");
    SmallCase{}.write(dir, "c");
    std::filesystem::create_directories(dir.output / "runs");
    for (const char* name : {"runs\\c", ".", "c..d", "..c"}) {
        dir.write("ocnt.txt", std::string("../data/c/coef.txt\nc/depth.txt\nc/boundary.txt\nc/wave.txt\nc/tide.txt\n") +
                                  name + "\n'endcnt\n");
        Model m;
        dir.prepare(m, "ocnt.txt");
        EXPECT_EQ(readStop(m), "") << name;
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir.output / "runs" / "c"));
}

// Only regular files are read: a device (/dev/zero, endless), a named pipe (which would
// block the open until a writer came), a folder or a loop of links as an input or control
// file is refused at once, naming it; a link to a regular file is followed.
TEST(CaseInput, OnlyRegularFilesAreRead) {
    namespace fs = std::filesystem;
    CaseDir dir("input-regular");
    SmallCase{}.write(dir, "z");
    ASSERT_EQ(mkfifo((dir.data / "fifo.txt").c_str(), 0600), 0);
    fs::create_directory(dir.data / "folder.txt");
    fs::create_symlink("loop2.txt", dir.data / "loop1.txt");
    fs::create_symlink("loop1.txt", dir.data / "loop2.txt");
    fs::create_symlink("nothing.txt", dir.data / "dangling.txt");
    fs::create_symlink("z/depth.txt", dir.data / "link.txt");
    const std::string looked = " (looked for " + dir.data.string() + "/";
    const std::pair<std::string, std::string> cases[] = {
        {"/dev/zero", "/dev/zero: the file is a character device: expected a regular file of text (looked for /dev/zero)"},
        {"fifo.txt", "fifo.txt: the file is a named pipe: expected a regular file of text" + looked + "fifo.txt)"},
        {"folder.txt", "folder.txt: the file is a folder: expected a regular file of text" + looked + "folder.txt)"},
        {"loop1.txt", "loop1.txt: the file cannot be opened: a loop of symbolic links, or too many links in a row" +
                          looked + "loop1.txt)"},
        {"dangling.txt", "dangling.txt: the file cannot be opened: no such file, or a link to nothing" + looked +
                             "dangling.txt)"},
        {"link.txt", ""},
    };
    for (const auto& [depth, expected] : cases) {
        SCOPED_TRACE(depth);
        dir.write("zcnt.txt", "z/coef.txt\n" + depth + "\nz/boundary.txt\nz/wave.txt\nz/tide.txt\nz\n'endcnt\n");
        Model m;
        dir.prepare(m, "zcnt.txt");
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(readStop(m), expected);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
    // The control file itself.
    Model m;
    dir.prepare(m, "fifo.txt");
    EXPECT_EQ(readStop(m), "fifo.txt: the file is a named pipe: expected a regular file of text" + looked + "fifo.txt)");
}

// An absolute input name is taken as given, not put after the data folder.
TEST(CaseInput, AbsoluteInputNameIsTakenAsGiven) {
    CaseDir dir("input-absolute");
    SmallCase{}.write(dir, "a");
    const std::string depth = (dir.data / "a" / "depth.txt").string();
    dir.write("acnt.txt", "a/coef.txt\n" + depth + "\na/boundary.txt\na/wave.txt\na/tide.txt\na\n'endcnt\n");
    Model m;
    dir.prepare(m, "acnt.txt");
    EXPECT_EQ(readStop(m), "");
    EXPECT_EQ(inputPath(m, m.depFile), depth);
    // The echo shows it alone too.
    writeDepBndEcho(m);
    EXPECT_TRUE(containsAll(readFile(m.outDir + "0depbnd.txt"), {"\"" + depth + "\",1,10,1,8,10,10\n"}));
    std::filesystem::remove(depth);
    EXPECT_EQ(readStop(m), depth + ": the file cannot be opened: no such file, or a link to nothing (looked for " +
                               depth + ")");
}

// Names with control bytes are refused with the byte escaped.
TEST(CaseInput, ControlBytesInANameAreRefused) {
    CaseDir dir("input-ctlname");
    SmallCase{}.write(dir, "c");
    dir.write("ncnt.txt", std::string("c/coef.txt\r\rc/depth.txt\n", 24) + "c/boundary.txt\nc/wave.txt\nc/tide.txt\nc\n'endcnt\n");
    Model m;
    dir.prepare(m, "ncnt.txt");
    EXPECT_EQ(readStop(m), "ncnt.txt: field 1 (line 1): expected the name of the coefficient file, found a name "
                              "with a control byte: \"c/coef.txt\\r\\rc/depth.txt\"");
}

namespace {

// One rank of a case split over three, reading alone: its exchanges do nothing.
struct RankOfThree : SlabLink {
    explicit RankOfThree(int r) : r_(r) {}
    int rank() const override { return r_; }
    int ranks() const override { return 3; }
    int r_;
};

// g over the rows a rank keeps: its slab, and on the first and the last rank the row at the
// other end of the grid.
template <class G>
void slabOnly(const Model& m, G& g) {
    g.allocate(m.ixStart - 1, m.ixEnd + 1, m.slabRows().begin, m.slabRows().end);
    if (m.holdsSouthEdge()) g.addFarRow(m.jyEnd);
    if (m.holdsNorthEdge()) g.addFarRow(m.jyStart);
}

}  // namespace

// Each rank keeps the depths, set-up and cell flags of the rows its grids hold only (writing
// no other row), but the largest depth of the whole file and the whole boundary lists.
TEST(CaseInput, EachRankKeepsTheRowsItsGridsHoldAndTheWholeBoundaryLists) {
    CaseDir dir("input-slabs");
    const SmallCase c{.depth = depthText([](int32_t i, int32_t j) { return std::to_string(i + 0.25 * j); })};
    const Model whole = readSmall(dir, c, "s");
    for (int r = 0; r < 3; ++r) {
        RankOfThree link(r);
        Model m;
        dir.prepare(m, "scnt.txt");
        m.link = &link;
        readControlFile(m);
        slabOnly(m, m.dep);
        slabOnly(m, m.setup);
        slabOnly(m, m.cellFlag);
        readDepthFile(m);
        readBoundaryFile(m);
        int32_t rows = 0;
        for (int32_t j = m.jyStart - 1; j <= m.jyEnd + 1; ++j) {
            if (!m.dep.hasRow(j)) continue;
            ++rows;
            for (int32_t i = m.ixStart - 1; i <= m.ixEnd + 1; ++i) {
                EXPECT_EQ(m.dep.cell(i, j), whole.dep(i, j)) << r << ": " << i << ", " << j;
                EXPECT_EQ(m.setup.cell(i, j), whole.setup(i, j)) << r << ": " << i << ", " << j;
                EXPECT_EQ(m.cellFlag.cell(i, j), whole.cellFlag(i, j)) << r << ": " << i << ", " << j;
            }
        }
        EXPECT_EQ(rows, r == 2 ? 6 : 5) << r;  // rows 0..3 and 8; 2..6; 5..9 and 1
        EXPECT_EQ(m.hMax, whole.hMax);
        EXPECT_EQ(m.hMax, 13.25f);
        EXPECT_EQ(m.nLine, whole.nLine);
        ASSERT_EQ(m.nBndListed, whole.nBndListed);
        for (int32_t n = 1; n <= m.nBndListed; ++n)
            EXPECT_TRUE(m.bndCellI(n) == whole.bndCellI(n) && m.bndCellJ(n) == whole.bndCellJ(n) &&
                        m.bndCode(n) == whole.bndCode(n)) << n;
    }
}
