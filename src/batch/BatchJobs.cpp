#include "batch/BatchJobs.h"

#include <condition_variable>
#include <mutex>
#include <thread>


namespace littoral {

namespace {

struct CaseSlot {
    std::string outDir;        // "" when the control file cannot be read
    bool namesRead = false;    // outDir is known
    RandomState start;         // the state the case ran from
    bool handedOn = false;     // `next` is known
    RandomState next;          // the state the case leaves, as foreseen
    bool ran = false;          // the first run has ended
    RandomState end;           // the state it actually left
    CaseOutcome outcome;
    bool final = false;        // checked (and run again if need be): its files stand
};

}  // namespace

int runSideBySide(const std::vector<std::string>& args, int jobs, const CaseRunner& run,
                  const std::function<std::string(const std::string&)>& outputFolderOf,
                  const std::function<void(const CaseOutcome&)>& report) {
    const size_t n = args.size();
    std::vector<CaseSlot> slots(n);
    std::mutex mu;
    std::condition_variable cv;
    size_t nextCase = 0;

    // The state case i starts from, once the case before it has handed it on.
    auto startOf = [&](size_t i, std::unique_lock<std::mutex>& lock) {
        if (i == 0) return RandomState{};
        cv.wait(lock, [&] { return slots[i - 1].handedOn; });
        return slots[i - 1].next;
    };

    auto worker = [&] {
        for (;;) {
            size_t i;
            {
                std::lock_guard lock(mu);
                if (nextCase >= n) return;
                i = nextCase++;
            }
            CaseSlot& c = slots[i];
            const std::string outDir = outputFolderOf(args[i]);
            {
                std::unique_lock lock(mu);
                c.outDir = outDir;
                c.namesRead = true;
                cv.notify_all();
                // The earlier cases that write into the same folder must have finished.
                cv.wait(lock, [&] {
                    for (size_t k = 0; k < i; ++k)
                        if (!slots[k].namesRead || (!outDir.empty() && slots[k].outDir == outDir && !slots[k].final))
                            return false;
                    return true;
                });
            }
            bool started = false;
            auto atStart = [&](long draws) {
                std::unique_lock lock(mu);
                c.start = startOf(i, lock);
                c.next = c.start.after(draws);
                c.handedOn = true;
                cv.notify_all();
                return c.start;
            };
            RandomState end;
            CaseOutcome out = run(args[i], atStart, end, started);
            std::unique_lock lock(mu);
            if (!started) {  // stopped before it was read: drew nothing
                c.start = startOf(i, lock);
                c.next = c.start;
                c.handedOn = true;
            }
            c.end = started ? end : c.start;
            c.outcome = std::move(out);
            c.ran = true;
            cv.notify_all();
        }
    };

    std::vector<std::thread> pool;
    const size_t nWorkers = std::min<size_t>(static_cast<size_t>(std::max(1, jobs)), n);
    for (size_t w = 0; w < nWorkers; ++w) pool.emplace_back(worker);

    // The cases in order: one that drew its heights from a state other than the one the
    // cases before it actually left runs again, here, from the right state.
    RandomState state;
    int failed = 0;
    for (size_t i = 0; i < n; ++i) {
        CaseSlot& c = slots[i];
        {
            std::unique_lock lock(mu);
            cv.wait(lock, [&] { return c.ran; });
        }
        const bool drew = !(c.end == c.start);
        if (drew && !(c.start == state)) {
            bool started = false;
            RandomState end;
            c.outcome = run(args[i], [&](long) { return state; }, end, started);
            if (started) state = end;
        } else if (drew) {
            state = c.end;
        }
        {
            std::lock_guard lock(mu);
            c.final = true;
            cv.notify_all();
        }
        failed += c.outcome.ok ? 0 : 1;
        report(c.outcome);
    }
    for (std::thread& t : pool) t.join();
    return failed;
}

}  // namespace littoral
