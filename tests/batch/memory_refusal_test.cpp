// A case larger than the memory the batch program can get: refused at once, with the
// figures and the limit that counts, before it allocates the grids or opens the depth file;
// under an address-space limit around the estimate, a limit below it is refused with the
// message, one above it completes, and the case after it runs either way.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>

#include "core/Allocation.h"
#include "input/MemoryBudget.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;
namespace fs = std::filesystem;

namespace {

// The batch program run by the shell with `pre` before it (a ulimit, an environment).
BatchRun shellBatch(const std::string& pre, const std::string& args) {
    return runCommand("/bin/sh -c '" + pre + " exec " + LITTORAL_BATCH_EXE + " " + args + "'");
}

// A figure of a message ("512 MiB", "1.5 GiB", "640 KiB") in bytes.
double bytesOf(const std::string& number, const std::string& unit) {
    const double v = std::stod(number);
    return unit == "GiB" ? v * 1073741824.0 : unit == "MiB" ? v * 1048576.0 : unit == "KiB" ? v * 1024.0 : v;
}

}  // namespace

TEST(BatchMemory, GridLargerThanTheMachineIsRefusedWithinASecond) {
    CaseDir dir("batch-memory");
    CoefSpec big;
    big.ixEnd = big.jyEnd = 20000;
    dir.write("big/coef.txt", coefText(big));
    dir.write("big/wave.txt", waveText(0.5f, 6, 180, 20000, 1));
    dir.write("big/tide.txt", "0, tide\n1\n17, 0, 0, 0\n");
    // No depth or boundary file: the case must be refused before it looks for them.
    dir.write("bigcnt.txt", controlText("big", "big"));
    // The system's available memory read from a stand-in of /proc/meminfo: 64 GiB.
    const fs::path sys = dir.root / "system";
    fs::create_directories(sys / "proc");
    std::FILE* f = std::fopen((sys / "proc" / "meminfo").c_str(), "w");
    std::fputs("MemTotal:       99999999 kB\nMemAvailable:   67108864 kB\n", f);
    std::fclose(f);
    Model m;
    m.ixStart = m.jyStart = 1;
    m.ixEnd = m.jyEnd = 20000;
    m.nBndApprox = 20;
    m.nBndCell = 2 * (20000 + 20000 + 4);
    // At its reading a case's result files are not yet chosen: the arrays and the program
    // are checked (the run's start checks again with its threads and result files).
    m.filesWanted = false;
    const uint64_t need = estimateMemory(m, 1).total();
    if (memoryRoom(sys.string(), 0).bytes != 64ull << 30) GTEST_SKIP() << "a limit of this process is below 64 GiB";

    const fs::path log = dir.root / "big.log";
    setenv("LITTORAL_SYSTEM_ROOT", sys.c_str(), 1);
    setenv("LITTORAL_THREADS", "1", 1);
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = startBatch(dir.data / "bigcnt.txt", log);
    unsetenv("LITTORAL_SYSTEM_ROOT");
    unsetenv("LITTORAL_THREADS");
    int st = 0;
    rusage use{};
    wait4(pid, &st, 0, &use);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const std::string out = readFile(log);
    ASSERT_TRUE(WIFEXITED(st));
    EXPECT_EQ(WEXITSTATUS(st), 1);
    EXPECT_TRUE(containsAll(out, {"FAILED " + (dir.data / "bigcnt.txt").string() +
                                      ": big\\coef.txt: the grid of 20000 x 20000 cells needs about " +
                                      formatBytes(double(need)) + " of memory",
                                  "but 64.0 GiB is available (the memory the system has available, MemAvailable of "
                                  "/proc/meminfo): expected a grid that fits in memory"}))
        << out;
    EXPECT_LT(seconds, 1.0);
    // Nothing of the grids was allocated: the program stayed small (one grid alone is 1.5 GiB).
    EXPECT_LT(use.ru_maxrss, 300L * 1024) << "peak resident size in KiB";
}

// Under `ulimit -v` at and around the estimate, 2 threads: below it the case is refused
// with the message naming the limit (before, the check passed and the threaded result
// writer aborted with std::bad_alloc, losing the cases after it); above it the case runs
// to its end. The threshold is read from one refusal: what the case needs beyond what the
// process holds, against what the limit leaves.
TEST(BatchMemory, AddressSpaceLimitAroundTheEstimate) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves terabytes of address space";
#endif
    CaseDir dir("batch-ulimit");
    SmallCase c;
    c.coef.ixEnd = c.coef.jyEnd = 240;
    c.coef.tEnd = 6;  // one interval
    c.write(dir, "big");
    SmallCase{.coef = {.tEnd = 0}}.write(dir, "after");
    const std::string args = "--threads 2 " + (dir.data / "bigcnt.txt").string() + " " + (dir.data / "aftercnt.txt").string();

    // A limit far too low for the case, not for the program: the figures of the refusal,
    // what the case needs beyond what it holds and what the process maps or reserves.
    const std::regex figures(R"(, ([\d.]+) (\w+) more than it holds now, but .* is available \(the address-space )"
                             R"(limit of this process \(ulimit -v\) of [\d.]+ \w+, of which ([\d.]+) (\w+) is in use)");
    BatchRun r{};
    std::smatch s;
    for (const long probe : {120000L, 160000L, 250000L}) {
        r = shellBatch("export OMP_WAIT_POLICY=passive; ulimit -v " + std::to_string(probe) + ";", args);
        if (std::regex_search(r.out, s, figures)) break;
    }
    ASSERT_FALSE(s.empty()) << r.out;
    EXPECT_EQ(r.status, 1);
    long threshold = static_cast<long>((bytesOf(s[1], s[2]) + bytesOf(s[3], s[4])) / 1024);
    // The case is checked at its reading and again at its run's start (with its threads and
    // result files): a refusal of the second check above the first's threshold gives its own.
    for (int k = 0; k < 3; ++k) {
        r = shellBatch("export OMP_WAIT_POLICY=passive; ulimit -v " + std::to_string(threshold + 4096) + ";", args);
        if (!std::regex_search(r.out, s, figures)) break;
        threshold = std::max(threshold, static_cast<long>((bytesOf(s[1], s[2]) + bytesOf(s[3], s[4])) / 1024));
    }

    // 4 MiB below the threshold: refused with the message, the next case runs.
    r = shellBatch("export OMP_WAIT_POLICY=passive; ulimit -v " + std::to_string(threshold - 4096) + ";", args);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(containsAll(r.out, {"big\\coef.txt: the grid of 240 x 240 cells needs about ",
                                    "is available (the address-space limit of this process (ulimit -v)",
                                    "ok     " + (dir.data / "aftercnt.txt").string()}))
        << r.out;
    // 4 MiB above it: the case runs to its end (no allocation fails on any thread).
    r = shellBatch("export OMP_WAIT_POLICY=passive; ulimit -v " + std::to_string(threshold + 4096) + ";", args);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(containsAll(r.out, {"ok     " + (dir.data / "bigcnt.txt").string(),
                                    "ok     " + (dir.data / "aftercnt.txt").string()}))
        << r.out;
    EXPECT_EQ(r.out.find("ran out"), std::string::npos) << r.out;
}
