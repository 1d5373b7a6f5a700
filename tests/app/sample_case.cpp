// The bundled sample cases run headless from start to end in the batch program, leave their
// echo files and one result file per interval, and every file matches, byte for byte, the
// checksums committed in tests/data/samples/checksums.txt (made only by
// scripts/update-sample-checksums.sh).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace littoral::test;

TEST(SampleCases, FilesMatchTheCommittedChecksums) {
    CaseDir dir("checksums");
    fs::copy(fs::path(LITTORAL_SOURCE_DIR) / "data", dir.data, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    const BatchRun r = runBatch((dir.data / "beachcnt.txt").string() + " " + (dir.data / "breakwatercnt.txt").string());
    ASSERT_EQ(r.status, 0) << r.out;
    // 480 s of 8 s or 6 s periods: floor(480 / T) + 1 intervals, starting at 0 ... 480 s
    // (61 files for 8 s, 81 for 6 s).
    for (auto [name, files] : {std::pair{"beach", 61}, std::pair{"breakwater", 81}}) {
        SCOPED_TRACE(name);
        const auto out = dir.outputFiles(name);
        int results = 0;
        for (const auto& f : out) results += f.rfind("surfer", 0) == 0 && f != "surferdep.csv" && f != "surferbnd.csv";
        EXPECT_EQ(results, files);
        EXPECT_TRUE(fs::exists(dir.output / name / "0const.txt"));
        EXPECT_EQ(countLines(dir.output / name / "surfer0.csv"), name == std::string("beach") ? 1 + 80 * 50 : 1 + 64 * 80);
    }
    const fs::path sums = fs::path(LITTORAL_TEST_DATA) / "samples" / "checksums.txt";
    ASSERT_TRUE(fs::exists(sums));
    const fs::path now = dir.root / "checksums.txt";
    const std::string list = fs::path(LITTORAL_SOURCE_DIR).string() + "/scripts/sample-checksums.sh " +
                             dir.output.string() + " " + dir.data.string() + " > " + now.string();
    ASSERT_EQ(std::system(list.c_str()), 0);
    const std::string diff = "diff " + sums.string() + " " + now.string() + " > " + (dir.root / "diff.txt").string();
    const int cs = std::system(diff.c_str());
    EXPECT_TRUE(WIFEXITED(cs) && WEXITSTATUS(cs) == 0)
        << "sample files differ from the committed checksums (< committed, > now):\n" << readFile(dir.root / "diff.txt");
}
