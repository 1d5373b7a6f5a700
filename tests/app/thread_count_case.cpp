// The same files, byte for byte, whatever the number of threads: both samples and generated
// cases (periodic, closed and open sides, land, irregular waves, a prescribed current,
// sediment) run with 1, 2, 3 and 7 threads; and the batch program's --jobs gives the files
// of the cases run one after another, irregular wave heights included.
#include <gtest/gtest.h>

#include "run/RunCase.h"
#include "core/Parallel.h"
#include "support/GeneratedCases.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace littoral;
using namespace littoral::test;

namespace {

// Runs the cases one after another on one model (the random sequence continues) with the
// given thread count; the message of a failed case is kept in place of its files.
void runAll(const CaseDir& dir, const std::vector<std::string>& cases, int threads) {
    ThreadCountScope scope(threads);
    Model m;
    SilentHost host;
    for (const std::string& c : cases) {
        dir.prepare(m, c + "cnt.txt");
        try {
            runCase(m, host);
        } catch (const std::exception& e) {
            ADD_FAILURE() << c << " (" << threads << " threads): " << e.what();
        }
    }
}

}  // namespace

// Each run's output folder is kept under another name (the echo files name the input
// files, so every run reads the same folder and writes into a fresh "output").
TEST(ThreadCount, EveryFileIsTheSameWithOneTwoThreeAndSevenThreads) {
    CaseDir dir("threads");
    writeShortSamples(dir);
    auto cases = writeGeneratedCases(dir);
    cases.insert(cases.begin(), {"beach", "breakwater"});
    runAll(dir, cases, 1);
    for (const char* out : {"beach", "breakwater", "shore", "basin", "strip"})
        EXPECT_GE(dir.outputFiles(out).size(), 7u) << out;
    const fs::path one = dir.keepOutput("output-1");
    for (int threads : {2, 3, 7}) {
        runAll(dir, cases, threads);
        EXPECT_EQ(treeDifferences(one, dir.keepOutput("output-" + std::to_string(threads))), "")
            << threads << " threads against 1";
    }
}

TEST(ThreadCount, BatchJobsWriteTheFilesOfTheCasesRunInSequence) {
    CaseDir dir("jobs");
    std::string args;
    for (const std::string& c : writeBatchCases(dir)) args += " " + (dir.data / (c + "cnt.txt")).string();
    const BatchRun sequence = runBatch("--threads 1" + args);
    EXPECT_EQ(sequence.status, 1);
    EXPECT_GE(dir.outputFiles("stops").size(), 5u) << "the stopping case wrote its echo files";
    const fs::path seq = dir.keepOutput("output-sequence");
    const BatchRun jobs = runBatch("--jobs 3 --threads 3" + args);
    EXPECT_EQ(jobs.status, 1);
    const std::string &seqLog = sequence.out, &log = jobs.out;
    EXPECT_TRUE(containsAll(seqLog, {"threads: 1\n"}));
    EXPECT_TRUE(containsAll(log, {"threads: 3 (3 cases side by side, 1 thread each)",
                                  "FAILED " + (dir.data / "stopscnt.txt").string(),
                                  "FAILED " + (dir.data / "badcnt.txt").string(),
                                  // A second case of one folder is refused, naming the first.
                                  "FAILED " + (dir.data / "againcnt.txt").string() + ": its output folder " +
                                      (dir.output / "shore").string() + "/ is the output folder of " +
                                      (dir.data / "shorecnt.txt").string() + " too"}));
    EXPECT_EQ(treeDifferences(seq, dir.output), "");
    // The lines of the cases come in the order of the command line.
    EXPECT_LT(log.find("shorecnt.txt"), log.find("badcnt.txt")) << log;
    EXPECT_LT(log.find("stopscnt.txt"), log.find("stripcnt.txt")) << log;
}

TEST(ThreadCount, BadCountsAreRefusedWithTheirName) {
    CaseDir dir("threads-bad");
    for (const std::string& a : {std::string("--threads 0"), std::string("--jobs x"), std::string("--threads")}) {
        const BatchRun r = runBatch(a + " " + (dir.data / "nonecnt.txt").string());
        EXPECT_EQ(r.status, 2) << a;
        EXPECT_TRUE(containsAll(r.out, {"the option --"}));
    }
    setenv("LITTORAL_THREADS", "many", 1);
    const BatchRun r = runBatch("x");
    unsetenv("LITTORAL_THREADS");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(containsAll(
        r.out, {"the environment variable LITTORAL_THREADS: expected a whole number from 1 to 4096, found \"many\""}));
}
