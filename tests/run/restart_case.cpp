// Restart: a run killed at random moments (SIGKILL) and resumed from its checkpoint, with
// other thread counts, writes every result file byte for byte as one uninterrupted run; a
// changed input, option or program version is refused naming it; a later end time extends a
// finished run; without a checkpoint the run starts from the beginning and says so.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

#ifdef LITTORAL_NETCDF
#include <netcdf.h>
#endif

#include "littoral/littoral.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace littoral::test;

namespace {

#ifdef LITTORAL_NETCDF
constexpr bool kNetcdf = true;
#else
constexpr bool kNetcdf = false;
#endif

// Fixed netCDF history time, so that results.nc can be compared byte for byte.
const std::string kEnv = "SOURCE_DATE_EPOCH=1700000000 ";

std::string batchCommand(const std::string& args, int threads) {
    return kEnv + "LITTORAL_THREADS=" + std::to_string(threads) + " " + LITTORAL_BATCH_EXE + " " + args;
}

// A plane beach of 40 x 10 cells with irregular wave heights (the random sequence is part of
// the state), sediment moving and periodic sides: 16 intervals.
void writeBeach(const CaseDir& dir, float tEnd = 90) {
    SmallCase c;
    c.coef.ixEnd = 40;
    c.coef.jyEnd = 10;
    c.coef.dx = 5;
    c.coef.tEnd = tEnd;
    c.slope = 0.025f;
    c.depthOff = 5.5f;
    c.wave = waveText(0.6f, 6, 195, 40, 1, -1.8f, 0);
    c.write(dir, "beach");
}

std::string resultArgs() { return kNetcdf ? "--netcdf " : ""; }

// The output tree without the checkpoint and the echo of the options in force, which differ
// between a run with and without checkpoints and resumes (the result files do not).
fs::path withoutCheckpoint(const fs::path& p) {
    for (const auto& e : fs::recursive_directory_iterator(p)) {
        const std::string name = e.path().filename().string();
        if (name == "checkpoint.nc" || name == "0options.txt") fs::remove(e.path());
    }
    return p;
}

std::vector<std::string> partFiles(const fs::path& folder) {
    std::vector<std::string> v;
    for (const std::string& f : filesBelow(folder))
        if (f.size() > 5 && f.compare(f.size() - 5, 5, ".part") == 0) v.push_back(f);
    return v;
}

double secondsOf(const std::function<void()>& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

TEST(Restart, KilledAtRandomMomentsAndResumedGivesTheUninterruptedRunsFilesByteForByte) {
    if (!kNetcdf) GTEST_SKIP() << "checkpoints are netCDF files: this build has no netCDF";
    CaseDir dir("restart-kill");
    writeBeach(dir);
    const std::string cnt = (dir.data / "beachcnt.txt").string();
    BatchRun whole{};
    const double wall = secondsOf([&] { whole = runCommand(batchCommand(resultArgs() + cnt, 1)); });
    ASSERT_EQ(whole.status, 0) << whole.out;
    const fs::path reference = dir.keepOutput("reference");

    std::mt19937 gen(std::random_device{}());
    std::uniform_real_distribution<double> at(0.15, 0.85);
    for (int round = 0; round < 3; ++round) {
        // The first part with 2 threads, killed; resumed with 1 thread, killed again; then
        // resumed with 2 threads to the end.
        const double first = at(gen) * wall, second = at(gen) * wall * 0.6;
        SCOPED_TRACE("round " + std::to_string(round) + ": killed after " + std::to_string(first) + " s, then " +
                     std::to_string(second) + " s (the whole run takes " + std::to_string(wall) + " s)");
        killGroupAfter(startInGroup(batchCommand(resultArgs() + "--checkpoint-every 2 " + cnt, 2), dir.root / "a.log"),
                       first);
        killGroupAfter(
            startInGroup(batchCommand(resultArgs() + "--checkpoint-every 3 --resume " + cnt, 1), dir.root / "b.log"),
            second);
        const BatchRun last = runCommand(batchCommand(resultArgs() + "--checkpoint-every 2 --resume " + cnt, 2));
        ASSERT_EQ(last.status, 0) << last.out;
        const fs::path out = dir.keepOutput("round" + std::to_string(round));
        EXPECT_TRUE(fs::exists(out / "beach" / "checkpoint.nc"));
        EXPECT_TRUE(partFiles(out).empty()) << partFiles(out)[0];
        EXPECT_EQ(treeDifferences(reference, withoutCheckpoint(out)), "");
    }
}

TEST(Restart, MeansOutputControlAndGaugesContinueAcrossAKill) {
    if (!kNetcdf) GTEST_SKIP() << "checkpoints are netCDF files: this build has no netCDF";
    CaseDir dir("restart-means");
    writeBeach(dir);
    dir.write("beach.toml", "[output]\nevery = 3\nmeans = true\n[[gauge]]\nname = \"mid\"\nx = 100\ny = 20\n"
                            "[[gauge]]\nname = \"outer\"\nx = 150\ny = 50\n");
    const std::string cnt = (dir.data / "beachcnt.txt").string();
    BatchRun whole{};
    const double wall = secondsOf([&] { whole = runCommand(batchCommand(resultArgs() + cnt, 1)); });
    ASSERT_EQ(whole.status, 0) << whole.out;
    const fs::path reference = dir.keepOutput("reference");
    ASSERT_TRUE(fs::exists(reference / "beach" / "mean3.csv"));
    ASSERT_TRUE(fs::exists(reference / "beach" / "gauges.csv"));
    std::mt19937 gen(std::random_device{}());
    const double delay = std::uniform_real_distribution<double>(0.3, 0.8)(gen) * wall;
    SCOPED_TRACE("killed after " + std::to_string(delay) + " s of " + std::to_string(wall) + " s");
    killGroupAfter(startInGroup(batchCommand(resultArgs() + "--checkpoint-every 2 " + cnt, 2), dir.root / "a.log"), delay);
    const BatchRun last = runCommand(batchCommand(resultArgs() + "--checkpoint-every 2 --resume " + cnt, 1));
    ASSERT_EQ(last.status, 0) << last.out;
    EXPECT_EQ(treeDifferences(withoutCheckpoint(reference), withoutCheckpoint(dir.output)), "");
}

// The absorbing wave input keeps the incident potential of its cells, the mean currents the
// current the next wave period sees, and the balanced wave force reads the forces beyond a
// slab's rows: all go on across a kill as if uninterrupted, and a resume that drops one is
// refused naming it.
TEST(Restart, TheAbsorbingInputAndTheBalancedForceContinueAcrossAKill) {
    if (!kNetcdf) GTEST_SKIP() << "checkpoints are netCDF files: this build has no netCDF";
    CaseDir dir("restart-physics");
    writeBeach(dir, 60);
    dir.write("beach.toml", "[waves]\nabsorbing_input = true\nmean_currents = true\n[flow]\nbalanced_wave_force = true\n");
    const std::string cnt = (dir.data / "beachcnt.txt").string();
    BatchRun whole{};
    const double wall = secondsOf([&] { whole = runCommand(batchCommand(resultArgs() + cnt, 2)); });
    ASSERT_EQ(whole.status, 0) << whole.out;
    const fs::path reference = dir.keepOutput("reference");
    std::mt19937 gen(std::random_device{}());
    const double delay = std::uniform_real_distribution<double>(0.3, 0.8)(gen) * wall;
    SCOPED_TRACE("killed after " + std::to_string(delay) + " s of " + std::to_string(wall) + " s");
    killGroupAfter(startInGroup(batchCommand(resultArgs() + "--checkpoint-every 1 " + cnt, 2), dir.root / "a.log"), delay);
    const BatchRun last = runCommand(batchCommand(resultArgs() + "--checkpoint-every 1 --resume " + cnt, 1));
    ASSERT_EQ(last.status, 0) << last.out;
    // The finished run's checkpoint, resumed without the absorbing input.
    dir.write("beach.toml", "[waves]\nmean_currents = true\n[flow]\nbalanced_wave_force = true\n");
    const BatchRun r = runCommand(batchCommand(resultArgs() + "--resume " + cnt, 1));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(containsAll(r.out, {"the option waves.absorbing_input is false (was true)"})) << r.out;
    EXPECT_EQ(treeDifferences(withoutCheckpoint(reference), withoutCheckpoint(dir.output)), "");
}

TEST(Restart, ACheckpointIsTheSameWhateverTheThreadCount) {
    if (!kNetcdf) GTEST_SKIP() << "checkpoints are netCDF files: this build has no netCDF";
    CaseDir dir("restart-threads");
    writeBeach(dir, 30);
    const std::string cnt = (dir.data / "beachcnt.txt").string();
    ASSERT_EQ(runCommand(batchCommand("--checkpoint-every 2 " + cnt, 1)).status, 0);
    const fs::path one = dir.keepOutput("one");
    ASSERT_EQ(runCommand(batchCommand("--checkpoint-every 2 " + cnt, 2)).status, 0);
    EXPECT_EQ(readFile(one / "beach" / "checkpoint.nc"), readFile(dir.output / "beach" / "checkpoint.nc"));
}

TEST(Restart, WithoutACheckpointTheRunStartsFromTheBeginningAndSaysSo) {
    if (!kNetcdf) GTEST_SKIP() << "checkpoints are netCDF files: this build has no netCDF";
    CaseDir dir("restart-none");
    writeBeach(dir, 30);
    const std::string cnt = (dir.data / "beachcnt.txt").string();
    ASSERT_EQ(runCommand(batchCommand(cnt, 1)).status, 0);
    const fs::path reference = dir.keepOutput("reference");
    const BatchRun r = runCommand(batchCommand("--resume " + cnt, 1));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(containsAll(r.out, {(dir.output / "beach" / "checkpoint.nc").string() +
                                    ": no checkpoint to resume from: the run starts from the beginning"}));
    EXPECT_EQ(treeDifferences(reference, withoutCheckpoint(dir.output)), "");
}

TEST(Restart, AFinishedRunResumedWithALaterEndTimeExtendsIt) {
    if (!kNetcdf) GTEST_SKIP() << "checkpoints are netCDF files: this build has no netCDF";
    CaseDir dir("restart-extend");
    writeBeach(dir, 60);
    const std::string cnt = (dir.data / "beachcnt.txt").string();
    ASSERT_EQ(runCommand(batchCommand(resultArgs() + cnt, 1)).status, 0);
    const fs::path reference = dir.keepOutput("reference");

    // The first run to 30 s, checkpointed from the options file beside the control file.
    writeBeach(dir, 30);
    dir.write("beach.toml", "[checkpoint]\nevery = 4\n");
    BatchRun r = runCommand(batchCommand(resultArgs() + cnt, 2));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(fs::exists(dir.output / "beach" / "surfer6.csv"));
    // An earlier end time than the run reached is refused.
    writeBeach(dir, 12);
    r = runCommand(batchCommand(resultArgs() + "--resume " + cnt, 1));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(containsAll(r.out, {"the end time in the coefficient file", "is 12 s, before the start of the last interval the checkpoint's run computed (30 s; its end time was 30 s)"}))
        << r.out;
    // The end time is the one value the coefficient file may change.
    writeBeach(dir, 60);
    dir.write("beach.toml", "[checkpoint]\nevery = 4\nresume = true\n");
    r = runCommand(batchCommand(resultArgs() + cnt, 1));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(containsAll(r.out, {"checkpoint.nc: the end time is now 60 s (it was 30 s): the run goes on from the "
                                    "checkpoint at 36 s"}))
        << r.out;
    EXPECT_EQ(treeDifferences(reference, withoutCheckpoint(dir.output)), "");
}

TEST(Restart, AChangedInputOptionOrProgramVersionIsRefusedNamingIt) {
    if (!kNetcdf) GTEST_SKIP() << "checkpoints are netCDF files: this build has no netCDF";
    CaseDir dir("restart-refused");
    writeBeach(dir, 24);
    const std::string cnt = (dir.data / "beachcnt.txt").string();
    ASSERT_EQ(runCommand(batchCommand("--checkpoint-every 1 " + cnt, 1)).status, 0);
    const fs::path cp = dir.output / "beach" / "checkpoint.nc";
    const std::string before = readFile(cp);
    fs::copy(dir.output, dir.root / "finished", fs::copy_options::recursive);
    const auto refused = [&](const std::string& args, const std::vector<std::string>& parts) {
        const BatchRun r = runCommand(batchCommand(args + "--resume " + cnt, 1));
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_TRUE(containsAll(r.out, parts)) << r.out;
        // The refused run leaves the checkpoint as it was.
        EXPECT_EQ(readFile(cp), before);
    };
    // A depth changed by 1 cm in one cell.
    const std::string depth = readFile(dir.data / "beach" / "depth.txt");
    std::string changed = depth;
    changed.replace(changed.find(','), 1, "1,");
    dir.write("beach/depth.txt", changed);
    refused("", {"checkpoint.nc: the run cannot be resumed from this checkpoint: the depth file",
                 "depth.txt differs from the one it was made with"});
    dir.write("beach/depth.txt", depth);
    // A coefficient other than the end time.
    SmallCase c;
    c.coef.ixEnd = 40;
    c.coef.jyEnd = 10;
    c.coef.dx = 5;
    c.coef.tEnd = 24;
    c.coef.fricCoef = 0.02f;
    const std::string coef = readFile(dir.data / "beach" / "coef.txt");
    dir.write("beach/coef.txt", coefText(c.coef));
    refused("", {"the coefficient file", "coef.txt gives fricCoef 0.0199999996 (was 0.00999999978)"});
    dir.write("beach/coef.txt", coef);
    // Another result option, and another wave file together: both named.
    dir.write("beach/wave.txt", waveText(0.7f, 6, 195, 40, 1, -1.8f, 0));
    refused("--no-csv --netcdf ", {"the wave file", "the option results.csv is false (was true)",
                                   "the option results.netcdf is true (was false)"});
    dir.write("beach/wave.txt", waveText(0.6f, 6, 195, 40, 1, -1.8f, 0));
    // A checkpoint of another program version.
    fs::copy_file(cp, dir.root / "checkpoint.nc");
    int nc = -1;
    ASSERT_EQ(nc_open(cp.c_str(), NC_WRITE, &nc), NC_NOERR);
    nc_redef(nc);
    ASSERT_EQ(nc_put_att_text(nc, NC_GLOBAL, "program_version", 3, "0.0"), NC_NOERR);
    nc_close(nc);
    {
        const BatchRun r = runCommand(batchCommand("--resume " + cnt, 1));
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_TRUE(containsAll(r.out, {"it was made by Littoral 0.0, this is Littoral 0.1"})) << r.out;
    }
    fs::copy_file(dir.root / "checkpoint.nc", cp, fs::copy_options::overwrite_existing);
    // With everything as it was the resume is accepted: the run is finished, nothing is added,
    // and the pictures of its end are drawn again as they were.
    const BatchRun r = runCommand(batchCommand("--resume " + cnt, 1));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(containsAll(r.out, {": 0 intervals, results in"})) << r.out;
    EXPECT_EQ(treeDifferences(withoutCheckpoint(dir.root / "finished"), withoutCheckpoint(dir.output)), "");
    // A checkpoint interval that is not a whole number above 0.
    const BatchRun bad = runCommand(batchCommand("--checkpoint-every 0 " + cnt, 1));
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(containsAll(bad.out, {"the option --checkpoint-every: expected a whole number of 1 or more, found \"0\""}));
}

TEST(Restart, AResumeOnAnotherThreadPrintsNothingOfTheLibrariesBeneathTheFiles) {
    // The desktop, the Python module and batch jobs run a case on a thread of its own. The
    // HDF5 library beneath netCDF-4 printed its error stack there (some eighty lines of
    // "HDF5-DIAG" as the checkpoint and results.nc were opened), though nothing was wrong.
    if (!kNetcdf) GTEST_SKIP() << "built without netCDF";
    CaseDir dir("restart-quiet");
    writeBeach(dir, 30);
    const std::string cnt = (dir.data / "beachcnt.txt").string();
    auto runOnAThread = [&](bool resume) {
        std::thread t([&] {
            littoral::RunOptions o;
            o.netcdf = true;
            o.checkpointEvery = 2;
            o.resume = resume;
            littoral::Run run(littoral::Case::read(cnt), o);
            while (run.advance()) {
            }
        });
        t.join();
    };
    runOnAThread(false);
    writeBeach(dir, 42);
    const fs::path errors = dir.root / "stderr.txt";
    std::fflush(stderr);
    const int saved = dup(2);
    const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    dup2(fd, 2);
    close(fd);
    runOnAThread(true);
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    const std::string printed = readFile(errors);
    EXPECT_EQ(printed.find("HDF5"), std::string::npos) << printed.substr(0, 600);
    EXPECT_TRUE(fs::exists(dir.output / "beach" / "surfer7.csv"));
}
