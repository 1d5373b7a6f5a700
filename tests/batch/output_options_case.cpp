// The batch program's output control: --output-every and --means, from the command line and
// from the case's options file (the command line winning); two cases of one batch that
// name one output folder (the second refused before it starts, naming both control files);
// an earlier run's files set aside with a line saying so.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/TestSupport.h"

using namespace littoral::test;
namespace fs = std::filesystem;

namespace {

// A case `name` of five intervals of 6 s (numbers 0 ... 4) writing into output/<out>.
void writeCase(const CaseDir& dir, const std::string& name, const std::string& out, float waveH = 0.5f) {
    SmallCase{.coef = {.tEnd = 24}, .depthOff = 5, .slope = 0.04f, .waveH = waveH}.write(dir, name);
    dir.write(name + "cnt.txt", controlText(name, out));
}

std::string cnt(const CaseDir& dir, const std::string& name) { return (dir.data / (name + "cnt.txt")).string(); }

std::string written(const CaseDir& dir, const std::string& out, const std::string& stem) {
    std::string s;
    for (int n = 0; n <= 4; ++n)
        if (fs::exists(dir.output / out / (stem + std::to_string(n) + ".csv"))) s += std::to_string(n);
    return s;
}

}  // namespace

TEST(BatchOutputOptions, OutputEveryAndMeansFromTheCommandLineAndTheOptionsFile) {
    CaseDir dir("batch-every");
    writeCase(dir, "a", "a");
    BatchRun r = runBatch("--output-every 2 --means " + cnt(dir, "a"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(written(dir, "a", "surfer"), "024");
    EXPECT_EQ(written(dir, "a", "mean"), "024");
    dir.keepOutput("first");

    // The options file alone; then the command line over it.
    dir.write("a.toml", "[output]\nevery = 3\n");
    r = runBatch(cnt(dir, "a"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(written(dir, "a", "surfer"), "034") << "3 and the last";
    EXPECT_EQ(written(dir, "a", "mean"), "");
    dir.keepOutput("second");
    r = runBatch("--output-every 4 " + cnt(dir, "a"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(written(dir, "a", "surfer"), "04");

    for (const char* bad : {"0", "-2", "two", "1.5"}) {
        r = runBatch(std::string("--output-every ") + bad + " " + cnt(dir, "a"));
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_TRUE(containsAll(r.out, {"the option --output-every: expected a whole number of 1 or more, found \"" +
                                        std::string(bad) + "\""}));
    }
    EXPECT_TRUE(containsAll(runBatch("--help").out, {"--output-every N", "--means"}));
}

TEST(BatchOutputOptions, TwoCasesNamingOneFolderTheSecondIsRefusedBeforeItStarts) {
    CaseDir dir("batch-one-folder");
    writeCase(dir, "a", "ref");
    ASSERT_EQ(runBatch(cnt(dir, "a")).status, 0);
    writeCase(dir, "a", "shared");
    writeCase(dir, "b", "shared", 1.0f);
    writeCase(dir, "c", "c");
    for (const std::string jobs : {"", "--jobs 2 "}) {
        SCOPED_TRACE(jobs);
        const BatchRun r = runBatch(jobs + cnt(dir, "a") + " " + cnt(dir, "b") + " " + cnt(dir, "c"));
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_TRUE(containsAll(r.out, {"FAILED " + cnt(dir, "b") + ": its output folder " +
                                            (dir.output / "shared").string() + "/ is the output folder of " +
                                            cnt(dir, "a") + " too",
                                        "ok     " + cnt(dir, "a"), "ok     " + cnt(dir, "c")}));
        // The folder holds the first case's files only, as when it runs alone.
        for (const std::string& f : dir.outputFiles("ref"))
            if (f != "0const.txt") {
                EXPECT_TRUE(readFile(dir.output / "shared" / f) == readFile(dir.output / "ref" / f)) << f;
            }
        fs::remove_all(dir.output / "shared");
        fs::remove_all(dir.output / "c");
    }
    // The same control file twice is one folder too.
    const BatchRun twice = runBatch(cnt(dir, "c") + " " + cnt(dir, "c"));
    EXPECT_EQ(twice.status, 1);
    EXPECT_TRUE(containsAll(twice.out, {"FAILED " + cnt(dir, "c") + ": its output folder"}));
}

TEST(BatchOutputOptions, ASecondRunSaysWhereTheEarlierRunsFilesWent) {
    CaseDir dir("batch-previous");
    writeCase(dir, "a", "a");
    ASSERT_EQ(runBatch(cnt(dir, "a")).status, 0);
    const BatchRun r = runBatch(cnt(dir, "a"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(containsAll(r.out, {"the files of an earlier run in " + (dir.output / "a").string() + "/ (",
                                    " files) were moved into " + (dir.output / "a").string() + "/previous-"}));
}
