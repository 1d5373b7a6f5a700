#include <gtest/gtest.h>

#include <cmath>

#include "flow/RoeAverages.h"

using namespace littoral;

TEST(WetDryRoe, CodesAtTheThreshold) {
    const float md = 0.01f;
    EXPECT_EQ(wetDryCode(md, md, md), 3);  // exactly minDepth is wet
    EXPECT_EQ(wetDryCode(std::nextafter(md, 0.0f), md, md), 1);
    EXPECT_EQ(wetDryCode(md, 0.0f, md), 2);
    EXPECT_EQ(wetDryCode(0.0f, 0.005f, md), 0);
}

TEST(WetDryRoe, AveragesAndSpeeds) {
    const float md = 0.01f;
    // Dry face: every average and speed is 0.
    for (int k = 0; k < 3; ++k) EXPECT_EQ(roeSpeed(k, 0.001f, 0.002f, 3.0f, -2.0f, md), 0.0f);
    EXPECT_EQ(roeVel(0.001f, 0.002f, 3.0f, -2.0f, md), 0.0f);
    // Half-dry with the right side wet: the right side's values.
    EXPECT_FLOAT_EQ(roeSpeed(0, 0.0f, 0.25f, 9.0f, 0.5f, md), 0.5f + 0.5f);
    EXPECT_FLOAT_EQ(roeSpeed(1, 0.0f, 0.25f, 9.0f, 0.5f, md), 0.5f - 0.5f);
    EXPECT_FLOAT_EQ(roeDepth(0.0f, 0.25f, md), 0.25f);
    EXPECT_FLOAT_EQ(roeCel(0.36f, 0.0f, md), 0.6f);
    // Equal wet depths: c = sqrt h, h~ = h, q~ the mean.
    EXPECT_FLOAT_EQ(roeCel(0.49f, 0.49f, md), 0.7f);
    EXPECT_FLOAT_EQ(roeDepth(0.49f, 0.49f, md), 0.49f);
    EXPECT_FLOAT_EQ(roeVel(0.49f, 0.49f, 0.2f, 0.6f, md), 0.4f);
    // Unequal depths: the square-root weighted mean and the geometric mean depth.
    EXPECT_NEAR(roeVel(0.25f, 1.0f, 1.0f, 0.0f, md), (0.5 * 1.0) / 1.5, 1e-7);
    EXPECT_NEAR(roeDepth(0.25f, 1.0f, md), 0.5, 1e-7);
    EXPECT_NEAR(roeCel(0.25f, 1.0f, md), std::sqrt(0.5), 1e-7);
    EXPECT_NEAR(roeSpeed(2, 0.25f, 1.0f, 1.0f, 0.0f, md), 1.0 / 3.0, 1e-7);
}
