// littoral-mpi against littoral-batch: with 2 and 3 processes every file of both samples and
// of generated cases (periodic, closed and open sides, land and an island across the slab
// edges, irregular waves, a current, sediment, a grid of one row per process) is the same
// byte for byte, and so is the text the programs print; a bad input or a check that fails
// on any process stops the case on every process with the batch program's one message.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <random>
#include <thread>
#include <regex>

#ifdef LITTORAL_NETCDF
#include <netcdf.h>
#endif

#include "support/GeneratedCases.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace littoral::test;

namespace {

// What a run printed: the standard output, then the error output (mpirun forwards the two
// separately, so their lines may interleave differently from one process's).
struct ProgramRun {
    int status;
    std::string text;
};

// Runs a program with the arguments, one thread per process, its output kept in log; a run
// that does not end within two minutes is stopped (and fails: status 124).
ProgramRun runProgram(const std::string& program, const std::string& args, const fs::path& log) {
    const std::string err = log.string() + ".err";
    const std::string cmd = "OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 OMP_WAIT_POLICY=passive "
                            "LITTORAL_THREADS=1 timeout -k 10 120 " +
                            program + " " + args + " > " + log.string() + " 2> " + err;
    const int st = std::system(cmd.c_str());
    return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, readFile(log) + "---- error output\n" + readFile(err)};
}

ProgramRun runMpi(int processes, const std::string& args, const fs::path& log) {
    return runProgram(std::string(LITTORAL_MPIEXEC) + " -q -np " + std::to_string(processes) + " --oversubscribe " +
                          LITTORAL_MPI_EXE,
                      args, log);
}

// The printed text without the clock times, which differ from run to run.
std::string withoutWallTimes(const std::string& text) {
    const std::string t = std::regex_replace(text, std::regex(R"(\(\d\d:\d\d(:\d\d)? wall time\))"), "(wall time)");
    return std::regex_replace(t, std::regex(R"(elapsed \S+  remaining \S+)"), "elapsed, remaining");
}

std::string argsOf(const CaseDir& dir, const std::vector<std::string>& cases) {
    std::string args;
    for (const std::string& c : cases) args += " " + (dir.data / (c + "cnt.txt")).string();
    return args;
}

// The batch run's files and text, then littoral-mpi's with 2 and 3 processes against them;
// `ran` cases run to their end, each writing its echo files, pictures and results.
void expectTheBatchProgramsRun(const CaseDir& dir, const std::vector<std::string>& cases, int status, size_t ran,
                               const std::string& options = "") {
    const std::string args = options + argsOf(dir, cases);
    const ProgramRun batch = runProgram(LITTORAL_BATCH_EXE, args, dir.root / "log-batch.txt");
    EXPECT_EQ(batch.status, status) << batch.text;
    size_t files = 0, ok = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir.output)) files += e.is_regular_file() ? 1 : 0;
    for (size_t at = batch.text.find("\nok "); at != std::string::npos; at = batch.text.find("\nok ", at + 1)) ++ok;
    EXPECT_EQ(ok, ran) << batch.text;
    EXPECT_GE(files, 7 * ran);
    const fs::path one = dir.keepOutput("output-batch");
    for (int processes : {2, 3}) {
        const ProgramRun mpi = runMpi(processes, args, dir.root / ("log-" + std::to_string(processes) + ".txt"));
        EXPECT_EQ(mpi.status, status) << processes << " processes:\n" << mpi.text;
        EXPECT_EQ(withoutWallTimes(mpi.text), withoutWallTimes(batch.text)) << processes << " processes";
        EXPECT_EQ(treeDifferences(one, dir.keepOutput("output-" + std::to_string(processes))), "")
            << processes << " processes against the batch program";
    }
}

