#pragma once
#include <cstdint>
namespace littoral {
// A checkpoint's write time and size against one interval's time, on a generated plane beach
// of cells x cells.
int runCheckpointBenchmark(int32_t cells, int threads);
}  // namespace littoral
