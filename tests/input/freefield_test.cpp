#include <gtest/gtest.h>

#include "input/FreeField.h"
#include "support/TestSupport.h"

using namespace littoral;
using littoral::test::stopMessage;

namespace {
// The message of reading `text` (file name `name`) by the reads of `ops`, one letter a read
// with the thing expected after it: "i:the code" an int32, "s:..." an int16, "r:..." a real,
// "l:..." a label, "t:'endconst" the terminator, "e:2 depths" the end after them; "" if none.
std::string readMessage(const std::string& text, const char* name, std::initializer_list<const char*> ops) {
    return stopMessage([&] {
        auto r = FieldReader::fromText(text, name);
        for (const char* op : ops) {
            const std::string what = op + 2;
            switch (op[0]) {
                case 'i': r.int32(what); break;
                case 's': r.int16(what); break;
                case 'r': r.real(what); break;
                case 'l': r.label(what); break;
                case 't': r.expectTerminator(what); break;
                default: r.expectEnd(what);
            }
        }
    });
}
}  // namespace

TEST(FreeField, FieldSyntax) {
    // Blanks before a field are skipped, quotes keep commas, CRLF and LF both end fields,
    // a comma right before a line end leaves an empty field, an empty line is an empty
    // field, and an unquoted field keeps its trailing blanks.
    auto r = FieldReader::fromText("  a, \"b, c\" ,d \r\n\"e\"\n\n  f,\r\ng,,h", "t.txt");
    for (const char* want : {"a", "b, c", "d ", "e", "", "f", "", "g", "", "h"}) EXPECT_EQ(r.text("x"), want);
    EXPECT_TRUE(r.atEnd());
    // A label line "1," ends with an empty label; the reader counts lines through it.
    auto l = FieldReader::fromText("1,\n2,x\n", "l.txt");
    EXPECT_EQ(l.int32("v"), 1);
    EXPECT_EQ(l.text("label"), "");
    EXPECT_EQ(l.int32("v"), 2);
    EXPECT_EQ(l.lineNo(), 2);
    EXPECT_EQ(l.text("label"), "x");
    EXPECT_TRUE(l.atEnd());
    // A comma before the end of the file leaves one empty field.
    auto e = FieldReader::fromText("1,", "e.txt");
    EXPECT_EQ(e.text("x"), "1");
    EXPECT_EQ(e.text("x"), "");
    EXPECT_TRUE(e.atEnd());
}

TEST(FreeField, AtEndLooksAheadWithoutReading) {
    // atEnd between fields reads nothing that the next field needs.
    auto r = FieldReader::fromText("a\n\n  \nb\n", "t.txt");
    EXPECT_EQ(r.text("x"), "a");
    EXPECT_FALSE(r.atEnd());
    EXPECT_EQ(r.text("x"), "");
    EXPECT_EQ(r.text("x"), "");
    EXPECT_EQ(r.text("x"), "b");
    EXPECT_TRUE(r.atEnd());
}

