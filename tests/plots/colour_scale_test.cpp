// The colour scale and the caption numbers of the plot pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/Numeric.h"
#include "plots/ColourScale.h"
#include "waves/WaveModel.h"

namespace littoral {
namespace {

::testing::AssertionResult isColour(const Rgb& c, int r, int g, int b) {
    if (c.r == r && c.g == g && c.b == b) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << int(c.r) << ", " << int(c.g) << ", " << int(c.b)
                                         << "), expected (" << r << ", " << g << ", " << b << ")";
}

TEST(ColourScale, NonNegativeRangeShadesFromWhiteAtLoToBlueAtHi) {
    EXPECT_TRUE(isColour(scaleColour(0, 2, 0), 255, 255, 255));
    EXPECT_TRUE(isColour(scaleColour(0, 2, 2), 0, 0, 255));
    // f = 0.75: 191.25 -> 191.
    EXPECT_TRUE(isColour(scaleColour(0, 2, 0.5f), 191, 191, 255));
    // f = 0.5: 127.5 is a half and goes to the even 128 (truncation would give 127).
    EXPECT_TRUE(isColour(scaleColour(0, 2, 1), 128, 128, 255));
    // A range away from zero: lo is white, not zero.
    EXPECT_TRUE(isColour(scaleColour(1, 3, 1), 255, 255, 255));
    EXPECT_TRUE(isColour(scaleColour(1, 3, 3), 0, 0, 255));
}

TEST(ColourScale, NonPositiveRangeShadesFromWhiteAtHiToRedAtLo) {
    // hi = 0 and lo < 0: the product is -0, which counts as one sign.
    EXPECT_TRUE(isColour(scaleColour(-2, 0, 0), 255, 255, 255));
    EXPECT_TRUE(isColour(scaleColour(-2, 0, -2), 255, 0, 0));
    EXPECT_TRUE(isColour(scaleColour(-2, 0, -1), 255, 128, 128));
    // Entirely below zero: the top of the range is white.
    EXPECT_TRUE(isColour(scaleColour(-1, -0.5f, -0.5f), 255, 255, 255));
    EXPECT_TRUE(isColour(scaleColour(-1, -0.5f, -1), 255, 0, 0));
    EXPECT_TRUE(isColour(scaleColour(-1, -0.5f, -0.75f), 255, 128, 128));
}

TEST(ColourScale, RangeAcrossZeroIsWhiteAtZeroBlueAboveRedBelow) {
    EXPECT_TRUE(isColour(scaleColour(-1, 2, 0), 255, 255, 255));  // zero takes the red branch, f = 1
    EXPECT_TRUE(isColour(scaleColour(-1, 2, 2), 0, 0, 255));
    EXPECT_TRUE(isColour(scaleColour(-1, 2, 1), 128, 128, 255));
    EXPECT_TRUE(isColour(scaleColour(-1, 2, -1), 255, 0, 0));
    EXPECT_TRUE(isColour(scaleColour(-1, 2, -0.5f), 255, 128, 128));
    // The two halves are scaled apart: -0.01 on -0.01..0.02 is fully red.
    EXPECT_TRUE(isColour(scaleColour(-0.01f, 0.02f, -0.01f), 255, 0, 0));
    EXPECT_TRUE(isColour(scaleColour(-0.01f, 0.02f, 0.01f), 128, 128, 255));
}

TEST(ColourScale, EqualAndZeroBoundsNeverDivide) {
    EXPECT_TRUE(isColour(scaleColour(0, 0, 0), 255, 255, 255));
    EXPECT_TRUE(isColour(scaleColour(3, 3, 3), 255, 255, 255));
    EXPECT_TRUE(isColour(scaleColour(-3, -3, -3), 255, 255, 255));
}

TEST(ColourScale, SignTestUsesTheSinglePrecisionProduct) {
    // -1e-30 · 1e-30 underflows to -0 in single precision: the range counts as one sign
    // with lo < 0, so hi is white and lo red (across zero, hi would be pure blue).
    EXPECT_TRUE(isColour(scaleColour(-1e-30f, 1e-30f, 1e-30f), 255, 255, 255));
    EXPECT_TRUE(isColour(scaleColour(-1e-30f, 1e-30f, -1e-30f), 255, 0, 0));
    // Slightly larger bounds do not underflow and straddle zero.
    EXPECT_TRUE(isColour(scaleColour(-1e-10f, 1e-10f, 1e-10f), 0, 0, 255));
}

TEST(ColourScale, ValuesOutsideTheRangeStayWithinTheShades) {
    EXPECT_TRUE(isColour(scaleColour(0, 2, 5), 0, 0, 255));        // f = -1.5
    EXPECT_TRUE(isColour(scaleColour(0, 2, -1), 255, 255, 255));   // f = 1.5
    EXPECT_TRUE(isColour(scaleColour(0, 2, std::numeric_limits<float>::quiet_NaN()), 0, 0, 255));
}

TEST(ColourScale, LandIsGreyWhateverTheValue) {
    EXPECT_TRUE(isColour(scaleColour(-1, 2, 2, true), 128, 128, 128));
    EXPECT_TRUE(isColour(scaleColour(0, 0, 0, true), 128, 128, 128));
    ScaleRange r{-1, 1};
    EXPECT_TRUE(isColour(r.colour(-1, true), 128, 128, 128));
}

TEST(ScaleRange, OneAndOneAskForTheAutomaticRange) {
    ScaleRange a = ScaleRange::start(1, 1);
    EXPECT_EQ(a.lo, 999.0f);
    EXPECT_EQ(a.hi, -999.0f);
    // A constant field closes the range on its value: every cell is white.
    for (int k = 0; k < 5; ++k) a.widen(0);
    EXPECT_EQ(a.lo, 0.0f);
    EXPECT_EQ(a.hi, 0.0f);
    EXPECT_TRUE(isColour(a.colour(0), 255, 255, 255));
    // Only one bound at 1 is a given range.
    ScaleRange g = ScaleRange::start(1, 2);
    EXPECT_EQ(g.lo, 1.0f);
    EXPECT_EQ(g.hi, 2.0f);
}

TEST(ScaleRange, GivenBoundsAreAMinimumExtent) {
    ScaleRange r = ScaleRange::start(-0.01f, 0.01f);
    r.widen(0.005f);
    r.widen(-0.002f);
    EXPECT_EQ(r.lo, -0.01f);
    EXPECT_EQ(r.hi, 0.01f);
    EXPECT_TRUE(isColour(r.colour(0.005f), 128, 128, 255));  // relative to 0.01, not 0.005
    r.widen(0.02f);
    EXPECT_EQ(r.hi, 0.02f);
    EXPECT_EQ(r.lo, -0.01f);
}

TEST(NumberText, BlankBeforeNonNegativeShortestSevenDigits) {
    EXPECT_EQ(captionNumber(0.01f), " 0.01");
    EXPECT_EQ(captionNumber(-0.01f), "-0.01");
    EXPECT_EQ(captionNumber(-0.5f), "-0.5");
    EXPECT_EQ(captionNumber(999.0f), " 999");
    EXPECT_EQ(captionNumber(-999.0f), "-999");
    EXPECT_EQ(captionNumber(0.0f), " 0");
    EXPECT_EQ(captionNumber(-0.0f), " 0");
    EXPECT_EQ(captionNumber(0.1f), " 0.1");  // the float's digits, not 0.100000001
    EXPECT_EQ(captionNumber(1.0f / 3.0f), " 0.3333333");
    EXPECT_EQ(captionNumber(1234567.0f), " 1234567");
    EXPECT_EQ(captionNumber(12345678.0f), " 1.234568e+07");
    EXPECT_EQ(captionNumber(3600.0), " 3600");
}

TEST(NumberText, CaptionsAndProgressLinesAgreeUpToSevenDigits) {
    for (double v : {0.0, -0.0, 0.01, -0.01, 0.5, -0.5, 999.0, -999.0, 3600.0, 360.0, 1234567.0})
        EXPECT_EQ(captionNumber(v), numberText(v)) << v;
    // Beyond seven digits the progress line keeps every digit of its time, in plain decimal.
    EXPECT_EQ(numberText(12345678.0), " 12345678");
}

}  // namespace
}  // namespace littoral
