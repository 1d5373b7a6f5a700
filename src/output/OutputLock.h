// The claim of a case on its output folder, held for the whole run.
//
// The claim is an exclusive lock on the file ".littoral.lock" in the folder, which holds the
// process id, the host and the control file of the run that holds it. A second run into a
// folder that a live run holds is refused at once; a lock left by a process that died is
// released by the system and taken over by the next run. Taking the folder removes the
// temporaries that a killed run left behind ("*.part"): while the lock is held, no other
// writer of this program can be writing them. Releasing the claim removes the lock file.
#pragma once

#include <string>

namespace littoral {

class OutputLock {
public:
    // folder: the case's output folder (it exists); runName: the control file of the run,
    // recorded in the lock for the message another run would show. Throws StopError when
    // another live run holds the folder or the lock cannot be made.
    OutputLock(const std::string& folder, const std::string& runName);
    ~OutputLock();
    OutputLock(const OutputLock&) = delete;
    OutputLock& operator=(const OutputLock&) = delete;

    // Number of stale temporaries removed when the folder was taken.
    int staleRemoved() const { return staleRemoved_; }

    static constexpr const char* kFileName = ".littoral.lock";

private:
    std::string path_;
    int fd_ = -1;
    int staleRemoved_ = 0;
};

}  // namespace littoral
