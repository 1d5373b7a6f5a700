// Pieces shared by the wave and flow benchmarks.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>

#include "core/RunHost.h"

namespace littoral {

using BenchClock = std::chrono::steady_clock;

// A plain streaming loop, out = a + s b over arrays of n floats, in passes until it has
// moved `bytesPerCell` per cell, each of `threads` threads its own part; returns cells per
// second. With `reuse` the passes cycle over the same three arrays (which then stay in the
// cache once they fit it); without, every pass has arrays of its own, so the loop moves its
// bytes through the same footprint as a time step does.
double streamingRate(size_t n, double bytesPerCell, int reps, bool reuse, int threads);

// A host that measures the longest time between two event pumps (the desktop program's
// windows wait that long at most for their events).
struct PumpGapHost : SilentHost {
    BenchClock::time_point last = BenchClock::now();
    double longest = 0;
    void restart() {
        longest = 0;
        last = BenchClock::now();
    }
    void pumpEvents() override {
        const auto now = BenchClock::now();
        longest = std::max(longest, std::chrono::duration<double>(now - last).count());
        last = now;
    }
};

}  // namespace littoral
