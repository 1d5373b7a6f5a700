// littoral-batch: runs the control files named on the command line one after another,
// headless, in the same sequence as the desktop program (or several side by side with
// --jobs, with the same files). One line per case; a failed case prints its error and the
// run goes on with the next; the exit status is 0 only when every case ran. littoral-mpi
// runs the same with every case split over its processes.
#include "batch/BatchMain.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "run/AppPaths.h"
#include "run/RunCase.h"
#include "batch/BatchJobs.h"
#include "core/Error.h"
#include "core/Model.h"
#include "core/Parallel.h"
#include "input/CaseInput.h"
#include "output/ResultFiles.h"
#ifdef LITTORAL_PICTURES
#include "plots/frmRender.h"
#endif

namespace fs = std::filesystem;
using namespace littoral;

namespace {

using Clock = std::chrono::steady_clock;

std::string clockText(double s) {
    if (!std::isfinite(s) || s < 0) return "--:--";
    const long t = static_cast<long>(s + 0.5);
    char b[32];
    if (t >= 3600) std::snprintf(b, sizeof b, "%ld:%02ld:%02ld", t / 3600, (t / 60) % 60, t % 60);
    else std::snprintf(b, sizeof b, "%02ld:%02ld", t / 60, t % 60);
    return b;
}

// A progress bar on the terminal, fed by the wave model's "endwav" lines.
class BatchHost : public SilentHost {
public:
    explicit BatchHost(bool tty, bool showProgress = true) : tty_(tty), showProgress_(showProgress) {}
    void runStarted(const Model& m) override {
        start_ = Clock::now();
        nextDraw_ = start_;
        time_ = 0;
        done_ = 0;
        total_ = 0;
        if (m.tEnd >= m.tStart && m.periodS > 0)
            total_ = static_cast<long>(std::floor((static_cast<double>(m.tEndS) - m.tStartS) / m.periodS)) + 1;
        lastShown_ = -1;
    }
    void periodDone(double seconds) override { time_ = seconds; }
    void progressLine(const std::string&) override {
        ++done_;
        if (!showProgress_) return;
        const double frac = total_ > 0 ? std::min(1.0, double(done_) / double(total_)) : 0.0;
        const int pct = static_cast<int>(frac * 100);
        if (!tty_ && pct / 10 == lastShown_ / 10 && done_ != total_) return;
        lastShown_ = pct;
        draw(frac);
    }
    // Inside a long interval the bar moves too (on a terminal, at most four times a second).
    void intervalProgress(double fraction) override {
        if (!tty_ || total_ <= 0) return;
        const Clock::time_point now = Clock::now();
        if (now < nextDraw_) return;
        nextDraw_ = now + std::chrono::milliseconds(250);
        draw(std::min(1.0, (double(done_) + fraction) / double(total_)));
    }
    void warning(const std::string& text) override {
        std::fprintf(stderr, "%s%s\n", tty_ && done_ > 0 ? "\n" : "", text.c_str());
        std::fflush(stderr);
    }
    void runFinished(const Model& m) override {
        if (tty_ && done_ > 0) std::fprintf(stderr, "\n");
#ifdef LITTORAL_PICTURES
        // The pictures the desktop windows would show at the end of the case.
        if (m.writesFiles()) pictures_.write(m);
        pictures_.clear();
#else
        (void)m;
#endif
    }
#ifdef LITTORAL_PICTURES
    // Only the process that writes the files keeps the pictures' grids (the others hold
    // just their own rows of them).
    void plotxy(const Model& m, const std::string& outfile, const Grid& dataxy, float aaa, float mininp,
                float maxinp) override {
        if (m.writesFiles()) pictures_.keepEta(outfile, dataxy, aaa, mininp, maxinp);
    }
    void graphUVEta(const Model& m, const Grid&, const Grid&, float, const Grid& eta, float aaa, float mininp,
                    float maxinp) override {
        if (m.writesFiles()) pictures_.keepSetup(eta, aaa, mininp, maxinp);
    }
#endif
    long intervals() const { return done_; }

private:
    void draw(double frac) {
        const double el = std::chrono::duration<double>(Clock::now() - start_).count();
        const double rem = frac > 0 ? el / frac * (1.0 - frac) : -1;
        const int width = 30, fill = static_cast<int>(frac * width + 0.5);
        std::string bar(fill, '#');
        bar.append(width - fill, '.');
        std::fprintf(stderr, "%s  [%s] %ld/%ld intervals  t = %.1f s  elapsed %s  remaining %s%s", tty_ ? "\r" : "",
                     bar.c_str(), done_, total_, time_, clockText(el).c_str(), clockText(rem).c_str(),
                     tty_ ? "   " : "\n");
        std::fflush(stderr);
    }

