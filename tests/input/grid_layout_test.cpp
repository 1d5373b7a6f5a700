// The findings of the mutation sweep of the depth, boundary and control files
// (scripts/mutation-sweep.py), one test per kind: values shifted from their lines in a grid
// file, the terminator where a name should stand, blanks after a name, an output name of
// several folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "input/CaseInput.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {

// The grid of the generated case (10 x 8 cells: 12 lines of 10 values) with value `v`.
std::string gridLines(const std::vector<std::vector<std::string>>& lines) {
    std::string t;
    for (const auto& l : lines) {
        for (size_t k = 0; k < l.size(); ++k) t += (k ? "," : "") + l[k];
        t += "\n";
    }
    return t;
}

std::vector<std::vector<std::string>> depthLines() {
    std::vector<std::vector<std::string>> l(12, std::vector<std::string>(10, "5"));
    for (size_t i = 0; i < 12; ++i)
        for (size_t j = 0; j < 10; ++j) l[i][j] = std::to_string(3 + int(i) % 3) + "." + std::to_string(j);
    return l;
}

std::string readStop(Model& m) {
    return stopMessage([&] { readCase(m); });
}

}  // namespace

// A grid file is read value by value: a value missing on one line and one too many on a
// later line, or the lines and values transposed, kept the count and shifted cells without
// a word (both ran to the end before). The shift is refused at the line where it begins.
TEST(GridLayout, ValuesShiftedFromTheirLinesAreRefusedWhereTheShiftBegins) {
    CaseDir dir("grid-shift");
    auto l = depthLines();
    l[3].pop_back();          // line 4 holds 9 depths
    l[7].push_back("4.5");    // line 8 holds 11
    SmallCase c;
    c.depth = gridLines(l);
    Model m;
    c.prepare(dir, "x", m);
    EXPECT_EQ(readStop(m),
              "x\\depth.txt: line 4 holds 9 depths, the next value (cell (3, 9)) stands on line 5: expected 10 depths a "
              "line (12 lines, one per cell along X from 0 to 11, each with the cells along Y from 0 to 9), or one value "
              "a line, or all on one line");

    // One too many first: named at that line.
    l = depthLines();
    l[5].push_back("4.5");
    l[9].pop_back();
    c.depth = gridLines(l);
    c.prepare(dir, "y", m = Model{});
    EXPECT_TRUE(containsAll(readStop(m), {"y\\depth.txt: line 6 holds more than 10 depths (cell (6, 0) would be the next)"}));

    // Transposed: 10 lines of 12 values.
    std::vector<std::vector<std::string>> t(10, std::vector<std::string>(12));
    l = depthLines();
    for (size_t i = 0; i < 12; ++i)
        for (size_t j = 0; j < 10; ++j) t[j][i] = l[i][j];
    c.depth = gridLines(t);
    c.prepare(dir, "z", m = Model{});
    EXPECT_TRUE(containsAll(readStop(m), {"z\\depth.txt: line 1 holds 12 depths, the next value (cell (1, 2)) stands on "
                                          "line 2",
                                          "(the lines and values look transposed)"}));

    // The boundary codes are checked alike: the east ghost line's codes one place early.
    SmallCase b;
    b.bnd = "0,16,16,16,16,16,16,16,16,0\n";
    for (int i = 1; i <= 10; ++i) b.bnd += i == 5 ? "16,0,0,0,0,0,0,0,0\n" : "16,0,0,0,0,0,0,0,0,16\n";
    b.bnd += "0,17,17,17,17,17,17,17,17,0,16\n";
    b.prepare(dir, "w", m = Model{});
    EXPECT_TRUE(containsAll(readStop(m), {"w\\boundary.txt: line 6 holds 9 boundary codes"}));
}

