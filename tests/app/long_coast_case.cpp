// A long coast has more boundary cells than fit in sixteen bits times the flag's factor of
// 16 (2047): a strip of 1100 x 2 cells with periodic sides has 2202, and the wave input
// cells at its east end come last in the file. They must feed the waves like any other.
#include <gtest/gtest.h>

#include <cmath>

#include "run/RunCase.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

TEST(LongCoast, BoundaryCellsBeyond2047FeedTheWaves) {
    CaseDir dir("long-coast");
    SmallCase c;
    c.coef.ixEnd = 1100;
    c.coef.jyEnd = 2;
    c.coef.dx = c.coef.dy = 4;
    c.coef.tEnd = 24;
    c.wave = waveText(0.5f, 6, 180, 1100, 1);
    Model m;
    c.prepare(dir, "coast", m);
    RecordingHost host;
    runCase(m, host);
    ASSERT_EQ(m.nBndListed, 2 * 1100 + 2);  // north and south ghost rows, the east column
    EXPECT_EQ(m.bndCode(m.bndPointNo(1101, 2)), 17);
    // Normal incidence on a uniform depth of 5 m between periodic sides: the two rows carry
    // the same wave, of about the input height near the input side (within a quarter: the
    // front has travelled some 150 m in 24 s).
    double sum = 0;
    for (int32_t i = 1081; i <= 1100; ++i) {
        EXPECT_NEAR(m.wavH(i, 1), m.wavH(i, 2), 1e-4) << "cell " << i;
        sum += m.wavH(i, 1);
    }
    EXPECT_NEAR(sum / 20, 0.5, 0.125);
}