    bool tty_, showProgress_;
    Clock::time_point start_{}, nextDraw_{};
    double time_ = 0;
    long done_ = 0, total_ = 0;
    int lastShown_ = -1;
#ifdef LITTORAL_PICTURES
    CasePictures pictures_;
#endif
};

// A batch host that also tells the side-by-side runner when the main loop starts.
class JobHost : public BatchHost {
public:
    JobHost(bool tty, bool showProgress, const std::function<void(Model&)>& atRunStart, Model& m)
        : BatchHost(tty, showProgress), atRunStart_(atRunStart), m_(m) {}
    void runStarted(const Model& m) override {
        if (atRunStart_) atRunStart_(m_);
        BatchHost::runStarted(m);
    }

private:
    const std::function<void(Model&)>& atRunStart_;
    Model& m_;
};

void usage(const std::string& program) {
    std::cout << "usage: " << program << " CONTROL_FILE...\n"
                 "  Runs each case control file (a name ending in cnt.txt) headless, one after another.\n"
                 "  A path is taken as given; a bare name is looked up in the data folder beside the program.\n"
                 "  Input files are read from the control file's folder; results are written below the\n"
                 "  folder \"output\" beside that folder. The exit status is 0 only when every case ran.\n"
                 "Options (before or between the control files, for every case):\n"
                 "  --netcdf     also write the case's results as one netCDF file, results.nc\n"
                 "  --no-csv     leave out the result field files surferN.csv (the echo files stay)\n"
                 "  --threads N  threads for the computation (default: LITTORAL_THREADS, else one per core)\n"
                 "  --jobs N     run up to N cases side by side, each on threads/N threads, with the same\n"
                 "               files as one after another\n";
}

// Sets the paths of the case `arg` in m: the control file, its folder, the output folder.
void locateInto(const std::string& arg, Model& m) {
    const CasePaths p = littoral::locateCase(arg);
    m.cntPath = p.cntPath;
    m.dataDir = p.dataDir;
    m.outBase = p.outBase;
}

// The result files every case writes.
struct ResultChoice {
    bool netcdf = false, csv = true;
};

CaseOutcome runOne(const std::string& arg, Model& m, const ResultChoice& results, bool tty, bool showProgress,
                   const std::function<void(Model&)>& atRunStart) {
    try {
        m.slabs().guarded([&] { locateInto(arg, m); });
        m.slabs().check();
        m.netcdfResults = results.netcdf;
        m.csvResults = results.csv;
        JobHost host(tty, showProgress, atRunStart, m);
        const auto t0 = Clock::now();
        runCase(m, host);
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        return {true, "ok     " + arg + ": " + std::to_string(host.intervals()) + " intervals, results in " + m.outDir +
                          " (" + clockText(wall) + " wall time)"};
    } catch (const std::bad_alloc&) {
        return {false, "FAILED " + arg + ": the memory ran out"};
    } catch (const std::exception& e) {
        return {false, "FAILED " + arg + ": " + e.what()};
    }
}

}  // namespace

