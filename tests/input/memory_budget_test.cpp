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
    const double estimate = static_cast<double>(caseArrayBytes(m) + boundaryLineBytes(m.nBndListed, m.nLine));
    // Every array counted: the estimate within 2 % of what the case holds (the rest is
    // the allocator's bookkeeping and the model's texts).
    EXPECT_NEAR(held / estimate, 1.0, 0.02) << "held " << held << " bytes, estimated " << estimate;
}

TEST(MemoryBudget, CaseLargerThanTheMachineIsRefusedWithTheFigures) {
    const Model m = hugeCase();
    const uint64_t need = estimateMemory(m, 1).total();
    EXPECT_GT(need, uint64_t(kGridsPerCase) * 20002 * 20002 * 4);
    const MemoryRoom room = memoryRoom();
    if (room.bytes >= need) GTEST_SKIP() << "this machine has more than " << formatBytes(double(need));
    const std::string msg = stopMessage([&] { requireMemoryFor(m, 1); });
    EXPECT_EQ(msg.find("big/coef.txt: the grid of 20000 x 20000 cells needs about " + formatBytes(double(need)) +
                       " of memory (73 arrays of 20002 x 20002 cells"),
              0u)
        << msg;
    EXPECT_TRUE(containsAll(msg, {"the result-file writer's buffers of 1 thread, the pictures' and the program's own)",
                                  "is available (", "): expected a grid that fits in memory"}));
    // A limit of the process counts as the memory available.
    const int rc = inLimitedChild(uint64_t(2) << 30, [] {
        Model small;
        small.ixStart = small.jyStart = 1;
        small.ixEnd = small.jyEnd = 3000;  // 2.4 GiB
        return containsAll(stopMessage([&] { requireMemoryFor(small, 1); }),
                           {"is available (the address-space limit of this process (ulimit -v) of 2.0 GiB, of which "})
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

// What a control group leaves is its limit less its usage, the least over the group and
// those above it: a group near its limit is the one that counts even when its parent's
// limit is lower (before, the limit alone was compared with the whole estimate).
TEST(MemoryBudget, ControlGroupRoomIsTheLimitLessItsUsage) {
    CaseDir dir("memory-cgroup-room");
    const std::string root = dir.root.string() + "/cgroup";
    auto put = [&](const std::string& file, const std::string& v) {
        std::filesystem::create_directories(std::filesystem::path(root + file).parent_path());
        std::ofstream(root + file) << v << "\n";
    };
    put("/jobs/memory.max", "500000000");
    put("/jobs/memory.current", "100000000");
    put("/jobs/a/memory.max", "800000000");
    put("/jobs/a/memory.current", "750000000");
    std::string where;
    EXPECT_EQ(controlGroupRoom("0::/jobs/a\n", root, &where), 50000000u);
    EXPECT_TRUE(containsAll(where, {root + "/jobs/a/memory.max", "763 MiB of which 715 MiB is in use"})) << where;
    EXPECT_EQ(controlGroupLimit("0::/jobs/a\n", root), 500000000u);
    // Version 1: the memory controller's own folder; a group over its limit leaves nothing.
    put("/memory/batch/memory.limit_in_bytes", "300000000");
    put("/memory/batch/memory.usage_in_bytes", "310000000");
    EXPECT_EQ(controlGroupRoom("4:memory:/batch\n0::/\n", root), 1u);
    put("/memory/batch/memory.usage_in_bytes", "100000000");
    EXPECT_EQ(controlGroupRoom("4:memory:/batch\n0::/\n", root, &where), 200000000u);
    EXPECT_TRUE(containsAll(where, {"/memory/batch/memory.limit_in_bytes"}));
    // Both versions mounted (a hybrid system): the lesser room.
    EXPECT_EQ(controlGroupRoom("4:memory:/batch\n0::/jobs/a\n", root), 50000000u);
    EXPECT_EQ(controlGroupRoom("0::/none\n", root), 0u);
}

// The room is the least of every source, and it says which: the system's available
// memory (not its physical memory), the control group's room, the address-space limit
// less what the process already maps.
TEST(MemoryBudget, RoomIsTheLeastOfEverySourceAndNamesIt) {
    CaseDir dir("memory-room");
    const std::string root = dir.root.string() + "/system";
    auto put = [&](const std::string& file, const std::string& v) {
        std::filesystem::create_directories(std::filesystem::path(root + file).parent_path());
        std::ofstream(root + file) << v;
    };
    put("/proc/meminfo", "MemTotal:       64000000 kB\nMemFree:         1000 kB\nMemAvailable:    2000000 kB\n");
    put("/proc/self/cgroup", "0::/user/job\n");
    MemoryRoom r = memoryRoom(root);
    EXPECT_EQ(r.bytes, 2000000ull * 1024);
    EXPECT_EQ(r.source, "the memory the system has available, MemAvailable of /proc/meminfo");
    EXPECT_FALSE(r.addressSpace);

    put("/sys/fs/cgroup/user/memory.max", "1000000000\n");
    put("/sys/fs/cgroup/user/memory.current", "400000000\n");
    put("/sys/fs/cgroup/user/job/memory.max", "max\n");
    r = memoryRoom(root);
    EXPECT_EQ(r.bytes, 600000000u);
    EXPECT_TRUE(containsAll(r.source, {"control group", "/sys/fs/cgroup/user/memory.max"})) << r.source;

    // No MemAvailable (an old kernel): the physical memory stands in.
    put("/proc/meminfo", "MemTotal:       64000000 kB\n");
    std::filesystem::remove(root + "/proc/self/cgroup");
    r = memoryRoom(root);
    EXPECT_EQ(r.source, "the physical memory");

    // Under an address-space limit, what the process already maps and the stacks and heaps
    // of the threads still to start are taken from it.
    const int rc = inLimitedChild(uint64_t(3) << 30, [&] {
        const MemoryRoom none = memoryRoom(root, 0), two = memoryRoom(root, 2);
        if (!none.addressSpace || none.source.find("ulimit -v) of 3.0 GiB, of which ") == std::string::npos) return 1;
        if (none.bytes >= (uint64_t(3) << 30) || none.bytes < (uint64_t(2) << 30)) return 2;
        // Each thread reserves at least its heap arena of 64 MiB and its stack.
        if (none.bytes - two.bytes < 2 * (uint64_t(72) << 20)) return 3;
        return 0;
    });
    EXPECT_EQ(rc, 0);
}

// The parts of the estimate follow the run's choices: the result writer's buffers grow
// with the threads, the netCDF writer adds a field buffer of the grid, a run that writes
// no files holds neither nor the pictures; the per-cell part of a large grid stays within
// what the arrays, the netCDF buffers and the pictures take (292 + 8 + 8 + 15 bytes).
TEST(MemoryBudget, EstimateFollowsTheThreadsAndTheResultFiles) {
    Model m = hugeCase();
    m.ixEnd = m.jyEnd = 2000;
    const MemoryEstimate one = estimateMemory(m, 1), two = estimateMemory(m, 2);
    EXPECT_GT(two.writer, one.writer);
    EXPECT_EQ(two.arrays, one.arrays);
    EXPECT_EQ(one.netcdf, 0u);
    m.netcdfResults = true;
    const MemoryEstimate nc = estimateMemory(m, 1);
    EXPECT_GE(nc.netcdf, uint64_t(2000) * 2000 * 8);
    const double perCell = double(nc.total() - nc.program - nc.writer) / (2002.0 * 2002.0);
    EXPECT_GT(perCell, 292.0 + 8 + 8 + 8);
    EXPECT_LT(perCell, 292.0 + 8 + 8 + 8 + 8);
    m.filesWanted = false;
    const MemoryEstimate quiet = estimateMemory(m, 2);
    EXPECT_EQ(quiet.writer + quiet.netcdf + quiet.pictures, 0u);
    EXPECT_EQ(quiet.total(), quiet.program + quiet.arrays);
}
