// Row loops built also for the wider vector units of newer processors and chosen at load
// time. The operations are the same IEEE operations in the same order (no contraction into
// fused multiply-adds, no reassociation), so every build gives the same numbers.
#pragma once

#include <bit>
#include <cstdint>

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define LITTORAL_ROW_CLONES __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define LITTORAL_ROW_CLONES
#endif

namespace littoral {

// c ? a : b on the bits of the values. The row loops select with these rather than with a
// conditional so that the compiler cannot sink the arithmetic of one side into a branch
// (which would stop vectorisation); the values chosen are the same, zero signs and NaNs
// included.
[[gnu::always_inline]] inline float pick(bool c, float a, float b) {
    const uint32_t mask = 0u - static_cast<uint32_t>(c);
    return std::bit_cast<float>((std::bit_cast<uint32_t>(a) & mask) | (std::bit_cast<uint32_t>(b) & ~mask));
}
[[gnu::always_inline]] inline double pickD(bool c, double a, double b) {
    const uint64_t mask = 0u - static_cast<uint64_t>(c);
    return std::bit_cast<double>((std::bit_cast<uint64_t>(a) & mask) | (std::bit_cast<uint64_t>(b) & ~mask));
}

}  // namespace littoral
