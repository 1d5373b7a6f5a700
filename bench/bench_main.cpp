// littoral-bench: benchmarks of the reading, wave and flow rates (not timed tests).
// Usage: littoral-bench [read|waves|flow|all] [options of the part]
#include <cstdio>
#include <cstring>
#include <string>

#include "read_bench.h"

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "all";
    int rc = 0;
    if (what == "read" || what == "all") rc |= runReadBenchmark();
    if (what != "read" && what != "all") {
        std::fprintf(stderr, "usage: littoral-bench [read|all]\n");
        return 2;
    }
    return rc;
}
