// littoral-bench: benchmarks of the reading, writing, wave and flow rates (not timed tests).
// Usage: littoral-bench [read|write|waves|flow|all] [options of the part]
#include <cstdio>
#include <cstring>
#include <string>

#include "read_bench.h"
#include "wave_bench.h"
#include "flow_bench.h"
#include "write_bench.h"

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "all";
    int rc = 0;
    if (what == "read" || what == "all") rc |= runReadBenchmark();
    if (what == "write" || what == "all") rc |= littoral::runWriteBenchmark();
    if (what == "waves" || what == "all") rc |= littoral::runWaveBenchmark(argc - 1, argv + 1);
    if (what == "flow" || what == "all") rc |= littoral::runFlowBenchmark(argc - 1, argv + 1);
    if (what != "read" && what != "write" && what != "waves" && what != "flow" && what != "all") {
        std::fprintf(stderr, "usage: littoral-bench [read|write|waves|flow|all] [options of the part]\n");
        return 2;
    }
    return rc;
}
