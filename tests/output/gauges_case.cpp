// Gauges on small generated beaches: the recorded surface gives the cell's wave height by the
// statistics the wave model forms; the series are the model's own values; gauges off the
// grid, on land, on a dry cell or named twice are refused before anything is written; the
// files are the same bytes with 1 and 2 threads and with the case split over 2 ranks, and the
// other files are those of a run without gauges; gauges.nc read back through the netCDF
// library; the files cut back to an earlier interval for a continued run.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "core/Parallel.h"
#include "littoral/littoral.h"
#include "output/Gauges.h"
#include "run/RunCase.h"
#include "support/TestSupport.h"
#include "support/ThreadRanks.h"

#ifdef LITTORAL_NETCDF
#include <netcdf.h>
#endif

using namespace littoral;
using namespace littoral::test;
namespace fs = std::filesystem;

namespace {

// Three gauges: offshore, mid-beach (between centres: the nearer one), near the shore.
std::vector<Gauge> threeGauges() { return {{"off", 80.0, 30.0}, {"mid", 44.0, 36.0}, {"shore", 10.0, 61.0}}; }

std::vector<GaugeSite> sitesOf(const std::vector<Gauge>& g) {
    std::vector<GaugeSite> s;
    for (const Gauge& x : g) s.push_back({x.name, x.x, x.y});
    return s;
}

}  // namespace

TEST(Gauges, TheSurfaceOfThePeriodGivesTheCellsWaveHeight) {
    CaseDir dir("gauges-stats");
    beach(30).write(dir, "b");
    RunOptions o;
    o.writeFiles = false;
    o.gauges = threeGauges();
    littoral::Run run(readCase((dir.data / "bcnt.txt").string()), o);
    int intervals = 0;
    while (run.advance()) ++intervals;
    const GaugeSeries s = run.gaugeSeries();
    ASSERT_EQ(s.gauges.size(), 3u);
    // The nearest centres: (80, 30) is cell (9, 4); (44, 36) is nearer (40, 40) than any other.
    EXPECT_EQ(s.gauges[0].i, 9);
    EXPECT_EQ(s.gauges[0].j, 4);
    EXPECT_EQ(s.gauges[1].x, 40.0);
    EXPECT_EQ(s.gauges[1].y, 40.0);
    EXPECT_EQ(s.gauges[2].column, 1);
    EXPECT_EQ(s.gauges[2].row, 6);
    EXPECT_EQ(s.gauges[1].xAsked, 44.0);
    ASSERT_EQ(static_cast<int>(s.time.size()), intervals);
    ASSERT_EQ(s.waveTime.size() % s.time.size(), 0u);
    const size_t nStep = s.waveTime.size() / s.time.size();
    ASSERT_GT(nStep, 5u);
    ASSERT_EQ(s.eta.size(), s.waveTime.size() * 3);
    // The wave clock runs on in equal steps over the intervals, one period per interval.
    const double dt = s.waveTime[1] - s.waveTime[0];
    EXPECT_NEAR(dt * static_cast<double>(nStep), 6.0, 1e-5);
    for (size_t k = 1; k < s.waveTime.size(); ++k) ASSERT_NEAR(s.waveTime[k] - s.waveTime[k - 1], dt, 1e-9);
    EXPECT_EQ(s.outputNumber.back(), intervals - 1);
    EXPECT_EQ(s.time.back(), 6.0 * intervals);

    const Field wavH = run.field("wavH"), eta = run.field("eta"), setup = run.field("setup"), theta = run.field("theta");
    const size_t last = s.time.size() - 1, first = s.waveTime.size() - nStep;
    for (size_t g = 0; g < 3; ++g) {
        const GaugeSeries::Point& p = s.gauges[g];
        // The interval's values are the result fields' at the cell.
        EXPECT_EQ(s.wavH[last * 3 + g], wavH(p.column, p.row));
        EXPECT_EQ(s.setup[last * 3 + g], setup(p.column, p.row));
        EXPECT_EQ(s.theta[last * 3 + g], theta(p.column, p.row));
        EXPECT_EQ(s.eta[(s.waveTime.size() - 1) * 3 + g], eta(p.column, p.row));
        // The wave height is 2 sqrt(2) times the standard deviation of eta over the period's
        // steps (the population deviation: the sums divided by the step count). Formed as
        // the model forms it (single-precision sums, each addition rounded, the variance in
        // double) it is the same number to the bit.
        float sum = 0, sum2 = 0;
        double mean = 0, mean2 = 0;
        for (size_t k = first; k < first + nStep; ++k) {
            const float e = s.eta[k * 3 + g];
            sum = static_cast<float>(static_cast<double>(sum) + e);
            sum2 = static_cast<float>(static_cast<double>(sum2) + static_cast<float>(static_cast<double>(e) * e));
            mean += e;
            mean2 += static_cast<double>(e) * e;
        }
        const double n = static_cast<double>(nStep);
        const float meanF = static_cast<float>(sum / n);
        double var = sum2 / n - static_cast<double>(meanF) * meanF;
        if (var < 0) var = 0;
        const float rms = static_cast<float>(std::sqrt(var));
        EXPECT_EQ(static_cast<float>(2.0 * rms * std::sqrt(2.0)), s.wavH[last * 3 + g]) << p.name;
        // In double throughout: the single-precision sums of nStep (< 20) terms carry a relative
        // error of at most nStep * 2^-24 (about 1e-6), and the mean surface is small against its
        // deviation, so the variance loses no more than that: 1e-5 relative, 1e-6 m absolute.
        mean /= n;
        const double sd = std::sqrt(std::max(0.0, mean2 / n - mean * mean));
        EXPECT_NEAR(2.0 * std::sqrt(2.0) * sd, s.wavH[last * 3 + g], 1e-5 * s.wavH[last * 3 + g] + 1e-6) << p.name;
        EXPECT_GT(s.wavH[last * 3 + g], 0.02f) << p.name;  // waves have reached every gauge
    }
}

