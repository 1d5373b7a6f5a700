#include "output/OutputLock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "core/Error.h"
#include "output/RecordWriter.h"

namespace littoral {

namespace fs = std::filesystem;

namespace {

std::string hostName() {
    char b[256] = {};
    if (::gethostname(b, sizeof b - 1) != 0) return "?";
    return b;
}

// The record of the holder: "pid host started case", one line.
std::string holderRecord(const std::string& runName) {
    char when[32] = "?";
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    if (::gmtime_r(&now, &tm)) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return std::to_string(static_cast<long>(::getpid())) + "\n" + hostName() + "\n" + when + "\n" + runName + "\n";
}

struct Holder {
    long pid = 0;
    std::string host, since, run;
};

Holder readHolder(int fd) {
    char b[4096];
    const ssize_t n = ::pread(fd, b, sizeof b - 1, 0);
    Holder h;
    if (n <= 0) return h;
    std::string s(b, static_cast<size_t>(n));
    std::string* fields[] = {nullptr, &h.host, &h.since, &h.run};
    size_t pos = 0;
    for (int k = 0; k < 4 && pos < s.size(); ++k) {
        size_t e = s.find('\n', pos);
        if (e == std::string::npos) e = s.size();
        const std::string line = s.substr(pos, e - pos);
        if (k == 0) h.pid = std::strtol(line.c_str(), nullptr, 10);
        else *fields[k] = line;
        pos = e + 1;
    }
    return h;
}

std::string describe(const Holder& h) {
    if (h.pid <= 0) return "a process that has not yet recorded itself";
    std::string d = "process " + std::to_string(h.pid);
    if (!h.host.empty()) d += " on " + h.host;
    if (!h.run.empty()) d += ", case " + h.run;
    if (!h.since.empty()) d += ", since " + h.since;
    return d;
}

// Without file locks (a file system that refuses them) the record decides: a process of
// this host that still lives holds the folder.
bool holderAlive(const Holder& h) {
    if (h.pid <= 0 || h.pid == static_cast<long>(::getpid())) return false;
    if (h.host != hostName()) return false;
    return ::kill(static_cast<pid_t>(h.pid), 0) == 0 || errno == EPERM;
}

}  // namespace

OutputLock::OutputLock(const std::string& folder, const std::string& runName)
    : path_((fs::path(folder) / kFileName).string()) {
    auto refuse = [&](const Holder& h) {
        throw StopError("the output folder " + folder + " is in use by another run (" + describe(h) +
                        "): expected a folder that no running case writes into; wait until that run has ended "
                        "or give this case another output name");
    };
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0)
            throw StopError("the output folder " + folder + " cannot be claimed for this run: " + path_ +
                            " cannot be created (" + std::strerror(errno) + ")");
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            const Holder h = readHolder(fd);
            if (err == EINTR) {
                ::close(fd);
                continue;
            }
            if (err == EWOULDBLOCK) {
                // The holder writes its record right after taking the lock: give it a
                // moment, so that the refusal can name it.
                Holder named = h;
                for (int k = 0; named.pid <= 0 && k < 100; ++k) {
                    ::usleep(10000);
                    named = readHolder(fd);
                }
                ::close(fd);
                refuse(named);
            }
            if (holderAlive(h)) {
                ::close(fd);
                refuse(h);
            }
        }
        // The run that held the lock removes its file when it ends: a lock taken on a file
        // that is no longer the one under the name is worth nothing; open the name again.
        struct stat a {}, b {};
        if (::fstat(fd, &a) != 0 || ::stat(path_.c_str(), &b) != 0 || a.st_ino != b.st_ino || a.st_dev != b.st_dev) {
            ::close(fd);
            continue;
        }
        fd_ = fd;
    }
    if (fd_ < 0) throw StopError("the output folder " + folder + " cannot be claimed for this run: " + path_ +
                                 " keeps being replaced by other runs");

    const std::string rec = holderRecord(runName);
    if (::ftruncate(fd_, 0) != 0 || ::pwrite(fd_, rec.data(), rec.size(), 0) != static_cast<ssize_t>(rec.size())) {
        const int err = errno;
        ::unlink(path_.c_str());
        ::close(fd_);
        fd_ = -1;
        throw StopError("the output folder " + folder + " cannot be claimed for this run: " + path_ +
                        " cannot be written (" + std::strerror(err) + ")");
    }

    // Temporaries of a run that was killed: no writer of this program is writing them now.
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        std::error_code fec;
        if (!isWriterTemporary(e.path().filename().string()) || !e.is_regular_file(fec)) continue;
        if (fs::remove(e.path(), fec)) ++staleRemoved_;
    }
}

OutputLock::~OutputLock() {
    if (fd_ < 0) return;
    ::unlink(path_.c_str());
    ::close(fd_);
}

}  // namespace littoral
