// The result field file: name, header, cell order, positions and the 21 fields; and the
// fast number texts, which must equal the record writer's texts character for character.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/Parallel.h"
#include "output/RecordWriter.h"
#include "core/Parallel.h"
#include "output/ResultFields.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {

std::vector<std::string> fieldsOf(const std::string& line) {
    std::vector<std::string> r;
    std::istringstream in(line);
    for (std::string f; std::getline(in, f, ',');) r.push_back(f);
    return r;
}

// Every written grid holds a value that tells column, cell and sign apart:
// column c at cell (i, j) holds the digits c, i + 1, j + 1 (exact in seven digits).
const std::vector<Grid Model::*> kGrids = {&Model::dep,  &Model::wavH,   &Model::setup, &Model::curU, &Model::curV,
                                           &Model::sxx,  &Model::sxy,    &Model::syy,   &Model::fx,   &Model::fy,
                                           &Model::tau,  &Model::maxtau, &Model::qbx,   &Model::qby,  &Model::qsx,
                                           &Model::qsy,  &Model::dh,     &Model::theta, &Model::sumDiss,
                                           &Model::etaOut, &Model::kd};

float tagValue(int column, int32_t i, int32_t j) { return static_cast<float>(100 * column + 10 * (i + 1) + (j + 1)); }

void fillModel(Model& m, int32_t ix0, int32_t ix1, int32_t jy0, int32_t jy1, float dx, float dy) {
    m.ixStart = ix0; m.ixEnd = ix1; m.jyStart = jy0; m.jyEnd = jy1;
    m.dx = dx; m.dy = dy;
    int column = 3;
    for (Grid Model::*g : kGrids) {
        m.allocGrid(m.*g);
        for (int32_t i = ix0 - 1; i <= ix1 + 1; ++i)
            for (int32_t j = jy0 - 1; j <= jy1 + 1; ++j) (m.*g)(i, j) = tagValue(column, i, j);
        ++column;
    }
}

}  // namespace

TEST(ResultFields, NameHeaderOrderAndColumns) {
    CaseDir dir("results");
    Model m;
    fillModel(m, 1, 4, 1, 3, 2.5f, 10.0f);
    m.theta(2, 3) = -9.0f;  // no direction formed in that cell
    m.outDir = dir.output.string() + "/";
    writeResultFields(m, 7, "surfer");
    const auto file = dir.output / "surfer7.csv";
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_FALSE(std::filesystem::exists(dir.output / "surfer7.csv.part"));
    EXPECT_EQ(countLines(file), 1 + 4 * 3);
    const auto lines = linesOf(file);
    EXPECT_EQ(lines[0], "\"i\",\"j\",\"_dep\",\"wavH\",\"setup\",\"lfu\",\"lfv\",\"sxx\",\"sxy\",\"syy\",\"fx\",\"fy\",\"tau\","
                        "\"maxtau\",\"qbx\",\"qby\",\"qsx\",\"qsy\",\"_dh\",\"theta\",\"vptwb\",\"eta\",\"kd\"");
    // The first line is cell (1, 1) at (0, 0), the second its Y neighbour.
    EXPECT_EQ(lines[1].substr(0, 4), "0,0,");
    EXPECT_EQ(lines[2].substr(0, 5), "0,10,");
    EXPECT_EQ(lines[4].substr(0, 6), "2.5,0,");  // i = 2 after the three j of i = 1
    int32_t i = 1, j = 1;
    for (size_t n = 1; n < lines.size(); ++n) {
        const auto f = fieldsOf(lines[n]);
        ASSERT_EQ(f.size(), 23u) << lines[n];
        EXPECT_EQ(std::stod(f[0]), (i - 1) * 2.5);
        EXPECT_EQ(std::stod(f[1]), (j - 1) * 10.0);
        for (int c = 3; c <= 23; ++c) {
            float expect = tagValue(c, i, j);
            if (c == 3 || c == 19) expect = -expect;  // bed level and bed change are negated
            if (c == 20 && i == 2 && j == 3) expect = -9.0f;
            EXPECT_EQ(std::stof(f[c - 1]), expect) << "column " << c << " of cell " << i << "," << j;
        }
        if (++j > 3) { j = 1; ++i; }
    }
    EXPECT_EQ(fieldsOf(lines[6])[19], "-9");
}

TEST(ResultFields, FirstCellOfAGridStartingAtZeroAndNumbering) {
    CaseDir dir("results0");
    Model m;
    fillModel(m, 0, 2, 1, 2, 4.0f, 3.0f);
    m.outDir = dir.output.string() + "/";
    writeResultFields(m, 12, "surfer");
    writeResultFields(m, 0, "surfer");
    writeResultFields(m, -3, "run");
    EXPECT_EQ(dir.outputFiles(""), (std::vector<std::string>{"run-3.csv", "surfer0.csv", "surfer12.csv"}));
    const auto lines = linesOf(dir.output / "surfer12.csv");
    EXPECT_EQ(lines.size(), 1u + 3 * 2);
    EXPECT_EQ(lines[1].substr(0, 5), "-4,0,");  // cell (0, 1): X position (0 - 1) dx
    EXPECT_EQ(lines[2].substr(0, 5), "-4,3,");

    // An older file of the same name is replaced.
    m.dep.fill(1.0f);
    writeResultFields(m, 12, "surfer");
    EXPECT_EQ(fieldsOf(linesOf(dir.output / "surfer12.csv")[1])[2], "-1");
}