TEST(Gauges, GaugesOffTheGridOnLandDryOrNamedTwiceAreRefusedBeforeAnythingIsWritten) {
    CaseDir dir("gauges-refused");
    SmallCase c = beach(12);
    // Cell (5, 4) is land; cell (3, 6) stands 0.5 m above the water.
    c.bnd = boundaryText(c.coef, [&](int i, int j) {
        const bool gi = i < 1 || i > 10, gj = j < 1 || j > 8;
        return gi && gj ? 0 : i > 10 ? 17 : gj ? 16 : (i == 5 && j == 4) ? 15 : 0;
    });
    c.depth = boundaryText(c.coef, [&](int i, int j) {
        return (i == 3 && j == 6) ? -0.5 : 5.0 - 0.04 * ((11 - i) * 10.0);
    });
    c.write(dir, "beach");
    const std::string cnt = (dir.data / "beachcnt.txt").string();
    struct Bad {
        std::string name, position, expected;
    };
    const Bad bad[] = {
        {"far", "x = 96.0\ny = 10.0", "outside the grid"},
        {"below", "x = 10.0\ny = -5.5", "outside the grid"},
        {"rock", "x = 41.0\ny = 29.0", "on land (cell 5, 4)"},
        {"bar", "x = 20.0\ny = 50.0", "dry cell (cell 3, 6)"},
    };
    for (const Bad& b : bad) {
        dir.write("beach.toml", "[[gauge]]\nname = \"" + b.name + "\"\n" + b.position + "\n");
        RunOptions o;
        applyOptionsFile(readOptionsFile(cnt), o);
        littoral::Run run(readCase(cnt), o);
        try {
            run.advance();
            ADD_FAILURE() << "accepted: " << b.name;
        } catch (const InputError& e) {
            EXPECT_EQ(e.file(), "beach.toml");  // as the options file names itself
            EXPECT_EQ(e.field(), "gauge " + b.name);
            EXPECT_TRUE(containsAll(e.what(), {"beach.toml", "\"" + b.name + "\"", b.expected, "expected"}));
        }
        EXPECT_FALSE(fs::exists(dir.output / "beach" / "0const.txt"));
        EXPECT_FALSE(fs::exists(dir.output / "beach" / "gauges.csv"));
    }
    // Set through the library: the same refusals; two gauges of one name.
    fs::remove(dir.data / "beach.toml");
    RunOptions o;
    o.gauges = {{"a", 10, 10}, {"a", 20, 20}};
    littoral::Run twice(readCase(cnt), o);
    try {
        twice.advance();
        ADD_FAILURE() << "two gauges named a accepted";
    } catch (const InputError& e) {
        EXPECT_TRUE(containsAll(e.what(), {"\"a\"", "name of another gauge"}));
    }
    o.gauges = {{"q\"uote", 10, 10}};
    EXPECT_THROW(littoral::Run(readCase(cnt), o).advance(), InputError);
    o.gauges = {{"nan", std::nan(""), 10}};
    EXPECT_THROW(littoral::Run(readCase(cnt), o).advance(), InputError);
    // The edge of the grid is half a cell beyond the outer centres.
    o.gauges = {{"edge", 94.9, -4.9}};
    littoral::Run edge(readCase(cnt), o);
    EXPECT_TRUE(edge.advance());
    EXPECT_EQ(edge.gaugeSeries().gauges[0].i, 10);
    EXPECT_EQ(edge.gaugeSeries().gauges[0].j, 1);
}

