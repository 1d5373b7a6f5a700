#include <gtest/gtest.h>

#include "core/Error.h"
#include "input/FreeField.h"

using namespace littoral;

TEST(FreeField, QuotesCommasAndLines) {
    auto r = FieldReader::fromText("  a, \"b, c\" ,d\r\n\"e\"\n", "t.txt");
    EXPECT_EQ(r.text("x"), "a");
    EXPECT_EQ(r.text("x"), "b, c");
    EXPECT_EQ(r.text("x"), "d");
    EXPECT_EQ(r.text("x"), "e");
    EXPECT_TRUE(r.atEnd());
}
