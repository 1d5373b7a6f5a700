#include <gtest/gtest.h>

#include "core/Error.h"
#include "input/FreeField.h"

using namespace littoral;

namespace {
std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const StopError& e) {
        return e.what();
    }
    return "";
}
}  // namespace

TEST(FreeField, FieldSyntax) {
    // Blanks before a field are skipped, quotes keep commas, CRLF and LF both end fields,
    // a comma right before a line end is one separator, blank lines hold no field.
    auto r = FieldReader::fromText("  a, \"b, c\" ,d\r\n\"e\"\n\n  f,\r\ng,,h", "t.txt");
    EXPECT_EQ(r.text("x"), "a");
    EXPECT_EQ(r.text("x"), "b, c");
    EXPECT_EQ(r.text("x"), "d");
    EXPECT_EQ(r.text("x"), "e");
    EXPECT_EQ(r.text("x"), "f");
    EXPECT_EQ(r.text("x"), "g");
    EXPECT_EQ(r.text("x"), "");  // two commas: an empty field
    EXPECT_EQ(r.text("x"), "h");
    EXPECT_TRUE(r.atEnd());
}

TEST(FreeField, NumbersOfEachWidth) {
    auto r = FieldReader::fromText("\xEF\xBB\xBF 1.5, 2.5, -7 ,1e3\n+0.25,  3.\n.5\n", "n.txt");
    EXPECT_EQ(r.int16("a"), 2);   // halves round to even
    EXPECT_EQ(r.int32("b"), 2);
    EXPECT_EQ(r.int16("c"), -7);
    EXPECT_FLOAT_EQ(r.real("d"), 1000.0f);
    EXPECT_FLOAT_EQ(r.real("e"), 0.25f);
    EXPECT_FLOAT_EQ(r.real("f"), 3.0f);
    EXPECT_FLOAT_EQ(r.real("g"), 0.5f);
    EXPECT_TRUE(r.atEnd());
}

TEST(FreeField, ValuesAndLabelsSpreadOverLines) {
    // Several fields of one read may stand on one line or on several.
    auto one = FieldReader::fromText("1, first, 2, second\n", "a");
    auto many = FieldReader::fromText("1\nfirst\n2\nsecond\n", "b");
    for (FieldReader* r : {&one, &many}) {
        EXPECT_EQ(r->int32("v"), 1);
        r->label("l");
        EXPECT_EQ(r->int32("v"), 2);
        r->label("l");
        EXPECT_TRUE(r->atEnd());
    }
}

TEST(FreeField, ClearErrors) {
    EXPECT_EQ(errorOf([] {
                  auto r = FieldReader::fromText("1, a\n", "coef.txt");
                  r.int32("x"); r.label("l"); r.real("the cell width in X (m)");
              }),
              "coef.txt: field 3 (line 2): expected the cell width in X (m), found the end of the file");
    EXPECT_EQ(errorOf([] {
                  auto r = FieldReader::fromText("1\n2\nabc\n", "depth.txt");
                  r.real("a"); r.real("a"); r.real("a depth (m)");
              }),
              "depth.txt: field 3 (line 3): expected a depth (m), found \"abc\"");
    EXPECT_EQ(errorOf([] {
                  auto r = FieldReader::fromText("0.5\n", "coef.txt");
                  r.expectTerminator("'endconst");
              }),
              "coef.txt: field 1 (line 1): expected the terminator 'endconst, found \"0.5\"");
    EXPECT_EQ(errorOf([] {
                  auto r = FieldReader::fromText("40000\n", "w.txt");
                  r.int16("the code");
              }),
              "w.txt: field 1 (line 1): expected the code (a 16-bit integer, -32768 to 32767), found 40000");
    EXPECT_EQ(errorOf([] {
                  auto r = FieldReader::fromText("1,2\n\n3\n", "d.txt");
                  r.real("a"); r.real("a");
                  r.expectEnd("2 depths");
              }),
              "d.txt: line 3: expected the end of the file after 2 depths, found more data: \"3\"");
    // Trailing line ends and blanks are the end of the file.
    EXPECT_EQ(errorOf([] {
                  auto r = FieldReader::fromText("1\r\n\r\n  \n", "d.txt");
                  r.real("a");
                  r.expectEnd("1 depth");
              }),
              "");
    // A number must be the whole field.
    EXPECT_NE(errorOf([] { FieldReader::fromText("1.5m\n", "x").real("a"); }), "");
    EXPECT_NE(errorOf([] { FieldReader::fromText("nan\n", "x").real("a"); }), "");
    EXPECT_NE(errorOf([] { FieldReader::fromText(",\n", "x").real("a"); }), "");
}

TEST(FreeField, MissingFileNamesThePath) {
    EXPECT_EQ(errorOf([] { FieldReader("/nonexistent/dir/coef.txt", "coef.txt"); }),
              "coef.txt: the file cannot be opened (looked for /nonexistent/dir/coef.txt)");
}
