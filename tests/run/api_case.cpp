// The library's public API on small generated cases: the same files and fields as the
// driver the programs use, events in their order, a stop asked for from another thread,
// bad input through InputError, a run that writes nothing and a case built from arrays.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <thread>

#include "littoral/littoral.h"
#include "run/RunCase.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;
namespace fs = std::filesystem;

TEST(Api, ARunWritesTheDriversFilesAndGivesItsFields) {
    CaseDir dir("api-same");
    beach(18).write(dir, "s");
    // The driver as the programs ran it before, moved aside.
    Model ref;
    dir.prepare(ref, "scnt.txt");
    SilentHost host;
    runCase(ref, host);
    const fs::path kept = dir.keepOutput("driver");

    const Case c = readCase((dir.data / "scnt.txt").string());
    EXPECT_EQ(c.nx(), 10);
    EXPECT_EQ(c.ny(), 8);
    EXPECT_EQ(c.intervals(), 4);  // intervals from 0, 6, 12 and 18 s
    EXPECT_EQ(c.wavePeriod(), 6.0);
    littoral::Run run(c);
    std::vector<int> numbers;
    std::vector<double> times;
    while (run.advance()) {
        numbers.push_back(run.interval().number);
        times.push_back(run.interval().time);
    }
    EXPECT_TRUE(run.finished());
    EXPECT_FALSE(run.stopped());
    EXPECT_EQ(numbers, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(times.back(), 24.0);
    EXPECT_EQ(treeDifferences(kept / "s", dir.output / "s"), "");

    // The fields of the last interval are the model's, the bed level negated.
    const Field h = run.field("wavH"), bed = run.field("_dep"), bed2 = run.field("bed_level");
    ASSERT_EQ(h.nx(), 10);
    ASSERT_EQ(h.ny(), 8);
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < 10; ++i) {
            ASSERT_EQ(h(i, j), ref.wavH(i + 1, j + 1));
            ASSERT_EQ(bed(i, j), -ref.dep(i + 1, j + 1));
            ASSERT_EQ(bed2(i, j), bed(i, j));
        }
    EXPECT_THROW(run.field("nonsense"), std::out_of_range);
    EXPECT_EQ(resultFields().size(), 21u);
    EXPECT_EQ(resultFields()[1].column, "wavH");
}

TEST(Api, EventsComeInTheDriversOrder) {
    CaseDir dir("api-events");
    beach(12).write(dir, "e");
    RunOptions o;
    o.writeFiles = false;
    std::vector<std::string> seen;
    double lastProgress = -1;
    o.events.caseStarted = [&](const Case& c) { seen.push_back("case " + std::to_string(c.nx())); };
    o.events.wavePeriod = [&](const WavePeriodDone& w) {
        seen.push_back(w.line);
        EXPECT_EQ(w.surface.nx(), 10);
        EXPECT_LT(w.low, 0.0f);
        EXPECT_EQ(w.high, -w.low);
    };
    o.events.progress = [&](double f) { lastProgress = f; };
    o.events.interval = [&](const IntervalDone& d) {
        seen.push_back("interval " + std::to_string(d.number));
        EXPECT_EQ(lastProgress, 1.0);
        EXPECT_EQ(d.setup.ny(), 8);
    };
    o.events.caseFinished = [&] { seen.push_back("finished"); };
    runToEnd(readCase((dir.data / "ecnt.txt").string()), o);
    EXPECT_EQ(seen, (std::vector<std::string>{"case 10", "endwav  0 0", "interval 0", "endwav  6 1", "interval 1",
                                              "endwav  12 2", "interval 2", "finished"}));
    // Nothing was written: not even the case's output folder.
    EXPECT_FALSE(fs::exists(dir.output / "e"));
}

TEST(Api, RequestStopFromAnotherThreadEndsTheRunWithItsFilesComplete) {
    CaseDir dir("api-stop");
    SmallCase c = beach(6000);  // a thousand intervals: far more than the run gets to
    c.coef.ixEnd = 40;
    c.write(dir, "x");
    const Case k = readCase((dir.data / "xcnt.txt").string());
    RunOptions o;
    std::atomic<int> periods{0};
    o.events.wavePeriod = [&](const WavePeriodDone&) { ++periods; };
    littoral::Run run(k, o);
    ASSERT_TRUE(run.advance());
    std::thread stopper([&] { run.requestStop(); });
    stopper.join();
    int more = 0;
    while (run.advance()) ++more;
    EXPECT_EQ(more, 0) << "the stop is honoured at the next step";
    EXPECT_TRUE(run.stopped());
    EXPECT_TRUE(run.finished());
    EXPECT_FALSE(run.advance());
    EXPECT_EQ(periods.load(), 1);
    // The finished interval's file is whole, and no later one was begun.
    EXPECT_EQ(countLines(dir.output / "x" / "surfer0.csv"), 1 + 40 * 8);
    EXPECT_FALSE(fs::exists(dir.output / "x" / "surfer1.csv"));
    // The folder is free again: a second run of the case goes ahead.
    littoral::Run again(k);
    EXPECT_TRUE(again.advance());
}

