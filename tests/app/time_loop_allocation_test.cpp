// The time loops allocate nothing once the first wave period and the first flow interval
// have sized their work arrays: a heap allocation per step or per period would cost time
// on large grids and could fail half-way through a long run. The global allocation
// functions of this test program count the calls while a window is open.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

#include "core/Parallel.h"
#include "output/Gauges.h"
#include "run/RunHost.h"
#include "support/FlowSupport.h"
#include "support/TestSupport.h"
#include "support/WaveSupport.h"

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

}  // namespace

void* operator new(std::size_t n) {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return ::operator new(n); }
// Kept out of line: inlined, the compiler pairs a new-expression with free() and warns.
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { ::operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { ::operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { ::operator delete(p); }

using namespace littoral;
using namespace littoral::test;

namespace {

// Allocations made while f runs.
template <class F>
long allocationsDuring(F&& f) {
    allocations = 0;
    counting = true;
    f();
    counting = false;
    return allocations.load();
}

}  // namespace

TEST(TimeLoopAllocation, WavePeriodsAfterTheFirstAllocateNothing) {
    // Waves over a slope with breaking, a wave input side, an open side and periodic sides:
    // every pass of the step (predictor, corrector, radiating lines, statistics, sediment
    // transport, stresses) runs.
    const WaveCaseSpec s{.nx = 40, .ny = 6, .dx = 0.5f, .dy = 0.5f, .T = 2, .H = 0.2f, .dirDeg = 10};
    Model m;
    buildWaveCase(m, s, [](double x, double) { return std::max(0.05, 1.0 - x / 20); });
    SilentHost host;
    // The first period sizes the work arrays for the thread count: two threads here, so
    // that the slabs of the wave step run side by side.
    ThreadCountScope threads(2);
    runWavePeriods(m, host, 1);
    const long n = allocationsDuring([&] { runWavePeriods(m, host, 3, 1); });
    EXPECT_EQ(n, 0) << "heap allocations in three wave periods";
}

TEST(TimeLoopAllocation, GaugesAfterTheFirstPeriodAllocateNothing) {
    // The same waves with two gauges: the surface read at every step, the interval's values
    // recorded and the three files written.
    const WaveCaseSpec s{.nx = 40, .ny = 6, .dx = 0.5f, .dy = 0.5f, .T = 2, .H = 0.2f, .dirDeg = 10};
    Model m;
    buildWaveCase(m, s, [](double x, double) { return std::max(0.05, 1.0 - x / 20); });
    CaseDir dir("alloc-gauges");
    m.outDir = dir.output.string() + "/";
    m.gaugeSites = {{"a", 5.0, 1.0}, {"b", 15.0, 2.0}};
    SilentHost host;
    ThreadCountScope threads(2);
    GaugeRecorder gauges(m, 4);
    runWavePeriods(m, host, 1);
    gauges.interval(m, 0, 2.0);
    const long n = allocationsDuring([&] {
        for (int k = 1; k <= 3; ++k) {
            runWavePeriods(m, host, 1, k);
            gauges.interval(m, k, 2.0 * (k + 1));
        }
    });
    EXPECT_EQ(n, 0) << "heap allocations in three wave periods with gauges";
    EXPECT_EQ(m.gaugeRecord.time.size(), 4u);
    EXPECT_EQ(countLines(dir.output / "gauges_intervals.csv"), 1 + 4 * 2);
}

TEST(TimeLoopAllocation, FlowIntervalsAfterTheFirstAllocateNothing) {
    // A closed basin with a sloping bed, Coriolis and friction; one side a periodic pair so
    // that the ghost exchange runs too.
    const FlowGridSpec s{.nx = 20, .ny = 8, .dx = 2, .dy = 2, .latitude = 35, .fricCoef = 0.01f};
    Model m = makeFlowModel(s);
    for (int32_t j = 0; j <= s.ny + 1; ++j)
        for (int32_t i = 0; i <= s.nx + 1; ++i) {
            m.dep(i, j) = static_cast<float>(1.0 + 0.1 * i);
            m.setup(i, j) = i < s.nx / 2 ? 0.05f : 0.0f;  // a step in the level sets it moving
        }
    for (int32_t j = 1; j <= s.ny; ++j) {
        addBoundaryCell(m, 0, j, 16);
        addBoundaryCell(m, s.nx + 1, j, 16);
    }
    startFlow(m);
    SilentHost host;
    ThreadCountScope threads(2);
    runFlowIntervals(m, host, 1);
    long steps = 0;
    const long n = allocationsDuring([&] { steps = runFlowIntervals(m, host, 3); });
    ASSERT_GT(steps, 3);
    EXPECT_EQ(n, 0) << "heap allocations in " << steps << " flow steps";
}
