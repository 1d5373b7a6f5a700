// Row loops built also for the wider vector units of newer processors and chosen at load
// time. The operations are the same IEEE operations in the same order (no contraction into
// fused multiply-adds, no reassociation), so every build gives the same numbers.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define LITTORAL_ROW_CLONES __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define LITTORAL_ROW_CLONES
#endif
