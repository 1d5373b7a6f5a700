#include "bench_support.h"

#include <cmath>
#include <vector>

#include "core/Parallel.h"

namespace littoral {

double streamingRate(size_t n, double bytesPerCell, int reps, bool reuse, int threads) {
    const int passes = static_cast<int>(std::lround(bytesPerCell / 12.0));
    const int sets = reuse ? 1 : passes;
    std::vector<std::vector<float>> a(static_cast<size_t>(sets)), b(a.size()), c(a.size());
    for (size_t q = 0; q < a.size(); ++q) {
        a[q].assign(n, 1.0f);
        b[q].assign(n, 2.0f);
        c[q].assign(n, 0.0f);
    }
    double best = 0;
    for (int r = 0; r < reps; ++r) {
        const auto t0 = BenchClock::now();
        for (int p = 0; p < passes; ++p) {
            const size_t q = static_cast<size_t>(p % sets);
            const float s = 0.5f + 1e-7f * p;
            float* __restrict out = c[q].data();
            const float* __restrict x = a[q].data();
            const float* __restrict y = b[q].data();
            // Each thread streams its own part, as the slabs of rows of a step do.
            onThreads(threads, [&](int t, int nt) {
                const size_t lo = n * t / nt, hi = n * (t + 1) / nt;
                for (size_t k = lo; k < hi; ++k) out[k] = x[k] + s * y[k];
            });
            std::swap(a[q], c[q]);
        }
        const double sec = std::chrono::duration<double>(BenchClock::now() - t0).count();
        best = std::max(best, static_cast<double>(n) / sec);
    }
    volatile float sink = a[0][n / 2];
    (void)sink;
    return best;
}

}  // namespace littoral
