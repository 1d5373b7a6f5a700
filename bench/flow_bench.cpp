#include "flow_bench.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "run/MainLoop.h"
#include "run/Watchdog.h"
#include "bench_support.h"
#include "core/Parallel.h"
#include "run/RunHost.h"
#include "core/Model.h"
#include "flow/Flow.h"
#include "input/CaseInput.h"
#include "output/ResultFiles.h"
#include "sediment/Sediment.h"

namespace littoral {

namespace {

using Clock = std::chrono::steady_clock;

// A plane beach from 8 m deep at the west to 1 m above the datum at the east (wet and dry
// cells both), an open west edge, periodic south and north sides, a wave force pushing
// shoreward and alongshore in the eastern third, a long wave entering at the west.
void buildFlowCase(Model& m, int32_t n) {
    m = Model{};
    m.ixStart = 1; m.ixEnd = n; m.jyStart = 1; m.jyEnd = n;
    m.dx = m.dy = 5.0f;
    m.nBndApprox = 20;
    m.nBndCell = 2 * (n + n + 4);
    m.minDepth = 0.01f;
    m.fricCoef = 0.01f;
    m.latitude = 35;
    m.coriolis = static_cast<float>(-0.0001458 * std::sin(35 * 0.017453292519943278));
    m.waveT0 = 8;
    m.tideLevel = 0;
    allocateCaseArrays(m);
    for (int32_t i = 0; i <= n + 1; ++i)
        for (int32_t j = 0; j <= n + 1; ++j) m.dep(i, j) = static_cast<float>(8.0 - 9.0 * i / (n + 1.0));
    int32_t k = 0;
    auto list = [&](int32_t i, int32_t j, int32_t code) {
        ++k;
        m.cellFlag(i, j) = 16 * k;
        m.bndCode(k) = code;
        m.bndCellI(k) = i;
        m.bndCellJ(k) = j;
    };
    for (int32_t j = 1; j <= n; ++j) list(0, j, 17);
    for (int32_t i = 1; i <= n; ++i) { list(i, 0, 16); list(i, n + 1, 16); }
    m.nBndListed = k;
    m.bndType(17) = 1;  // a 0.2 m long wave of 60 s at the west edge
    m.bndVal1(17) = 0.2f;
    m.bndVal2(17) = 60.0f;
    allocateFlowArrays(m);
    for (int32_t i = 2 * n / 3; i <= n + 1; ++i)
        for (int32_t j = 0; j <= n + 1; ++j) {
            m.fx(i, j) = 0.02f;
            m.fy(i, j) = 0.01f;
        }
    m.hMax = 8.0f;
    initFlowState(m, m.hMax);
}

// Bytes one flow step moves per interior cell, as the passes go through memory: the fluxes
// (and the time step with them) read 3 grids, the still depth and the flags of two rows
// and write 12 components; the sources read 5 and write 3 components; the cell update
// reads 12 face components, 3 sources, 6 grids and writes 5; the advance exchanges grids.
constexpr double kBytesPerCellStep = 4.0 * (17 + 8 + 26);

// The passes of the main loop around the flow steps: the transport cleared and the bed
// moved before the waves, the bed change after them, the checks at an interval's end and
// the result files (into a folder of their own, removed after).
void endOfInterval(Model& m, PassClock& host, float tSeconds) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "littoral-bench-flow";
    fs::create_directories(dir);
    m.outDir = dir.string() + "/";
    // The wave period's grids, which the flow case leaves out (zero: calm water).
    for (Grid* g : {&m.wavH, &m.sxx, &m.sxy, &m.syy, &m.tau, &m.maxtau, &m.qbx, &m.qby, &m.qsx, &m.qsy, &m.dh,
                    &m.etaOut, &m.kd, &m.sumDiss, &m.theta})
        m.keepGrid(*g);
    Watchdog watchdog(m);
    watchdog.startInterval();
    host.pass.clear();
    host.restart();
    auto timed = [&](const char* name, auto&& pass) {
        host.mark();
        host.pass = name;
        pass();
        host.mark();
    };
    timed("clear transport", [&] { clearTransport(m); });
    timed("apply bed change", [&] { applyBedChange(m); });
    timed("bed change", [&] { bedChange(m); });
    timed("interval checks", [&] { watchdog.endInterval(m, tSeconds); });
    timed("result files", [&] {
        ResultFiles results(m);
        results.write(m, 1, tSeconds);
    });
    host.printPassGaps("  end of interval: ");
    fs::remove_all(dir);
}

// Rate of the flow step in cell-steps per second with `threads` threads.
double benchFlow(int32_t n, long steps, int threads, double oneThreadRate) {
    ThreadCountScope scope(threads);
    Model m;
    buildFlowCase(m, n);
    PassClock host;
    double tFlux = 0, tSrc = 0, tCell = 0, tBnd = 0, tAdv = 0;
    auto since = [](Clock::time_point a) { return std::chrono::duration<double>(Clock::now() - a).count(); };
    host.restart();
    const auto t0 = Clock::now();
    float tSeconds = 0;
    for (long s = 0; s < steps; ++s) {
        auto t = Clock::now();
        host.mark();  // ends the gap of the boundaries and the advance of the step before
        host.pass = "fluxes and time step";
        m.dtS = computeFluxes(m);
        m.dtdx = static_cast<float>(static_cast<double>(m.dtS) / m.dxS);
        m.dtdy = static_cast<float>(static_cast<double>(m.dtS) / m.dyS);
        tSeconds = static_cast<float>(tSeconds + static_cast<double>(m.dtS) * m.timeScale);
        tFlux += since(t); t = Clock::now();
        host.pass = "sources";
        momentumSources(m);
        tSrc += since(t); t = Clock::now();
        host.pass = "cell update";
        updateCells(m);
        tCell += since(t); t = Clock::now();
        host.pass = "boundaries and advance";
        setBoundaryGhosts(m);
        applyBoundaryConditions(m, tSeconds);
        tBnd += since(t); t = Clock::now();
        advanceFlowState(m);
        tAdv += since(t);
    }
    const double total = since(t0);
    checkFinite(m, tSeconds);
    const double cellSteps = static_cast<double>(n) * n * steps;
    // One output interval is one wave period of waveT0 seconds of model time.
    const double perInterval = m.waveT0 / (tSeconds / steps);
    const double rate = cellSteps / total;
    std::printf("flow %d x %d, %d thread%s, %ld steps (%.1f s of model time): %.3f s, %.2f Mcell-steps/s, "
                "speed-up %.2f, %.1f steps/s; %.0f steps and %.2f s wall time per interval of %.0f s\n",
                n, n, threads, threads == 1 ? "" : "s", steps, tSeconds, total, rate / 1e6,
                oneThreadRate > 0 ? rate / oneThreadRate : 1.0, steps / total, perInterval,
                perInterval * total / steps, m.waveT0);
    // With cells of 2.5 m (half the bench's) the stable step halves: twice the steps.
    std::printf("  with 2.5 m cells: %.2f s wall time per interval of %.0f s\n", 2.0 * perInterval * total / steps,
                m.waveT0);
    std::printf("  share: fluxes and time step %.0f %%, sources %.0f %%, cell update %.0f %%, boundaries %.0f %%, "
                "advance %.0f %%\n",
                100 * tFlux / total, 100 * tSrc / total, 100 * tCell / total, 100 * tBnd / total, 100 * tAdv / total);
    const double stream =
        streamingRate(static_cast<size_t>((n + 2.0) * (n + 2.0)), kBytesPerCellStep, 3, false, threads);
    std::printf("  streaming, same footprint (%.0f bytes per cell), %d thread%s: %.2f Mcell/s, roofline ratio %.2f; "
                "longest step %.0f ms\n",
                kBytesPerCellStep, threads, threads == 1 ? "" : "s", stream / 1e6, rate / stream, host.longest * 1e3);
    host.printPassGaps("  ");
    endOfInterval(m, host, tSeconds);
    std::fflush(stdout);
    return rate;
}

}  // namespace

int runFlowBenchmark(int32_t n, long steps, int threads) {
    std::vector<int> counts{1, 2};
    if (coreCount() > 2) counts.push_back(coreCount());
    if (threads > 0) counts = {threads};
    std::printf("flow step: %d cores\n", coreCount());
    for (int32_t size : {400, 2000}) {
        if (n > 0 && size != 400) break;
        const int32_t nn = n > 0 ? n : size;
        double one = 0;
        for (int t : counts) {
            const double r = benchFlow(nn, steps > 0 ? steps : (nn > 1000 ? 20 : 200), t, one);
            if (t == 1) one = r;
        }
    }
    return 0;
}

}  // namespace littoral
