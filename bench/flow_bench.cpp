#include "flow_bench.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/MainLoop.h"
#include "core/RunHost.h"
#include "core/Model.h"
#include "flow/Flow.h"
#include "input/CaseInput.h"

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

void benchFlow(int32_t n, long steps) {
    Model m;
    buildFlowCase(m, n);
    SilentHost host;
    double tStep = 0, tSrc = 0, tFlux = 0, tCell = 0, tBnd = 0, tAdv = 0;
    auto since = [](Clock::time_point a) { return std::chrono::duration<double>(Clock::now() - a).count(); };
    const auto t0 = Clock::now();
    float tSeconds = 0;
    for (long s = 0; s < steps; ++s) {
        auto t = Clock::now();
        host.pumpEvents();
        m.dtS = flowTimeStep(m);
        m.dtdx = static_cast<float>(static_cast<double>(m.dtS) / m.dxS);
        m.dtdy = static_cast<float>(static_cast<double>(m.dtS) / m.dyS);
        tSeconds = static_cast<float>(tSeconds + static_cast<double>(m.dtS) * m.timeScale);
        tStep += since(t); t = Clock::now();
        momentumSources(m);
        tSrc += since(t); t = Clock::now();
        computeFluxes(m, host);
        tFlux += since(t); t = Clock::now();
        updateCells(m, host);
        tCell += since(t); t = Clock::now();
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
    std::printf("flow %d x %d, %ld steps (%.1f s of model time): %.3f s, %.3g cell-steps/s, %.1f steps/s; "
                "%.0f steps and %.2f s wall time per interval of %.0f s\n",
                n, n, steps, tSeconds, total, cellSteps / total, steps / total, perInterval,
                perInterval * total / steps, m.waveT0);
    std::printf("  share: time step %.0f %%, sources %.0f %%, fluxes %.0f %%, cell update %.0f %%, boundaries %.0f %%, "
                "advance %.0f %%\n",
                100 * tStep / total, 100 * tSrc / total, 100 * tFlux / total, 100 * tCell / total, 100 * tBnd / total,
                100 * tAdv / total);
    std::fflush(stdout);
}

}  // namespace

int runFlowBenchmark(int argc, char** argv) {
    int32_t n = 0;
    long steps = 0;
    for (int a = 1; a < argc; ++a) {
        if (!std::strcmp(argv[a], "--n") && a + 1 < argc) n = std::atoi(argv[++a]);
        else if (!std::strcmp(argv[a], "--steps") && a + 1 < argc) steps = std::atol(argv[++a]);
    }
    if (n > 0) {
        benchFlow(n, steps > 0 ? steps : 200);
    } else {
        benchFlow(400, steps > 0 ? steps : 200);
        benchFlow(2000, steps > 0 ? steps : 20);
    }
    return 0;
}

}  // namespace littoral
