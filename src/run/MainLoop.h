// The main time loop of a case: output intervals of one wave period each, run one at a
// time so that a front-end can take each interval's results before the next begins.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "core/Model.h"
#include "run/RunHost.h"
#include "run/Watchdog.h"
#include "flow/Flow.h"

namespace littoral {

class ResultFiles;
class GaugeRecorder;

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

    void begin();
    bool step();
    void finish();
    // The last finished interval: its output number and its end (model time, s).
    int16_t number() const { return number_; }
    float endSeconds() const { return endSeconds_; }

private:
    Model& m_;
    RunHost& host_;
    float& hMax_;
    std::unique_ptr<ResultFiles> results_;
    std::unique_ptr<GaugeRecorder> gauges_;  // when the run has gauges
    std::optional<Watchdog> watchdog_;
    float t_ = 0;    // the interval's start on the non-dimensional interval clock
    float tau_ = 0;  // the flow clock, which starts at 0 whatever the start time is
    int16_t number_ = -1;
    float endSeconds_ = 0;
};

// The whole loop: begin, every step, finish.
void mainLoop(Model& m, RunHost& host, float& hMax);

}  // namespace littoral