TEST(Gauges, FilesAreTheSameBytesForAnyThreadAndRankCountAndLeaveTheOtherFilesAsTheyWere) {
    CaseDir dir("gauges-threads");
    beach(24).write(dir, "t");
    const std::string cnt = (dir.data / "tcnt.txt").string();
    const auto runWith = [&](int threads, bool gauges, const std::string& keep) {
        RunOptions o;
        o.threads = threads;
        if (gauges) o.gauges = threeGauges();
        runToEnd(readCase(cnt), o);
        return dir.keepOutput(keep) / "t";
    };
    const fs::path none = runWith(1, false, "none");
    const fs::path one = runWith(1, true, "one");
    const fs::path two = runWith(2, true, "two");
    for (const char* f : {"gauges.csv", "gauges_intervals.csv"}) {
        ASSERT_TRUE(fs::exists(one / f)) << f;
        EXPECT_EQ(readFile(one / f), readFile(two / f)) << f;
    }
    // Apart from the gauges' own files and the echo of the options in force the output is a
    // run's without gauges.
    for (const char* f : {"gauges.csv", "gauges_intervals.csv", "gauges.nc", "0options.txt"}) fs::remove(one / f);
    EXPECT_EQ(treeDifferences(none, one), "");
    EXPECT_FALSE(fs::exists(none / "gauges.csv"));

    // Split over 2 ranks (threads of one process, one thread each): the first rank writes the
    // same files.
    ThreadRanks ranks(2);
    std::vector<Model> models(2);
    ranks.run([&](int r, ThreadRank& link) {
        ThreadCountScope single(1);
        Model& m = models[static_cast<size_t>(r)];
        dir.prepare(m, "tcnt.txt");
        m.link = &link;
        m.gaugeSites = sitesOf(threeGauges());
        SilentHost host;
        runCase(m, host);
    });
    for (const char* f : {"gauges.csv", "gauges_intervals.csv"})
        EXPECT_EQ(readFile(two / f), readFile(dir.output / "t" / f)) << f;
    // The lines: a header, then a line per wave step (time and eta of each gauge) and one
    // per interval and gauge.
    const std::vector<std::string> steps = linesOf(two / "gauges.csv"), ints = linesOf(two / "gauges_intervals.csv");
    EXPECT_EQ(steps[0], "\"time\",\"off\",\"mid\",\"shore\"");
    EXPECT_EQ(ints[0], "\"output_number\",\"time\",\"gauge\",\"i\",\"j\",\"x\",\"y\",\"wavH\",\"setup\",\"lfu\",\"lfv\",\"theta\"");
    EXPECT_EQ(ints.size(), 1u + 5 * 3);
    EXPECT_EQ(ints[4].rfind("1,12,\"off\",9,4,80,30,", 0), 0u) << ints[4];
    EXPECT_EQ((steps.size() - 1) % 5, 0u);
}

TEST(Gauges, FilesCutBackToAnIntervalForARunThatContinues) {
    CaseDir dir("gauges-cut");
    beach(24).write(dir, "c");
    const std::string cnt = (dir.data / "ccnt.txt").string();
    RunOptions o;
    o.gauges = threeGauges();
    // A run stopped after two intervals, and a whole run.
    {
        littoral::Run part(readCase(cnt), o);
        ASSERT_TRUE(part.advance());
        ASSERT_TRUE(part.advance());
    }
    const fs::path two = dir.keepOutput("two") / "c";
    runToEnd(readCase(cnt), o);
    // The recorder continuing after interval 2 cuts the whole run's files back to it.
    Model m;
    dir.prepare(m, "ccnt.txt");
    readCase(m);
    m.outDir = (dir.output / "c").string() + "/";
    m.gaugeSites = sitesOf(o.gauges);
    const size_t stepsOfTwo = linesOf(two / "gauges.csv").size() - 1;
    {
        GaugeRecorder continued(m, 0, GaugeRecord::Progress{2, static_cast<int64_t>(stepsOfTwo)});
    }
    for (const char* f : {"gauges.csv", "gauges_intervals.csv"})
        EXPECT_EQ(readFile(two / f), readFile(dir.output / "c" / f)) << f;
    // Asked to continue further than the files go: refused, naming the file.
    EXPECT_TRUE(containsAll(stopMessage([&] { GaugeRecorder r(m, 0, GaugeRecord::Progress{9, 900}); }),
                            {"gauges.csv", "expected at least 901"}));
}

