#include <gtest/gtest.h>

#include "core/Error.h"
#include "input/CaseInput.h"
#include "input/Echo.h"
#include "output/RecordWriter.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;


TEST(Echo, FilesLinesAndValues) {
    CaseDir dir("echo");
    SmallCase c;  // 10 x 8 interior cells, nBndApprox 20
    // A land cell inside and a 15 on the ghost ring.
    c.bnd = boundaryText(c.coef, [](int i, int j) {
        return i == 11 && j > 0 && j < 9 ? 17 : (i == 0 && j == 4) || (i == 5 && j == 5) ? 15 : 0;
    });
    c.tide = "0.5, tide\n1\n17, 1, 0.25, 600\n";
    Model m;
    c.prepare(dir, "e", m);
    readCase(m);
    writeConstEcho(m);
    writeWavTideEcho(m);
    writeDepBndEcho(m);
    writeSurferGrids(m);
    const auto out = dir.output / "e";
    EXPECT_EQ(dir.outputFiles("e"),
              (std::vector<std::string>{"0const.txt", "0depbnd.txt", "0wavtide.txt", "surferbnd.csv", "surferdep.csv"}));

    const auto cst = linesOf(out / "0const.txt");
    ASSERT_EQ(cst.size(), 29u);
    EXPECT_EQ(cst[1], "\"係数ファイル\",\"e\\coef.txt\"");
    EXPECT_EQ(cst[7], "");
    EXPECT_EQ(cst[9], "\"セル番号X始め\",1");
    EXPECT_EQ(cst[11], "\"セル幅X（ｍ）\",10");
    EXPECT_EQ(cst[19], "\"計算最小水深（ｍ）\",0.01");  // in metres, before the flow scaling
    EXPECT_EQ(cst[24], "\"底質粒径（ｍ）\",0.0002");

    const auto wt = linesOf(out / "0wavtide.txt");
    ASSERT_EQ(wt.size(), 14u + 4u);  // rows 17 to 20, whether given or not
    EXPECT_EQ(wt[12], "\"潮位（ｍ）\",0.5");
    EXPECT_EQ(wt[14], "17,1,0.25,600");
    EXPECT_EQ(wt[17], "20,0,0,0");

    const auto db = linesOf(out / "0depbnd.txt");
    ASSERT_EQ(db.size(), static_cast<size_t>(2 * (10 + 2) + 3));
    EXPECT_EQ(db[0], "\"" + m.dataDir + "e\\depth.txt\",1,10,1,8,10,10");
    EXPECT_EQ(db[13], "");
    // Second grid: ghost cell (0, 4) read as 15 is written 0; interior (5, 5) keeps 15;
    // ghost (11, 1) is a listed cell and shows its code 17.
    EXPECT_EQ(db[15].substr(0, 9), "0,0,0,0,0");
    EXPECT_EQ(db[15 + 5], "0,0,0,0,0,15,0,0,0,0");
    EXPECT_EQ(db[15 + 11], "0,17,17,17,17,17,17,17,17,0");

    const auto sd = linesOf(out / "surferdep.csv");
    ASSERT_EQ(sd.size(), 1u + 10u * 8u);
    EXPECT_EQ(sd[0], "\"i\",\"j\",\"dep\"");
    EXPECT_EQ(sd[1], "0,0,-5");
    EXPECT_EQ(sd[2], "0,10,-5");
    const auto sb = linesOf(out / "surferbnd.csv");
    ASSERT_EQ(sb.size(), 2u);
    EXPECT_EQ(sb[1], "40,40,\"■\"");
}

TEST(Echo, GridWithoutLandGivesHeaderOnly) {
    CaseDir dir("echo2");
    // Codes 16 only: every boundary cell is periodic, and the waves enter there.
    SmallCase c{.coef = {.nBndApprox = 16}, .tide = "0, t\n0\n", .wave = waveText(0.5f, 6, 180, 10, 1, 0, 0, 16)};
    c.bnd = boundaryText(c.coef, [](int, int j) { return j == 0 || j == 9 ? 16 : 0; });
    Model m;
    c.prepare(dir, "f", m);
    readCase(m);
    writeWavTideEcho(m);
    writeSurferGrids(m);
    EXPECT_EQ(countLines(dir.output / "f" / "surferbnd.csv"), 1);
    EXPECT_EQ(countLines(dir.output / "f" / "0wavtide.txt"), 14);  // no table rows below 17
}

TEST(RecordWriter, NumberForms) {
    EXPECT_EQ(formatFloat(0.1f), "0.1");
    EXPECT_EQ(formatFloat(-9.0f), "-9");
    EXPECT_EQ(formatFloat(1.0f / 3.0f), "0.3333333");
    EXPECT_EQ(formatFloat(1.5e-7f), "1.5e-07");
    EXPECT_EQ(formatFloat(12345678.0f), "1.234568e+07");  // 7 significant digits at most
    EXPECT_EQ(formatFloat(-0.0f), "0");
    EXPECT_EQ(formatDouble(0.1 * 3), "0.3");
    EXPECT_EQ(formatDouble(2.5 * 7), "17.5");
    // A whole line at once is the same text as field by field.
    const float v[] = {-0.0f, 1e-40f, 3.4e38f, -1.0f / 3.0f, 12345678.0f, 0.1f};
    RecordBuffer whole, fields;
    whole.numberLine(-2.5, 1e300, v, 6);
    whole.numberLine(0.0, 7.25, v + 3, 3);
    fields.f64(-2.5).f64(1e300);
    for (float x : v) fields.f32(x);
    fields.endLine();
    fields.f64(0.0).f64(7.25).f32(v[3]).f32(v[4]).f32(v[5]).endLine();
    EXPECT_EQ(whole.str(), fields.str());
}

TEST(RecordWriter, FileAppearsOnlyWhenComplete) {
    CaseDir dir("rec");
    const auto path = dir.output / "r.csv";
    {
        RecordWriter w(path.string());
        w.text("a").f32(1.5f).i32(-3).endLine();
        EXPECT_FALSE(std::filesystem::exists(path));
        // destroyed without close(): as when an exception unwinds through it
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(path.string() + ".part"));
    RecordWriter w(path.string());
    w.text("a").f32(1.5f).i32(-3).endLine();
    w.endLine();
    w.close();
    EXPECT_EQ(readFile(path), "\"a\",1.5,-3\n\n");
}
