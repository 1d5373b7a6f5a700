#pragma once
namespace littoral {
// Writing rate of the result field files on a generated 1000 x 1000 grid.
int runWriteBenchmark();
}  // namespace littoral
