// Runs a case on a worker thread while the windows stay live on the main thread. The case
// is read and run through the library's public API (littoral::Case, littoral::Run and its
// events); every report of the run (progress line, pictures, warnings) is handed to the
// host on the main thread while the worker waits, so the host reads the model's grids as
// they stand at that point and the windows draw exactly what a run on one thread would
// have shown.
#pragma once

#include <functional>
#include <string>

#include "littoral/littoral.h"

namespace littoral {

struct RunHost;

// The control file `cnt` read and run to its end on a worker thread with `options` (their
// events are the worker's own), `host` called on this (the main) thread; returns when the
// case has ended and rethrows what it threw (InputError, RunError, ...). `random` is where
// the irregular heights continue; it is left where the case left the sequence, also when
// the case stops. Once closed() is true (asked on the main thread after every report and
// between events), the case is asked to stop at its next step and RunAborted is thrown.
void runCaseOnWorker(const std::string& cnt, RunOptions options, RunHost& host, const std::function<bool()>& closed,
                     RandomState& random);

}  // namespace littoral
