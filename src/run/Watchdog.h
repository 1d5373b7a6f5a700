// Checks that keep a run from writing results that no sound case can reach, from looking
// hung, and from integrating a different time than it says, at next to no cost: a few
// counters per flow step and one pass over the result quantities per output interval.
//
// Bounds (dimensional), fixed once per case from its input. Depths are taken as the flow
// feels them: a cell no deeper than its deepest neighbour, so that one cell far off its
// surroundings (an input error) does not widen the bounds.
//   levels   the set-up of wet cells stays within [lowest, highest] level the case imposes
//            (tide, boundary water levels) widened by 2 Hin + the largest bed step between
//            neighbours + rise + 1 m, where Hin is the largest incident wave height (groups
//            and irregular caps included) and rise the level that all boundary inflow of the
//            run would give spread over the wet area;
//   speeds   |u|, |v| at most 2 sqrt(g D) + 2 Up: the front speed of a dam break over that
//            level range D, plus twice the fastest speed a boundary row prescribes;
//   waves    wave height and surface elevation within 8 Hin + 0.01 m (shoaling, focusing and
//            full reflection together stay below);
//   bed      the depth within the first depths' range widened by the deepest water column,
//            and one interval's bed change within that column;
//   steps    one interval takes at most 20 times the flow steps that the deepest interior
//            still water (with 2 Hin + 1 m on it) explains, plus 1000;
//   finite   every quantity of the result file and of the wave and flow state is a number;
//            stresses, kd and wave heights are not negative; directions lie in [-pi, pi] or
//            are -9.
#pragma once

#include <algorithm>
#include <string>

#include "core/Model.h"
#include "run/RunHost.h"

namespace littoral {

// Stops the run when a grid of the wave or flow state, or a quantity of the result file,
// holds a value that is not a finite number, naming the quantity, the cell and the model time.
// The grids are searched on all threads.
void checkFinite(const Model& m, float timeSeconds);

class Watchdog {
public:
    // Bounds of the case, and the input most likely to break them; call once the flow state
    // is set up (allocates the text of that cause, outside the time loops).
    explicit Watchdog(const Model& m);

    // The flow part of an interval begins; it spans `periods` wave periods (the first
    // interval's flow runs from time 0 to tStart + T).
    void startInterval(double periods = 1.0) {
        steps_ = 0;
        limit_ = periods > 1.0 ? static_cast<long>(std::min(static_cast<double>(stepLimit_) * periods, 1e15)) : stepLimit_;
    }
    // Counts one flow step of size dtS; stops a run that needs far more steps than the
    // case explains (one interval would take hours).
    void step(const Model& m, float dtS, float tSeconds) {
        (void)dtS;
        ++steps_;
        if (steps_ > limit_) stalled(m, tSeconds);
    }
    // At the interval's end, before its results are written: checks every result quantity
    // against the bounds.
    void endInterval(const Model& m, float tSeconds);

    double levelLow() const { return levelLo_; }
    double levelHigh() const { return levelHi_; }
    double speedBound() const { return speed_; }
    double waveBound() const { return wave_; }
    long stepLimit() const { return stepLimit_; }
    // What it keeps from one interval to the next for a checkpoint: nothing (the bounds
    // follow from the case, the step count starts afresh each interval).
    void stateItems(StateItems&) {}

private:
    [[noreturn]] void stalled(const Model& m, float tSeconds) const;
    void checkBounds(const Model& m, float tSeconds) const;

    double levelLo_ = 0, levelHi_ = 0, speed_ = 0, wave_ = 0, bedLo_ = 0, bedHi_ = 0, bedStep_ = 0;
    long stepLimit_ = 0;
    long steps_ = 0;
    long limit_ = 0;  // the step limit of the present interval
    std::string cause_;  // likelyCause of the input as read
};

// The input that most likely made a run leave the bounds: a boundary row, a cell far deeper
// than its neighbours, a breaking ratio far above 1, a dry wave input cell; text for people.
std::string likelyCause(const Model& m);

}  // namespace littoral
