#include <gtest/gtest.h>

#include <cmath>

#include "flow/RoeAverages.h"

using namespace littoral;

namespace {
constexpr float kMd = 0.01f;

float cel(float hL, float hR) {
    return roeCelerity(hL >= kMd, hR >= kMd, hL, hR, std::sqrt(double(hL)), std::sqrt(double(hR)));
}
float depth(float hL, float hR) { return roeDepth(hL >= kMd, hR >= kMd, hL, hR); }
float vel(float hL, float hR, float qL, float qR) {
    return roeVelocity(hL >= kMd, hR >= kMd, std::sqrt(double(hL)), std::sqrt(double(hR)), qL, qR);
}
}  // namespace

// A side is wet from exactly minDepth on: the face takes both sides' mean, the wet side's
// value or nothing.
TEST(WetDryRoe, CodesAtTheThreshold) {
    const float md = kMd;
    EXPECT_FLOAT_EQ(roeSpeed(2, md, md, 1.0f, 2.0f, md), 1.5f);  // both wet: the mean of equal depths
    EXPECT_EQ(roeSpeed(2, std::nextafter(md, 0.0f), md, 1.0f, 2.0f, md), 2.0f);  // L just dry: R's
    EXPECT_EQ(roeSpeed(2, md, 0.0f, 1.0f, 2.0f, md), 1.0f);                       // R dry: L's
    EXPECT_EQ(roeSpeed(2, 0.0f, 0.005f, 1.0f, 2.0f, md), 0.0f);                   // both dry
}

TEST(WetDryRoe, AveragesAndSpeeds) {
    const float md = kMd;
    // Dry face: every average and speed is 0.
    for (int k = 0; k < 3; ++k) EXPECT_EQ(roeSpeed(k, 0.001f, 0.002f, 3.0f, -2.0f, md), 0.0f);
    EXPECT_EQ(vel(0.001f, 0.002f, 3.0f, -2.0f), 0.0f);
    EXPECT_EQ(cel(0.001f, 0.002f), 0.0f);
    EXPECT_EQ(depth(0.001f, 0.002f), 0.0f);
    // Half-dry with the right side wet: the right side's values.
    EXPECT_FLOAT_EQ(roeSpeed(0, 0.0f, 0.25f, 9.0f, 0.5f, md), 0.5f + 0.5f);
    EXPECT_FLOAT_EQ(roeSpeed(1, 0.0f, 0.25f, 9.0f, 0.5f, md), 0.5f - 0.5f);
    EXPECT_FLOAT_EQ(depth(0.0f, 0.25f), 0.25f);
    EXPECT_FLOAT_EQ(cel(0.36f, 0.0f), 0.6f);
    // Equal wet depths: c = sqrt h, h~ = h, q~ the mean.
    EXPECT_FLOAT_EQ(cel(0.49f, 0.49f), 0.7f);
    EXPECT_FLOAT_EQ(depth(0.49f, 0.49f), 0.49f);
    EXPECT_FLOAT_EQ(vel(0.49f, 0.49f, 0.2f, 0.6f), 0.4f);
    // Unequal depths: the square-root weighted mean and the geometric mean depth.
    EXPECT_NEAR(vel(0.25f, 1.0f, 1.0f, 0.0f), (0.5 * 1.0) / 1.5, 1e-7);
    EXPECT_NEAR(depth(0.25f, 1.0f), 0.5, 1e-7);
    EXPECT_NEAR(cel(0.25f, 1.0f), std::sqrt(0.5), 1e-7);
    EXPECT_NEAR(roeSpeed(2, 0.25f, 1.0f, 1.0f, 0.0f, md), 1.0 / 3.0, 1e-7);
}
