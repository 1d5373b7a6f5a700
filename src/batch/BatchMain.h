// The batch programs' command line and case loop: littoral-batch, and littoral-mpi, which
// runs the same with every case split over its processes.
#pragma once

#include <string>

#include "littoral/littoral.h"

namespace littoral {

struct BatchFrontEnd {
    std::string program = "littoral-batch";  // the name in the usage line and the messages
    SlabLink* link = nullptr;                 // the processes every case is split over
};

// Runs the program with its arguments; returns the exit status.
int batchMain(int argc, char** argv, const BatchFrontEnd& fe);

}  // namespace littoral