TEST(ResultFields, MissingOutputFolderStops) {
    Model m;
    fillModel(m, 1, 2, 1, 2, 1.0f, 1.0f);
    m.outDir = (std::filesystem::temp_directory_path() / "littoral-no-such-folder-4711/").string();
    EXPECT_TRUE(containsAll(stopMessage([&] { writeResultFields(m, 1, "surfer"); }), {"surfer1.csv"}));
}

// The fast texts against the general conversion: random bit patterns (every exponent and
// sign), whole ranges around powers of ten, and values next to seven-digit ties.
TEST(ResultNumbers, FastFloatTextEqualsTheGeneralText) {
    char a[64], b[64];
    long bad = 0;
    auto check = [&](float v) {
        const size_t na = appendFloat(a, v), nb = appendFloatGeneral(b, v);
        if (std::string(a, na) != std::string(b, nb) && bad++ < 10)
            ADD_FAILURE() << std::string(a, na) << " instead of " << std::string(b, nb);
    };
    std::mt19937 r(11);
    for (int k = 0; k < 1000000; ++k) check(std::bit_cast<float>(static_cast<uint32_t>(r())));
    for (float p : {1e-5f, 1e-4f, 1.0f, 1e6f, 1e7f, 8.589934e9f, 1e10f})
        for (int side = 0; side < 2; ++side) {
            float v = p;
            for (int n = 0; n < 20000; ++n, v = std::nextafter(v, side ? 0.0f : INFINITY)) {
                check(v);
                check(-v);
            }
        }
    for (int k = -200000; k <= 200000; ++k) {
        check(k * 0.001f);
        check(k + 0.5f);            // exact ties beyond seven digits: 1234567.5
        check(k * 0.25f + 1e6f);
        check(static_cast<float>(k) * 1e-9f);
    }
    for (float v : {0.0f, -0.0f, INFINITY, -INFINITY, NAN, 1e-45f, 3.4028235e38f, 9999999.0f, 9999999.5f, 0.1f, -9.0f})
        check(v);
    EXPECT_EQ(bad, 0);
}

TEST(ResultNumbers, FastDoubleTextEqualsTheGeneralText) {
    char a[64], b[64];
    long bad = 0;
    auto check = [&](double v) {
        const size_t na = appendDouble(a, v), nb = appendDoubleGeneral(b, v);
        if (std::string(a, na) != std::string(b, nb) && bad++ < 10)
            ADD_FAILURE() << std::string(a, na) << " instead of " << std::string(b, nb);
    };
    // Cell positions of typical and awkward widths, then random multiples of 2^-10.
    for (float dx : {1.0f, 2.5f, 10.0f, 0.1f, 0.3f, 0.0009765625f, 12345.678f, 1e6f})
        for (int i = -1000; i <= 100000; ++i) check(i * static_cast<double>(dx));
    std::mt19937_64 r(5);
    for (int k = 0; k < 300000; ++k) {
        const double v = std::ldexp(static_cast<double>(r() >> (11 + r() % 40)), -static_cast<int>(r() % 12));
        check(v);
        check(-v);
    }
    for (double v : {0.0, -0.0, 1e-4, 9.9e-5, 1e15, 999999999999999.0, 8796093022207.999, 1e300, std::nan("")})
        check(v);
    EXPECT_EQ(bad, 0);
}

// A field file of many lines is written in rounds of columns: the rounds join into the same
// bytes whatever their count.
TEST(ResultFields, LargeFilesWrittenInRoundsKeepTheirBytes) {
    CaseDir dir("results");
    Model m;
    fillModel(m, 1, 180, 1, 200, 2.5f, 10.0f);  // 36000 lines: more than one round
    m.outDir = dir.output.string() + "/";
    writeResultFields(m, 1, "surfer");
    {
        ThreadCountScope three(3);
        writeResultFields(m, 2, "surfer");
    }
    EXPECT_EQ(readFile(dir.output / "surfer1.csv"), readFile(dir.output / "surfer2.csv"));
}

// An allocation that fails on one of the writer's threads reaches the case as std::bad_alloc
// (which the case turns into the memory message) instead of ending the program from inside
// the parallel block; no file is left under the name.
TEST(ResultFields, AllocationFailureOnAWriterThreadReachesTheCase) {
    CaseDir dir("fields-bad-alloc");
    Model m;
    fillModel(m, 1, 40, 1, 3, 1.0f, 1.0f);
    m.outDir = dir.output.string() + "/";
    const ThreadCountScope two(2);
    const std::string path = m.outDir + "joint.csv";
    {
        JointFile f(m, path);
        EXPECT_THROW(f.columns(1, 40,
                               [](int32_t a, int32_t, RecordBuffer&, int64_t*) {
                                   if (a > 1) throw std::bad_alloc();  // the second thread's part
                               }),
                     std::bad_alloc);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}
