// A periodic seam stays one when the bed moves: the ghost rows of periodic sides take the
// bed change of their partner row at the other end of the grid, so after every interval
// the ghost depth equals the partner's depth exactly and the seam passes no spurious flow.
#include <gtest/gtest.h>

#include <cmath>

#include "run/RunCase.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {

struct SeamHost : RecordingHost {
    int intervals = 0;
    long mismatches = 0;
    double moved = 0;        // largest |dh| of the interior, m
    double seamStep = 0;     // largest |dh(partner) - dh(neighbour)| across the seam, m
    void graphUVEta(const Model& m, const Grid&, const Grid&, float, const Grid&, float, float, float) override {
        ++intervals;
        const int32_t s = m.jyStart, n = m.jyEnd;
        for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) {
            mismatches += m.dh(i, s - 1) != m.dh(i, n);
            mismatches += m.dh(i, n + 1) != m.dh(i, s);
            mismatches += m.dep(i, s - 1) != m.dep(i, n);
            mismatches += m.dep(i, n + 1) != m.dep(i, s);
            seamStep = std::max(seamStep, std::fabs(static_cast<double>(m.dh(i, n)) - m.dh(i, s)));
            for (int32_t j = s; j <= n; ++j) moved = std::max(moved, std::fabs(static_cast<double>(m.dh(i, j))));
        }
    }
};

}  // namespace

TEST(PeriodicSeam, GhostRowsKeepTheirPartnersBedAsItMoves) {
    CaseDir dir("periodic-seam");
    SmallCase c;
    c.coef.ixEnd = 16;
    c.coef.jyEnd = 8;
    c.coef.dx = c.coef.dy = 5;
    c.coef.tEnd = 60;
    c.waveH = 1.2f;
    c.waveDir = 200;
    // A beach of 1 in 20 with a shoal off rows 2 to 4: the transport varies alongshore, so
    // the first and last rows change differently.
    c.depth = boundaryText(c.coef, [&](int i, int j) {
        const double beach = 4.5 - (c.coef.ixEnd + 1 - i) * 5.0 / 20.0;
        return beach - (j >= 2 && j <= 4 && i > 6 && i < 14 ? 0.8 : 0.0);
    });
    Model m;
    c.prepare(dir, "seam", m);
    SeamHost host;
    runCase(m, host);
    EXPECT_EQ(host.intervals, 11);
    EXPECT_GT(host.moved, 1e-6) << "the bed must move for the test to mean anything";
    EXPECT_GT(host.seamStep, 1e-9) << "partner and neighbour rows must differ";
    EXPECT_EQ(host.mismatches, 0);
}
