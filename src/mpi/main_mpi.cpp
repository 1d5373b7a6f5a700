// littoral-mpi: the batch program with every case split over the processes of an MPI run
// (mpirun -np N littoral-mpi CONTROL_FILE...): the same arguments, files and messages as
// littoral-batch. The first process prints and writes; the others compute their rows.
#include <mpi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <exception>
#include <iostream>

#include "batch/BatchMain.h"
#include "mpi/MpiLink.h"

int main(int argc, char** argv) {
    int provided = 0;
    // Only the main thread of a process talks to the others, between the threaded passes.
    MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
    int status = 1;
    {
        littoral::MpiLink link(MPI_COMM_WORLD);
        // The messages are the first process's; the others' would repeat them.
        if (link.rank() != 0) {
            if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) {
                MPI_Abort(MPI_COMM_WORLD, 1);
            }
        }
        try {
            status = littoral::batchMain(argc, argv, {"littoral-mpi", &link});
            // LITTORAL_MPI_TIMES=1: where the time went between the processes.
            const char* times = std::getenv("LITTORAL_MPI_TIMES");
            if (times && std::string(times) == "1") link.report();
        } catch (const std::exception& e) {
            // Nothing should escape the case loop; should it, the others cannot go on.
            std::cerr << "littoral-mpi: " << e.what() << std::endl;
            MPI_Abort(MPI_COMM_WORLD, 1);
        }
    }
    MPI_Finalize();
    return status;
}
