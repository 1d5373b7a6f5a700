// Benchmark of the shallow-water solver: flow cell-steps per second on a generated beach,
// and the share of each procedure of the flow step.
#pragma once

namespace littoral {
// Options: --n N (N x N interior cells, default 400), --steps S (flow steps, default 200).
int runFlowBenchmark(int argc, char** argv);
}  // namespace littoral