int littoral::batchMain(int argc, char** argv, const BatchFrontEnd& fe) {
    const bool tty = isatty(fileno(stderr));
    std::vector<std::string> cases;
    int threads = 0, jobs = 1;
    ResultChoice results;
    try {
        threads = threadsFromEnvironment();
        // "--name N" or "--name=N": true when argv[a] is the option (a moves past its value).
        auto option = [&](int& a, const std::string& name, int& value) {
            const std::string arg = argv[a];
            if (arg == name) {
                if (a + 1 >= argc) throw StopError("the option " + name + ": expected a number after it");
                value = parseThreadCount(argv[++a], "the option " + name);
                return true;
            }
            if (arg.rfind(name + "=", 0) != 0) return false;
            value = parseThreadCount(arg.substr(name.size() + 1), "the option " + name);
            return true;
        };
        for (int a = 1; a < argc; ++a) {
            const std::string arg = argv[a];
            if (option(a, "--threads", threads) || option(a, "--jobs", jobs)) continue;
            if (arg == "--netcdf") results.netcdf = true;
            else if (arg == "--no-csv") results.csv = false;
            else if (arg.rfind("--", 0) == 0) {
                std::cerr << arg << ": unknown option\n";
                usage(fe.program);
                return 2;
            } else cases.push_back(arg);
        }
    } catch (const StopError& e) {
        std::cerr << fe.program << ": " << e.what() << std::endl;
        return 2;
    }
    if (results.netcdf && !netcdfAvailable()) {
        std::cerr << netcdfUnavailableMessage("--netcdf") << std::endl;
        return 2;
    }
    if (!results.csv && !results.netcdf) {
        std::cerr << "--no-csv leaves the run without result files: give --netcdf too" << std::endl;
        return 2;
    }
    if (cases.empty()) {
        usage(fe.program);
        return 2;
    }
    setThreadCount(threads);
    jobs = static_cast<int>(std::min<size_t>(static_cast<size_t>(jobs), cases.size()));
    if (jobs > 1 && fe.link) {
        // Every process takes part in every case.
        std::cout << "--jobs " << jobs << " with processes splitting each case: the cases run one after another"
                  << std::endl;
        jobs = 1;
    }
    if (jobs > 1 && results.netcdf) {
        // The netCDF library serves one thread at a time.
        std::cout << "--jobs " << jobs << " with --netcdf: the cases run one after another" << std::endl;
        jobs = 1;
    }
    const int total = threadCount();
    auto report = [&](const CaseOutcome& o) {
        if (o.ok) {
            std::cout << o.text << std::endl;
        } else {
            std::cout << std::flush;
            std::cerr << (tty && jobs == 1 ? "\n" : "") << o.text << std::endl;
        }
    };
    if (jobs <= 1) {
        std::cout << "threads: " << total << std::endl;
        Model m;  // one model for the whole run: the random sequence continues across cases
        m.link = fe.link;
        int failed = 0;
        for (const std::string& arg : cases) {
            const CaseOutcome o = runOne(arg, m, results, tty, true, {});
            failed += o.ok ? 0 : 1;
            report(o);
        }
        return failed == 0 ? 0 : 1;
    }
    const int perJob = std::max(1, total / jobs);
    std::cout << "threads: " << total << " (" << jobs << " cases side by side, " << perJob << " thread"
              << (perJob == 1 ? "" : "s") << " each)" << std::endl;
    auto outputFolderOf = [](const std::string& arg) -> std::string {
        try {
            Model m;
            locateInto(arg, m);
            readControlNames(m);
            return m.outDir;
        } catch (const std::exception&) {
            return "";  // the case stops before it writes anything
        }
    };
    auto run = [&](const std::string& arg, Model& m, const std::function<void(Model&)>& atRunStart) {
        return runOne(arg, m, results, false, false, atRunStart);
    };
    const int failed = runSideBySide(cases, jobs, perJob, run, outputFolderOf, report);
    return failed == 0 ? 0 : 1;
}
