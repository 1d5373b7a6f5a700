// A range of rows of a grid, the unit the time loops hand to a thread.
#pragma once

#include <cstdint>

namespace littoral {

struct RowRange {
    int32_t begin, end;  // inclusive; empty when end < begin
};

// Slab t of n of the rows j0..j1: contiguous, in row order, sizes differing by one at most.
inline RowRange slabOf(int32_t j0, int32_t j1, int t, int n) {
    const int64_t rows = int64_t{j1} - j0 + 1;
    return {static_cast<int32_t>(j0 + rows * t / n), static_cast<int32_t>(j0 + rows * (t + 1) / n - 1)};
}

}  // namespace littoral
