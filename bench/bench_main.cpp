// littoral-bench: benchmarks of the reading, writing, wave and flow rates (not timed tests).
// Usage: littoral-bench [read|write|waves|flow|gauges|checkpoint|all] [options]; --help lists the options.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>

#include "littoral/littoral.h"
#include "read_bench.h"
#include "wave_bench.h"
#include "flow_bench.h"
#include "write_bench.h"
#include "checkpoint_bench.h"

#ifndef LITTORAL_COMMIT
#define LITTORAL_COMMIT "unknown commit"
#endif

int main(int argc, char** argv) {
    CLI::App app("Benchmarks of the reading, writing, wave and flow rates on generated cases.", "littoral-bench");
    app.set_version_flag("--version", std::string("littoral-bench ") + littoral::version() + " (" + LITTORAL_COMMIT + ")",
                         "print the version and the build's commit, then end");
    std::string what = "all";
    app.add_option("PART", what, "what to measure: read, write, waves, flow, gauges, checkpoint or all")
        ->check(CLI::IsMember({"read", "write", "waves", "flow", "gauges", "checkpoint", "all"}))
        ->capture_default_str();
    int threads = 0, periods = 2;
    int32_t cells = 0;
    long steps = 0;
    bool smallOnly = false;
    app.add_option("--threads", threads, "threads of the wave and flow parts (default 0: 1, 2 and one per core)")
        ->check(CLI::Range(0, 4096))
        ->capture_default_str();
    app.add_option("--periods", periods, "waves: wave periods per case")->check(CLI::Range(1, 100000))->capture_default_str();
    app.add_flag("--small-only", smallOnly, "waves: the 400 x 400 cells case only (default: also 2000 x 2000)");
    app.add_option("--cells", cells, "flow: cells along each side of the one case (default 0: 400 and 2000); checkpoint: of its case (default 2000)")
        ->check(CLI::Range(0, 100000))
        ->capture_default_str();
    app.add_option("--steps", steps, "flow: flow steps per case (default 0: 200, or 20 above 1000 cells)")
        ->check(CLI::Range(0L, 100000000L))
        ->capture_default_str();
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);  // --help, --version
    } catch (const CLI::ParseError& e) {
        app.exit(e);  // the message naming the option and what it expects
        return 2;
    }

    int rc = 0;
    if (what == "read" || what == "all") rc |= runReadBenchmark();
    if (what == "write" || what == "all") rc |= littoral::runWriteBenchmark();
    if (what == "waves" || what == "all") rc |= littoral::runWaveBenchmark(smallOnly, periods, threads);
    if (what == "flow" || what == "all") rc |= littoral::runFlowBenchmark(cells, steps, threads);
    if (what == "gauges" || what == "all") rc |= littoral::runGaugeBenchmark(periods, threads);
    // checkpoint (not part of all): --cells gives the grid (default 2000 x 2000).
    if (what == "checkpoint") rc |= littoral::runCheckpointBenchmark(cells, threads);
    return rc;
}
