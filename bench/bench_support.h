// Pieces shared by the wave and flow benchmarks.
#pragma once

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "run/RunHost.h"

namespace littoral {

using BenchClock = std::chrono::steady_clock;

// Processor time of this process, all threads (s).
inline double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// A plain streaming loop, out = a + s b over arrays of n floats, in passes until it has
// moved `bytesPerCell` per cell, each of `threads` threads its own part; returns cells per
// second. With `reuse` the passes cycle over the same three arrays (which then stay in the
// cache once they fit it); without, every pass has arrays of its own, so the loop moves its
// bytes through the same footprint as a time step does.
double streamingRate(size_t n, double bytesPerCell, int reps, bool reuse, int threads);

// A host that measures the time between two marks, overall and per pass: a gap counts for
// the pass named in `pass` when it ends.
struct PassClock : SilentHost {
    struct PassGap {
        std::string name;
        double longest, total;  // the total is the pass's time
    };
    BenchClock::time_point last = BenchClock::now();
    double longest = 0;
    std::string pass;
    std::vector<PassGap> passes;
    void restart() {
        longest = 0;
        passes.clear();
        last = BenchClock::now();
    }
    void mark() {
        const auto now = BenchClock::now();
        const double gap = std::chrono::duration<double>(now - last).count();
        longest = std::max(longest, gap);
        last = now;
        if (pass.empty()) return;
        auto p = std::find_if(passes.begin(), passes.end(), [&](const PassGap& g) { return g.name == pass; });
        if (p == passes.end()) {
            passes.push_back({pass, gap, gap});
        } else {
            p->longest = std::max(p->longest, gap);
            p->total += gap;
        }
    }
    // "longest time between marks per pass (of its time): name N ms (of M ms), ..." on one line.
    void printPassGaps(const char* indent) const {
        std::printf("%slongest time between marks per pass (of its time):", indent);
        for (size_t k = 0; k < passes.size(); ++k)
            std::printf("%s %s %.0f ms (of %.0f ms)", k ? "," : "", passes[k].name.c_str(), passes[k].longest * 1e3,
                        passes[k].total * 1e3);
        std::printf("\n");
    }
};

}  // namespace littoral
