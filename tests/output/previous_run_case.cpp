// One run's files per output folder: a second run into a folder moves the first run's files
// into previous-<start>/ (nothing deleted, nothing mixed) and says so; a run that continues
// the earlier one, or a folder without results, is left as it is.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "littoral/littoral.h"
#include "output/OutputLock.h"
#include "output/PreviousRun.h"
#include "run/RunCase.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;
namespace fs = std::filesystem;

namespace {

void writeBeach(const CaseDir& dir, float tEnd) {
    SmallCase c;
    c.coef.tEnd = tEnd;
    c.slope = 0.04f;
    c.write(dir, "b");
}

// Runs data/bcnt.txt through the library; the warnings it gave.
std::vector<std::string> runBeach(const CaseDir& dir) {
    std::vector<std::string> warnings;
    RunOptions o;
    o.threads = 1;
    o.events.warning = [&](const std::string& w) { warnings.push_back(w); };
    runToEnd(readCase((dir.data / "bcnt.txt").string()), o);
    return warnings;
}

// Every file below p with its bytes.
std::map<std::string, std::string> contents(const fs::path& p) {
    std::map<std::string, std::string> r;
    for (const std::string& f : filesBelow(p)) r[f] = readFile(p / f);
    return r;
}

std::vector<std::string> previousFolders(const fs::path& out) {
    std::vector<std::string> r;
    for (const auto& e : fs::directory_iterator(out))
        if (e.is_directory() && e.path().filename().string().rfind("previous-", 0) == 0)
            r.push_back(e.path().filename().string());
    std::sort(r.begin(), r.end());
    return r;
}

}  // namespace

TEST(PreviousRun, ASecondRunMovesTheFirstRunsFilesIntoTheirOwnFolderAndSaysSo) {
    CaseDir dir("previous-run");
    writeBeach(dir, 18);  // surfer0 ... surfer3
    EXPECT_TRUE(runBeach(dir).empty());
    const fs::path out = dir.output / "b";
    const auto first = contents(out);
    ASSERT_EQ(first.count("surfer3.csv"), 1u);
    // Files of other programs and folders stay where they are.
    std::ofstream(out / "notes.txt") << "kept";
    fs::create_directories(out / "mine");
    std::ofstream(out / "mine" / "sketch.csv") << "kept too";

    writeBeach(dir, 6);  // a shorter run: surfer0 and surfer1
    const std::vector<std::string> warnings = runBeach(dir);
    const std::vector<std::string> kept = previousFolders(out);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_TRUE(std::regex_match(kept[0], std::regex(R"(previous-\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d)"))) << kept[0];
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(containsAll(warnings[0], {"the files of an earlier run in " + out.string() + "/ (" +
                                              std::to_string(first.size()) + " files) were moved into " +
                                              (out / kept[0]).string() + "/"}));
    // The earlier run whole and unchanged in its folder; beside it only this run's files.
    EXPECT_EQ(contents(out / kept[0]), first);
    EXPECT_FALSE(fs::exists(out / "surfer2.csv"));
    EXPECT_FALSE(fs::exists(out / "surfer3.csv"));
    EXPECT_TRUE(fs::exists(out / "surfer1.csv"));
    EXPECT_EQ(readFile(out / "notes.txt"), "kept");
    EXPECT_EQ(readFile(out / "mine" / "sketch.csv"), "kept too");
    EXPECT_FALSE(fs::exists(out / OutputLock::kFileName)) << "the lock is released, never moved";

    // A third run: the second's files go into a folder of their own, the first's stay.
    const auto second = contents(out);
    runBeach(dir);
    const std::vector<std::string> now = previousFolders(out);
    ASSERT_EQ(now.size(), 2u);
    std::string added = now[0] == kept[0] ? now[1] : now[0];
    EXPECT_EQ(contents(out / kept[0]), first);
    auto secondOwn = second;
    for (auto it = secondOwn.begin(); it != secondOwn.end();)
        it = it->first.find('/') != std::string::npos || it->first == "notes.txt" ? secondOwn.erase(it) : std::next(it);
    EXPECT_EQ(contents(out / added), secondOwn);
}

TEST(PreviousRun, AContinuedRunAndAFolderWithoutResultsAreLeftAsTheyAre) {
    CaseDir dir("previous-kept");
    writeBeach(dir, 6);
    runBeach(dir);
    const fs::path out = dir.output / "b";
    // A run that continues the earlier one writes beside its files.
    fs::remove(out / "surfer1.csv");
    Model m;
    dir.prepare(m, "bcnt.txt");
    m.continuesRun = true;
    RecordingHost host;
    runCase(m, host);
    EXPECT_TRUE(previousFolders(out).empty());
    EXPECT_TRUE(host.warnings.empty());
    EXPECT_TRUE(fs::exists(out / "surfer1.csv"));

    // Echo files alone are no run's results: they are rewritten in place.
    for (const std::string& f : dir.outputFiles("b"))
        if (!isRunFile(f) || isRunResultFile(f)) fs::remove(out / f);
    ASSERT_TRUE(fs::exists(out / "0const.txt"));
    EXPECT_TRUE(runBeach(dir).empty());
    EXPECT_TRUE(previousFolders(out).empty());
}

TEST(PreviousRun, WhichFilesAreARunsResults) {
    for (const char* f : {"surfer0.csv", "surfer12.csv", "surfer-3.csv", "mean7.csv", "results.nc", "gauges.nc",
                          "gauges.csv", "checkpoint.nc", "wavH.png"}) {
        EXPECT_TRUE(isRunResultFile(f)) << f;
        EXPECT_TRUE(isRunFile(f)) << f;
    }
    for (const char* f : {"0const.txt", "0options.txt", "surferdep.csv", "surferbnd.csv"}) {
        EXPECT_FALSE(isRunResultFile(f)) << f;
        EXPECT_TRUE(isRunFile(f)) << f;
    }
    for (const char* f : {".littoral.lock", "surfer3.csv.12-0.part", "results.nc.12-0.part", "surferx.csv",
                          "surfer.csv", "notes.txt", "meanings.csv"})
        EXPECT_FALSE(isRunFile(f)) << f;
}