// A case of three rows: with three processes each computes one; a gauge in each row, so that
// each process records one (the first gathers them and writes the gauge files).
void writeThreeRows(const CaseDir& dir) {
    SmallCase c;
    c.coef.ixEnd = 14;
    c.coef.jyEnd = 3;
    c.coef.tEnd = 18;
    c.slope = 0.03f;
    c.wave = waveText(0.5f, 6, 200, 14, 1, -2, 0.5f);
    c.write(dir, "rows");
    dir.write("rows.toml", "[[gauge]]\nname = \"north\"\nx = 70.0\ny = 20.0\n"
                           "[[gauge]]\nname = \"south\"\nx = 130.0\ny = 0.0\n"
                           "[[gauge]]\nname = \"middle\"\nx = 40.0\ny = 10.0\n");
}

// A case of 170 x 100 cells: its result files are more lines than one block of columns, so
// every process writes its lines of each file in several blocks.
void writeWide(const CaseDir& dir) {
    SmallCase c;
    c.coef.ixEnd = 170;
    c.coef.jyEnd = 100;
    c.coef.tEnd = 6;
    c.slope = 0.02f;
    c.write(dir, "wide");
}

}  // namespace

TEST(MpiRuns, SamplesGiveTheBatchProgramsFilesWithTwoAndThreeProcesses) {
    CaseDir dir("mpi-samples");
    writeShortSamples(dir);
    expectTheBatchProgramsRun(dir, {"beach", "breakwater"}, 0, 2);
}

TEST(MpiRuns, GeneratedCasesGiveTheBatchProgramsFilesWithTwoAndThreeProcesses) {
    CaseDir dir("mpi-generated");
    auto cases = writeGeneratedCases(dir);
    cases.erase(std::find(cases.begin(), cases.end(), "strip"));  // two rows: fewer than three processes
    writeThreeRows(dir);
    cases.push_back("rows");
    expectTheBatchProgramsRun(dir, cases, 0, cases.size());
    EXPECT_EQ(countLines(dir.root / "output-batch" / "rows" / "gauges_intervals.csv"), 1 + 4 * 3);
}

// A water level below the bed at the north end of the west side only: the check fails on
// the last process alone, and the first prints its message.
TEST(MpiRuns, AFailureOnAnyProcessStopsTheCaseOnEveryProcessWithOneMessage) {
    CaseDir dir("mpi-stops");
    auto cases = writeBatchCases(dir);
    writeStoppingCase(dir, "north", 9, 8);
    cases.insert(cases.begin() + 1, "north");
    cases.erase(std::find(cases.begin(), cases.end(), "strip"));  // two rows: fewer than three processes
    // Three cases stop; two name the output folder of an earlier case and are refused.
    expectTheBatchProgramsRun(dir, cases, 1, cases.size() - 5);
    const std::string log = readFile(dir.root / "log-3.txt.err");
    EXPECT_NE(log.find("FAILED " + (dir.data / "northcnt.txt").string() + ": "), std::string::npos) << log;
    EXPECT_NE(log.find("FAILED " + (dir.data / "badcnt.txt").string() + ": "), std::string::npos) << log;
    EXPECT_NE(log.find("FAILED " + (dir.data / "stopscnt.txt").string() + ": "), std::string::npos) << log;
}

TEST(MpiRuns, ResultFilesOfSeveralBlocksOfColumnsAreTheBatchProgramsFiles) {
    CaseDir dir("mpi-wide");
    writeWide(dir);
    expectTheBatchProgramsRun(dir, {"wide"}, 0, 1);
}

