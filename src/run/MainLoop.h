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

// The loop's clocks between two intervals: the next interval's start on the non-dimensional
// interval clock, the flow clock (0 at the run's start whatever the start time), and the
// intervals done.
struct LoopClock {
    float t = 0;
    float tau = 0;
    int64_t interval = 0;
};

// The flow scales from the length scale hMax: lenScale, timeScale, velScale, rateScale and
// the scaled times, cell sizes, minimum depth (minDepthS) and Coriolis parameter (coriolisS);
// the case's own values stay as read.
void scaleFlow(Model& m, float hMax);
// scaleFlow, then the flow state at rest on the set-up (every grid this rank keeps).
void initFlowState(Model& m, float hMax);
// The output number of the last interval the run would write, from the single-precision
// interval counter stepped as the main loop steps it. Throws StopError naming the coefficient
// file when a number would pass 32767 or the counter could not advance.
int32_t lastOutputNumber(const Model& m);
// The number of output intervals (wave periods) mainLoop runs when nothing stops it, from
// the flow clock initFlowState has set; each draws one irregular wave height.
int64_t intervalCount(const Model& m);

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
    int16_t number() const { return number_; }
    float endSeconds() const { return endSeconds_; }
    LoopClock clock() const { return {t_, tau_, interval_}; }
    void setClock(const LoopClock& c) {
        t_ = c.t;
        tau_ = c.tau;
        interval_ = c.interval;
    }
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
    float t_ = 0;    // the interval's start on the non-dimensional interval clock
    float tau_ = 0;  // the flow clock, which starts at 0 whatever the start time is
    int64_t interval_ = 0;  // intervals done
    float waveTime_ = 0;    // the last wave period's start (s)
    int16_t number_ = -1;
    float endSeconds_ = 0;
    // The result files' state as a checkpoint records it (refreshed by stateItems).
    int64_t netcdfSteps_ = 0;
    std::string netcdfHistory_;
};

// The whole loop: begin, every step, finish.
void mainLoop(Model& m, RunHost& host, float& hMax);

}  // namespace littoral
