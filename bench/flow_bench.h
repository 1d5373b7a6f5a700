// Benchmark of the shallow-water solver: flow cell-steps per second on a generated beach,
// and the share of each procedure of the flow step.
#pragma once

#include <cstdint>

namespace littoral {
// n: n x n interior cells (0: 400 and 2000); steps: flow steps (0: 200, 20 above 1000 cells);
// threads: 0 for 1, 2 and every core.
int runFlowBenchmark(int32_t n, long steps, int threads);
}  // namespace littoral
