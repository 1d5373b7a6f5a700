// The cost of a checkpoint: a plane beach of n x n cells (2.5 m by 5.8 m cells, 6 m deep at
// the wave input, 8 s waves) is read and run for two intervals; the second interval's time is
// set against the time and size of the checkpoint written after it. Wall and processor times
// are both given (wall time on a busy machine says little).
#include "checkpoint_bench.h"

#include "bench_support.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "core/Parallel.h"
#include "littoral/littoral.h"
#include "run/Checkpoint.h"
#include "run/RunCase.h"
#include "run/RunHost.h"

namespace fs = std::filesystem;

namespace littoral {

namespace {

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int runCheckpointBenchmark(int32_t cells, int threads) {
    const int32_t n = cells > 0 ? cells : 2000;
    const fs::path root = fs::temp_directory_path() / "littoral-bench-checkpoint";
    fs::remove_all(root);
    CaseInputs in;
    in.name = "beach";
    in.dataFolder = (root / "data").string();
    in.nx = n;
    in.ny = n;
    in.dx = 2.5;
    in.dy = 5.8432;
    in.endTime = 8.0;  // two intervals of 8 s
    in.period = 8.0;
    in.height = 0.5;
    in.direction = 190.0;
    in.phaseI = n;
    in.phaseJ = 1;
    const size_t w = static_cast<size_t>(n) + 2;
    in.depth.resize(w * w);
    in.codes.assign(w * w, 0);
    for (size_t j = 0; j < w; ++j)
        for (size_t i = 0; i < w; ++i) {
            in.depth[j * w + i] = static_cast<float>(6.0 - 6.5 * static_cast<double>(w - 1 - i) / static_cast<double>(w - 1));
            const bool ghostI = i == 0 || i == w - 1, ghostJ = j == 0 || j == w - 1;
            in.codes[j * w + i] = ghostI && ghostJ ? 0 : i == w - 1 ? 17 : ghostJ ? 16 : 0;
        }
    in.tideRows = {{0, 0.0, 0.0}};
    const Case c = Case::fromInputs(in);
    if (threads > 0) setThreadCount(threads);

    Model m;
    m.cntPath = c.controlFile();
    m.dataDir = (root / "data").string() + "/";
    m.outBase = (root / "output").string() + "/";
    m.csvResults = false;
    m.checkpointEvery = 0;  // the checkpoint is written below, timed on its own
    SilentHost host;
    CaseDriver run(m, host);
    run.start();
    run.advance();
    const double w0 = wallSeconds(), c0 = cpuSeconds();
    run.advance();
    const double intervalWall = wallSeconds() - w0, intervalCpu = cpuSeconds() - c0;
    const double w1 = wallSeconds(), c1 = cpuSeconds();
    writeCheckpoint(m, run.loop());
    const double cpWall = wallSeconds() - w1, cpCpu = cpuSeconds() - c1;
    const double bytes = static_cast<double>(fs::file_size(checkpointPath(m)));
    std::printf("checkpoint %d x %d, %d thread(s): one interval %.2f s wall (%.2f s processor), "
                "the checkpoint %.1f MB in %.2f s wall (%.2f s processor): %.1f %% of the interval's wall time\n",
                n, n, threadCount(), intervalWall, intervalCpu, bytes / 1e6, cpWall, cpCpu, 100.0 * cpWall / intervalWall);
    run.finish();
    fs::remove_all(root);
    return 0;
}

}  // namespace littoral
