// Whole-case check of the sediment budget: waves breaking obliquely on a sandy beach in a
// basin walled on three sides. Over every interval the bed volume of the interior changes
// only by the transport through the boundary faces of the interior, where the face rate is
// the mean of the edge cell and its ghost (the central differences telescope to it).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "run/RunCase.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {

double interiorBed(const Model& m) {
    double v = 0;
    for (int32_t i = m.ixStart; i <= m.ixEnd; ++i)
        for (int32_t j = m.jyStart; j <= m.jyEnd; ++j) v += static_cast<double>(m.dep(i, j)) * m.dx * m.dy;
    return v;
}

struct BudgetHost : RecordingHost {
    int intervals = 0;
    double worst = 0;         // largest |interior change - boundary transport| / gross change
    double grossTotal = 0;    // sum over intervals of sum |dh| dx dy, m^3
    double crossingTotal = 0; // sum over intervals of |boundary transport|, m^3
    double netApplied = 0;    // sum of the interior changes of all intervals but the last, m^3
    double lastChange = 0;
    double bed0 = 0, applyDrift = 0;  // m^3
    void graphUVEta(const Model& m, const Grid&, const Grid&, float, const Grid&, float, float, float) override {
        ++intervals;
        const double dx = m.dx, dy = m.dy, T = m.waveT0;
        const int32_t i0 = m.ixStart, i1 = m.ixEnd, j0 = m.jyStart, j1 = m.jyEnd;
        double change = 0, gross = 0;
        for (int32_t i = i0; i <= i1; ++i)
            for (int32_t j = j0; j <= j1; ++j) {
                change += m.dh(i, j) * dx * dy;
                gross += std::fabs(m.dh(i, j)) * dx * dy;
            }
        auto qx = [&](int32_t i, int32_t j) { return static_cast<double>(m.qbx(i, j)) + m.qsx(i, j); };
        auto qy = [&](int32_t i, int32_t j) { return static_cast<double>(m.qby(i, j)) + m.qsy(i, j); };
        // Outward transport through the boundary faces over the period, m^3 (the bed
        // deepens by what leaves).
        double out = 0;
        for (int32_t j = j0; j <= j1; ++j)
            out += T * dy * ((qx(i1 + 1, j) + qx(i1, j)) / 2 - (qx(i0 - 1, j) + qx(i0, j)) / 2);
        for (int32_t i = i0; i <= i1; ++i)
            out += T * dx * ((qy(i, j1 + 1) + qy(i, j1)) / 2 - (qy(i, j0 - 1) + qy(i, j0)) / 2);
        if (gross > 0) worst = std::max(worst, std::fabs(change - out) / gross);
        grossTotal += gross;
        crossingTotal += std::fabs(out);
        netApplied += lastChange;
        lastChange = change;
        // The depth now holds the changes of all earlier intervals (applied at the start of
        // each interval), and nothing else.
        const double bed = interiorBed(m);
        if (intervals == 1) bed0 = bed;
        applyDrift = std::max(applyDrift, std::fabs((bed - bed0) - netApplied));
    }
};

}  // namespace

TEST(SedimentBudgetCase, ClosedBasinBedVolumeChangesOnlyByWhatCrossesTheBoundary) {
    CaseDir dir("bed-volume");
    // Intervals starting at 0, 6, ..., 60 s; 4 m at the wave input down to 0.6 m at the west
    // wall; waves that break over the shallower half, oblique, so that a longshore current
    // drives sand against the side walls.
    SmallCase c{.coef = {.ixEnd = 30, .jyEnd = 12, .dx = 5, .dy = 5, .tEnd = 63},
                .depthOff = 4,
                .slope = 0.022f,
                .waveH = 1.2f,
                .waveT = 6,
                .waveDir = 200};
    // Ghost ring: the west column and the south and north rows closed (0), the east
    // column the wave input (17), the corners closed.
    c.bnd = boundaryText(c.coef, [](int i, int j) { return i == 31 && j >= 1 && j <= 12 ? 17 : 0; });
    Model m;
    c.prepare(dir, "b", m);
    BudgetHost host;
    runCase(m, host);
    ASSERT_EQ(host.intervals, 11);

    std::printf("bed budget: gross change %.4g m^3, boundary transport %.4g m^3, worst imbalance %.2g of the gross\n",
                host.grossTotal, host.crossingTotal, host.worst);
    // The case must move sand, or the balance says nothing.
    EXPECT_GT(host.grossTotal, 1e-3);
    // Each interval: the interior change and the boundary transport agree to the rounding of
    // the single-precision rates and changes (about 1e-7 each, summed over 360 cells).
    EXPECT_LT(host.worst, 1e-5);
    // The depth accumulates the changes, to the rounding of adding millimetre changes to
    // depths of a few metres in single precision: half an ulp of 4 m is 2.4e-7 m, 6e-6 m^3
    // on a 25 m^2 cell; 3600 such roundings of random sign stay well below 1e-3 m^3
    // (measured 8e-5).
    std::printf("bed budget: depth sum against the applied changes: %.3g m^3\n", host.applyDrift);
    EXPECT_LT(host.applyDrift, 1e-3);
}
