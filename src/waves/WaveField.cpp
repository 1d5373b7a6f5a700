// Driver of the time-dependent mild-slope wave model: one call simulates one wave period.
//
// The step is tied to the deepest water, dt0 = 0.5 sqrt(dx dy / g / hMax), and shortened so
// that the period is a whole number of steps. The potential levels persist from call to
// call; coefficients and statistics are rebuilt at every call. The wave clock
// t = waveDt (stepOffset + step) follows model time, so the phase and the start-up ramp of
// the incident wave refer to model time. In a long run the clock is counted in whole steps
// from the first period's: since one period is nStep steps, the carrier wave's phase at
// step s of any period is its phase at step s of the first period, and the group envelope's
// is that of the first nGroup periods; only the ramp (over the first two periods) needs
// the count itself.
#include "waves/WaveField.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "core/Error.h"
#include "core/Numeric.h"
#include "core/Parallel.h"
#include "waves/WaveFunctions.h"
#include "waves/WaveModel.h"

namespace littoral {

namespace {
using D = double;
constexpr int32_t kMaxStepsPerPeriod = 32767;  // step counter and nAcc are 16-bit
}  // namespace

void allocWaveArrays(Model& m) {
    for (Grid* g : {&m.phiNew, &m.phiCur, &m.phiOld, &m.phiPred, &m.sumDiss, &m.theta, &m.kd}) m.allocGrid(*g);
}

namespace {
// The grids of one period whose every cell the coefficients write before anything reads it.
bool rebuiltWhole(const Model& m, const Grid* g) { return g == &m.ccg || g == &m.cc2 || g == &m.wlen || g == &m.omk; }

template <class F>
void forEachWaveStat(Model& m, F&& f) {
    for (Grid* g : {&m.ccg, &m.cc2, &m.wlen, &m.omk, &m.eta, &m.sumEta, &m.brkEx, &m.etarms, &m.uOrb, &m.sumU,
                    &m.sumU2, &m.vOrb, &m.sumV, &m.sumV2, &m.sumEtaU, &m.sumEtaV, &m.sumEtaT2, &m.sumEtaT,
                    &m.sumUV, &m.sxx, &m.sxy, &m.syy})
        f(*g);
}
}  // namespace

void allocWaveStats(Model& m) {
    // Allocating zeroes every cell on one thread; after the first period the grids are
    // kept and clearWaveStats zeroes them on all threads.
    forEachWaveStat(m, [&](Grid& g) { m.keepGrid(g); });
}

void clearWaveStats(Model& m) {
    const int32_t i0 = m.ixStart - 1, n = m.ixEnd - m.ixStart + 3;
    forRowSlabs(m.slabRows().begin, m.slabRows().end, [&](int32_t jBegin, int32_t jEnd, int) {
        forEachWaveStat(m, [&](Grid& g) {
            if (rebuiltWhole(m, &g)) return;
            for (int32_t j = jBegin; j <= jEnd; ++j) std::fill_n(g.at(i0, j), n, 0.0f);
        });
        for (int32_t j = std::max(jBegin, m.jyStart); j <= std::min(jEnd, m.jyEnd); ++j)
            std::fill_n(m.sumDiss.at(m.ixStart, j), n - 2, 0.0f);
    });
}

// phiOld <- phiCur <- phiNew over the whole grid. The levels are rotated by swapping the
// arrays: phiNew then holds the old level n-1, which the next step overwrites in full
// (interior by the corrector, the non-corner ghosts by setPhiBoundary; the corners stay 0
// in all levels) before anything reads it. waveField copies phiCur into phiNew after the
// last step, so that between calls phiNew equals phiCur.
void shiftPhiLevels(Model& m) {
    std::swap(m.phiOld, m.phiCur);  // phiOld = level n
    std::swap(m.phiCur, m.phiNew);  // phiCur = level n+1
}

void waveTimeStep(Model& m, float hMax, float time) {
    if (!(hMax > 0.0f))
        throw StopError("the wave model needs water: the largest depth plus tide over the grid is " + formatNum(hMax) +
                        " m (in " + m.depFile + "): expected a positive depth somewhere");
    const D dt0 = 0.5 * std::sqrt(static_cast<D>(m.dx) * m.dy / 9.81 / hMax);
    const D steps = static_cast<D>(m.waveT0) / dt0 + 1.0;
    if (!(std::nearbyint(steps) <= kMaxStepsPerPeriod))
        throw StopError("the wave period of " + formatNum(m.waveT0) + " s would need " + formatNum(std::nearbyint(steps)) +
                        " wave steps of " + formatNum(dt0) + " s (cells of " + formatNum(m.dx) + " x " +
                        formatNum(m.dy) + " m, largest depth " + formatNum(hMax) +
                        " m): expected at most 32767 steps per wave period; use larger cells or a shorter period");
    const int16_t nPer = toInt16(steps, "the number of wave steps per period");
    m.waveDt = static_cast<float>(static_cast<D>(m.waveT0) / nPer);
    m.nStep = toInt32(static_cast<D>(m.waveT0) / m.waveDt, "the number of wave steps per period");
    if (m.nStep > kMaxStepsPerPeriod)
        throw StopError("the wave period of " + formatNum(m.waveT0) + " s would need " + std::to_string(m.nStep) +
                        " wave steps of " + formatNum(m.waveDt) + " s: expected at most 32767 steps per wave period");
    const D offset = static_cast<D>(time) / m.waveDt;
    // The message (with the time) is built only when the number does not fit.
    m.stepOffset = fitsInt<int32_t>(offset)
                       ? static_cast<int32_t>(std::nearbyint(offset))
                       : toInt32(offset, "the wave step number at model time " + formatNum(time) + " s");
    if (static_cast<int64_t>(m.stepOffset) + m.nStep > 2147483647LL)
        throw StopError("the wave step number at model time " + formatNum(time) + " s goes beyond the 32-bit range");
}

void incidentHeight(Model& m) {
    if (m.hmaxIrr > 0.0f) {
        m.waveHin = static_cast<float>(rayleighHeight(m.rnd, m.waveH0));
        const float cap = static_cast<float>(static_cast<D>(m.waveH0) * m.hmaxIrr);
        if (cap < m.waveHin) m.waveHin = cap;
        m.hPlot = cap;
    } else {
        m.waveHin = m.hPlot = m.waveH0;
    }
    m.hPlotNeg = -m.hPlot;
}

std::string endwavLine(double time, float waveT0) {
    const D tenths = std::floor(static_cast<D>(time) * 10.0 + 0.5) / 10.0;
    const D periods = std::floor(static_cast<D>(time) / waveT0 + 0.5);
    return "endwav " + numberText(tenths) + numberText(periods);
}

namespace {
// Steps after which the group envelope repeats: P nStep, P the fewest whole periods that
// are a whole number of envelope periods (nGroup q for the least q, for nGroup a fraction
// of denominator q up to 64), else 0 (the envelope never repeats on whole periods).
int64_t envelopeSteps(const Model& m) {
    for (int q = 1; q <= 64; ++q) {
        const D periods = static_cast<D>(m.nGroup) * q;
        if (periods == std::floor(periods)) return periods < 1e9 ? static_cast<int64_t>(periods) * m.nStep : 0;
    }
    return 0;
}
}  // namespace

void waveField(Model& m, float& hMax, float time, Grid& fx, Grid& fy) { waveField(m, hMax, WaveClock{time, 0}, fx, fy); }

void waveField(Model& m, float& hMax, const WaveClock& clock, Grid& fx, Grid& fy) {
    const float time = clock.first;
    waveTimeStep(m, hMax, time);
    // Whole steps from the first period's start to this one's, and to the same point of
    // the group envelope.
    const int64_t passed = clock.periods * m.nStep;
    const int64_t envelope = m.nGroup > 0 ? envelopeSteps(m) : 0;
    const int64_t groupPassed = envelope > 0 ? passed % envelope : 0;
    m.waveFreq = static_cast<float>(1.0 / m.waveT0);
    m.dirRad = static_cast<float>(static_cast<D>(m.waveDir0) / 57.29577951308238);
    incidentHeight(m);

    // On several processes, one that cannot allocate the period's arrays stops them all.
    SlabLink& link = m.slabs();
    WaveWork& work = m.waveWork;
    link.guarded([&] { allocWaveStats(m); });
    link.check();
    // Every rank takes part (the phase point's values are shared) and stops alike.
    waveCoefficients(m, time);
    link.guarded([&] {
        clearWaveStats(m);
        m.nAcc = 0;
        prepareWaveWork(m, work);
        // The surface of a step is the centred difference about the level one step back.
        m.gaugeTrace.beginPeriod(m.nStep, static_cast<D>(m.waveDt) * (static_cast<D>(m.stepOffset) + static_cast<D>(passed) - 1.0),
                                 m.waveDt);
    });
    link.check();
    for (int16_t i = 0; i < m.nStep; ++i) {
        m.checkStop();
        waveStep(m, work);
        m.gaugeTrace.record(m.eta);
        // The first period's clock at this step (the carrier's phase), and the clock of the
        // envelope and of the ramp; in the first period all three are one.
        const int64_t s0 = static_cast<int64_t>(m.stepOffset) + i;
        const float t = static_cast<float>(static_cast<D>(m.waveDt) * static_cast<D>(s0));
        IncidentTime it{t, t, t};
        if (passed != 0) {
            it.ramp = static_cast<float>(static_cast<D>(m.waveDt) * static_cast<D>(s0 + passed));
            it.group = envelope > 0 ? static_cast<float>(static_cast<D>(m.waveDt) * static_cast<D>(s0 + groupPassed))
                                    : static_cast<D>(t) + static_cast<D>(m.waveDt) * static_cast<D>(passed);
        }
        incidentWave(m, it);
        shiftPhiLevels(m);
        ++m.nAcc;
    }
    waveStress(m, fx, fy);
    // Element by element over the rows this rank keeps.
    m.readsHalos({&m.etarms, &m.eta});
    const double root2 = std::sqrt(2.0);
    forFlatParts(m.slabCells().first, m.slabCells().second, [&](size_t a, size_t b) {
        for (size_t k = a; k < b; ++k) {
            m.wavH.data()[k] = static_cast<float>(2.0 * m.etarms.data()[k] * root2);
            m.etaOut.data()[k] = m.eta.data()[k];
        }
    });
    // The period's fields, for the passes that follow: every grid the steps and the stresses
    // wrote is brought across once, after its last writing.
    m.refreshHalos();
    m.phiNew = m.phiCur;
}

}  // namespace littoral
