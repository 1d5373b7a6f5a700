// Threads of the time loops. Work is split by whole rows: rows are contiguous in memory,
// so a thread owns a slab of rows and the vector loops inside a row stay as they are.
// Every cell's arithmetic is the same whatever slab it falls in, so results do not depend
// on the number of threads. The threads never
// reach a front-end: the driver reports between passes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>

#include <omp.h>

#include "core/RowRange.h"

namespace littoral {

// Threads the loops of the calling thread use: its own count (ThreadCountScope) if set,
// otherwise the program's.
int threadCount();
// The program's count; n <= 0 means one per core.
void setThreadCount(int n);
// Cores this process may run on.
int coreCount();
// The count LITTORAL_THREADS asks for, 0 when the variable is unset or empty. A value that
// is not a whole number from 1 to 4096 stops with a message naming the variable.
int threadsFromEnvironment();
// A count given as text (an option's value): a whole number from 1 to 4096, or StopError
// naming `what`.
int parseThreadCount(const std::string& text, const std::string& what);

// Sets the calling thread's own count for its lifetime (one case of several running side
// by side).
class ThreadCountScope {
public:
    explicit ThreadCountScope(int n);
    ~ThreadCountScope();
    ThreadCountScope(const ThreadCountScope&) = delete;
    ThreadCountScope& operator=(const ThreadCountScope&) = delete;

private:
    int saved_;
};

// True in a process made by fork(): it has only the forking thread, and the OpenMP
// threads of its parent do not exist there.
bool inForkedChild();

// Runs body(t, n) on n threads, t = 0..n-1 (fewer if the system grants fewer); thread 0
// is the calling thread. One thread runs body(0, 1) directly; a forked child runs the n
// parts one after another (the same numbers: the parts are independent). A failure of any part
// is raised on the calling thread once all are done.
template <class F>
void onThreads(int n, F&& body) {
    if (n <= 1) {
        body(0, 1);
        return;
    }
    if (inForkedChild()) {
        for (int t = 0; t < n; ++t) body(t, n);
        return;
    }
    // A failure on any thread (the memory running out) is raised on the calling thread once
    // every thread is done, not from inside the parallel block.
    std::exception_ptr failure;
#pragma omp parallel num_threads(n)
    {
        try {
            body(omp_get_thread_num(), omp_get_num_threads());
        } catch (...) {
#pragma omp critical(littoral_on_threads_failure)
            if (!failure) failure = std::current_exception();
        }
    }
    if (failure) std::rethrow_exception(failure);
}

// Runs body(jBegin, jEnd, t) over the rows j0..j1 split into one slab per thread.
template <class F>
void forRowSlabs(int32_t j0, int32_t j1, F&& body) {
    const int64_t rows = int64_t{j1} - j0 + 1;
    if (rows <= 0) return;
    const int n = static_cast<int>(std::min<int64_t>(threadCount(), rows));
    onThreads(n, [&](int t, int nt) {
        const RowRange r = slabOf(j0, j1, t, nt);
        if (r.end >= r.begin) body(r.begin, r.end, t);
    });
}

// Runs body(begin, end) over the elements 0..n-1 of flat arrays split into one
// contiguous part per thread (end exclusive).
template <class F>
void forFlatParts(size_t n, F&& body) {
    constexpr size_t kMinPart = size_t{1} << 14;  // smaller parts are not worth a thread
    const int nt = static_cast<int>(std::min<size_t>(threadCount(), std::max<size_t>(1, n / kMinPart)));
    // Part boundaries on whole 64-byte lines of float arrays, so that no two threads
    // write into one cache line.
    auto edge = [n](int t, int k) { return t == k ? n : (n * t / k) & ~size_t{15}; };
    onThreads(nt, [&](int t, int k) { body(edge(t, k), edge(t + 1, k)); });
}

// forFlatParts over the elements begin..end-1 (body(a, b) with begin <= a <= b <= end).
template <class F>
void forFlatParts(size_t begin, size_t end, F&& body) {
    forFlatParts(end - begin, [&](size_t a, size_t b) { body(begin + a, begin + b); });
}

// The smallest of body(jBegin, jEnd) over the row slabs of j0..j1 (each slab's own
// smallest, `start` if none is smaller); the slabs' results are combined under a lock, and
// the smallest of a set does not depend on the order it is taken in.
template <class T, class F>
T minOverRowSlabs(int32_t j0, int32_t j1, T start, F&& body) {
    T best = start;
    forRowSlabs(j0, j1, [&](int32_t a, int32_t b, int) {
        const T v = body(a, b);
#pragma omp critical(littoral_min_over_row_slabs)
        best = v < best ? v : best;
    });
    return best;
}

}  // namespace littoral
