// A case split over ranks simulated by threads of one process gives the single process's
// files byte for byte: every halo row a pass reads must have been exchanged, every value
// the ranks share agreed, every file part written at its place. A missing or misplaced
// exchange fails here in every build, MPI installed or not.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "core/Parallel.h"
#include "run/RunCase.h"
#include "support/TestSupport.h"
#include "support/ThreadRanks.h"

using namespace littoral;
using namespace littoral::test;
namespace fs = std::filesystem;

namespace {

// Runs data/<cnt> split over n simulated ranks, one thread of computation each.
void runSplit(const CaseDir& dir, const std::string& cnt, int n) {
    ThreadRanks ranks(n);
    std::vector<Model> models(static_cast<size_t>(n));
    ranks.run([&](int r, ThreadRank& link) {
        ThreadCountScope one(1);
        Model& m = models[static_cast<size_t>(r)];
        dir.prepare(m, cnt);
        m.link = &link;
        SilentHost host;
        runCase(m, host);
    });
}

// The message a run of data/<cnt> stops with ("" when it runs through).
std::string stopOf(const std::function<void()>& run) {
    try {
        run();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

struct Split {
    const char* name;
    SmallCase c;
};

}  // namespace

TEST(ThreadRanks, SplitCasesGiveTheSingleProcesssFilesByteForByte) {
    // A sloping beach with oblique waves over periodic sides (waves, currents, sediment, bed
    // change); irregular heights; closed sides and a prescribed level on the offshore side.
    SmallCase oblique;
    oblique.coef.tEnd = 18;
    oblique.coef.jyEnd = 9;
    oblique.slope = 0.04f;
    oblique.waveDir = 200;
    SmallCase irregular = oblique;
    irregular.wave = "17, input\n0.5, H\n6, T\n190, dir\n10, px\n1, py\n-1.5, groups\n0, amp\n";
    SmallCase closed = oblique;
    closed.tide = "0.1, tide\n1\n17, 1, 0.1, 0\n";
    closed.bnd = boundaryText(closed.coef, [&](int i, int j) {
        const bool gi = i < 1 || i > closed.coef.ixEnd, gj = j < 1 || j > closed.coef.jyEnd;
        return gi && gj ? 0 : i > closed.coef.ixEnd ? 17 : 0;
    });
    for (const Split& s : {Split{"oblique", oblique}, Split{"irregular", irregular}, Split{"closed", closed}}) {
        SCOPED_TRACE(s.name);
        CaseDir dir(std::string("ranks-") + s.name);
        s.c.write(dir, "c");
        {
            ThreadCountScope one(1);
            Model m;
            dir.prepare(m, "ccnt.txt");
            SilentHost host;
            runCase(m, host);
        }
        const fs::path single = dir.keepOutput("single");
        ASSERT_TRUE(fs::exists(single / "c" / "surfer3.csv"));
        for (int n : {2, 3, 4}) {
            runSplit(dir, "ccnt.txt", n);
            const fs::path split = dir.keepOutput("ranks" + std::to_string(n));
            EXPECT_EQ(treeDifferences(single, split), "") << n << " ranks";
        }
    }
}

TEST(ThreadRanks, AStopOnTheLastRanksRowsIsTheSingleProcesssStop) {
    // A boundary level below the bed on the north side only: the last rank meets it.
    SmallCase c;
    c.coef.tEnd = 12;
    c.tide = "0, tide\n2\n17, 0, 0, 0\n18, 1, -9, 0\n";
    c.bnd = boundaryText(c.coef, [&](int i, int j) {
        const bool gi = i < 1 || i > c.coef.ixEnd, gj = j < 1 || j > c.coef.jyEnd;
        return gi && gj ? 0 : i > c.coef.ixEnd ? 17 : j > c.coef.jyEnd ? 18 : gj ? 0 : 0;
    });
    c.coef.nBndApprox = 18;
    CaseDir dir("ranks-stop");
    c.write(dir, "c");
    const std::string single = stopOf([&] {
        Model m;
        dir.prepare(m, "ccnt.txt");
        SilentHost host;
        runCase(m, host);
    });
    ASSERT_NE(single, "");
    const fs::path kept = dir.keepOutput("single");
    for (int n : {2, 3}) {
        EXPECT_EQ(stopOf([&] { runSplit(dir, "ccnt.txt", n); }), single) << n << " ranks";
        EXPECT_EQ(treeDifferences(kept, dir.keepOutput("ranks" + std::to_string(n))), "") << n << " ranks";
    }
}

TEST(ThreadRanks, APassReadsTheRowsBeyondItsOwnThatItDeclaresAndNaNWhereItDeclaresNone) {
    // Three ranks over nine rows; each writes the rows it holds with their row number. Rows
    // beyond a rank's own are brought when a pass declares it reads them, once per writing;
    // in test builds a stale row read without a declaration holds NaN, so that a forgotten
    // exchange shows in every run of the split cases above.
    constexpr int n = 3;
    ThreadRanks ranks(n);
    std::vector<Model> models(n);
    std::vector<float> undeclared(n), declared(n), farRow(n, -1.0f);
    std::vector<long> repeated(n);
    ranks.run([&](int r, ThreadRank& link) {
        Model& m = models[static_cast<size_t>(r)];
        m.ixStart = 1, m.ixEnd = 4, m.jyStart = 1, m.jyEnd = 9;
        m.link = &link;
        Grid& g = m.dep;
        m.allocGrid(g);
        Model::markWritten({&g});
        for (int32_t j = m.heldRows().begin; j <= m.heldRows().end; ++j)
            for (int32_t i = m.ixStart - 1; i <= m.ixEnd + 1; ++i) g(i, j) = static_cast<float>(j);
        const int32_t beyond = r < n - 1 ? m.ownRows().end + 1 : m.ownRows().begin - 1;
        undeclared[static_cast<size_t>(r)] = g.row(beyond)[2];
        m.readsFarRows({&g});
        if (r == 0) farRow[0] = g.row(m.jyEnd)[2];
        m.readsHalos({&g});
        declared[static_cast<size_t>(r)] = g.row(beyond)[2];
        const long before = link.exchanges();
        m.readsHalos({&g});
        m.readsFarRows({&g});
        repeated[static_cast<size_t>(r)] = link.exchanges() - before;
    });
    for (int r = 0; r < n; ++r) {
        SCOPED_TRACE(r);
        const Model& m = models[static_cast<size_t>(r)];
        const int32_t beyond = r < n - 1 ? m.ownRows().end + 1 : m.ownRows().begin - 1;
#ifndef NDEBUG
        EXPECT_TRUE(std::isnan(undeclared[static_cast<size_t>(r)]));
#endif
        EXPECT_EQ(declared[static_cast<size_t>(r)], static_cast<float>(beyond));
        EXPECT_EQ(repeated[static_cast<size_t>(r)], 0);
    }
    EXPECT_EQ(farRow[0], 9.0f);  // the first rank's far row: the last interior row
}