// The layouts that keep every value in its place read the same grid as a line per X.
TEST(GridLayout, OneValueALineAndAllOnOneLineReadTheSameGrid) {
    CaseDir dir("grid-layouts");
    const auto l = depthLines();
    std::string one, all;
    for (const auto& line : l)
        for (const auto& v : line) {
            one += v + "\n";
            all += (all.empty() ? "" : ",") + v;
        }
    all += "\n";
    Model ref, a, b;
    SmallCase c;
    c.depth = gridLines(l);
    c.prepare(dir, "r", ref);
    readCase(ref);
    c.depth = one;
    c.prepare(dir, "a", a);
    readCase(a);
    c.depth = all;
    c.prepare(dir, "b", b);
    readCase(b);
    for (int i = 0; i <= 11; ++i)
        for (int j = 0; j <= 9; ++j) {
            EXPECT_EQ(a.dep(i, j), ref.dep(i, j)) << i << "," << j;
            EXPECT_EQ(b.dep(i, j), ref.dep(i, j)) << i << "," << j;
        }
    EXPECT_FLOAT_EQ(ref.dep(4, 7), 4.7f);

    // One value a line that turns into two a line is a shift.
    std::string mixed = one;
    mixed.replace(mixed.find("\n", 40), 1, ",");
    c.depth = mixed;
    Model m;
    c.prepare(dir, "m", m);
    EXPECT_TRUE(containsAll(readStop(m), {"m\\depth.txt: line ", " holds a second value (cell (", "one value a line"}));
}

// A control file with a line left out: the terminator stands where a name should, and the
// message says how many names the file holds (it said only "expected the terminator").
TEST(GridLayout, TerminatorInPlaceOfANameSaysANameIsMissing) {
    CaseDir dir("control-short");
    SmallCase{}.write(dir, "x");
    dir.write("xcnt.txt", "x\\coef.txt\nx\\depth.txt\nx\\boundary.txt\nx\\wave.txt\nx\\tide.txt\n'endcnt\n");
    Model m;
    dir.prepare(m, "xcnt.txt");
    EXPECT_EQ(readStop(m),
              "xcnt.txt: field 6 (line 6): expected the name of the output folder, found the terminator 'endcnt: the "
              "control file names 5 of its six files and folders (the coefficient, depth, boundary, wave and tide files "
              "and the output folder, a line each, then 'endcnt)");
}

// Blanks typed after a name belong to it: where only the name without them exists, the
// message says so (it showed the blanks invisibly at the end of "cannot be opened").
TEST(GridLayout, BlanksAfterAnInputNameAreNamed) {
    CaseDir dir("control-blanks");
    SmallCase{}.write(dir, "x");
    dir.write("xcnt.txt", "x\\coef.txt\nx\\depth.txt  \nx\\boundary.txt\nx\\wave.txt\nx\\tide.txt\nx\n'endcnt\n");
    Model m;
    dir.prepare(m, "xcnt.txt");
    EXPECT_EQ(readStop(m), "xcnt.txt: the name of the depth file \"x\\depth.txt  \" ends in 2 blank(s), and no file has "
                           "that name: expected \"x\\depth.txt\" (which exists) without them");
    // A file whose name really ends in blanks is read.
    std::filesystem::copy_file(dir.data / "x/depth.txt", dir.data / "x/depth.txt  ");
    Model k;
    dir.prepare(k, "xcnt.txt");
    EXPECT_EQ(readStop(k), "");
}

// An output name of several folders makes each of them inside the output folder (the
// case was refused: "cannot be created (No such file or directory)").
TEST(GridLayout, OutputNameOfSeveralFoldersIsMade) {
    CaseDir dir("control-subfolder");
    SmallCase{}.write(dir, "x");
    dir.write("xcnt.txt", controlText("x", "runs\\2026\\x"));
    Model m;
    dir.prepare(m, "xcnt.txt");
    EXPECT_EQ(readStop(m), "");
    EXPECT_TRUE(std::filesystem::is_directory(dir.output / "runs" / "2026" / "x"));
}
