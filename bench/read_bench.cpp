// Reading rate of the case readers on a generated 1000 x 1000 depth grid.
#include "read_bench.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "input/CaseInput.h"

namespace fs = std::filesystem;
using namespace littoral;

int runReadBenchmark() {
    const fs::path dir = fs::temp_directory_path() / "littoral-bench-read";
    fs::create_directories(dir);
    const int n = 1000;  // values per side, ghost ring included
    {
        std::ofstream d(dir / "depth.txt"), b(dir / "boundary.txt");
        char buf[32];
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                std::snprintf(buf, sizeof buf, "%s%.4f", j ? "," : "", 0.5 + 12.0 * i / n + 0.001 * j);
                d << buf;
                b << (j ? "," : "") << ((i == n - 1 && j > 0 && j < n - 1) ? 17 : 0);
            }
            d << "\r\n";
            b << "\n";
        }
    }
    Model m;
    m.dataDir = dir.string() + "/";
    m.ixStart = 1; m.ixEnd = n - 2; m.jyStart = 1; m.jyEnd = n - 2;
    // The wave input enters through the cells of code 17 (the ghost cells beyond the east side).
    m.dx = m.dy = 5; m.waveT0 = 8; m.nBndApprox = 17; m.bndWave = 17;
    m.nBndCell = 2 * (m.ixEnd + m.jyEnd + 4);
    m.depFile = "depth.txt";
    m.bndFile = "boundary.txt";
    allocateCaseArrays(m);
    const double mbDep = fs::file_size(dir / "depth.txt") / 1e6, mbBnd = fs::file_size(dir / "boundary.txt") / 1e6;
    double best = 1e9, bestB = 1e9;
    for (int rep = 0; rep < 3; ++rep) {
        auto t0 = std::chrono::steady_clock::now();
        readDepthFile(m);
        auto t1 = std::chrono::steady_clock::now();
        readBoundaryFile(m);
        auto t2 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
        bestB = std::min(bestB, std::chrono::duration<double>(t2 - t1).count());
    }
    std::printf("read   depth file %d x %d (%.1f MB): %.3f s, %.0f MB/s, %.1f M values/s\n", n, n, mbDep, best,
                mbDep / best, n * double(n) / best / 1e6);
    std::printf("read   boundary file %d x %d (%.1f MB): %.3f s, %.0f MB/s\n", n, n, mbBnd, bestB, mbBnd / bestB);
    fs::remove_all(dir);
    return 0;
}