// The watchdog's stops: each process checks its own rows, and every process stops with the
// message one process gives, naming the same cell wherever the bad cells lie: a cell ten
// kilometres deep in the last process's rows (also the likely cause the message names), a
// boundary level above all water (cells out of bounds on every process: the first in row
// order is named; the bed steps 3 m between rows 2 and 3, across the edge of the first of
// three processes' rows, which widens the bound the message gives), a hung run whose
// limiting cell lies in the last process's rows.
TEST(MpiRuns, RunawayAndHungRunsStopEveryProcessNamingTheCellOneProcessNames) {
    CaseDir dir("mpi-watchdog");
    SmallCase{.coef = {.tEnd = 60}, .depth = depthWithCell(5, 7, 1e4f)}.write(dir, "deep");
    SmallCase{.coef = {.tEnd = 60},
              .tide = "0, tide\n1\n17, 1, 50, 0\n",
              .depth = depthText([](int32_t, int32_t j) { return j >= 3 ? "8" : "5"; })}
        .write(dir, "level");
    // (An open ghost 1e6 m deep, which hung the run before, is now refused as it is read.)
    SmallCase{.tide = "0, tide\n1\n17, 3, 1e10, 0\n"}.write(dir, "hung");
    expectTheBatchProgramsRun(dir, {"deep", "level", "hung"}, 1, 0);
    const std::string log = readFile(dir.root / "log-3.txt.err");
    EXPECT_NE(log.find("looks hung"), std::string::npos) << log;
    EXPECT_NE(log.find("the run was stopped before writing"), std::string::npos) << log;
}

// Bad input met in the last process's rows stops every process with the batch program's
// message: a depth that is not a number, a dry phase reference point, and two boundary cells
// without a wavelength (a depth of 1e-30 m), of which the first in the boundary list lies in
// the north ghost row, after the other in row order.
TEST(MpiRuns, BadInputInTheLastProcesssRowsStopsEveryProcessWithTheBatchProgramsMessage) {
    CaseDir dir("mpi-input");
    SmallCase{.depth = depthText([](int32_t i, int32_t j) { return i == 5 && j == 7 ? "5m" : "5"; })}.write(dir, "text");
    SmallCase{.wave = waveText(0.5f, 6, 180, 5, 7), .depth = depthWithCell(5, 7, -1)}.write(dir, "dry");
    SmallCase{.depth = depthText([](int32_t i, int32_t j) { return (i == 1 && j == 9) || (i == 2 && j == 0) ? "1e-30" : "5"; })}
        .write(dir, "flat");
    expectTheBatchProgramsRun(dir, {"text", "dry", "flat"}, 1, 0);
    const std::string log = readFile(dir.root / "log-3.txt.err");
    for (const char* what : {"expected a depth", "the phase reference point (5, 7) is dry",
                             "boundary cell (1, 9) has no wavelength"})
        EXPECT_NE(log.find(what), std::string::npos) << what << "\n" << log;
}

// Every process writes its rows' parts of a result file at their places in the first
// process's temporary; a write that fails on any of them stops the case on every process
// with the batch program's message, and nothing is left under the file's name nor any
// temporary: the output folder is the batch program's. The limit on a file's size lies just
// below the field file's size, so that only the file's last lines, the last process's part
// of the last column, pass it (the echo files stay below it).
TEST(MpiRuns, AFailedWriteOfAnyProcesssPartLeavesNothingOfTheFile) {
    CaseDir dir("mpi-write-fails");
    writeWide(dir);
    const std::string args = argsOf(dir, {"wide"});
    ASSERT_EQ(runProgram(LITTORAL_BATCH_EXE, args, dir.root / "log-free.txt").status, 0);
    const uintmax_t size = fs::file_size(dir.keepOutput("output-free") / "wide" / "surfer0.csv");
    const fs::path limited = dir.root / "limited.sh";
    std::ofstream(limited) << "#!/bin/bash\nulimit -f " << (size - 1) / 1024 << "\ntrap '' XFSZ\nexec \"$@\"\n";
    fs::permissions(limited, fs::perms::owner_all);
    const ProgramRun batch = runProgram(limited.string() + " " + LITTORAL_BATCH_EXE, args, dir.root / "log-batch.txt");
    EXPECT_EQ(batch.status, 1) << batch.text;
    EXPECT_NE(batch.text.find("surfer0.csv: writing failed"), std::string::npos) << batch.text;
    const fs::path one = dir.keepOutput("output-batch");
    for (int processes : {2, 3}) {
        const ProgramRun mpi = runProgram(std::string(LITTORAL_MPIEXEC) + " -q -np " + std::to_string(processes) +
                                              " --oversubscribe " + limited.string() + " " + LITTORAL_MPI_EXE,
                                          args, dir.root / ("log-" + std::to_string(processes) + ".txt"));
        EXPECT_EQ(mpi.status, 1) << processes << " processes:\n" << mpi.text;
        EXPECT_EQ(withoutWallTimes(mpi.text), withoutWallTimes(batch.text)) << processes << " processes";
        EXPECT_EQ(treeDifferences(one, dir.keepOutput("output-" + std::to_string(processes))), "")
            << processes << " processes against the batch program";
    }
}

