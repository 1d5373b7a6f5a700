// Benchmark of the wave model: generated cases, cell-steps per second, time per wave
// period, peak memory, and the rate of a plain streaming loop moving as many bytes per
// cell as one wave step (roofline ratio).
#pragma once

namespace littoral {
// Options: --small-only (the 400 x 400 case only), --periods N (wave periods per case).
int runWaveBenchmark(int argc, char** argv);
}  // namespace littoral
