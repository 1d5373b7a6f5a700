// Writing rate of one result field file (23 columns) of a 1000 x 1000 grid whose fields
// hold values of the sizes a case gives (depths of metres, stresses of newtons per square
// metre, transport rates of 1e-5 m2/s), so that the number texts have their usual lengths.
#include "write_bench.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>

#include "core/Model.h"
#include "output/ResultFields.h"
#ifdef LITTORAL_NETCDF
#include "output/NetCdf.h"
#endif

namespace fs = std::filesystem;

namespace littoral {

int runWriteBenchmark() {
    const fs::path dir = fs::temp_directory_path() / "littoral-bench-write";
    fs::create_directories(dir);
    Model m;
    m.ixStart = 1; m.ixEnd = 1000; m.jyStart = 1; m.jyEnd = 1000;
    m.dx = 2.5f; m.dy = 5.8432f;
    m.outDir = dir.string() + "/";
    std::mt19937 r(3);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    struct Field { Grid* g; float scale; };
    const Field fields[] = {{&m.dep, 6}, {&m.wavH, 1.5f}, {&m.setup, 0.3f}, {&m.curU, 1}, {&m.curV, 1},
                            {&m.sxx, 900}, {&m.sxy, 300}, {&m.syy, 500}, {&m.fx, 20}, {&m.fy, 20},
                            {&m.tau, 3}, {&m.maxtau, 8}, {&m.qbx, 2e-5f}, {&m.qby, 2e-5f}, {&m.qsx, 1e-5f},
                            {&m.qsy, 1e-5f}, {&m.dh, 1e-3f}, {&m.theta, 3.1f}, {&m.sumDiss, 50},
                            {&m.etaOut, 1}, {&m.kd, 3}};
    for (const Field& f : fields) {
        m.allocGrid(*f.g);
        float* p = f.g->data();
        for (size_t k = 0; k < f.g->size(); ++k) p[k] = f.scale * u(r);
    }
    double best = 1e30;
    for (int rep = 0; rep < 3; ++rep) {
        const auto t0 = std::chrono::steady_clock::now();
        writeResultFields(m, 1, "surfer");
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    const double mb = static_cast<double>(fs::file_size(dir / "surfer1.csv")) / 1e6;
    std::printf("result file 1000 x 1000 (23 columns): %.1f MB in %.3f s = %.0f MB/s, %.1f M cells/s (best of 3)\n",
                mb, best, mb / best, 1.0 / best);
#ifdef LITTORAL_NETCDF
    // The same fields as three intervals of results.nc (compressed, synced after each).
    m.allocGrid(m.cellFlag);
    m.nBndCell = 2 * (1000 + 1000 + 4);
    m.bndCode.allocate(0, m.nBndCell);
    double bestNc = 1e30;
    {
        NetCdfResults nc(m);
        for (int16_t n = 0; n < 3; ++n) {
            const auto t0 = std::chrono::steady_clock::now();
            nc.writeInterval(m, n, 8.0f * (n + 1));
            bestNc = std::min(bestNc, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        }
        nc.close();
    }
    const double ncMb = static_cast<double>(fs::file_size(dir / "results.nc")) / 1e6 / 3;
    std::printf("netCDF interval 1000 x 1000 (21 fields): %.1f MB per interval in %.3f s, %.1f M cells/s (best of 3); "
                "%.2f of the CSV writer's time, %.2f of its size\n",
                ncMb, bestNc, 1.0 / bestNc, bestNc / best, ncMb / mb);
#endif
    fs::remove_all(dir);
    return 0;
}

}  // namespace littoral
