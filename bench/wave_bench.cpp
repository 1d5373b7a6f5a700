#include "wave_bench.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/Parallel.h"
#include "run/RunHost.h"
#include "core/Model.h"
#include "input/CaseInput.h"
#include "output/Gauges.h"
#include "waves/WaveField.h"
#include "waves/WaveFunctions.h"
#include "waves/WaveModel.h"

namespace littoral {

namespace {

using Clock = std::chrono::steady_clock;

// A plane beach rising towards the east from 6 m to 1 m, waves entering from the west,
// periodic south and north sides, an open east edge, a little current.
void buildBenchCase(Model& m, int32_t nx, int32_t ny) {
    m = Model{};
    m.ixStart = 1; m.ixEnd = nx; m.jyStart = 1; m.jyEnd = ny;
    m.dx = m.dy = 2.0f;
    m.nBndApprox = 20;
    m.nBndCell = 2 * (nx + ny + 4);
    m.brkRatio = 0.8f;
    m.fricCoef = 0.01f; m.shieldsCr = 0.05f; m.grainSize = 2e-4f; m.sedDensity = 2650;
    m.viscosity = 1e-6f; m.bedloadCoef = 8; m.suspCoef = 1;
    m.subWeight = static_cast<float>((2650.0 / 1030.0 - 1.0) * 9.81 * 2e-4);
    m.fallVel = 0.02f;
    allocateCaseArrays(m);
    allocWaveArrays(m);
    m.bndWave = 17; m.waveH0 = 0.5f; m.waveT0 = 8; m.waveDir0 = 10;
    m.phaseX = 1; m.phaseY = 1;
    m.theta.fill(-9.0f);
    for (int32_t j = 0; j <= ny + 1; ++j)
        for (int32_t i = 0; i <= nx + 1; ++i) {
            const float d = static_cast<float>(6.0 - 5.0 * i / (nx + 1.0));
            m.dep(i, j) = d;
            m.curU(i, j) = 0.05f;
            m.curV(i, j) = 0.02f;
            if (d > m.hMax) m.hMax = d;
        }
    int32_t n = 0;
    auto list = [&](int32_t i, int32_t j, int32_t code) {
        ++n;
        m.cellFlag(i, j) = 16 * n;
        m.bndCode(n) = code;
        m.bndCellI(n) = i;
        m.bndCellJ(n) = j;
    };
    for (int32_t j = 1; j <= ny; ++j) { list(0, j, 17); list(nx + 1, j, 18); }
    for (int32_t i = 1; i <= nx; ++i) { list(i, 0, 16); list(i, ny + 1, 16); }
    const double L = 6.28318530717958 / waveNumber(1.0 / m.waveT0, 6.0);
    m.nLine = static_cast<int16_t>(std::floor(L / 2.0) + 1);
    m.lineNew.allocate(0, n, m.nLine);
    m.line.allocate(1, n, m.nLine);
    m.lineOld.allocate(1, n, m.nLine);
    allocateFlowArrays(m);
}

// Bytes one wave step moves per interior cell. The step is one sweep over the rows, so
// each grid goes through memory once: 11 only read (phiCur, phiOld, ccg, omk, cc2, curU,
// curV, cellFlag and the breaking and bed factors of the period), 19 read and written
// (eta, the 12 wave sums, the 6 transport sums) and 5 only written (brkEx, phiPred,
// phiNew, uOrb, vOrb).
constexpr double kBytesPerCellStep = 4.0 * (11 + 2 * 19 + 5);

double peakMemoryMiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

// The passes of a period once more, each on its own (after the periods timed), for the
// time of each; a few steps stand for the sweep.
void passGaps(Model& m, PassClock& host, float time) {
    host.restart();
    auto pass = [&](const char* name, auto&& run) {
        host.pass.clear();
        host.mark();  // the gap before the pass is no part of it
        host.pass = name;
        run();
        host.mark();  // nor the part after its last band
    };
    pass("coefficients", [&] { waveCoefficients(m, time); });
    pass("clearing the sums", [&] { clearWaveStats(m); });
    pass("breaking limits and bed factors", [&] { prepareWaveWork(m, m.waveWork); });
    m.nAcc = 0;
    pass("wave steps", [&] {
        for (int k = 0; k < 3; ++k, ++m.nAcc) {
            host.mark();
            waveStep(m, m.waveWork);
            shiftPhiLevels(m);
        }
    });
    pass("stresses and forces", [&] { waveStress(m, m.fx, m.fy); });
}

// Rate of the wave model in cell-steps per second with `threads` threads.
double benchCase(int32_t nx, int32_t ny, int periods, int threads, double oneThreadRate) {
    ThreadCountScope scope(threads);
    Model m;
    buildBenchCase(m, nx, ny);
    PassClock host;
    // One period to warm up (ramp, caches), then the timed periods.
    waveField(m, m.hMax, 0.0f, m.fx, m.fy);
    host.restart();
    const auto t0 = Clock::now();
    for (int p = 1; p <= periods; ++p)
        waveField(m, m.hMax, static_cast<float>(m.waveT0 * p), m.fx, m.fy);
    const double sec = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cells = static_cast<double>(nx) * ny;
    const double rate = cells * m.nStep * periods / sec;
    const double peak = peakMemoryMiB();  // before the streaming loops add their arrays
    passGaps(m, host, static_cast<float>(m.waveT0 * (periods + 1)));
    const size_t n = static_cast<size_t>((nx + 2.0) * (ny + 2.0));
    const double stream = streamingRate(n, kBytesPerCellStep, 3, false, threads);
    const double cached = streamingRate(n, kBytesPerCellStep, 3, true, threads);
    std::printf("wave %5d x %-5d  %d thread%s  steps/period %4d  %8.3f s per period  %8.2f Mcell-steps/s  "
                "speed-up %.2f  peak memory %.0f MiB  wavH(20, mid) %.3f m\n"
                "    streaming, same footprint, %d thread%s  %8.2f Mcell/s  roofline ratio %.2f\n"
                "    streaming, 3 arrays reused         %8.2f Mcell/s  ratio %.2f\n",
                nx, ny, threads, threads == 1 ? " " : "s", m.nStep, sec / periods, rate / 1e6,
                oneThreadRate > 0 ? rate / oneThreadRate : 1.0, peak, m.wavH(20, ny / 2),
                threads, threads == 1 ? " " : "s", stream / 1e6, rate / stream, cached / 1e6, rate / cached);
    host.printPassGaps("    ");
    // With cells of 2.5 m the steps of a period follow from the same depth (waveTimeStep).
    Model coarse;  // the scalars only
    coarse.waveT0 = m.waveT0;
    coarse.dx = coarse.dy = 2.5f;
    waveTimeStep(coarse, m.hMax, 0.0f);
    std::printf("    with 2.5 m cells: %d steps, %.3f s per period of %.0f s\n", coarse.nStep,
                sec / periods / m.nStep * coarse.nStep, m.waveT0);
    std::fflush(stdout);
    return rate;
}

// The thread counts measured: 1, 2 and all cores where there are more.
std::vector<int> benchThreadCounts(int only) {
    if (only > 0) return {only};
    std::vector<int> r{1, 2};
    if (coreCount() > 2) r.push_back(coreCount());
    return r;
}

// Seconds per wave period of the 400 x 400 case with `count` gauges spread over the grid
// (0: none), and of those the seconds the recorder takes at the interval's end (the period's
// values and the three files written into `folder`).
struct GaugePeriod {
    double period = 0, recorder = 0, read = 0;  // read: s per wave step reading the gauges' cells
    int32_t steps = 0;
};
GaugePeriod gaugePeriods(int32_t n, int periods, int count, const std::string& folder) {
    Model m;
    buildBenchCase(m, n, n);
    m.outDir = folder;
    for (int g = 0; g < count; ++g) {
        // Along the diagonal, in the water (the case has no land).
        const double f = (g + 0.5) / count;
        m.gaugeSites.push_back({"g" + std::to_string(g + 1), f * (n - 1) * m.dx, (1.0 - f) * (n - 1) * m.dy});
    }
    std::unique_ptr<GaugeRecorder> rec;
    if (count > 0) rec = std::make_unique<GaugeRecorder>(m);
    waveField(m, m.hMax, 0.0f, m.fx, m.fy);
    if (rec) rec->interval(m, 0, m.waveT0);
    GaugePeriod r;
    const auto t0 = Clock::now();
    for (int p = 1; p <= periods; ++p) {
        waveField(m, m.hMax, static_cast<float>(m.waveT0 * p), m.fx, m.fy);
        if (rec) {
            const auto a = Clock::now();
            rec->interval(m, p, m.waveT0 * (p + 1.0));
            r.recorder += std::chrono::duration<double>(Clock::now() - a).count();
        }
    }
    r.period = std::chrono::duration<double>(Clock::now() - t0).count() / periods;
    r.recorder /= periods;
    if (count > 0) {
        // The reading alone, as the wave steps do it, many times over.
        const auto a = Clock::now();
        const int reps = 2000;
        for (int k = 0; k < reps; ++k) {
            m.gaugeTrace.steps = 0;
            for (int32_t s = 0; s < m.nStep; ++s) m.gaugeTrace.record(m.eta);
        }
        r.read = std::chrono::duration<double>(Clock::now() - a).count() / (static_cast<double>(reps) * m.nStep);
        r.steps = m.nStep;
    }
    return r;
}

}  // namespace

int runGaugeBenchmark(int periods, int threads) {
    const int t = threads > 0 ? threads : 1;
    ThreadCountScope scope(t);
    const std::string folder = (std::filesystem::temp_directory_path() / "littoral-bench-gauges").string() + "/";
    std::filesystem::create_directories(folder);
    const int32_t n = 400;
    // Without and with gauges, twice each in turn, so that a slow spell of a shared machine
    // shows as a spread rather than as the gauges' cost.
    GaugePeriod none[2], with[2];
    for (int k = 0; k < 2; ++k) {
        none[k] = gaugePeriods(n, periods, 0, folder);
        with[k] = gaugePeriods(n, periods, 100, folder);
    }
    const double bestNone = std::min(none[0].period, none[1].period), bestWith = std::min(with[0].period, with[1].period);
    std::printf("gauges %d x %d  %d thread%s  %d periods of 8 s\n"
                "    without gauges  %8.4f s per period (%.4f, %.4f)\n"
                "    100 gauges      %8.4f s per period (%.4f, %.4f), difference %+.2f %%\n"
                "    of which the recorder at the interval's end (values and files) %.3f ms per period\n"
                "    and reading the cells %.3f us per wave step (%d steps per period): %.2f us per step in all\n",
                n, n, t, t == 1 ? "" : "s", periods, bestNone, none[0].period, none[1].period, bestWith,
                with[0].period, with[1].period, 100.0 * (bestWith - bestNone) / bestNone,
                1e3 * std::min(with[0].recorder, with[1].recorder), 1e6 * std::min(with[0].read, with[1].read),
                with[0].steps,
                1e6 * (std::min(with[0].read, with[1].read) + std::min(with[0].recorder, with[1].recorder) / with[0].steps));
    std::filesystem::remove_all(folder);
    std::fflush(stdout);
    return 0;
}

int runWaveBenchmark(bool smallOnly, int periods, int threads) {
    std::printf("wave step: %.0f bytes per cell per step counted for the streaming comparison; %d cores\n",
                kBytesPerCellStep, coreCount());
    for (int32_t n : {400, 2000}) {
        if (n > 400 && smallOnly) break;
        double one = 0;
        for (int t : benchThreadCounts(threads)) {
            const double r = benchCase(n, n, periods, t, one);
            if (t == 1) one = r;
        }
    }
    return 0;
}

}  // namespace littoral
