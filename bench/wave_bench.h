// Benchmark of the wave model: generated cases, cell-steps per second, time per wave
// period, peak memory, and the rate of a plain streaming loop moving as many bytes per
// cell as one wave step (roofline ratio).
#pragma once

namespace littoral {
// smallOnly: the 400 x 400 case only; periods: wave periods per case; threads: 0 for 1, 2 and
// every core.
int runWaveBenchmark(bool smallOnly, int periods, int threads);
}  // namespace littoral
