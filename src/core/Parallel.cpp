#include "core/Parallel.h"

#include <pthread.h>

#include <atomic>
#include <cstdlib>

#include "core/Error.h"

namespace littoral {

namespace {
constexpr int kMaxThreads = 4096;
int programThreads = 0;             // 0: one per core
thread_local int ownThreads = 0;    // 0: the program's count

std::atomic<bool> forkedChild{false};
void markForkedChild() { forkedChild.store(true, std::memory_order_relaxed); }
const int forkHandler = pthread_atfork(nullptr, nullptr, markForkedChild);
}  // namespace

bool inForkedChild() {
    (void)forkHandler;
    return forkedChild.load(std::memory_order_relaxed);
}

int coreCount() { return std::max(1, omp_get_num_procs()); }

int threadCount() {
    if (ownThreads > 0) return ownThreads;
    return programThreads > 0 ? programThreads : coreCount();
}

void setThreadCount(int n) { programThreads = n > 0 ? std::min(n, kMaxThreads) : 0; }

int parseThreadCount(const std::string& text, const std::string& what) {
    size_t used = 0;
    long v = 0;
    try {
        v = std::stol(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || v < 1 || v > kMaxThreads)
        throw StopError(what + ": expected a whole number from 1 to " + std::to_string(kMaxThreads) +
                        ", found \"" + text + "\"");
    return static_cast<int>(v);
}

int threadsFromEnvironment() {
    const char* v = std::getenv("LITTORAL_THREADS");
    if (v == nullptr || *v == '\0') return 0;
    return parseThreadCount(v, "the environment variable LITTORAL_THREADS");
}

ThreadCountScope::ThreadCountScope(int n) : saved_(ownThreads) { ownThreads = n > 0 ? std::min(n, kMaxThreads) : 0; }
ThreadCountScope::~ThreadCountScope() { ownThreads = saved_; }

}  // namespace littoral
