// Runs a case on a worker thread while the windows stay live on the main thread. Every
// report of the case (progress line, pictures, warnings) is handed to the host on the main
// thread while the worker waits, so the host reads the model's grids as they stand at that
// point and the windows draw exactly what a run on one thread would have shown.
#pragma once

#include <functional>

namespace littoral {

struct Model;
struct RunHost;

// runCase(m) on a worker thread, host called on this (the main) thread; returns when the
// case has ended and rethrows what it threw. Once closed() is true (it is asked on the main
// thread after every report and between events), the case is asked to stop at its next
// step and RunAborted is thrown here.
void runCaseOnWorker(Model& m, RunHost& host, const std::function<bool()>& closed);

}  // namespace littoral
