// The memory a case needs, worked out before it allocates: the estimate against what a
// whole case really holds, the refusal of a case that cannot fit, and an allocation
// failure turned into a message naming the case and the array.
#include <gtest/gtest.h>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <string>

#include "run/RunCase.h"
#include "core/Allocation.h"
#include "core/Error.h"
#include "input/MemoryBudget.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;
namespace fs = std::filesystem;

namespace {

size_t heapInUse() {
    const struct mallinfo2 mi = mallinfo2();
    return mi.uordblks + mi.hblkhd;
}

// Runs f in a child process limited to `limit` bytes of address space; its exit status.
int inLimitedChild(uint64_t limit, const std::function<int()>& f) {
    const pid_t pid = fork();
    if (pid == 0) {
        rlimit lim{limit, limit};
        if (setrlimit(RLIMIT_AS, &lim) != 0) _exit(90);
        _exit(f());
    }
    int st = 0;
    waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

Model hugeCase() {
    Model m;
    m.coefFile = "big/coef.txt";
    m.ixStart = m.jyStart = 1;
    m.ixEnd = m.jyEnd = 20000;
    m.nBndApprox = 20;
    m.nBndCell = 2 * (20000 + 20000 + 4);
    return m;
}

struct ThrowingHost : RecordingHost {
    void showPlotWindows(const Model&) override { throw std::bad_alloc(); }
};

// Heap figures and address-space limits mean nothing under the address sanitizer.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

}  // namespace

TEST(MemoryBudget, EstimateMatchesWhatAWholeCaseHolds) {
    if (kAddressSanitizer) GTEST_SKIP() << "the address sanitizer keeps its own heap and shadow memory";
    CaseDir dir("memory");
    SmallCase c;
    c.coef.ixEnd = 90;
    c.coef.jyEnd = 70;
    c.coef.tEnd = 6;  // one interval: every array of the case is allocated
    c.slope = 0.02f;
    c.write(dir, "a");
    {
        Model warm;  // first-use allocations of the library stay out of the measurement
        dir.prepare(warm, "acnt.txt");
        RecordingHost host;
        runCase(warm, host);
    }
    const size_t before = heapInUse();
    Model m;
    dir.prepare(m, "acnt.txt");
    RecordingHost host;
    runCase(m, host);
    const double held = static_cast<double>(heapInUse() - before);
    const double estimate = static_cast<double>(caseMemoryBytes(m) + boundaryLineBytes(m.nBndListed, m.nLine));
    // Every array counted: the estimate within 2 % of what the case holds (the rest is
    // the allocator's bookkeeping and the model's texts).
    EXPECT_NEAR(held / estimate, 1.0, 0.02) << "held " << held << " bytes, estimated " << estimate;
}

TEST(MemoryBudget, CaseLargerThanTheMachineIsRefusedWithTheFigures) {
    const Model m = hugeCase();
    const uint64_t need = caseMemoryBytes(m);
    EXPECT_GT(need, uint64_t(kGridsPerCase) * 20002 * 20002 * 4);
    std::string source;
    if (availableMemoryBytes(&source) >= need) GTEST_SKIP() << "this machine has more than " << formatBytes(double(need));
    const std::string msg = stopMessage([&] { requireMemoryFor(m); });
    EXPECT_EQ(msg.find("big/coef.txt: the grid of 20000 x 20000 cells needs about " + formatBytes(double(need)) +
                       " of memory (73 arrays of 20002 x 20002 cells"),
              0u)
        << msg;
    EXPECT_TRUE(containsAll(msg, {"is available (" + source + "): expected a grid that fits in memory"}));
    // A limit of the process counts as the memory available.
    const int rc = inLimitedChild(uint64_t(2) << 30, [] {
        Model small;
        small.ixStart = small.jyStart = 1;
        small.ixEnd = small.jyEnd = 3000;  // 2.4 GiB
        return containsAll(stopMessage([&] { requireMemoryFor(small); }),
                           {"2.0 GiB is available (the address-space limit of this process"})
                   ? 0
                   : 1;
    });
    EXPECT_EQ(rc, 0);
}

TEST(MemoryBudget, AllocationFailureNamesTheArrayAndTheCase) {
    if (kAddressSanitizer) GTEST_SKIP() << "the address sanitizer keeps its own heap and shadow memory";
    // A grid beyond the process's limit: the failure names its shape and size.
    const int rc = inLimitedChild(uint64_t(1) << 30, [] {
        Grid g;
        try {
            g.allocate(0, 20000, 0, 20000);
        } catch (const AllocationError& e) {
            return std::string(e.what()) == "a grid of 20001 x 20001 cells (1.5 GiB)" ? 0 : 1;
        }
        return 2;
    });
    EXPECT_EQ(rc, 0);

    // Any allocation failure within a case becomes a message naming the case.
    CaseDir dir("memory-fail");
    Model m;
    SmallCase{}.prepare(dir, "a", m);
    ThrowingHost host;
    const std::string msg = stopMessage([&] { runCase(m, host); });
    EXPECT_EQ(msg.find(m.cntPath + ": the memory ran out while running ("), 0u) << msg;
    EXPECT_TRUE(containsAll(msg, {"is available"}));
    EXPECT_FALSE(std::filesystem::exists(dir.output / "a" / ".littoral.lock"));
}

// The limit of the process's control group, version 2 or version 1's memory controller,
// the least of the group's and those above it (before, version 1 was not read at all).
TEST(MemoryBudget, ControlGroupLimitsOfBothVersions) {
    CaseDir dir("memory-cgroup");
    const std::string root = dir.root.string() + "/cgroup";
    auto put = [&](const std::string& file, const std::string& v) {
        std::filesystem::create_directories(std::filesystem::path(root + file).parent_path());
        std::ofstream(root + file) << v << "\n";
    };
    put("/memory/batch/run/memory.limit_in_bytes", "9223372036854771712");  // version 1's "no limit"
    put("/memory/batch/memory.limit_in_bytes", "300000000");
    put("/memory/memory.limit_in_bytes", "900000000");
    EXPECT_EQ(controlGroupLimit("4:memory:/batch/run\n3:cpuset:/\n0::/\n", root), 300000000u);
    EXPECT_EQ(controlGroupLimit("5:cpu,memory:/\n", root), 900000000u);
    put("/jobs/a/memory.max", "max");
    put("/jobs/memory.max", "500000000");
    EXPECT_EQ(controlGroupLimit("0::/jobs/a\n", root), 500000000u);
    EXPECT_EQ(controlGroupLimit("0::/elsewhere\n4:pids:/\n", root), 0u);
}