TEST(Api, BadInputRaisesInputErrorNamingTheFileFieldAndLine) {
    CaseDir dir("api-bad");
    SmallCase c;
    c.wave = "17, input\n0.5, H\nsix, T\n180, dir\n10, px\n1, py\n0, groups\n0, amp\n";
    c.write(dir, "b");
    try {
        readCase((dir.data / "bcnt.txt").string());
        FAIL() << "the bad wave period was accepted";
    } catch (const InputError& e) {
        EXPECT_NE(e.file().find("wave.txt"), std::string::npos) << e.file();
        EXPECT_EQ(e.field(), "field 5");
        EXPECT_EQ(e.line(), 3);
        EXPECT_TRUE(containsAll(e.what(), {"wave.txt", "expected", "six"})) << e.what();
    }
    // A missing control file and a missing output folder are input faults too.
    EXPECT_THROW(readCase((dir.data / "nonecnt.txt").string()), InputError);
    fs::remove_all(dir.output);
    EXPECT_THROW(readCase((dir.data / "bcnt.txt").string()), InputError);
    // An InputError is a std::invalid_argument (Python's ValueError).
    static_assert(std::is_base_of_v<std::invalid_argument, InputError>);
}

TEST(Api, ACaseFromArraysRunsAsTheSameCaseWrittenByHand) {
    CaseDir dir("api-arrays");
    const SmallCase hand = beach(12);
    hand.write(dir, "h");
    const CoefSpec& k = hand.coef;
    CaseInputs in;
    in.name = "a";
    in.dataFolder = dir.data.string();
    in.nx = k.ixEnd;
    in.ny = k.jyEnd;
    in.dx = k.dx;
    in.dy = k.dy;
    in.startTime = k.tStart;
    in.endTime = k.tEnd;
    in.bedloadCoef = k.bedloadCoef;
    in.suspendedCoef = k.suspCoef;
    in.height = hand.waveH;
    in.period = hand.waveT;
    in.direction = hand.waveDir;
    in.phaseI = k.ixEnd;
    in.phaseJ = k.jyStart;
    in.tideRows = {{0, 0.0, 0.0}};
    for (int j = 0; j <= in.ny + 1; ++j)
        for (int i = 0; i <= in.nx + 1; ++i) {
            // The depth as the hand-written file holds it (six digits).
            std::ostringstream d;
            d << hand.depthOff - hand.slope * ((k.ixEnd + 1 - i) * double{k.dx});
            in.depth.push_back(std::stof(d.str()));
            const bool gi = i < 1 || i > in.nx, gj = j < 1 || j > in.ny;
            in.codes.push_back(gi && gj ? 0 : i > in.nx ? 17 : gj ? 16 : 0);
        }
    const Case a = Case::fromInputs(in);
    const Case h = readCase((dir.data / "hcnt.txt").string());
    RunOptions o;
    o.writeFiles = false;
    littoral::Run ra(a, o), rh(h, o);
    while (ra.advance()) ASSERT_TRUE(rh.advance());
    EXPECT_FALSE(rh.advance());
    for (const char* f : {"wavH", "setup", "lfu", "qbx", "_dh"}) {
        const Field x = ra.field(f), y = rh.field(f);
        for (int j = 0; j < x.ny(); ++j)
            for (int i = 0; i < x.nx(); ++i) ASSERT_EQ(x(i, j), y(i, j)) << f << " at " << i << ", " << j;
    }
    // Arrays of the wrong size are refused, naming the input.
    in.depth.pop_back();
    try {
        Case::fromInputs(in);
        FAIL() << "a short depth grid was accepted";
    } catch (const InputError& e) {
        EXPECT_TRUE(containsAll(e.what(), {"depth", "expected 120 values"})) << e.what();
    }
}

TEST(Api, InputWarningsReachTheWarningEventAndTheBatchOutput) {
    CaseDir dir("api-warn");
    SmallCase c;
    c.coef.tEnd = 6;
    c.coef.fricCoef = 0.2f;  // rough, but still a bed
    c.write(dir, "w");
    RunOptions o;
    o.writeFiles = false;
    std::vector<std::string> warnings;
    o.events.warning = [&](const std::string& w) { warnings.push_back(w); };
    runToEnd(readCase((dir.data / "wcnt.txt").string()), o);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(containsAll(warnings[0], {"warning: ", "friction"})) << warnings[0];
    const BatchRun r = runBatch((dir.data / "wcnt.txt").string());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(containsAll(r.out, {warnings[0], "ok     "})) << r.out;
}
