// What the project's own front-end pieces reach of a Run beyond the public API: observers of
// the driver's reports with the model as it stands (the pictures of the headless programs).
#pragma once

#include "littoral/littoral.h"
#include "run/RunHost.h"

namespace littoral {

// The observer is called after every report of the run, on the thread that advances it,
// until it is removed; it must outlive the run or be removed first.
void addObserver(Run& run, RunHost& observer);
void removeObserver(Run& run, RunHost& observer);

}  // namespace littoral