TEST(MpiRuns, MoreProcessesThanRowsAreRefusedWithTheCount) {
    CaseDir dir("mpi-few-rows");
    writeGeneratedCases(dir);
    const ProgramRun r = runMpi(3, argsOf(dir, {"strip"}), dir.root / "log.txt");
    EXPECT_EQ(r.status, 1) << r.text;
    EXPECT_NE(r.text.find("the grid has 2 rows along Y, fewer than the 3 processes the run is split over"),
              std::string::npos)
        << r.text;
    EXPECT_EQ(std::count(r.text.begin(), r.text.end(), '\n'), 3) << "the thread line and the case's line:\n" << r.text;
}

#ifdef LITTORAL_NETCDF
namespace {

// The first difference between two netCDF files, variable by variable (values byte for byte)
// and attribute by attribute, leaving out the time the file was written ("history"); ""
// when there is none.
std::string netcdfDifferences(const fs::path& a, const fs::path& b) {
    int id[2] = {-1, -1};
    if (nc_open(a.c_str(), NC_NOWRITE, &id[0]) != NC_NOERR || nc_open(b.c_str(), NC_NOWRITE, &id[1]) != NC_NOERR)
        return "cannot open " + a.string() + " or " + b.string();
    std::string diff;
    auto attributes = [&](int var, const std::string& where) {
        int n[2] = {0, 0};
        for (int k : {0, 1}) nc_inq_varnatts(id[k], var, &n[k]);
        if (n[0] != n[1]) return where + ": " + std::to_string(n[0]) + " against " + std::to_string(n[1]) + " attributes";
        for (int t = 0; t < n[0]; ++t) {
            char name[NC_MAX_NAME + 1] = {};
            nc_inq_attname(id[0], var, t, name);
            if (var == NC_GLOBAL && std::string(name) == "history") continue;
            std::string v[2];
            for (int k : {0, 1}) {
                nc_type type = 0;
                size_t len = 0, size = 0;
                if (nc_inq_att(id[k], var, name, &type, &len) != NC_NOERR) return where + ": no attribute " + name;
                nc_inq_type(id[k], type, nullptr, &size);
                v[k].resize(len * size);
                nc_get_att(id[k], var, name, v[k].data());
                v[k] += "/" + std::to_string(type);
            }
            if (v[0] != v[1]) return where + ": attribute " + name + " differs";
        }
        return std::string();
    };
    int nVars[2] = {0, 0};
    for (int k : {0, 1}) nc_inq_nvars(id[k], &nVars[k]);
    diff = attributes(NC_GLOBAL, "global");
    if (diff.empty() && nVars[0] != nVars[1]) diff = "the numbers of variables differ";
    for (int var = 0; diff.empty() && var < nVars[0]; ++var) {
        std::string values[2];
        char name[NC_MAX_NAME + 1] = {};
        nc_inq_varname(id[0], var, name);
        for (int k : {0, 1}) {
            nc_type type = 0;
            int dims = 0, dimIds[NC_MAX_VAR_DIMS] = {};
            nc_inq_var(id[k], var, nullptr, &type, &dims, dimIds, nullptr);
            size_t count = 1, size = 0;
            for (int d = 0; d < dims; ++d) {
                size_t len = 0;
                nc_inq_dimlen(id[k], dimIds[d], &len);
                count *= len;
            }
            nc_inq_type(id[k], type, nullptr, &size);
            values[k].resize(count * size);
            if (count > 0) nc_get_var(id[k], var, values[k].data());
        }
        if (values[0] != values[1]) diff = std::string("the values of ") + name + " differ";
        else diff = attributes(var, name);
    }
    nc_close(id[0]);
    nc_close(id[1]);
    return diff;
}

}  // namespace

