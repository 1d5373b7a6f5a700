// The batch program given a named pipe as its control file or as an input file: the case is
// refused at once, naming it, and the next case runs (before, the open waited for a writer
// for ever).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "support/TestSupport.h"

using namespace littoral::test;

namespace {

// The batch program under a time limit of 60 s: its exit status (124 when the limit ended
// it) and everything it printed.
BatchRun runBatchLimited(const std::string& args) {
    return runCommand("timeout 60 " + std::string(LITTORAL_BATCH_EXE) + " " + args);
}

}  // namespace

TEST(RegularFiles, NamedPipesAreRefusedAtOnceAndTheNextCaseRuns) {
    CaseDir dir("batch-fifo");
    SmallCase{.coef = {.tEnd = 0}}.write(dir, "good");
    SmallCase{}.write(dir, "pipe");
    std::remove((dir.data / "pipe" / "tide.txt").c_str());
    ASSERT_EQ(mkfifo((dir.data / "pipe" / "tide.txt").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((dir.data / "fifocnt.txt").c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    const BatchRun r = runBatchLimited((dir.data / "fifocnt.txt").string() + " " + (dir.data / "pipecnt.txt").string() +
                                       " " + (dir.data / "goodcnt.txt").string());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(containsAll(r.out, {"FAILED " + (dir.data / "fifocnt.txt").string() +
                                        ": fifocnt.txt: the file is a named pipe: expected a regular file of text",
                                    "FAILED " + (dir.data / "pipecnt.txt").string() +
                                        ": pipe\\tide.txt: the file is a named pipe: expected a regular file of text",
                                    "ok     " + (dir.data / "goodcnt.txt").string()}));
}
