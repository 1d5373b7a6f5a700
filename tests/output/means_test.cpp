// The running means and maxima of the fields between two written intervals: a steady field
// is its own mean bit for bit, a mean is the double-precision mean rounded once, maxima
// are exact and each span starts afresh.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "output/FieldTable.h"
#include "output/Means.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {

// A model of nx x ny cells whose 21 result grids are allocated (zero).
void makeModel(Model& m, int32_t nx, int32_t ny) {
    m.ixStart = 1;
    m.ixEnd = nx;
    m.jyStart = 1;
    m.jyEnd = ny;
    m.dx = m.dy = 1;
    for (const ResultField& f : kResultFields) m.allocGrid(m.*f.grid);
}

// Values of interval k at cell (i, j) for the grid of table index f: irrational-looking
// floats of either sign, so that no sum is exact by luck.
float valueAt(size_t f, int k, int32_t i, int32_t j) {
    return static_cast<float>(std::sin(0.37 * static_cast<double>(f) + 1.3 * k + 0.71 * i + 0.19 * j) * (1.0 + f));
}

void setInterval(Model& m, int k) {
    for (size_t f = 0; f < kResultFieldCount; ++f)
        for (int32_t j = m.jyStart; j <= m.jyEnd; ++j)
            for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) (m.*kResultFields[f].grid)(i, j) = valueAt(f, k, i, j);
}

}  // namespace

TEST(MeanSums, ASteadyFieldIsItsOwnMeanAndMaximumBitForBit) {
    Model m;
    makeModel(m, 7, 5);
    setInterval(m, 3);
    MeanSums s;
    s.allocate(m, 12.0);
    EXPECT_EQ(s.since, 12.0);
    for (int n = 0; n < 45; ++n) s.add(m);
    EXPECT_EQ(s.intervals, 45);
    s.form(m);
    for (int32_t j = 1; j <= 5; ++j)
        for (int32_t i = 1; i <= 7; ++i) {
            for (size_t k = 0; k < kMeanFieldCount; ++k)
                ASSERT_EQ(s.mean[k](i, j), (m.*kResultFields[kMeanFieldIndex[k]].grid)(i, j)) << k;
            for (size_t k = 0; k < kMaxFieldCount; ++k)
                ASSERT_EQ(s.max[k](i, j), (m.*kResultFields[kMaxFieldIndex[k]].grid)(i, j)) << k;
        }
}

TEST(MeanSums, MeansAreDoubleSumsRoundedOnceMaximaExactAndEachSpanStartsAfresh) {
    Model m;
    makeModel(m, 6, 9);
    MeanSums s;
    s.allocate(m, 0.0);
    for (int k = 0; k < 5; ++k) {
        setInterval(m, k);
        s.add(m);
    }
    s.form(m);
    for (int32_t j = 1; j <= 9; ++j)
        for (int32_t i = 1; i <= 6; ++i) {
            for (size_t k = 0; k < kMeanFieldCount; ++k) {
                double sum = 0;
                for (int n = 0; n < 5; ++n) sum += valueAt(kMeanFieldIndex[k], n, i, j);
                ASSERT_EQ(s.mean[k](i, j), static_cast<float>(sum / 5)) << k << " at " << i << ", " << j;
            }
            for (size_t k = 0; k < kMaxFieldCount; ++k) {
                float mx = valueAt(kMaxFieldIndex[k], 0, i, j);
                for (int n = 1; n < 5; ++n) mx = std::max(mx, valueAt(kMaxFieldIndex[k], n, i, j));
                ASSERT_EQ(s.max[k](i, j), mx);
            }
        }
    // After a written interval only the intervals that follow count, the maxima too (the
    // negative values of the next span must not meet the previous span's maxima).
    s.restart(30.0);
    EXPECT_EQ(s.intervals, 0);
    EXPECT_EQ(s.since, 30.0);
    setInterval(m, 9);
    for (size_t f = 0; f < kResultFieldCount; ++f)
        for (int32_t j = 1; j <= 9; ++j)
            for (int32_t i = 1; i <= 6; ++i) (m.*kResultFields[f].grid)(i, j) = -100.0f - static_cast<float>(i);
    s.add(m);
    s.form(m);
    for (size_t k = 0; k < kMaxFieldCount; ++k) EXPECT_EQ(s.max[k](3, 4), -103.0f);
    for (size_t k = 0; k < kMeanFieldCount; ++k) EXPECT_EQ(s.mean[k](3, 4), -103.0f);
}
