// The main time loop of a case: output intervals of one wave period each, run one at a
// time so that a front-end can take each interval's results before the next begins.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/Model.h"
#include "run/RunHost.h"
#include "run/Watchdog.h"
#include "flow/Flow.h"

namespace littoral {

class ResultFiles;
class GaugeRecorder;
struct ResumePoint;

// The flow scales from the length scale hMax: lenScale, timeScale, velScale, rateScale and
// the scaled times, cell sizes, minimum depth (minDepthS) and Coriolis parameter (coriolisS);
// the case's own values stay as read.
void scaleFlow(Model& m, float hMax);
// scaleFlow, then the flow state at rest on the set-up (every grid this rank keeps).
void initFlowState(Model& m, float hMax);
// The number of output intervals (wave periods) mainLoop runs when nothing stops it: interval
// n spans [tStart + n T, tStart + (n + 1) T], and the last one starts at or before tEnd, so
// floor((tEnd - tStart) / T) + 1 intervals when tEnd >= tStart (a start within 1e-5 T of tEnd
// counts as at it), none otherwise. Each draws one irregular wave height.
int64_t intervalCount(const Model& m);
// The output number of the first interval, Int(tStart / T + 0.5) on the scaled clock
// (scaleFlow); interval n has this number plus n.
int64_t firstOutputNumber(const Model& m);
// The span of bed evolution (s) that the bed changes of the intervals 0 to k stand for:
// morfac x T for each of them that ends at or after morstart (with morfac 1 and morstart 0,
// the time from the start to the end of interval k).
double morphologicalSeconds(const Model& m, int64_t k);

// Where the interval loop stands: the interval about to run (0 the first) and the flow clock
// within it, which counts from the interval's start and is 0 between intervals. The flow
// part of the first interval spans tStart + T (the flow starts at rest at time 0 whatever
// the start time); every later one spans T.
struct LoopClock {
    int64_t interval = 0;
    float tau = 0;
};

// The intervals of a case whose input is read and echoed. begin() allocates the flow, opens
// the result files, scales the flow problem and reports runStarted; each step() runs one
// interval (bed change, one wave period, the flow to the interval's end, the checks, the
// files and the pictures) and returns false once the time span is done; finish() reports
// runFinished. The model's stop request is honoured between wave and flow steps (RunAborted).
class IntervalLoop {
public:
    IntervalLoop(Model& m, RunHost& host, float& hMax);
    ~IntervalLoop();
    IntervalLoop(const IntervalLoop&) = delete;
    IntervalLoop& operator=(const IntervalLoop&) = delete;

    // With from, the run continues from that checkpoint: the result files take over the
    // earlier part's, then the state is restored.
    void begin(const ResumePoint* from = nullptr);
    bool step();
    void finish();
    // The last finished interval: its output number and its end (model time, s).
    int64_t number() const { return number_; }
    double endSeconds() const { return endSeconds_; }
    // The loop's clock, for saving a run between intervals and continuing it.
    LoopClock clock() const { return clock_; }
    void setClock(const LoopClock& c) { clock_ = c; }
    // What a checkpoint saves besides the model's own items: the clocks, the last interval's
    // number and end, the watchdog's and the result files' state.
    void stateItems(StateItems& s);

private:
    // The reports of the wave period (the surface, its time) and of the interval's level.
    void reportPeriod();
    void reportLevel();
    // The gauges' record as a checkpoint saves it.
    void gaugeItems(StateItems& s);

    Model& m_;
    RunHost& host_;
    float& hMax_;
    std::unique_ptr<ResultFiles> results_;
    std::unique_ptr<GaugeRecorder> gauges_;  // when the run has gauges
    std::optional<Watchdog> watchdog_;
    LoopClock clock_;
    int64_t intervals_ = 0;   // intervalCount
    int64_t firstNumber_ = 0; // firstOutputNumber
    float firstWaveTime_ = 0; // the wave model's time at the first interval's start (s)
    int64_t number_ = -1;
    double endSeconds_ = 0;
    double waveTime_ = 0;     // the last wave period's start (s)
    // The result files' state as a checkpoint records it (refreshed by stateItems).
    int64_t netcdfSteps_ = 0;
    std::string netcdfHistory_;
};

// The whole loop: begin, every step, finish.
void mainLoop(Model& m, RunHost& host, float& hMax);

}  // namespace littoral
