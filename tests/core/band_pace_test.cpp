// Bands of rows between two event pumps, sized by the time they take: a pass that costs
// more per cell gets shorter bands, so that the windows wait no longer on it than on a
// cheap one; and the paced bands still cover every row once.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "core/Parallel.h"
#include "core/RunHost.h"

using namespace littoral;

TEST(BandPace, BandsTakeAboutTheBudgetWhateverTheCostPerCell) {
    const int64_t row = 1000;  // cells per row; the default cap is 1048 rows
    const int32_t most = bandRows(row);
    ASSERT_EQ(most, 1048);
    // With a remembered cost: the budget over the cost of a row, times the threads.
    double cost = 1e-6;  // thread-seconds per cell: 1 ms a row on one thread
    EXPECT_EQ(BandPace(cost, row, 1).rows(), 20);
    EXPECT_EQ(BandPace(cost, row, 2).rows(), 40);
    cost = 1e-7;  // ten times cheaper: ten times the rows
    EXPECT_EQ(BandPace(cost, row, 1).rows(), 200);
    cost = 1e-10;  // never beyond the cap
    EXPECT_EQ(BandPace(cost, row, 1).rows(), most);
    cost = 1.0;  // at least one row
    EXPECT_EQ(BandPace(cost, row, 1).rows(), 1);

    // Without: a sixteenth of the cap first; a quick band lets the next grow twofold at most.
    double fresh = 0;
    BandPace pace(fresh, row, 1);
    EXPECT_EQ(pace.rows(), most / 16);
    pace.begin();
    pace.done(pace.rows());
    EXPECT_LE(pace.rows(), 2 * (most / 16));
    EXPECT_GT(fresh, 0.0);  // remembered for the pass's next call

    // A band that took three times the budget makes the next one a third as long or less.
    pace.begin();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    pace.done(90);
    EXPECT_LE(pace.rows(), 30);
    EXPECT_GE(pace.rows(), 1);
}

namespace {
struct CountingHost : SilentHost {
    int pumps = 0;
    void pumpEvents() override { ++pumps; }
};
}  // namespace

TEST(BandPace, PacedBandsCoverEveryRowOnceWithAPumpAfterEach) {
    for (int threads : {1, 3}) {
        ThreadCountScope scope(threads);
        setCellsPerBand(64);  // bands of at most 4 rows of 16 cells
        std::vector<int> visits(101, 0);
        CountingHost host;
        forRowBands(host, 3, 100, 16, [&](int32_t jBegin, int32_t jEnd, int) {
            for (int32_t j = jBegin; j <= jEnd; ++j) ++visits[static_cast<size_t>(j)];
        });
        setCellsPerBand(0);
        for (int32_t j = 0; j <= 100; ++j) EXPECT_EQ(visits[static_cast<size_t>(j)], j >= 3 ? 1 : 0) << "row " << j;
        EXPECT_GE(host.pumps, 98 / 4);  // one after each band, bands of 4 rows at most
    }
}
