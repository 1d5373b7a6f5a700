// The netCDF result file results.nc, read back through the netCDF library: every field of
// every interval equal bit for bit to the model's grids and within the 7-digit rounding of
// the result field files; the header's conventions, units and dimensions; a run killed
// mid-way leaves a readable file with its completed intervals; the batch options.
#ifdef LITTORAL_NETCDF

#include <gtest/gtest.h>
#include <netcdf.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "run/RunCase.h"
#include "output/ResultFiles.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace littoral;
using namespace littoral::test;

namespace {

// The fields in the order of the result file columns 3 ... 23, with the variable's name.
struct Expected { const char* var; const char* column; const char* units; Grid Model::*grid; bool negated; };
const Expected kExpected[] = {
    {"bed_level", "_dep", "m", &Model::dep, true}, {"wavH", "wavH", "m", &Model::wavH, false},
    {"setup", "setup", "m", &Model::setup, false}, {"lfu", "lfu", "m s-1", &Model::curU, false},
    {"lfv", "lfv", "m s-1", &Model::curV, false}, {"sxx", "sxx", "m3 s-2", &Model::sxx, false},
    {"sxy", "sxy", "m3 s-2", &Model::sxy, false}, {"syy", "syy", "m3 s-2", &Model::syy, false},
    {"fx", "fx", "m2 s-2", &Model::fx, false}, {"fy", "fy", "m2 s-2", &Model::fy, false},
    {"tau", "tau", "Pa", &Model::tau, false}, {"maxtau", "maxtau", "Pa", &Model::maxtau, false},
    {"qbx", "qbx", "m2 s-1", &Model::qbx, false}, {"qby", "qby", "m2 s-1", &Model::qby, false},
    {"qsx", "qsx", "m2 s-1", &Model::qsx, false}, {"qsy", "qsy", "m2 s-1", &Model::qsy, false},
    {"bed_change", "_dh", "m", &Model::dh, true}, {"theta", "theta", "rad", &Model::theta, false},
    {"vptwb", "vptwb", "m2", &Model::sumDiss, false}, {"eta", "eta", "m", &Model::etaOut, false},
    {"kd", "kd", "1", &Model::kd, false},
};
constexpr int kFields = 21;

// The interior of the 21 fields after every interval, y outer and x inner, as written.
struct Snapshot { std::vector<float> field[kFields]; float time = 0; };

struct CapturingHost : SilentHost {
    std::vector<Snapshot> intervals;
    void graphUVEta(const Model& m, const Grid&, const Grid&, float, const Grid&, float, float, float) override {
        Snapshot s;
        for (int f = 0; f < kFields; ++f) {
            const Grid& g = m.*kExpected[f].grid;
            for (int32_t j = m.jyStart; j <= m.jyEnd; ++j)
                for (int32_t i = m.ixStart; i <= m.ixEnd; ++i)
                    s.field[f].push_back(kExpected[f].negated ? -g(i, j) : g(i, j));
        }
        intervals.push_back(std::move(s));
    }
};

// An open netCDF file, read-only; every call checked.
struct NcReader {
    int id = -1;
    explicit NcReader(const fs::path& p) {
        const int st = nc_open(p.c_str(), NC_NOWRITE, &id);
        if (st != NC_NOERR) throw std::runtime_error(p.string() + ": " + nc_strerror(st));
    }
    ~NcReader() { if (id >= 0) nc_close(id); }
    int var(const char* name) const {
        int v = -1;
        if (nc_inq_varid(id, name, &v) != NC_NOERR) throw std::runtime_error(std::string("no variable ") + name);
        return v;
    }
    size_t dim(const char* name) const {
        int d = -1;
        size_t n = 0;
        if (nc_inq_dimid(id, name, &d) != NC_NOERR || nc_inq_dimlen(id, d, &n) != NC_NOERR)
            throw std::runtime_error(std::string("no dimension ") + name);
        return n;
    }
    std::string text(int v, const char* att) const {
        size_t n = 0;
        if (nc_inq_attlen(id, v, att, &n) != NC_NOERR) return "<none>";
        std::string s(n, '\0');
        nc_get_att_text(id, v, att, s.data());
        return s;
    }
    std::vector<float> slab(const char* name, size_t t, size_t ny, size_t nx) const {
        std::vector<float> out(ny * nx);
        const size_t start[3] = {t, 0, 0}, count[3] = {1, ny, nx};
        EXPECT_EQ(nc_get_vara_float(id, var(name), start, count, out.data()), NC_NOERR) << name;
        return out;
    }
    template <class T, class F>
    std::vector<T> all(const char* name, size_t n, F get) const {
        std::vector<T> out(n);
        EXPECT_EQ(get(id, var(name), out.data()), NC_NOERR) << name;
        return out;
    }
};

// Values of a result field file: one row of 23 numbers per line after the header.
std::vector<std::vector<double>> readCsv(const fs::path& p) {
    std::ifstream f(p);
    std::string line;
    std::getline(f, line);
    std::vector<std::vector<double>> rows;
    while (std::getline(f, line)) {
        std::vector<double> r;
        std::stringstream s(line);
        std::string v;
        while (std::getline(s, v, ',')) r.push_back(std::strtod(v.c_str(), nullptr));
        rows.push_back(std::move(r));
    }
    return rows;
}

SmallCase sampleSmallCase() {
    SmallCase c;
    c.coef.ixEnd = 12;  // 12 x 7: x and y cannot be confused
    c.coef.jyEnd = 7;
    c.coef.tEnd = 30;   // six intervals of 6 s
    c.slope = 0.035f;   // breaking on a beach, so every field moves
    return c;
}

// Runs the case "small" of dir with netCDF results; the model after the run.
Model runSmall(const CaseDir& dir, RunHost& host) {
    Model m;
    m.netcdfResults = true;
    dir.prepare(m, "smallcnt.txt");
    runCase(m, host);
    return m;
}

// Runs the small case of dir with netCDF output in a child process that kills itself
// with SIGKILL in the given wave period (1 = the first interval's); true when it died so.
bool runKilledInPeriod(const CaseDir& dir, int period) {
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        struct KillingHost : SilentHost {
            int periods = 0, at = 0;
            void progressLine(const std::string&) override {
                if (++periods == at) raise(SIGKILL);
            }
        } host;
        host.at = period;
        try {
            runSmall(dir, host);
        } catch (...) {
        }
        _exit(3);  // not reached when the kill came
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

}  // namespace

TEST(NetCdfResults, EveryValueEqualsTheModelBitForBitAndTheCsvFilesWithinTheirRounding) {
    CaseDir dir("netcdf-values");
    sampleSmallCase().write(dir, "small");
    CapturingHost host;
    const Model m = runSmall(dir, host);
    const size_t nx = 12, ny = 7, nt = host.intervals.size();
    ASSERT_EQ(nt, 6u);
    const fs::path out = dir.output / "small";
    NcReader nc(out / "results.nc");

    // Header: conventions, dimensions (time unlimited), coordinates and units.
    EXPECT_EQ(nc.text(NC_GLOBAL, "Conventions"), "CF-1.8");
    EXPECT_EQ(nc.text(NC_GLOBAL, "program"), "Littoral");
    EXPECT_NE(nc.text(NC_GLOBAL, "version"), "<none>");
    EXPECT_EQ(nc.text(NC_GLOBAL, "control_file"), m.cntPath);
    EXPECT_EQ(nc.text(NC_GLOBAL, "control_file_text"), readFile(m.cntPath));
    int format = 0, unlimited = -1, timeDim = -1;
    nc_inq_format(nc.id, &format);
    EXPECT_EQ(format, NC_FORMAT_NETCDF4);
    nc_inq_unlimdim(nc.id, &unlimited);
    nc_inq_dimid(nc.id, "time", &timeDim);
    EXPECT_EQ(unlimited, timeDim);
    EXPECT_EQ(nc.dim("time"), nt);
    EXPECT_EQ(nc.dim("y"), ny);
    EXPECT_EQ(nc.dim("x"), nx);
    EXPECT_EQ(nc.text(nc.var("x"), "units"), "m");
    EXPECT_EQ(nc.text(nc.var("y"), "units"), "m");
    EXPECT_EQ(nc.text(nc.var("time"), "units"), "s");
    EXPECT_EQ(nc.text(nc.var("lfu"), "standard_name"), "barotropic_sea_water_x_velocity");
    const auto x = nc.all<double>("x", nx, nc_get_var_double), y = nc.all<double>("y", ny, nc_get_var_double);
    for (size_t k = 0; k < nx; ++k) EXPECT_EQ(x[k], k * static_cast<double>(10.0f));
    for (size_t k = 0; k < ny; ++k) EXPECT_EQ(y[k], k * static_cast<double>(10.0f));
    const auto time = nc.all<double>("time", nt, nc_get_var_double);
    const auto number = nc.all<int>("output_number", nt, nc_get_var_int);
    for (size_t t = 0; t < nt; ++t) {
        EXPECT_EQ(number[t], static_cast<int>(t));
        // The model's single-precision clock at the interval's end (scaled there and back).
        EXPECT_NEAR(time[t], 6.0 * (t + 1), 1e-4);
        EXPECT_EQ(static_cast<double>(static_cast<float>(time[t])), time[t]);
    }
    float waveT0 = 0;
    nc_get_var_float(nc.id, nc.var("waveT0"), &waveT0);
    EXPECT_EQ(waveT0, 6.0f);
    float minDepth = 0;
    nc_get_var_float(nc.id, nc.var("minDepth"), &minDepth);
    EXPECT_EQ(minDepth, 0.01f) << "the minimum depth in metres, as read";
    const auto bed0 = nc.all<float>("initial_bed_level", nx * ny, nc_get_var_float);
    EXPECT_EQ(firstBitDifference(bed0.data(), host.intervals[0].field[0].data(), nx * ny), -1);
    // The ghost ring holds the boundary codes: wave input 17 east, periodic 16 south and north.
    const auto codes = nc.all<int>("boundary_code", (nx + 2) * (ny + 2), nc_get_var_int);
    EXPECT_EQ(codes[3 * (nx + 2) + nx + 1], 17);
    EXPECT_EQ(codes[0 * (nx + 2) + 3], 16);
    EXPECT_EQ(codes[(ny + 1) * (nx + 2) + 3], 16);

    for (int f = 0; f < kFields; ++f) {
        const int v = nc.var(kExpected[f].var);
        EXPECT_EQ(nc.text(v, "units"), kExpected[f].units) << kExpected[f].var;
        EXPECT_NE(nc.text(v, "long_name"), "<none>") << kExpected[f].var;
        EXPECT_EQ(nc.text(v, "csv_column"), kExpected[f].column[0] == '_' ? kExpected[f].column : "<none>");
        nc_type type;
        nc_inq_vartype(nc.id, v, &type);
        EXPECT_EQ(type, NC_FLOAT);
        int shuffle = 0, deflate = 0, level = 0, storage = 0;
        size_t chunks[3] = {};
        nc_inq_var_deflate(nc.id, v, &shuffle, &deflate, &level);
        nc_inq_var_chunking(nc.id, v, &storage, chunks);
        EXPECT_TRUE(shuffle && deflate) << kExpected[f].var;
        EXPECT_EQ(chunks[0], 1u);
    }

    bool anyNonZero[kFields] = {};
    for (size_t t = 0; t < nt; ++t) {
        SCOPED_TRACE("interval " + std::to_string(t));
        const auto csv = readCsv(out / ("surfer" + std::to_string(t) + ".csv"));
        ASSERT_EQ(csv.size(), nx * ny);
        for (int f = 0; f < kFields; ++f) {
            const auto got = nc.slab(kExpected[f].var, t, ny, nx);
            const auto& want = host.intervals[t].field[f];
            EXPECT_EQ(firstBitDifference(got.data(), want.data(), nx * ny), -1) << kExpected[f].var;
            // The field files go i outer, j inner; 7 significant digits.
            for (size_t c = 0; c < nx; ++c)
                for (size_t r = 0; r < ny; ++r) {
                    const double a = got[r * nx + c], b = csv[c * ny + r][2 + f];
                    anyNonZero[f] |= a != 0;
                    EXPECT_LE(std::fabs(a - b), 5e-7 * std::fabs(a) + 1e-37)
                        << kExpected[f].var << " at x " << c << ", y " << r;
                }
        }
    }
    for (int f : {1, 2, 3, 5, 8, 10, 12, 17, 19, 20}) EXPECT_TRUE(anyNonZero[f]) << kExpected[f].var << " all zero";
    // Made with the permissions of any new file, like the field files; nothing left under a
    // temporary name.
    EXPECT_EQ(fs::status(out / "results.nc").permissions(), fs::status(out / "surfer0.csv").permissions());
    for (const auto& name : dir.outputFiles("small")) EXPECT_EQ(name.find(".part"), std::string::npos) << name;
}

TEST(NetCdfResults, ARunKilledMidWayLeavesAReadableFileWithItsCompletedIntervals) {
    // A complete run for the reference values.
    CaseDir full("netcdf-full");
    sampleSmallCase().write(full, "small");
    CapturingHost refHost;
    runSmall(full, refHost);
    ASSERT_EQ(refHost.intervals.size(), 6u);

    // The same case in a child process, killed while the fourth interval computes.
    CaseDir dir("netcdf-killed");
    sampleSmallCase().write(dir, "small");
    ASSERT_TRUE(runKilledInPeriod(dir, 4));

    const size_t nx = 12, ny = 7;
    NcReader nc(dir.output / "small" / "results.nc");
    ASSERT_EQ(nc.dim("time"), 3u);
    const auto number = nc.all<int>("output_number", 3, nc_get_var_int);
    EXPECT_EQ(number, (std::vector<int>{0, 1, 2}));
    for (size_t t = 0; t < 3; ++t)
        for (int f = 0; f < kFields; ++f) {
            const auto got = nc.slab(kExpected[f].var, t, ny, nx);
            EXPECT_EQ(firstBitDifference(got.data(), refHost.intervals[t].field[f].data(), nx * ny), -1)
                << kExpected[f].var << " of interval " << t;
        }
    EXPECT_TRUE(fs::exists(dir.output / "small" / "surfer2.csv"));
    EXPECT_FALSE(fs::exists(dir.output / "small" / "surfer3.csv"));
}

TEST(NetCdfResults, ARunKilledInItsFirstIntervalLeavesNoResultsFileAndTheNextRunClearsItsTemporary) {
    CaseDir dir("netcdf-killed-first");
    sampleSmallCase().write(dir, "small");
    ASSERT_TRUE(runKilledInPeriod(dir, 1));
    const fs::path out = dir.output / "small";
    EXPECT_FALSE(fs::exists(out / "results.nc"));
    int parts = 0;
    for (const auto& n : dir.outputFiles("small")) parts += n.rfind("results.nc.", 0) == 0 && n.size() > 5 &&
                                                             n.substr(n.size() - 5) == ".part";
    EXPECT_EQ(parts, 1) << "the killed run's temporary";
    SilentHost host;
    runSmall(dir, host);
    for (const auto& n : dir.outputFiles("small")) EXPECT_EQ(n.find(".part"), std::string::npos) << n;
    NcReader nc(out / "results.nc");
    EXPECT_EQ(nc.dim("time"), 6u);
}

TEST(NetCdfResults, ASecondRunReplacesTheFileWhole) {
    CaseDir dir("netcdf-rerun");
    SmallCase c = sampleSmallCase();
    c.write(dir, "small");
    SilentHost host;
    runSmall(dir, host);
    c.coef.tEnd = 12;  // three intervals
    c.write(dir, "small");
    runSmall(dir, host);
    NcReader nc(dir.output / "small" / "results.nc");
    EXPECT_EQ(nc.dim("time"), 3u);
    float tEnd = 0;
    nc_get_var_float(nc.id, nc.var("tEnd"), &tEnd);
    EXPECT_EQ(tEnd, 12.0f);
}

TEST(NetCdfResults, BatchOptions) {
    CaseDir dir("netcdf-batch");
    sampleSmallCase().write(dir, "small");
    const std::string cnt = " " + (dir.data / "smallcnt.txt").string();
    // --no-csv alone would leave no results; an unknown option is refused.
    BatchRun r = runBatch("--no-csv" + cnt);
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(containsAll(r.out, {"--netcdf"}));
    EXPECT_FALSE(fs::exists(dir.output / "small"));
    r = runBatch("--netcfd" + cnt);
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(containsAll(r.out, {"--netcfd: unknown option"}));

    // --netcdf --no-csv: the echo files and results.nc, no field files.
    r = runBatch("--netcdf --no-csv" + cnt);
    ASSERT_EQ(r.status, 0) << r.out;
    const auto files = dir.outputFiles("small");
    for (const auto& f : files) EXPECT_FALSE(f.rfind("surfer", 0) == 0 && f != "surferdep.csv" && f != "surferbnd.csv") << f;
    for (const char* f : {"0const.txt", "0wavtide.txt", "0depbnd.txt", "surferdep.csv", "surferbnd.csv", "results.nc"})
        EXPECT_TRUE(fs::exists(dir.output / "small" / f)) << f;
    NcReader nc(dir.output / "small" / "results.nc");
    EXPECT_EQ(nc.dim("time"), 6u);
}

TEST(NetCdfResults, TheDesktopVariableIsCheckedByValue) {
    Model m;
    setenv("LITTORAL_NETCDF", "1", 1);
    resultFormatsFromEnvironment(m);
    EXPECT_TRUE(m.netcdfResults);
    setenv("LITTORAL_NETCDF", "0", 1);
    resultFormatsFromEnvironment(m);
    EXPECT_FALSE(m.netcdfResults);
    setenv("LITTORAL_NETCDF", "yes", 1);
    EXPECT_TRUE(containsAll(stopMessage([&] { resultFormatsFromEnvironment(m); }), {"LITTORAL_NETCDF is \"yes\""}));
    unsetenv("LITTORAL_NETCDF");
    resultFormatsFromEnvironment(m);
    EXPECT_FALSE(m.netcdfResults);
}

TEST(NetCdfResults, ADiskFullInTheMiddleOfAnIntervalKeepsTheIntervalsBefore) {
    // A grid whose interval spans many pages, written without the field files.
    CaseDir dir("netcdf-full-disk");
    SmallCase c = sampleSmallCase();
    c.coef.ixEnd = 120;
    c.coef.jyEnd = 90;
    c.coef.dx = c.coef.dy = 1;
    c.slope = 0.02f;
    auto run = [&](const std::string& name) {
        return runBatch("--netcdf --no-csv " + (dir.data / (name + "cnt.txt")).string());
    };
    c.coef.tEnd = 30;  // six intervals
    c.write(dir, "ref");
    ASSERT_EQ(run("ref").status, 0);
    const uintmax_t six = fs::file_size(dir.output / "ref" / "results.nc");
    c.coef.tEnd = 6;  // two intervals
    c.write(dir, "ref2");
    ASSERT_EQ(run("ref2").status, 0);
    const uintmax_t two = fs::file_size(dir.output / "ref2" / "results.nc");
    ASSERT_GT(six - two, 4u * 65536) << "an interval must span pages";

    // Room for the echo files and about four intervals.
    uintmax_t echo = 0;
    for (const auto& n : dir.outputFiles("ref")) echo += fs::file_size(dir.output / "ref" / n) + 4096;
    echo -= six;
    c.coef.tEnd = 30;
    c.write(dir, "full");
    fs::create_directories(dir.output / "full");
    const uintmax_t size = echo + two + (six - two) / 2 + 8 * 4096;
    SmallDisk disk(dir.output / "full", size);
    if (!disk.ok) GTEST_SKIP() << "cannot mount a small file system here (needs root)";
    const auto [status, log] = run("full");  // the case's status and its messages
    EXPECT_EQ(status, 1) << log;
    EXPECT_TRUE(containsAll(log, {(dir.output / "full" / "results.nc").string() +
                                      ": the netCDF result file could not be written",
                                  "No space left on device"}));

    // Readable; every interval with a time holds the complete run's values; an interval cut
    // off while written can only be the last, and has no time.
    NcReader cut(dir.output / "full" / "results.nc"), ref(dir.output / "ref" / "results.nc");
    const size_t nt = cut.dim("time"), nx = 120, ny = 90;
    ASSERT_GE(nt, 3u);
    ASSERT_LT(nt, 6u);
    const auto time = cut.all<double>("time", nt, nc_get_var_double);
    size_t complete = 0;
    for (size_t t = 0; t < nt; ++t) {
        if (time[t] == NC_FILL_DOUBLE) {
            EXPECT_EQ(t, nt - 1) << "only the last interval may be cut off";
            continue;
        }
        ++complete;
        for (int f = 0; f < kFields; ++f) {
            const auto a = cut.slab(kExpected[f].var, t, ny, nx), b = ref.slab(kExpected[f].var, t, ny, nx);
            EXPECT_EQ(firstBitDifference(a.data(), b.data(), nx * ny), -1) << kExpected[f].var << " of interval " << t;
        }
    }
    EXPECT_GE(complete, 3u);
}

// A disk that fills while the file's header (or its first interval) is written: the message
// and exit status 1, never a crash (the library's exit handler closed a file whose close had
// failed, and its abort after a failed write met that file half-closed).
TEST(NetCdfResults, ADiskFullWhileTheHeaderIsWrittenEndsWithTheMessage) {
    CaseDir dir("netcdf-full-header");
    SmallCase c{.coef = {.tEnd = 0}};
    c.write(dir, "ref");
    ASSERT_EQ(runBatch("--netcdf --no-csv " + (dir.data / "refcnt.txt").string()).status, 0);
    uintmax_t echo = 0;
    for (const auto& n : dir.outputFiles("ref"))
        if (n != "results.nc") echo += (fs::file_size(dir.output / "ref" / n) + 4095) / 4096 * 4096;
    const uintmax_t whole = fs::file_size(dir.output / "ref" / "results.nc");
    c.write(dir, "full");
    int failed = 0;
    // Disks that end at several places of the header.
    for (uintmax_t room = 4096; room < whole; room += 4096) {
        SCOPED_TRACE(room);
        fs::remove_all(dir.output / "full");
        fs::create_directories(dir.output / "full");
        SmallDisk disk(dir.output / "full", echo + 4096 + room);
        if (!disk.ok) GTEST_SKIP() << "cannot mount a small file system here (needs root)";
        const BatchRun r = runBatch("--netcdf --no-csv " + (dir.data / "fullcnt.txt").string());
        ASSERT_TRUE(r.status == 0 || r.status == 1) << r.status << "\n" << r.out;
        if (r.status == 1) {
            ++failed;
            // The header, a first value or, with the file written, a picture that no longer fits.
            EXPECT_TRUE(containsAll(r.out, {"FAILED ", (dir.output / "full").string() + "/", "No space left on device"}))
                << r.out;
        }
    }
    EXPECT_GT(failed, 0) << "no disk was small enough to fail the header";
}

#endif  // LITTORAL_NETCDF