// With --netcdf, the first process writes the netCDF file from each grid gathered whole in
// turn: the same file as the batch program's, value for value, for a case with periodic
// sides and one with closed and open sides and an island, on 2 and 3 processes.
TEST(MpiRuns, TheNetCdfFileIsTheBatchProgramsValueForValue) {
    CaseDir dir("mpi-netcdf");
    writeGeneratedCases(dir);
    const std::string args = " --netcdf" + argsOf(dir, {"shore", "basin"});
    const ProgramRun batch = runProgram(LITTORAL_BATCH_EXE, args, dir.root / "log-batch.txt");
    ASSERT_EQ(batch.status, 0) << batch.text;
    const fs::path one = dir.keepOutput("output-batch");
    for (int processes : {2, 3}) {
        const ProgramRun mpi = runMpi(processes, args, dir.root / ("log-" + std::to_string(processes) + ".txt"));
        ASSERT_EQ(mpi.status, 0) << mpi.text;
        const fs::path out = dir.keepOutput("output-" + std::to_string(processes));
        for (const char* c : {"shore", "basin"})
            EXPECT_EQ(netcdfDifferences(one / c / "results.nc", out / c / "results.nc"), "")
                << processes << " processes, case " << c;
    }
}
#endif

#ifdef LITTORAL_NETCDF
namespace {

// SIGKILL to every process whose command line holds `marker` (the test's own folder): the
// processes of an MPI run, which mpirun's launcher starts in sessions of their own.
void killProcessesNaming(const std::string& marker) {
    for (const auto& e : fs::directory_iterator("/proc")) {
        const std::string name = e.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string cmd = readFile(e.path() / "cmdline");
        std::replace(cmd.begin(), cmd.end(), '\0', ' ');
        if (cmd.find("littoral-mpi") != std::string::npos && cmd.find(marker) != std::string::npos)
            kill(std::stoi(name), SIGKILL);
    }
}

}  // namespace

// A checkpointed run of 2 processes killed at a random moment (SIGKILL to mpirun and its
// processes), then resumed by littoral-batch, and once more killed and resumed by 3
// processes: every result file is the batch program's uninterrupted run's, byte for byte.
TEST(MpiRuns, AKilledRunOfTwoProcessesResumedByTheBatchProgramOrThreeProcessesGivesItsFiles) {
    CaseDir dir("mpi-restart");
    writeGeneratedCases(dir);
    const std::string env = "env SOURCE_DATE_EPOCH=1700000000 ";
    const std::string args = " --netcdf" + argsOf(dir, {"shore"});
    const ProgramRun batch = runProgram(env + LITTORAL_BATCH_EXE, args, dir.root / "log-batch.txt");
    ASSERT_EQ(batch.status, 0) << batch.text;
    const fs::path reference = dir.keepOutput("output-batch");
    const std::string mpi = env + "OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 OMP_WAIT_POLICY=passive "
                            "LITTORAL_THREADS=1 " + std::string(LITTORAL_MPIEXEC) + " -q --oversubscribe -np ";
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(runProgram(mpi + "2 " + LITTORAL_MPI_EXE, args + " --checkpoint-every 2", dir.root / "log-2.txt").status, 0);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    dir.keepOutput("output-2");
    std::mt19937 gen(std::random_device{}());
    std::uniform_real_distribution<double> at(0.4, 0.9);
    for (const std::string resumer : {env + "LITTORAL_THREADS=1 " + LITTORAL_BATCH_EXE, mpi + "3 " + LITTORAL_MPI_EXE}) {
        const double delay = at(gen) * wall;
        SCOPED_TRACE("killed after " + std::to_string(delay) + " s of " + std::to_string(wall) + " s, resumed by " + resumer);
        const int group =
            startInGroup(mpi + "2 " + LITTORAL_MPI_EXE + args + " --checkpoint-every 2", dir.root / "log-k.txt");
        std::this_thread::sleep_for(std::chrono::duration<double>(delay));
        killProcessesNaming(dir.root.string());
        killGroupAfter(group, 0.0);
        const ProgramRun resumed = runProgram(resumer, args + " --checkpoint-every 2 --resume", dir.root / "log-r.txt");
        ASSERT_EQ(resumed.status, 0) << resumed.text;
        const fs::path out = dir.keepOutput("output-resumed");
        for (const char* f : {"checkpoint.nc", "0options.txt"}) fs::remove(out / "shore" / f);
        EXPECT_EQ(treeDifferences(reference, out), "");
        fs::remove_all(out);
    }
}
#endif

