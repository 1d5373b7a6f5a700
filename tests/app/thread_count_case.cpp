// The same files, byte for byte, whatever the number of threads: both samples and generated
// cases (periodic, closed and open sides, land, irregular waves, a prescribed current,
// sediment) run with 1, 2, 3 and 7 threads; and the batch program's --jobs gives the files
// of the cases run one after another, irregular wave heights included.
#include <gtest/gtest.h>

#include "app/RunCase.h"
#include "core/Parallel.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace littoral;
using namespace littoral::test;

namespace {

// Generated cases into dir: names returned in the order they run.
std::vector<std::string> writeGeneratedCases(const CaseDir& dir) {
    // A beach with periodic sides and irregular waves; rows of odd count so that slabs differ.
    SmallCase beach;
    beach.coef.ixEnd = 23;
    beach.coef.jyEnd = 13;
    beach.coef.dx = beach.coef.dy = 4;
    beach.coef.tEnd = 24;
    beach.depthOff = 4;
    beach.slope = 0.045f;  // the west end stands dry: wet and dry cells
    beach.wave = waveText(0.8f, 6, 195, 23, 1, -2, 0.5f);  // irregular heights, capped at 2 H
    beach.write(dir, "shore");

    // Closed and open sides, land, and a current driven in through the west side.
    SmallCase basin = beach;
    basin.coef.jyEnd = 11;
    basin.slope = 0.02f;
    basin.wave = waveText(0.6f, 6, 170, 23, 1, 0, 0.5f);
    basin.tide = "0.2, tide\n3\n17, 0, 0, 0\n18, 0, 0, 0\n19, 2, 0.15, 0.05\n";
    const CoefSpec& c = basin.coef;
    basin.bnd = boundaryText(c, [&](int i, int j) {
        const bool gi = i < c.ixStart || i > c.ixEnd, gj = j < c.jyStart || j > c.jyEnd;
        if (gi && gj) return 0;
        if (i > c.ixEnd) return 17;                   // wave input
        if (j < c.jyStart) return 18;                 // open south side
        if (j > c.jyEnd) return 0;                    // closed north side
        if (i < c.ixStart) return j <= 4 ? 19 : 0;    // a current enters at the south-west
        if (i >= 10 && i <= 12 && j >= 5 && j <= 7) return 15;  // an island
        if (i == 9 && j >= 5 && j <= 7) return 1;     // its west shore: closed to the east
        if (i == 13 && j >= 5 && j <= 7) return 4;
        return 0;
    });
    basin.write(dir, "basin");

    // A strip of two rows: more threads than rows.
    SmallCase strip = beach;
    strip.coef.jyEnd = 2;
    strip.coef.tEnd = 12;
    strip.wave = waveText(0.5f, 6, 180, 23, 1, -1, 0.5f);
    strip.write(dir, "strip");
    return {"shore", "basin", "strip"};
}

// Copies the samples with a shorter run (48 s instead of 480 s).
void writeShortSamples(const CaseDir& dir) {
    fs::copy(fs::path(LITTORAL_SOURCE_DIR) / "data", dir.data, fs::copy_options::recursive);
    for (const char* name : {"beach", "breakwater"}) {
        std::string coef = readFile(dir.data / name / "coef.txt");
        const auto at = coef.find("480, end time");
        ASSERT_NE(at, std::string::npos);
        coef.replace(at, 3, "48");
        dir.write(std::string(name) + "/coef.txt", coef);
    }
}

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

namespace {

// Cases for a batch: irregular and regular waves, a case that fails on its input and one
// that stops after its first interval (a water level below the bed at its west side), each
// followed by a case with irregular waves, and two cases writing into one output folder.
std::vector<std::string> writeBatchCases(const CaseDir& dir) {
    auto cases = writeGeneratedCases(dir);
    SmallCase bad;
    bad.write(dir, "bad");
    dir.write("bad/coef.txt", "1,a\n");
    SmallCase stops;
    stops.coef.ixEnd = 12;
    stops.coef.jyEnd = 5;
    stops.coef.tEnd = 30;
    stops.wave = waveText(0.5f, 6, 180, 12, 1, -1, 0.5f);
    stops.tide = "0, tide\n2\n17, 0, 0, 0\n19, 1, -9, 0\n";
    const CoefSpec& c = stops.coef;
    stops.bnd = boundaryText(c, [&](int i, int j) {
        const bool gi = i < c.ixStart || i > c.ixEnd, gj = j < c.jyStart || j > c.jyEnd;
        if (gi && gj) return 0;
        if (i > c.ixEnd) return 17;
        if (i < c.ixStart) return 19;
        return gj ? 16 : 0;
    });
    stops.write(dir, "stops");
    // A second control file for the folder "shore".
    dir.write("again" "cnt.txt", readFile(dir.data / "shorecnt.txt"));
    return {"shore", "bad", "basin", "stops", "strip", "again", "basin"};
}

}  // namespace

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
                                  "FAILED " + (dir.data / "badcnt.txt").string()}));
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
