// Benchmark of the wave model: generated cases, cell-steps per second, time per wave
// period, peak memory, and the rate of a plain streaming loop moving as many bytes per
// cell as one wave step (roofline ratio).
#pragma once

namespace littoral {
// smallOnly: the 400 x 400 case only; periods: wave periods per case; threads: 0 for 1, 2 and
// every core.
int runWaveBenchmark(bool smallOnly, int periods, int threads);
// The cost of 100 gauges on the 400 x 400 case: seconds per wave period without and with
// them, and the recorder's part at the interval's end (threads: 0 for one).
int runGaugeBenchmark(int periods, int threads);
}  // namespace littoral
