// Output control on small generated cases run through the library: with outputEvery the
// field files and netCDF time steps written are those of the full run, byte for byte and
// value for value, and the last interval is always written; with means, the means and
// maxima equal those formed from every interval's fields, read back from the files.
#include <gtest/gtest.h>

#ifdef LITTORAL_NETCDF
#include <netcdf.h>
#endif

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "littoral/littoral.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;
namespace fs = std::filesystem;

namespace {

constexpr int kNx = 12, kNy = 7;

// A beach with breaking, currents and transport: nine intervals of 6 s (numbers 0 ... 8).
SmallCase beach() {
    SmallCase c;
    c.coef.ixEnd = kNx;
    c.coef.jyEnd = kNy;
    c.coef.tEnd = 48;
    c.slope = 0.035f;
    c.waveDir = 200;
    return c;
}

RunOptions options(int every, bool means) {
    RunOptions o;
    o.threads = 1;
    o.netcdf = netcdfAvailable();
    o.outputEvery = every;
    o.means = means;
    return o;
}

// Every interval's fields by their netCDF names, y outer and x inner (as Field gives them).
using Fields = std::map<std::string, std::vector<float>>;

std::vector<Fields> run(const CaseDir& dir, const RunOptions& o, std::vector<int>* numbers = nullptr) {
    const Case c = readCase((dir.data / "bcnt.txt").string());
    Run r(c, o);
    std::vector<Fields> all;
    while (r.advance()) {
        if (numbers) numbers->push_back(r.interval().number);
        Fields f;
        for (const FieldInfo& info : resultFields()) {
            const Field v = r.field(info.name);
            for (int j = 0; j < v.ny(); ++j)
                for (int i = 0; i < v.nx(); ++i) f[info.name].push_back(v(i, j));
        }
        all.push_back(std::move(f));
    }
    return all;
}

std::vector<std::string> splitLine(const std::string& line) {
    std::vector<std::string> r;
    std::istringstream in(line);
    for (std::string f; std::getline(in, f, ',');) r.push_back(f);
    return r;
}

// The column of a field file named `header` ("wavH"), its values as written, i outer, j inner.
std::vector<std::string> column(const fs::path& p, const std::string& header) {
    const std::vector<std::string> lines = linesOf(p);
    EXPECT_FALSE(lines.empty()) << p;
    if (lines.empty()) return {};
    const std::vector<std::string> head = splitLine(lines[0]);
    size_t at = head.size();
    for (size_t k = 0; k < head.size(); ++k)
        if (head[k] == "\"" + header + "\"") at = k;
    EXPECT_LT(at, head.size()) << header;
    std::vector<std::string> v;
    for (size_t l = 1; l < lines.size(); ++l) v.push_back(splitLine(lines[l]).at(at));
    return v;
}

#ifdef LITTORAL_NETCDF
struct Nc {
    int id = -1;
    explicit Nc(const fs::path& p) { EXPECT_EQ(nc_open(p.c_str(), NC_NOWRITE, &id), NC_NOERR) << p; }
    ~Nc() {
        if (id >= 0) nc_close(id);
    }
    int var(const std::string& name) const {
        int v = -1;
        EXPECT_EQ(nc_inq_varid(id, name.c_str(), &v), NC_NOERR) << name;
        return v;
    }
    size_t steps() const {
        int d = -1;
        size_t n = 0;
        nc_inq_dimid(id, "time", &d);
        nc_inq_dimlen(id, d, &n);
        return n;
    }
    std::string text(const std::string& v, const char* att) const {
        size_t n = 0;
        if (nc_inq_attlen(id, var(v), att, &n) != NC_NOERR) return "<none>";
        std::string s(n, '\0');
        nc_get_att_text(id, var(v), att, s.data());
        return s;
    }
    std::vector<float> step(const std::string& name, size_t t) const {
        std::vector<float> out(kNx * kNy);
        const size_t start[3] = {t, 0, 0}, count[3] = {1, kNy, kNx};
        EXPECT_EQ(nc_get_vara_float(id, var(name), start, count, out.data()), NC_NOERR) << name;
        return out;
    }
    template <class T, class F>
    T at(const std::string& name, size_t t, F get) const {
        T v{};
        EXPECT_EQ(get(id, var(name), &t, &v), NC_NOERR) << name;
        return v;
    }
};
#endif

}  // namespace