#ifdef LITTORAL_NETCDF
// Output control split over processes: each process sums its own rows, so the field files,
// the mean files and the netCDF file's means and maxima of every 2nd interval are the batch
// program's, on 2 and 3 processes.
// The absorbing wave input (its lines and incident potentials kept by the process of each
// input cell's row), the balanced wave force (the forces of the row beyond a process's rows
// read at its faces) and the mean currents (summed over each process's rows, brought across
// for the wave period) give the batch program's files.
TEST(MpiRuns, TheAbsorbingInputAndTheBalancedForceGiveTheBatchProgramsFiles) {
    CaseDir dir("mpi-physics");
    writeGeneratedCases(dir);
    writeThreeRows(dir);
    // Oblique waves entering through the east side and the north side, whose ghost row the
    // last process holds; closed west, open south.
    SmallCase corner;
    corner.coef.ixEnd = 16;
    corner.coef.jyEnd = 9;
    corner.coef.tEnd = 18;
    corner.slope = 0.0f;  // flat, 5 m: the north input cells in deep enough water
    corner.wave = waveText(0.5f, 6, 210, 16, 9);
    corner.tide = "0, tide\n2\n17, 0, 0, 0\n18, 0, 0, 0\n";
    const CoefSpec& c = corner.coef;
    corner.bnd = boundaryText(c, [&](int i, int j) {
        const bool gi = i < c.ixStart || i > c.ixEnd, gj = j < c.jyStart || j > c.jyEnd;
        if (gi && gj) return 0;
        if (i > c.ixEnd || j > c.jyEnd) return 17;
        if (j < c.jyStart) return 18;
        return 0;
    });
    corner.write(dir, "corner");
    expectTheBatchProgramsRun(dir, {"shore", "basin", "rows", "corner"}, 0, 4,
                              " --absorbing-input --balanced-wave-force --mean-currents");
}

TEST(MpiRuns, MeansAndOutputEveryGiveTheBatchProgramsFiles) {
    CaseDir dir("mpi-means");
    writeGeneratedCases(dir);
    const std::string args = " --netcdf --means --output-every 2" + argsOf(dir, {"shore", "basin"});
    const ProgramRun batch = runProgram(LITTORAL_BATCH_EXE, args, dir.root / "log-batch.txt");
    ASSERT_EQ(batch.status, 0) << batch.text;
    const fs::path one = dir.keepOutput("output-batch");
    ASSERT_TRUE(fs::exists(one / "shore" / "mean2.csv"));
    for (int processes : {2, 3}) {
        const ProgramRun mpi = runMpi(processes, args, dir.root / ("log-" + std::to_string(processes) + ".txt"));
        ASSERT_EQ(mpi.status, 0) << mpi.text;
        const fs::path out = dir.keepOutput("output-" + std::to_string(processes));
        EXPECT_EQ(filesBelow(out), filesBelow(one)) << processes << " processes";
        for (const std::string& f : filesBelow(one)) {
            if (f.size() > 3 && f.substr(f.size() - 3) == ".nc") {
                EXPECT_EQ(netcdfDifferences(one / f, out / f), "") << processes << " processes, " << f;
            } else {
                EXPECT_TRUE(readFile(one / f) == readFile(out / f)) << processes << " processes, " << f;
            }
        }
    }
}
#endif
