#include "support/GeneratedCases.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace littoral::test {

std::vector<std::string> writeGeneratedCases(const CaseDir& dir) {
    // A beach with periodic sides and irregular waves; rows of odd count so that slabs differ.
    SmallCase beach;
    beach.coef.ixEnd = 23;
    beach.coef.jyEnd = 13;
    beach.coef.dx = beach.coef.dy = 4;
    beach.coef.tEnd = 24;
    beach.depthOff = 4;
    beach.slope = 0.045f;  // the west end stands dry: wet and dry cells
    beach.wave = waveText(0.8f, 6, 195, 23, 1, -2, 0.5f);  // irregular heights, capped at 2 H
    beach.write(dir, "shore");

    // Closed and open sides, land, and a current driven in through the west side.
    SmallCase basin = beach;
    basin.coef.jyEnd = 11;
    basin.slope = 0.02f;
    basin.wave = waveText(0.6f, 6, 170, 23, 1, 0, 0.5f);
    basin.tide = "0.2, tide\n3\n17, 0, 0, 0\n18, 0, 0, 0\n19, 2, 0.15, 0.05\n";
    const CoefSpec& c = basin.coef;
    basin.bnd = boundaryText(c, [&](int i, int j) {
        const bool gi = i < c.ixStart || i > c.ixEnd, gj = j < c.jyStart || j > c.jyEnd;
        if (gi && gj) return 0;
        if (i > c.ixEnd) return 17;                   // wave input
        if (j < c.jyStart) return 18;                 // open south side
        if (j > c.jyEnd) return 0;                    // closed north side
        if (i < c.ixStart) return j <= 4 ? 19 : 0;    // a current enters at the south-west
        if (i >= 10 && i <= 12 && j >= 5 && j <= 7) return 15;  // an island
        if (i == 9 && j >= 5 && j <= 7) return 1;     // its west shore: closed to the east
        if (i == 13 && j >= 5 && j <= 7) return 4;
        return 0;
    });
    basin.write(dir, "basin");

    // A strip of two rows: more threads than rows.
    SmallCase strip = beach;
    strip.coef.jyEnd = 2;
    strip.coef.tEnd = 12;
    strip.wave = waveText(0.5f, 6, 180, 23, 1, -1, 0.5f);
    strip.write(dir, "strip");
    return {"shore", "basin", "strip"};
}

void writeShortSamples(const CaseDir& dir) {
    fs::copy(fs::path(LITTORAL_SOURCE_DIR) / "data", dir.data, fs::copy_options::recursive);
    for (const char* name : {"beach", "breakwater"}) {
        std::string coef = readFile(dir.data / name / "coef.txt");
        const auto at = coef.find("480, end time");
        ASSERT_NE(at, std::string::npos);
        coef.replace(at, 3, "48");
        dir.write(std::string(name) + "/coef.txt", coef);
    }
}

void writeStoppingCase(const CaseDir& dir, const std::string& name, int32_t lastRow, int32_t firstLowRow) {
    SmallCase c;
    c.coef.ixEnd = 12;
    c.coef.jyEnd = lastRow;
    c.coef.tEnd = 30;
    c.wave = waveText(0.5f, 6, 180, 12, 1, -1, 0.5f);
    c.tide = "0, tide\n2\n17, 0, 0, 0\n19, 1, -9, 0\n";
    const CoefSpec& g = c.coef;
    c.bnd = boundaryText(g, [&](int i, int j) {
        const bool gi = i < g.ixStart || i > g.ixEnd, gj = j < g.jyStart || j > g.jyEnd;
        if (gi && gj) return 0;
        if (i > g.ixEnd) return 17;
        if (i < g.ixStart) return j >= firstLowRow ? 19 : 0;
        return gj ? 16 : 0;
    });
    c.write(dir, name);
}

std::string depthText(const std::function<std::string(int32_t i, int32_t j)>& value) {
    std::string t;
    for (int32_t i = 0; i <= 11; ++i) {
        for (int32_t j = 0; j <= 9; ++j) t += (j ? "," : "") + value(i, j);
        t += "\n";
    }
    return t;
}

std::string depthWithCell(int32_t ci, int32_t cj, float value, float depth) {
    return depthText([&](int32_t i, int32_t j) { return std::to_string(i == ci && j == cj ? value : depth); });
}

std::vector<std::string> writeBatchCases(const CaseDir& dir) {
    auto cases = writeGeneratedCases(dir);
    SmallCase bad;
    bad.write(dir, "bad");
    dir.write("bad/coef.txt", "1,a\n");
    writeStoppingCase(dir, "stops", 5, 1);
    // A second control file for the folder "shore".
    dir.write("again" "cnt.txt", readFile(dir.data / "shorecnt.txt"));
    return {"shore", "bad", "basin", "stops", "strip", "again", "basin"};
}

}  // namespace littoral::test