TEST(OutputControl, EveryNthIntervalsFilesAreTheFullRunsAndTheLastIsWritten) {
    CaseDir dir("output-every");
    beach().write(dir, "b");
    std::vector<int> numbers;
    run(dir, options(1, false), &numbers);
    ASSERT_EQ(numbers, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    const fs::path full = dir.keepOutput("full") / "b";

    run(dir, options(3, false));
    const fs::path out = dir.output / "b";
    // 0, 3 and 6, and 8 as the last interval; the echo files as always.
    for (int n = 0; n <= 8; ++n) {
        const std::string name = "surfer" + std::to_string(n) + ".csv";
        const bool written = n % 3 == 0 || n == 8;
        ASSERT_EQ(fs::exists(out / name), written) << name;
        if (written) {
            EXPECT_TRUE(readFile(out / name) == readFile(full / name)) << name << " differs from the full run's";
        }
        EXPECT_FALSE(fs::exists(out / ("mean" + std::to_string(n) + ".csv"))) << "no means asked for";
    }
    for (const char* echo : {"0const.txt", "0wavtide.txt", "0depbnd.txt", "surferdep.csv", "surferbnd.csv"})
        EXPECT_TRUE(readFile(out / echo) == readFile(full / echo)) << echo;
#ifdef LITTORAL_NETCDF
    const Nc all(full / "results.nc"), some(out / "results.nc");
    ASSERT_EQ(all.steps(), 9u);
    ASSERT_EQ(some.steps(), 4u);
    const size_t fullStep[] = {0, 3, 6, 8};
    for (size_t t = 0; t < 4; ++t) {
        EXPECT_EQ(some.at<int>("output_number", t, nc_get_var1_int), static_cast<int>(fullStep[t]));
        EXPECT_EQ(some.at<double>("time", t, nc_get_var1_double), all.at<double>("time", fullStep[t], nc_get_var1_double));
        for (const FieldInfo& f : resultFields()) {
            const auto a = some.step(f.name, t), b = all.step(f.name, fullStep[t]);
            EXPECT_EQ(firstBitDifference(a.data(), b.data(), a.size()), -1) << f.name << " at step " << t;
        }
    }
    int none = -1;
    EXPECT_NE(nc_inq_varid(some.id, "wavH_mean", &none), NC_NOERR) << "no means asked for";
#endif
    // An interval count that is a multiple of the spacing has no extra last file.
    run(dir, options(9, false));
    EXPECT_TRUE(fs::exists(dir.output / "b" / "surfer0.csv"));
    EXPECT_TRUE(fs::exists(dir.output / "b" / "surfer8.csv"));
    for (int n = 1; n < 8; ++n) EXPECT_FALSE(fs::exists(dir.output / "b" / ("surfer" + std::to_string(n) + ".csv"))) << n;
    RunOptions bad = options(0, false);
    const Case c = readCase((dir.data / "bcnt.txt").string());
    EXPECT_THROW(littoral::Run(c, bad), std::invalid_argument);
}

TEST(OutputControl, MeansAndMaximaAreThoseOfTheIntervalsSinceThePreviousWrittenOne) {
    CaseDir dir("output-means");
    beach().write(dir, "b");
    const std::vector<Fields> every = run(dir, options(1, false));
    ASSERT_EQ(every.size(), 9u);
    dir.keepOutput("full");
    const std::vector<Fields> got = run(dir, options(4, true));
    ASSERT_EQ(got.size(), 9u);
    const fs::path out = dir.output / "b";
    // Written 0 (interval 0 alone), 4 (1 ... 4) and 8 (5 ... 8).
    struct Span {
        int n, first, last;
    };
    const Span spans[] = {{0, 0, 0}, {4, 1, 4}, {8, 5, 8}};
    const char* means[] = {"wavH", "setup", "lfu", "lfv", "tau", "qbx", "qby", "qsx", "qsy"};
    size_t moving = 0;
    for (const Span& s : spans) {
        SCOPED_TRACE("output number " + std::to_string(s.n));
        const fs::path meanFile = out / ("mean" + std::to_string(s.n) + ".csv");
        const fs::path surferFile = out / ("surfer" + std::to_string(s.n) + ".csv");
        ASSERT_TRUE(fs::exists(meanFile));
        EXPECT_EQ(linesOf(meanFile)[0], linesOf(surferFile)[0]) << "the same columns";
        for (const FieldInfo& f : resultFields()) {
            const bool averaged = std::find_if(std::begin(means), std::end(means), [&](const char* m) {
                                      return f.name == m;
                                  }) != std::end(means);
            const std::vector<std::string> m = column(meanFile, f.column), w = column(surferFile, f.column);
            if (!averaged) {
                EXPECT_EQ(m, w) << f.column << ": as in the field file";
                continue;
            }
            // The mean of the interval's fields in double precision, rounded once; the file
            // keeps 7 significant digits of it (cells i outer, j inner).
            for (int i = 0; i < kNx; ++i)
                for (int j = 0; j < kNy; ++j) {
                    double sum = 0;
                    for (int k = s.first; k <= s.last; ++k) sum += every[k].at(f.name)[j * kNx + i];
                    const double want = static_cast<float>(sum / (s.last - s.first + 1));
                    const double read = std::strtod(m[static_cast<size_t>(i * kNy + j)].c_str(), nullptr);
                    ASSERT_LE(std::fabs(read - want), 5e-7 * std::fabs(want) + 1e-37) << f.name << " at " << i << ", " << j;
                    moving += s.first != s.last && every[s.first].at(f.name)[j * kNx + i] != every[s.last].at(f.name)[j * kNx + i];
                }
        }
    }
    EXPECT_GT(moving, 100u) << "the fields must change from interval to interval for the means to show anything";
    EXPECT_FALSE(fs::exists(out / "mean3.csv"));
#ifdef LITTORAL_NETCDF
    const Nc nc(out / "results.nc");
    ASSERT_EQ(nc.steps(), 3u);
    for (const char* name : means) {
        const std::string v = std::string(name) + "_mean";
        EXPECT_EQ(nc.text(v, "cell_methods"), "time: mean") << v;
        EXPECT_EQ(nc.text(v, "units"), nc.text(name, "units")) << v;
        EXPECT_NE(nc.text(v, "long_name").find("mean"), std::string::npos) << v;
    }
    for (const char* v : {"wavH_max", "maxtau_max"}) {
        EXPECT_EQ(nc.text(v, "cell_methods"), "time: maximum") << v;
        EXPECT_NE(nc.text(v, "long_name").find("maximum"), std::string::npos) << v;
    }
    EXPECT_EQ(nc.text("maxtau_max", "units"), "Pa");
    for (size_t t = 0; t < 3; ++t) {
        const Span& s = spans[t];
        EXPECT_EQ(nc.at<int>("mean_intervals", t, nc_get_var1_int), s.last - s.first + 1);
        EXPECT_EQ(nc.at<double>("mean_start_time", t, nc_get_var1_double), 6.0 * s.first);
        for (const char* name : means) {
            const auto m = nc.step(std::string(name) + "_mean", t);
            for (int c = 0; c < kNx * kNy; ++c) {
                double sum = 0;
                for (int k = s.first; k <= s.last; ++k) sum += every[k].at(name)[c];
                ASSERT_EQ(m[c], static_cast<float>(sum / (s.last - s.first + 1))) << name << " cell " << c;
            }
        }
        for (const char* name : {"wavH", "maxtau"}) {
            const auto m = nc.step(std::string(name) + "_max", t);
            for (int c = 0; c < kNx * kNy; ++c) {
                float mx = every[s.first].at(name)[c];
                for (int k = s.first + 1; k <= s.last; ++k) mx = std::max(mx, every[k].at(name)[c]);
                ASSERT_EQ(m[c], mx) << name << " cell " << c;
            }
        }
    }
#endif
}

TEST(OutputControl, MeanFilesAreTheSameWithOneAndThreeThreads) {
    CaseDir dir("output-means-threads");
    beach().write(dir, "b");
    std::map<std::string, std::string> first;
    for (int threads : {1, 3}) {
        RunOptions o = options(2, true);
        o.netcdf = false;
        o.threads = threads;
        run(dir, o);
        for (const std::string& n : dir.outputFiles("b")) {
            if (n.rfind("mean", 0) != 0 && n.rfind("surfer", 0) != 0) continue;
            const std::string text = readFile(dir.output / "b" / n);
            if (threads == 1) first[n] = text;
            else EXPECT_TRUE(first[n] == text) << n << " differs with 3 threads";
        }
        dir.keepOutput("threads-" + std::to_string(threads));
    }
    EXPECT_EQ(first.count("mean8.csv"), 1u);
    EXPECT_EQ(first.count("mean4.csv"), 1u);
}
