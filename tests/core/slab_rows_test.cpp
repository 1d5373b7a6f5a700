// The rows of a case split over ranks: every row has exactly one rank that holds it (the
// one whose values are shared from it), the slabs a rank keeps current cover its own rows
// and one row beyond each end, and their cells are the rows' elements of a whole grid.
#include <gtest/gtest.h>

#include "core/Model.h"

using namespace littoral;

namespace {

// A rank of n without any exchange: what the row arithmetic sees.
class FakeRank : public SlabLink {
public:
    FakeRank(int r, int n) : r_(r), n_(n) {}
    int rank() const override { return r_; }
    int ranks() const override { return n_; }

private:
    int r_, n_;
};

}  // namespace

TEST(SlabRows, EveryRowHasOneHoldingRankForUnevenSplits) {
    for (int32_t rows : {1, 2, 3, 7, 50, 101, 2000})
        for (int n = 1; n <= std::min(rows, 9); ++n) {
            const int32_t j0 = 1, j1 = rows;
            for (int32_t j = j0 - 1; j <= j1 + 1; ++j) {
                int holders = 0;
                for (int q = 0; q < n; ++q) {
                    Model m;
                    m.ixStart = 1, m.ixEnd = 4, m.jyStart = j0, m.jyEnd = j1;
                    FakeRank link(q, n);
                    m.link = &link;
                    if (!m.holdsRow(j)) continue;
                    ++holders;
                    EXPECT_EQ(link.rankOfRow(j, j0, j1), q) << rows << " rows, " << n << " ranks, row " << j;
                }
                EXPECT_EQ(holders, 1) << rows << " rows, " << n << " ranks, row " << j;
            }
        }
}

TEST(SlabRows, KeptRowsReachOneRowBeyondTheOwnAndTheirCellsLieInTheGrid) {
    for (int n : {1, 2, 3, 5}) {
        for (int q = 0; q < n; ++q) {
            Model m;
            m.ixStart = 1, m.ixEnd = 6, m.jyStart = 1, m.jyEnd = 11;
            FakeRank link(q, n);
            m.link = &link;
            Grid g;
            m.allocGrid(g);
            const RowRange own = m.ownRows(), kept = m.slabRows(), held = m.heldRows();
            EXPECT_EQ(kept.begin, own.begin - 1);
            EXPECT_EQ(kept.end, own.end + 1);
            EXPECT_LE(kept.begin, held.begin);
            EXPECT_GE(kept.end, held.end);
            const auto [a, b] = m.slabCells();
            EXPECT_EQ(g.at(g.iLo(), kept.begin) - g.data(), static_cast<std::ptrdiff_t>(a));
            EXPECT_EQ(g.at(g.iLo(), kept.end) + g.stride() - g.data(), static_cast<std::ptrdiff_t>(b));
            EXPECT_LE(b, g.size());
        }
    }
}
