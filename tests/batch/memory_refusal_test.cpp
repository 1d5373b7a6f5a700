// A coefficient file asking for a grid larger than the machine's memory: the batch program
// refuses it at once, with the figures, before it allocates the grids or opens the depth file.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <string>

#include "core/Allocation.h"
#include "input/MemoryBudget.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;
namespace fs = std::filesystem;

TEST(BatchMemory, GridLargerThanTheMachineIsRefusedWithinASecond) {
    CaseDir dir("batch-memory");
    CoefSpec big;
    big.ixEnd = big.jyEnd = 20000;
    dir.write("big/coef.txt", coefText(big));
    dir.write("big/wave.txt", waveText(0.5f, 6, 180, 20000, 1));
    dir.write("big/tide.txt", "0, tide\n1\n17, 0, 0, 0\n");
    // No depth or boundary file: the case must be refused before it looks for them.
    dir.write("bigcnt.txt", controlText("big", "big"));
    Model m;
    m.ixStart = m.jyStart = 1;
    m.ixEnd = m.jyEnd = 20000;
    m.nBndApprox = 20;
    m.nBndCell = 2 * (20000 + 20000 + 4);
    std::string source;
    const uint64_t need = caseMemoryBytes(m), avail = availableMemoryBytes(&source);
    if (avail >= need) GTEST_SKIP() << "this machine has more than " << formatBytes(double(need));

    const fs::path log = dir.root / "big.log";
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = startBatch(dir.data / "bigcnt.txt", log);
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
                                  "but " + formatBytes(double(avail)) + " is available (" + source + ")"}));
    EXPECT_LT(seconds, 1.0);
    // Nothing of the grids was allocated: the program stayed small (one grid alone is 1.5 GiB).
    EXPECT_LT(use.ru_maxrss, 300L * 1024) << "peak resident size in KiB";
}
