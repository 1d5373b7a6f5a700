// The main time loop: output intervals of one wave period each. Per interval the bed
// change of the previous interval is applied, one wave period is simulated, the period's
// transport becomes a bed change, and the flow advances in stable steps until the
// interval's end, the last step clipped onto it; then the result file is written.
#include "run/MainLoop.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "core/Error.h"
#include "core/Numeric.h"
#include "flow/Flow.h"
#include "flow/RoeAverages.h"
#include "input/CaseInput.h"
#include "output/Gauges.h"
#include "output/FieldTable.h"
#include "output/Means.h"
#include "output/ResultFiles.h"
#include "run/Checkpoint.h"
#include "sediment/Sediment.h"
#include "waves/WaveField.h"
#include "waves/WaveModel.h"

namespace littoral {

void scaleFlow(Model& m, float hMax) {
    m.lenScale = hMax;
    m.timeScale = static_cast<float>(std::sqrt(static_cast<double>(m.lenScale) / 9.81));
    m.velScale = static_cast<float>(static_cast<double>(m.lenScale) / m.timeScale);
    m.rateScale = static_cast<float>(1.0 / m.timeScale);
    m.periodS = static_cast<float>(static_cast<double>(m.waveT0) / m.timeScale);
    m.tStartS = static_cast<float>(static_cast<double>(m.tStart) / m.timeScale);
    m.tEndS = static_cast<float>(static_cast<double>(m.tEnd) / m.timeScale);
    m.dxS = static_cast<float>(static_cast<double>(m.dx) / m.lenScale);
    m.dyS = static_cast<float>(static_cast<double>(m.dy) / m.lenScale);
    m.minDepthS = static_cast<float>(static_cast<double>(m.minDepth) / m.lenScale);
    m.coriolisS = static_cast<float>(static_cast<double>(m.coriolis) / m.rateScale);
}

void initFlowState(Model& m, float hMax) {
    scaleFlow(m, hMax);

    // The rows this rank keeps (the far rows of periodic sides come by exchange before they
    // are read).
    const RowRange rows = m.slabRows();
    for (int32_t i = m.ixStart - 1; i <= m.ixEnd + 1; ++i) {
        for (int32_t j = rows.begin; j <= rows.end; ++j) {
            const float eta = static_cast<float>(static_cast<double>(m.setup(i, j)) / m.lenScale);
            m.etaS(i, j) = eta;
            m.etaSNew(i, j) = eta;
            // A closed ghost starts as the mirror of its neighbour, on the neighbour's bed.
            const float h = static_cast<float>(static_cast<double>(flowStillDepth(m, i, j)) + eta);
            const float hh = h > 0 ? h : 0.0f;
            m.hTot(i, j) = hh;
            m.hTotNew(i, j) = hh;
            const float c = static_cast<float>(std::sqrt(static_cast<double>(hh)));
            m.celS(i, j) = c;
            m.celSNew(i, j) = c;
            m.uS(i, j) = m.uSNew(i, j) = 0;
            m.vS(i, j) = m.vSNew(i, j) = 0;
        }
    }
}

int64_t intervalCount(const Model& m) {
    const double T = m.waveT0, span = static_cast<double>(m.tEnd) - m.tStart;
    if (!(T > 0) || !std::isfinite(T) || !(span >= 0) || !std::isfinite(span)) return 0;
    // 480 s of 8 s periods are 60 periods, 61 interval starts from 0 s to 480 s.
    const double periods = std::floor(span / T + 1e-5);
    return periods < 9.0e18 ? static_cast<int64_t>(periods) + 1 : INT64_MAX;
}

int64_t firstOutputNumber(const Model& m) {
    return static_cast<int64_t>(std::floor(static_cast<double>(m.tStartS) / m.periodS + 0.5));
}

double morphologicalSeconds(const Model& m, int64_t k) {
    const auto end = [&](int64_t j) { return static_cast<double>(m.tStart) + static_cast<double>(j + 1) * m.waveT0; };
    if (!(m.morstart <= end(k))) return 0.0;
    // The first interval whose bed change counts: its end is at or after morstart.
    int64_t j0 = static_cast<int64_t>(std::max(0.0, std::ceil((m.morstart - m.tStart) / m.waveT0) - 1.0));
    while (j0 > 0 && end(j0 - 1) >= m.morstart) --j0;
    while (end(j0) < m.morstart) ++j0;
    return k < j0 ? 0.0 : static_cast<double>(k - j0 + 1) * m.morfac * m.waveT0;
}

IntervalLoop::IntervalLoop(Model& m, RunHost& host, float& hMax) : m_(m), host_(host), hMax_(hMax) {}
IntervalLoop::~IntervalLoop() = default;

void IntervalLoop::begin(const ResumePoint* from) {
    Model& m = m_;
    // A resumed run's results.nc begins with the earlier part's intervals up to the checkpoint.
    m.resultsContinued = {};
    if (from) m.resultsContinued = {true, from->netcdfSteps, from->netcdfHistory};
    // Before the flow scaling: the netCDF file records the case as read. Written by the
    // first rank only.
    m.slabs().guarded([&] {
        allocateFlowArrays(m);
        m.allocWholeGrids();
    });
    m.slabs().check();
    m.gatherFlags();
    const Grid* bed = m.netcdfResults ? &m.gatherWholeOnFirst(m.dep) : &m.dep;
    m.slabs().guarded([&] { results_ = std::make_unique<ResultFiles>(m, *bed); });
    m.slabs().check();
    periodicGhostDepths(m);
    initFlowState(m, hMax_);
    // The incident potentials of the absorbing wave input start from still water.
    m.lineIncident = {};
    if (m.absorbingInput && m.nBndListed > 0) m.lineIncident.allocate(1, m.nBndListed, 1);
    // The first wave period sees the current at rest, as the flow starts.
    m.curUMean = Grid();
    m.curVMean = Grid();
    m.curSumU.clear();
    m.curSumV.clear();
    m.curSumSpan = 0.0;
    if (m.meanCurrents) {
        m.curUMean = m.curU;
        m.curVMean = m.curV;
        m.curSumU.assign(m.curU.size(), 0.0);
        m.curSumV.assign(m.curV.size(), 0.0);
    }
    if (!(m.periodS > 0) || !std::isfinite(m.periodS))
        throw StopError(m.coefFile + ": the output interval (one wave period of " + formatNum(m.waveT0) +
                        " s) cannot be scaled with the largest depth " + formatNum(hMax_) +
                        " m: expected a positive largest depth");
    intervals_ = intervalCount(m);
    firstNumber_ = firstOutputNumber(m);
    if (intervals_ > 0 && static_cast<double>(firstNumber_) + static_cast<double>(intervals_ - 1) > 2147483647.0)
        throw StopError(m.coefFile + ": the run from " + formatNum(m.tStart) + " s to " + formatNum(m.tEnd) +
                        " s in wave periods of " + formatNum(m.waveT0) + " s would number its last interval beyond " +
                        "2147483647: expected fewer wave periods");
    // The wave clock of the first interval, as the scaled start time gives it.
    firstWaveTime_ = static_cast<float>(static_cast<double>(m.timeScale) * m.tStartS);
    if (!m.gaugeSites.empty()) {
        // A resumed run's gauge files are cut back to the checkpoint's record and go on from it.
        std::optional<GaugeRecord::Progress> after;
        if (from) {
            StateItems record;
            gaugeItems(record);
            restoreItems(m, record, *from);
            after = m.gaugeRecord.progress();
        }
        m.slabs().guarded([&] { gauges_ = std::make_unique<GaugeRecorder>(m, intervals_, after); });
        m.slabs().check();
    }
    watchdog_.emplace(m);
    host_.runStarted(m);
    clock_ = LoopClock{};
    if (from) {
        restoreCheckpoint(m, *this, *from);
        // The windows and pictures show where the run stands: the checkpoint's interval.
        reportPeriod();
        reportLevel();
        host_.intervalDone(m, number_, endSeconds_);
    }
}

void IntervalLoop::reportPeriod() {
    // The picture is drawn on the first rank, from the surface gathered there whole.
    host_.plotxy(m_, "eta", m_.gatherWholeOnFirst(m_.eta), 1.0f, m_.hPlotNeg, m_.hPlot);
    host_.periodDone(waveTime_);
}

void IntervalLoop::reportLevel() {
    // The first rank draws the picture: the level is gathered there whole.
    host_.graphUVEta(m_, m_.uS, m_.vS, m_.velScale, m_.gatherWholeOnFirst(m_.etaS), m_.lenScale, -0.01f, 0.01f);
}

void IntervalLoop::stateItems(StateItems& s) {
    s.scalar("clock.interval", clock_.interval);
    s.scalar("clock.tau", clock_.tau);
    s.scalar("loop.number", number_);
    s.scalar("loop.end_seconds", endSeconds_);
    s.scalar("loop.wave_time", waveTime_);
    // What the windows show of the last interval.
    s.grid("eta", m_.eta);
    s.grid("wavH", m_.wavH);
    s.scalar("waves.hPlot", m_.hPlot);
    s.scalar("waves.hPlotNeg", m_.hPlotNeg);
    if (watchdog_) watchdog_->stateItems(s);
    netcdfSteps_ = results_ ? results_->netcdfSteps() : 0;
    netcdfHistory_ = results_ ? results_->netcdfHistory() : std::string();
    s.scalar("results.netcdf_steps", netcdfSteps_);
    s.text("results.netcdf_history", netcdfHistory_);
    if (MeanSums* sums = results_ ? results_->meanSums() : nullptr) {
        s.scalar("means.intervals", sums->intervals);
        s.scalar("means.since", sums->since);
        for (size_t k = 0; k < kMeanFieldCount; ++k) s.ownRows(std::string("means.sum_") + kResultFields[kMeanFieldIndex[k]].name, sums->sum[k]);
        for (size_t k = 0; k < kMaxFieldCount; ++k) s.grid(std::string("means.max_") + kResultFields[kMaxFieldIndex[k]].name, sums->max[k]);
    }
    if (gauges_) gaugeItems(s);
}

void IntervalLoop::gaugeItems(StateItems& s) {
    GaugeRecord& g = m_.gaugeRecord;
    s.series("gauges.wave_time", g.waveTime);
    s.series("gauges.eta", g.eta);
    s.series("gauges.time", g.time);
    s.series("gauges.number", g.number);
    s.series("gauges.wavH", g.wavH);
    s.series("gauges.setup", g.setup);
    s.series("gauges.lfu", g.lfu);
    s.series("gauges.lfv", g.lfv);
    s.series("gauges.theta", g.theta);
}

bool IntervalLoop::step() {
    Model& m = m_;
    RunHost& host = host_;
    const int64_t k = clock_.interval;
    if (k >= intervals_) return false;
    Watchdog& watchdog = *watchdog_;
    m.checkStop();
    clearTransport(m);
    applyBedChange(m);
    // Interval k spans [tStart + k T, tStart + (k + 1) T], formed from k.
    const double startSeconds = static_cast<double>(m.tStart) + static_cast<double>(k) * m.waveT0;
    const double endSeconds = static_cast<double>(m.tStart) + static_cast<double>(k + 1) * m.waveT0;
    if (m.meanCurrents) {  // the wave period sees the interval's mean current
        std::swap(m.curU, m.curUMean);
        std::swap(m.curV, m.curVMean);
    }
    waveField(m, hMax_, WaveClock{firstWaveTime_, k}, m.fx, m.fy);
    if (m.meanCurrents) {
        std::swap(m.curU, m.curUMean);
        std::swap(m.curV, m.curVMean);
    }
    waveTime_ = startSeconds;
    reportPeriod();
    host.progressLine(endwavLine(startSeconds, m.waveT0));
    // The bed change of an interval is applied at its end: none that would be applied
    // before the morphological start.
    bedChange(m, endSeconds >= m.morstart ? m.morfac : 0.0);
    // The flow clock counts from the interval's start: the first interval's flow runs from
    // the state at rest at time 0, the later ones over one period.
    const float tInt = k == 0 ? static_cast<float>(static_cast<double>(m.periodS) + m.tStartS) : m.periodS;
    const float tSeconds = static_cast<float>(endSeconds);

    float& tau = clock_.tau;
    tau = 0.0f;
    watchdog.startInterval(k == 0 ? (static_cast<double>(m.tStart) + m.waveT0) / m.waveT0 : 1.0);
    SlabLink& link = m.slabs();
    while (tau != tInt) {
        m.checkStop();
        // The fluxes do not depend on the step; they take it along (on a rank, its rows').
        m.dtS = link.minimum(computeFluxes(m));
        if (static_cast<float>(static_cast<double>(tau) + m.dtS) > tInt)
            m.dtS = static_cast<float>(static_cast<double>(tInt) - tau);
        const float next = static_cast<float>(static_cast<double>(tau) + m.dtS);
        if (!(next > tau))
            throw StopError("the flow time step " + formatNum(m.dtS) + " no longer advances the flow clock at model time " +
                            formatNum(endSeconds - (static_cast<double>(tInt) - tau) * m.timeScale) + " s");
        // A clipped step whose sum rounds beside the interval's end lands on it.
        tau = (m.dtS == static_cast<float>(static_cast<double>(tInt) - tau) && next != tInt) ? tInt : next;
        m.dtdx = static_cast<float>(static_cast<double>(m.dtS) / m.dxS);
        m.dtdy = static_cast<float>(static_cast<double>(m.dtS) / m.dyS);
        momentumSources(m);
        updateCells(m);
        setBoundaryGhosts(m);
        link.guarded([&] { applyBoundaryConditions(m, tSeconds); });
        advanceFlowState(m);
        if (m.meanCurrents) sumCurrents(m);
        watchdog.step(m, m.dtS, tSeconds);
        host.intervalProgress(static_cast<double>(tau) / tInt);
    }
    if (tInt != 0.0f) {
        publishFlowState(m);
        if (m.meanCurrents) publishMeanCurrents(m);
    }
    link.check();
    // The next period's passes read the rows next to a rank's own: every grid the flow steps
    // wrote is brought across.
    m.refreshHalos();
    // Each rank checks its rows; the first bad cell of the grid is reported.
    link.guarded([&] { watchdog.endInterval(m, tSeconds); });
    link.check();
    const int64_t n = firstNumber_ + k;
    const bool last = k + 1 >= intervals_;
    link.guarded([&] {
        if (results_) results_->write(m, n, endSeconds, morphologicalSeconds(m, k), last);
    });
    link.check();
    if (gauges_) {
        gauges_->interval(m, n, tSeconds);
        link.check();
    }
    number_ = n;
    endSeconds_ = endSeconds;
    reportLevel();
    clock_ = LoopClock{k + 1, 0.0f};
    // After every checkpointEvery-th interval and after the last, the state to go on from.
    if (m.checkpointEvery > 0 && (clock_.interval % m.checkpointEvery == 0 || last) && m.filesWanted)
        writeCheckpoint(m, *this);
    host.intervalDone(m, static_cast<int>(n), endSeconds);
    return true;
}

void IntervalLoop::finish() { host_.runFinished(m_); }

void mainLoop(Model& m, RunHost& host, float& hMax) {
    IntervalLoop loop(m, host, hMax);
    loop.begin();
    while (loop.step()) {
    }
    loop.finish();
}

}  // namespace littoral
