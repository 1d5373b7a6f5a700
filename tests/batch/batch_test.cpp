// The batch program as a user meets it: usage, a failed case, the exit status.
#include <gtest/gtest.h>

#include "support/TestSupport.h"

using namespace littoral::test;

TEST(Batch, UsageWithoutArguments) {
    const BatchRun r = runBatch("");
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(containsAll(r.out, {"usage: littoral-batch CONTROL_FILE..."}));
}

TEST(Batch, HelpVersionAndBadOptionsGiveTheirStatus) {
    // --help is the usage with status 0, not an unknown option.
    BatchRun r = runBatch("--help");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(containsAll(r.out, {"usage: littoral-batch CONTROL_FILE...", "--threads N", "default: 1"}));
    EXPECT_EQ(r.out.find("unknown option"), std::string::npos) << r.out;
    r = runBatch("--version");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(containsAll(r.out, {"littoral-batch 0.1 ("}));
    // An option's value missing or out of its range names the option and what it expects.
    r = runBatch("x --threads");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(containsAll(r.out, {"the option --threads: expected a number after it"})) << r.out;
    r = runBatch("--jobs=0 x");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(containsAll(r.out, {"the option --jobs: expected a whole number from 1 to 4096, found \"0\""})) << r.out;
}

TEST(Batch, FailedCasePrintsItsErrorAndTheNextStillRuns) {
    CaseDir dir("batch-bad");
    SmallCase{.coef = {.tEnd = 0}}.write(dir, "good");  // runs one interval: finishes at once
    SmallCase{}.write(dir, "bad");
    dir.write("bad/coef.txt", "1,a\n");
    const BatchRun r = runBatch((dir.data / "badcnt.txt").string() + " " + (dir.data / "goodcnt.txt").string() + " " +
                           (dir.data / "missingcnt.txt").string());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(containsAll(r.out, {"FAILED " + (dir.data / "badcnt.txt").string() +
                                        ": bad\\coef.txt: field 3 (line 2): expected the last computed cell in X, "
                                        "found the end of the file",
                                    "ok     " + (dir.data / "goodcnt.txt").string(),
                                    "missingcnt.txt: the control file does not exist"}));
    EXPECT_TRUE(dir.outputFiles("bad").empty());
    // The good case wrote its echo files, the result files of its one interval and (where
    // the pictures are built) its five pictures.
    const size_t files = dir.outputFiles("good").size();
    EXPECT_TRUE(files == 11u || files == 6u) << files;
}

TEST(Batch, MissingOutputFolderIsNamed) {
    CaseDir dir("batch-noout");
    SmallCase{}.write(dir, "a");
    std::filesystem::remove_all(dir.output);
    const BatchRun r = runBatch((dir.data / "acnt.txt").string());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(containsAll(r.out, {"the folder \"output\" is missing beside the data folder"}));
}

// --morfac and --morstart: a bad value names the option; a good one wins over the options
// file and is echoed in 0options.txt with where it was set. A case without options writes
// no 0options.txt.
TEST(Batch, MorphologyOptionsWinOverTheOptionsFileAndAreEchoed) {
    BatchRun r = runBatch("--morfac 0 x");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(containsAll(r.out, {"the option --morfac is \"0\": expected a number above 0"})) << r.out;
    r = runBatch("--morstart=-5 x");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(containsAll(r.out, {"the option --morstart is \"-5\": expected a model time of 0 s or later"})) << r.out;

    CaseDir dir("batch-morfac");
    SmallCase{.coef = {.tEnd = 6}}.write(dir, "fast");
    dir.write("fast.toml", "[morphology]\nmorfac = 4\nstart = 6\n");
    SmallCase{.coef = {.tEnd = 6}}.write(dir, "plain");
    r = runBatch("--morfac 20 " + (dir.data / "fastcnt.txt").string() + " " + (dir.data / "plaincnt.txt").string());
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string echo = readFile(dir.output / "fast" / "0options.txt");
    EXPECT_TRUE(containsAll(echo, {"morphology.morfac = 20   (command line)", "morphology.start = 6 s   (fast.toml)",
                                   "morphological time = 240 s after 2 intervals of 6 s"}))
        << echo;
    // The plain case has the command line's factor too: it is echoed, with no options file.
    const std::string plain = readFile(dir.output / "plain" / "0options.txt");
    EXPECT_TRUE(containsAll(plain, {"options file: none", "morphology.morfac = 20   (command line)"})) << plain;
    // Run again without options, it leaves no echo of the earlier run's options behind.
    r = runBatch((dir.data / "plaincnt.txt").string());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(std::filesystem::exists(dir.output / "plain" / "0options.txt"));
}

// --absorbing-input, --mean-currents and --balanced-wave-force (or [waves] and [flow] in the
// options file):
// echoed with where they were set, and they change the results; the echo of a run that does
// not make these choices has no line of them.
TEST(Batch, WaveInputAndWaveForceChoicesAreEchoedAndTakeEffect) {
    CaseDir dir("batch-physics");
    beach(12).write(dir, "plain");
    beach(12).write(dir, "both");
    beach(12).write(dir, "file");
    dir.write("file.toml", "[waves]\nabsorbing_input = true\nmean_currents = true\n[flow]\nbalanced_wave_force = true\n");
    dir.write("plain.toml", "[output]\nmeans = true\n");
    BatchRun r = runBatch((dir.data / "plaincnt.txt").string());
    ASSERT_EQ(r.status, 0) << r.out;
    r = runBatch("--absorbing-input --mean-currents --balanced-wave-force " + (dir.data / "bothcnt.txt").string());
    ASSERT_EQ(r.status, 0) << r.out;
    r = runBatch((dir.data / "filecnt.txt").string());
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string plain = readFile(dir.output / "plain" / "0options.txt");
    EXPECT_EQ(plain.find("waves."), std::string::npos) << plain;
    EXPECT_EQ(plain.find("flow."), std::string::npos) << plain;
    const std::string both = readFile(dir.output / "both" / "0options.txt");
    EXPECT_TRUE(containsAll(both, {"waves.absorbing_input = true   (command line)",
                                   "waves.mean_currents = true   (command line)",
                                   "flow.balanced_wave_force = true   (command line)"}))
        << both;
    const std::string file = readFile(dir.output / "file" / "0options.txt");
    EXPECT_TRUE(containsAll(file, {"options file: ", "file.toml", "waves.absorbing_input = true   (file.toml)",
                                   "waves.mean_currents = true   (file.toml)", "flow.balanced_wave_force = true   (file.toml)"}))
        << file;
    // The same case, run with the choices from the command line or from its options file, gives
    // the same numbers; without them, others.
    for (const char* f : {"surfer1.csv", "surfer2.csv"}) {
        SCOPED_TRACE(f);
        const std::string a = readFile(dir.output / "plain" / f), b = readFile(dir.output / "both" / f);
        EXPECT_EQ(b, readFile(dir.output / "file" / f));
        EXPECT_NE(a, b);
    }
}
