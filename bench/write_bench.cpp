// Writing rate of the result files: the field file of one interval (23 columns of text) and
// the same interval appended to the netCDF file results.nc (21 compressed fields), on a
// large generated grid and on a grid of the samples' size written for many intervals.
// The fields are smooth waves with a little noise at the sizes a case gives (depths of
// metres, stresses of newtons per square metre, transport rates of 1e-5 m2/s), so that the
// number texts have their usual lengths and the compression sees grids like a run's.
// Times are processor time of this process (wall time on a busy machine says little).
#include "write_bench.h"

#include "bench_support.h"

#include <cmath>
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

namespace {

void fillModel(Model& m, int32_t nx, int32_t ny, const fs::path& dir) {
    m.ixStart = 1; m.ixEnd = nx; m.jyStart = 1; m.jyEnd = ny;
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
    int k = 0;
    for (const Field& f : fields) {
        m.allocGrid(*f.g);
        ++k;
        for (int32_t j = m.jyStart - 1; j <= m.jyEnd + 1; ++j)
            for (int32_t i = m.ixStart - 1; i <= m.ixEnd + 1; ++i)
                (*f.g)(i, j) = static_cast<float>(
                    f.scale * (std::sin(0.05 * i + k) * std::cos(0.07 * j + 0.5 * k) + 0.01 * u(r)));
    }
    m.allocGrid(m.cellFlag);
    m.nBndCell = 2 * (nx + ny + 4);
    m.bndCode.allocate(0, m.nBndCell);
}

// Writes `intervals` intervals of an nx x ny grid with both writers; prints the rates.
void measure(int32_t nx, int32_t ny, int intervals) {
    const fs::path dir = fs::temp_directory_path() / "littoral-bench-write";
    fs::remove_all(dir);
    fs::create_directories(dir);
    Model m;
    fillModel(m, nx, ny, dir);
    const double cells = static_cast<double>(nx) * ny * intervals;

    double t0 = cpuSeconds();
    uintmax_t csvBytes = 0;
    for (int16_t n = 0; n < intervals; ++n) {
        writeResultFields(m, n, "surfer");
        csvBytes += fs::file_size(dir / ("surfer" + std::to_string(n) + ".csv"));
    }
    const double csv = cpuSeconds() - t0;
    std::printf("write %d x %d, %d intervals: field files %.1f MB, %.2f s, %.2f M cells/s\n", nx, ny, intervals,
                csvBytes / 1e6, csv, cells / csv / 1e6);
#ifdef LITTORAL_NETCDF
    t0 = cpuSeconds();
    {
        NetCdfResults nc(m);
        for (int16_t n = 0; n < intervals; ++n) nc.writeInterval(m, n, 8.0f * (n + 1));
        nc.close();
    }
    const double ncs = cpuSeconds() - t0;
    const double ncBytes = static_cast<double>(fs::file_size(dir / "results.nc"));
    std::printf("write %d x %d, %d intervals: results.nc %.1f MB, %.2f s, %.2f M cells/s "
                "(%.2f of the field files' time, %.2f of their size)\n",
                nx, ny, intervals, ncBytes / 1e6, ncs, cells / ncs / 1e6, ncs / csv, ncBytes / csvBytes);
#else
    std::printf("write: built without netCDF\n");
#endif
    fs::remove_all(dir);
}

}  // namespace

int runWriteBenchmark() {
    measure(1000, 1000, 3);
    measure(80, 50, 60);  // the size of the beach sample
    return 0;
}

}  // namespace littoral
