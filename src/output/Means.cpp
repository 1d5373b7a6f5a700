#include "output/Means.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/Parallel.h"
#include "output/FieldTable.h"

namespace littoral {

namespace {

// kResultFields is constant-initialised, so it stands before these tables are formed.
size_t indexOf(std::string_view name) {
    for (size_t k = 0; k < kResultFieldCount; ++k)
        if (name == kResultFields[k].name) return k;
    return kResultFieldCount;
}

}  // namespace

const size_t kMeanFieldIndex[kMeanFieldCount] = {indexOf("wavH"), indexOf("setup"), indexOf("lfu"),
                                                 indexOf("lfv"),  indexOf("tau"),   indexOf("qbx"),
                                                 indexOf("qby"),  indexOf("qsx"),   indexOf("qsy")};
const size_t kMaxFieldIndex[kMaxFieldCount] = {indexOf("wavH"), indexOf("maxtau")};

size_t MeanSums::cells(const Model& m) {
    const RowRange r = m.ownRows();
    const int64_t rows = std::max<int64_t>(0, int64_t{r.end} - r.begin + 1);
    return static_cast<size_t>(rows * (int64_t{m.ixEnd} - m.ixStart + 1));
}

void MeanSums::allocate(const Model& m, double startSeconds) {
    const size_t n = cells(m);
    for (auto& s : sum) s.assign(n, 0.0);
    for (Grid& g : max) m.allocGrid(g);
    for (Grid& g : mean) m.allocGrid(g);
    restart(startSeconds);
}

void MeanSums::add(const Model& m) {
    const RowRange own = m.ownRows();
    const int32_t nx = m.ixEnd - m.ixStart + 1;
    const bool first = intervals == 0;
    forRowSlabs(own.begin, own.end, [&](int32_t a, int32_t b, int) {
        for (int32_t j = a; j <= b; ++j) {
            const size_t at = static_cast<size_t>(j - own.begin) * static_cast<size_t>(nx);
            for (size_t k = 0; k < kMeanFieldCount; ++k) {
                const float* v = (m.*kResultFields[kMeanFieldIndex[k]].grid).at(m.ixStart, j);
                double* s = sum[k].data() + at;
                for (int32_t c = 0; c < nx; ++c) s[c] += static_cast<double>(v[c]);
            }
            for (size_t k = 0; k < kMaxFieldCount; ++k) {
                const float* v = (m.*kResultFields[kMaxFieldIndex[k]].grid).at(m.ixStart, j);
                float* x = max[k].at(m.ixStart, j);
                if (first) std::memcpy(x, v, sizeof(float) * static_cast<size_t>(nx));
                else
                    for (int32_t c = 0; c < nx; ++c) x[c] = v[c] > x[c] ? v[c] : x[c];
            }
        }
    });
    ++intervals;
}

void MeanSums::form(const Model& m) {
    const RowRange own = m.ownRows();
    const int32_t nx = m.ixEnd - m.ixStart + 1;
    const double count = intervals;
    forRowSlabs(own.begin, own.end, [&](int32_t a, int32_t b, int) {
        for (int32_t j = a; j <= b; ++j) {
            const size_t at = static_cast<size_t>(j - own.begin) * static_cast<size_t>(nx);
            for (size_t k = 0; k < kMeanFieldCount; ++k) {
                const double* s = sum[k].data() + at;
                float* out = mean[k].at(m.ixStart, j);
                for (int32_t c = 0; c < nx; ++c) out[c] = static_cast<float>(s[c] / count);
            }
        }
    });
}

void MeanSums::restart(double seconds) {
    for (auto& s : sum) std::fill(s.begin(), s.end(), 0.0);
    intervals = 0;
    since = seconds;
}

}  // namespace littoral