#ifdef LITTORAL_NETCDF
namespace {
std::string textAtt(int nc, int var, const char* name) {
    size_t len = 0;
    if (nc_inq_attlen(nc, var, name, &len) != NC_NOERR) return "<none>";
    std::string s(len, '\0');
    nc_get_att_text(nc, var, name, s.data());
    return s;
}
}  // namespace

TEST(Gauges, TheNetCdfFileIsACfTimeSeriesOfTheRecordedValues) {
    CaseDir dir("gauges-nc");
    beach(18).write(dir, "n");
    RunOptions o;
    o.gauges = threeGauges();
    littoral::Run run(readCase((dir.data / "ncnt.txt").string()), o);
    while (run.advance()) {
    }
    const GaugeSeries s = run.gaugeSeries();
    int nc = -1;
    ASSERT_EQ(nc_open((dir.output / "n" / "gauges.nc").c_str(), NC_NOWRITE, &nc), NC_NOERR);
    EXPECT_EQ(textAtt(nc, NC_GLOBAL, "Conventions"), "CF-1.8");
    EXPECT_EQ(textAtt(nc, NC_GLOBAL, "featureType"), "timeSeries");
    const auto dim = [&](const char* name) {
        int d = -1;
        size_t len = 0;
        EXPECT_EQ(nc_inq_dimid(nc, name, &d), NC_NOERR) << name;
        nc_inq_dimlen(nc, d, &len);
        return len;
    };
    EXPECT_EQ(dim("gauge"), 3u);
    EXPECT_EQ(dim("time"), s.time.size());
    EXPECT_EQ(dim("wave_time"), s.waveTime.size());
    const auto var = [&](const char* name) {
        int v = -1;
        EXPECT_EQ(nc_inq_varid(nc, name, &v), NC_NOERR) << name;
        return v;
    };
    EXPECT_EQ(textAtt(nc, var("gauge_name"), "cf_role"), "timeseries_id");
    for (const char* t : {"time", "wave_time"}) {
        EXPECT_EQ(textAtt(nc, var(t), "units"), "s") << t;
        EXPECT_EQ(textAtt(nc, var(t), "standard_name"), "time") << t;
        EXPECT_NE(textAtt(nc, var(t), "long_name"), "<none>") << t;
    }
    for (const char* v : {"x", "y"}) EXPECT_EQ(textAtt(nc, var(v), "units"), "m") << v;
    EXPECT_EQ(textAtt(nc, var("eta"), "units"), "m");
    EXPECT_EQ(textAtt(nc, var("lfu"), "units"), "m s-1");
    EXPECT_EQ(textAtt(nc, var("theta"), "units"), "rad");
    char* names[3] = {};
    ASSERT_EQ(nc_get_var_string(nc, var("gauge_name"), names), NC_NOERR);
    EXPECT_STREQ(names[1], "mid");
    nc_free_string(3, names);
    int is[3] = {}, js[3] = {};
    nc_get_var_int(nc, var("i"), is);
    nc_get_var_int(nc, var("j"), js);
    double xs[3] = {};
    nc_get_var_double(nc, var("x"), xs);
    for (int g = 0; g < 3; ++g) {
        EXPECT_EQ(is[g], s.gauges[static_cast<size_t>(g)].i);
        EXPECT_EQ(js[g], s.gauges[static_cast<size_t>(g)].j);
        EXPECT_EQ(xs[g], s.gauges[static_cast<size_t>(g)].x);
    }
    // The series bit for bit.
    std::vector<float> eta(s.eta.size()), wavH(s.wavH.size());
    std::vector<double> wt(s.waveTime.size());
    std::vector<int> numbers(s.time.size());
    nc_get_var_float(nc, var("eta"), eta.data());
    nc_get_var_float(nc, var("wavH"), wavH.data());
    nc_get_var_double(nc, var("wave_time"), wt.data());
    nc_get_var_int(nc, var("output_number"), numbers.data());
    EXPECT_EQ(firstBitDifference(eta.data(), s.eta.data(), eta.size()), -1);
    EXPECT_EQ(firstBitDifference(wavH.data(), s.wavH.data(), wavH.size()), -1);
    EXPECT_EQ(wt, s.waveTime);
    EXPECT_EQ(numbers, s.outputNumber);
    nc_close(nc);
}
#endif