TEST(FreeField, NumbersOfEachWidth) {
    auto r = FieldReader::fromText("\xEF\xBB\xBF 2.0, 1e1, -7 ,1e3\n+0.25,  3.\n.5\n", "n.txt");
    EXPECT_EQ(r.int16("a"), 2);   // whole numbers in any notation
    EXPECT_EQ(r.int32("b"), 10);
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

// Every stop names the file, the field and its line, what was expected and what was found.
TEST(FreeField, ClearErrors) {
    struct Bad {
        const char *text, *file;
        std::initializer_list<const char*> reads;
        const char* expected;  // the whole message; "" for no stop
    };
    const Bad cases[] = {
        {"1, a\n", "coef.txt", {"i:x", "l:l", "r:the cell width in X (m)"},
         "coef.txt: field 3 (line 2): expected the cell width in X (m), found the end of the file"},
        {"1\n2\nabc\n", "depth.txt", {"r:a", "r:a", "r:a depth (m)"},
         "depth.txt: field 3 (line 3): expected a depth (m), found \"abc\""},
        {"0.5\n", "coef.txt", {"t:'endconst"}, "coef.txt: field 1 (line 1): expected the terminator 'endconst, found \"0.5\""},
        {"40000\n", "w.txt", {"s:the code"},
         "w.txt: field 1 (line 1): expected the code (a 16-bit integer, -32768 to 32767), found 40000"},
        {"1,2\n\n3\n", "d.txt", {"r:a", "r:a", "e:2 depths"},
         "d.txt: line 3: expected the end of the file after 2 depths, found more data: \"3\""},
        // Trailing line ends and blanks are the end of the file.
        {"1\r\n\r\n  \n", "d.txt", {"r:a", "e:1 depth"}, ""},
        // A number must be the whole field; blanks after it belong to the field but are allowed.
        {"1.5m\n", "x", {"r:a"}, "x: field 1 (line 1): expected a, found \"1.5m\""},
        {"nan\n", "x", {"r:a"}, "x: field 1 (line 1): expected a, found \"nan\""},
        {"1.5  \n", "x", {"r:a"}, ""},
        // An empty field where a number is expected.
        {",\n", "x", {"r:the wave height (m)"}, "x: field 1 (line 1): expected the wave height (m), found an empty field"},
        {"1, a\n\n2, b\n", "coef.txt", {"i:x", "l:l", "i:the last computed cell in X"},
         "coef.txt: field 3 (line 2): expected the last computed cell in X, found an empty field"},
        {"1, a,\n2, b\n", "coef.txt", {"i:x", "l:l", "i:the cell width"},
         "coef.txt: field 3 (line 1): expected the cell width, found an empty field"},
        // A terminator with a trailing blank is not the terminator; leading blanks and CRLF are fine.
        {"'endcnt \n", "c.txt", {"t:'endcnt"}, "c.txt: field 1 (line 1): expected the terminator 'endcnt, found \"'endcnt \""},
        {"  'endcnt\r\n", "c.txt", {"t:'endcnt"}, ""},
        // Integers are whole: 15.5 is not rounded to 16 (it would name another boundary).
        {"15.5\n", "b.txt", {"s:the code"}, "b.txt: field 1 (line 1): expected the code (a whole number), found 15.5"},
        {"1, a\n2.5, b\n", "t.txt", {"i:x", "l:l", "i:the row number"},
         "t.txt: field 3 (line 2): expected the row number (a whole number), found 2.5"},
        // A decimal comma splits "0,5" into the value 0 and the label 5: named where it stands,
        // whether the next value meets the label's text or the file goes on after its end.
        {"0,5, offshore wave height (m)\n8, wave period (s)\n", "w.txt",
         {"r:the wave height (m)", "l:l", "r:the wave period (s)"},
         "w.txt: field 1 (line 1): `0,5` looks like a decimal comma: use `0.5` (expected the wave height (m))"},
        {"17, code\n-1,25, group amplitude\n", "w.txt", {"s:the code", "l:l", "r:the amplitude", "l:l", "e:the values"},
         "w.txt: field 3 (line 2): `-1,25` looks like a decimal comma: use `-1.25` (expected the amplitude)"},
        {"1,5, viscosity\n'endconst\n", "c.txt", {"r:the viscosity", "l:l", "t:'endconst"},
         "c.txt: field 1 (line 1): `1,5` looks like a decimal comma: use `1.5` (expected the viscosity)"},
        // A label missing: the first line where the fields stop matching their labels is
        // named, not only the line where a value meets a label's text.
        {"1, first\n2\n3, third\n", "c.txt", {"i:a", "l:l", "i:b", "l:l", "i:c"},
         "c.txt: field 5 (line 3): expected c, found \"third\" (the fields stop matching their labels at line 2, "
         "which does not hold one value and its label)"},
        {"1, first\n2\n3, third\n", "w.txt", {"i:a", "l:l", "i:b", "l:l", "e:the values"},
         "w.txt: line 3: expected the end of the file after the values, found more data: \"third\" (the fields stop "
         "matching their labels at line 2, which does not hold one value and its label)"},
        // A field too many after a value ("1, 7") is no decimal comma, nor are grid values.
        {"1, 7, first cell\n10, last cell\n", "c.txt", {"i:the first cell", "l:l", "i:the last cell"},
         "c.txt: field 3 (line 1): expected the last cell, found \"first cell\""},
        {"5,5\nabc\n", "d.txt", {"r:a", "r:a", "r:a depth (m)"},
         "d.txt: field 3 (line 2): expected a depth (m), found \"abc\""},
    };
    for (const Bad& b : cases) EXPECT_EQ(readMessage(b.text, b.file, b.reads), b.expected) << b.text;
}

// Quoted file content has its control bytes escaped and is cut to a short excerpt.
TEST(FreeField, MessagesEscapeControlBytesAndQuoteAnExcerpt) {
    EXPECT_EQ(readMessage(std::string("1\r2\0\x1b", 5) + "\n", "d.txt", {"r:a depth"}),
              "d.txt: field 1 (line 1): expected a depth, found \"1\\r2\\0\\x1B\"");
    // A byte order mark after the start is no longer skipped: it shows as an escape.
    EXPECT_EQ(readMessage("1\n\xEF\xBB\xBF" "2\n", "d.txt", {"r:a", "e:1 depth"}),
              "d.txt: line 2: expected the end of the file after 1 depth, found more data: \"\\uFEFF2\"");
    EXPECT_EQ(readMessage(std::string(500, '7') + "x\n", "d.txt", {"r:a depth"}),
              "d.txt: field 1 (line 1): expected a depth, found \"" + std::string(40, '7') + "...\"");
    // Japanese text stays readable; bytes that are not UTF-8 are escaped.
    EXPECT_EQ(printable("水深\xff"), "水深\\xFF");
    EXPECT_EQ(printable("beach\\coef.txt"), "beach\\coef.txt");
}

// A file without separators (a binary file) stops at the first field that grows beyond the
// limit, and the end of a file is looked for only as far as data begins.
TEST(FreeField, ReadsAStreamWithoutBound) {
    const test::CaseDir dir("freefield-zeros");
    dir.write("zero.txt", std::string(3 * 65536, '\0'));
    const std::string path = (dir.data / "zero.txt").string();
    const std::string msg = stopMessage([&] { FieldReader(path, "zero.txt").real("a depth (m)"); });
    EXPECT_EQ(msg, "zero.txt: field 1 (line 1): expected a depth (m), found more than 65536 bytes without a "
                   "comma or line end, starting \"\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0"
                   "\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0...\"");
    // Fields over many blocks: each field is read as it comes.
    std::string text;
    for (int k = 0; k < 200000; ++k) text += std::to_string(k % 97) + (k % 10 == 9 ? "\n" : ",");
    auto r = FieldReader::fromText(text, "big.txt");
    for (int k = 0; k < 200000; ++k) ASSERT_EQ(r.int32("v"), k % 97) << k;
    EXPECT_EQ(r.lineNo(), 20001);
    EXPECT_TRUE(r.atEnd());
    // Endless blank lines after the last field count as more data.
    auto b = FieldReader::fromText("1\n" + std::string(FieldReader::maxTrailingBytes + 10, '\n'), "b.txt");
    b.real("a");
    EXPECT_NE(stopMessage([&] { b.expectEnd("1 depth"); }).find("more than 1048576 blanks and line ends"), std::string::npos);
}

TEST(FreeField, DirectoryOrNulInTheNameIsAClearError) {
    EXPECT_EQ(stopMessage([] { FieldReader("/tmp", "tmp").real("a"); }),
              "tmp: the file is a folder: expected a regular file of text (looked for /tmp)");
    EXPECT_EQ(stopMessage([] { FieldReader(std::string("/etc/hosts\0x", 12), "h").real("a"); }),
              "h: the name holds a NUL byte: expected a file name");
}

TEST(FreeField, MissingFileNamesThePath) {
    EXPECT_EQ(stopMessage([] { FieldReader("/nonexistent/dir/coef.txt", "coef.txt"); }),
              "coef.txt: the file cannot be opened: no such file, or a link to nothing (looked for "
              "/nonexistent/dir/coef.txt)");
}
