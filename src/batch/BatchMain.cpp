// littoral-batch: runs the control files named on the command line one after another,
// headless, in the same sequence as the desktop program (or several side by side with
// --jobs, with the same files). One line per case; a failed case prints its error and the
// run goes on with the next; the exit status is 0 only when every case ran. littoral-mpi
// runs the same with every case split over its processes.
#include "batch/BatchMain.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <functional>
#include <iostream>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "batch/BatchJobs.h"
#include "batch/WorkFolder.h"
#include "littoral/littoral.h"
#ifdef LITTORAL_PICTURES
#include "littoral/pictures.h"
#endif

using namespace littoral;

namespace {

using Clock = std::chrono::steady_clock;

// A position in metres, as the result files write it.
std::string metres(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "%.15g", v);
    return b;
}

std::string clockText(double s) {
    if (!std::isfinite(s) || s < 0) return "--:--";
    const long t = static_cast<long>(s + 0.5);
    char b[32];
    if (t >= 3600) std::snprintf(b, sizeof b, "%ld:%02ld:%02ld", t / 3600, (t / 60) % 60, t % 60);
    else std::snprintf(b, sizeof b, "%02ld:%02ld", t / 60, t % 60);
    return b;
}

// A progress bar on the terminal, fed by the run's events: after every wave period (and, on
// a terminal, within the long intervals too), the intervals done, the model time, the wall
// time elapsed and remaining.
class Progress {
public:
    Progress(bool tty, bool show) : tty_(tty), show_(show) {}
    // Chains the bar onto the run's events.
    void attach(RunEvents& e) {
        e.caseStarted = [this](const Case& c) {
            start_ = Clock::now();
            nextDraw_ = start_;
            time_ = 0;
            done_ = 0;
            total_ = c.intervals();
            lastShown_ = -1;
        };
        e.wavePeriod = [this](const WavePeriodDone& w) { period(w.time); };
        e.progress = [this](double f) { within(f); };
        e.warning = [this](const std::string& text) {
            std::fprintf(stderr, "%s%s\n", tty_ && done_ > 0 ? "\n" : "", text.c_str());
            std::fflush(stderr);
        };
        e.caseFinished = [this] {
            if (tty_ && done_ > 0) std::fprintf(stderr, "\n");
        };
    }
    long intervals() const { return done_; }

private:
    void period(double time) {
        ++done_;
        time_ = time;
        if (!show_) return;
        const double frac = total_ > 0 ? std::min(1.0, double(done_) / double(total_)) : 0.0;
        const int pct = static_cast<int>(frac * 100);
        if (!tty_ && pct / 10 == lastShown_ / 10 && done_ != total_) return;
        lastShown_ = pct;
        draw(frac);
    }
    // Inside a long interval the bar moves too (on a terminal, at most four times a second).
    void within(double fraction) {
        if (!show_ || !tty_ || total_ <= 0) return;
        const Clock::time_point now = Clock::now();
        if (now < nextDraw_) return;
        nextDraw_ = now + std::chrono::milliseconds(250);
        draw(std::min(1.0, (double(done_) + fraction) / double(total_)));
    }
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

    bool tty_, show_;
    Clock::time_point start_{}, nextDraw_{};
    double time_ = 0;
    long done_ = 0, total_ = 0;
    int lastShown_ = -1;
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
                 "  --output-every N  result field files (and netCDF time steps) only for the output numbers\n"
                 "               divisible by N and for the last interval (default: 1, every interval)\n"
                 "  --means      also the means and maxima over the intervals since the previous written one\n"
                 "               (meanN.csv; *_mean, *_max in results.nc)\n"
                 "  --threads N  threads for the computation (default: LITTORAL_THREADS, else one per core)\n"
                 "  --jobs N     run up to N cases side by side, each on threads/N threads, with the same\n"
                 "               files as one after another (default: 1)\n"
                 "  --morfac M   morphological acceleration: each interval's bed change times M (default: 1)\n"
                 "  --morstart S no bed change before model time S seconds (default: 0)\n"
                 "               (both win over [morphology] in the case's options file)\n"
                 "  --absorbing-input  the wave input cells let out what the domain sends back (for long\n"
                 "               runs over a reflecting coast; wins over [waves] absorbing_input)\n"
                 "  --mean-currents  each wave period sees the mean current of the interval before, not\n"
                 "               the current at its end (wins over [waves] mean_currents)\n"
                 "  --balanced-wave-force  the wave force enters the flow with the bed slope, so the set-up\n"
                 "               balances it with the water at rest (wins over [flow] balanced_wave_force)\n"
                 "  --checkpoint-every N  write checkpoint.nc in the output folder after every N-th\n"
                 "               interval and after the last (the state to continue the run from)\n"
                 "  --resume     continue each case from its output folder's checkpoint (from the\n"
                 "               beginning when there is none); a later end time extends a finished run\n"
                 "  --init DIR   make a work folder: DIR/data with the examples, DIR/output for the results\n"
                 "  --help       print this text;  --version  print the version and the build's commit\n";
}

// The result files every case writes; output control given on the command line (it wins
// over a case's options file).
struct ResultChoice {
    bool netcdf = false, csv = true;
    std::optional<int> outputEvery;
    bool means = false;
    // Morphological acceleration given on the command line (wins over the options file).
    std::optional<double> morfac, morstart;
    // Choices of the physics given on the command line (they win over the options file).
    bool absorbingInput = false, balancedWaveForce = false, meanCurrents = false;
    // Restart options given on the command line (they win over the options file).
    std::optional<int> checkpointEvery;
    bool resume = false;
};

// The number an option gives: finite, above 0 (or at least 0 when zeroAllowed).
double optionNumber(const std::string& text, const std::string& option, bool zeroAllowed, const char* expected) {
    size_t used = 0;
    double v = 0;
    try {
        v = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || !std::isfinite(v) || (zeroAllowed ? v < 0 : !(v > 0)))
        throw std::runtime_error("the option " + option + " is \"" + text + "\": expected " + expected);
    return v;
}

// A whole number of 1 or more given to `what`, or a std::runtime_error naming it.
int parseOutputEvery(const std::string& text, const std::string& what) {
    size_t used = 0;
    long v = 0;
    try {
        v = std::stol(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty() || v < 1 || v > 2147483647L)
        throw std::runtime_error(what + ": expected a whole number of 1 or more, found \"" + text + "\"");
    return static_cast<int>(v);
}

// The cases of the batch whose output folder an earlier case of the batch names too: the
// refusal of each (empty for the cases that run). Two cases never write into one folder.
std::vector<std::string> sharedFolderRefusals(const std::vector<std::string>& cases) {
    std::vector<std::string> refusals(cases.size()), folders(cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        folders[i] = Case::outputFolderOf(cases[i]);
        if (folders[i].empty()) continue;  // unreadable: the case stops on its own message
        for (size_t k = 0; k < i; ++k) {
            if (folders[k] != folders[i] || !refusals[k].empty()) continue;
            refusals[i] = "FAILED " + cases[i] + ": its output folder " + folders[i] + " is the output folder of " +
                          cases[k] + " too, an earlier case of this batch: expected one case per output folder " +
                          "(give one of the control files another output name); not run";
            break;
        }
    }
    return refusals;
}

// Runs the case `arg`: reads it, takes the random state from start(draws), runs it to its
// end with the progress bar (and the pictures where they are built), and leaves the random
// state the run left in `end`.
CaseOutcome runOne(const std::string& arg, const ResultChoice& results, const BatchFrontEnd& fe, int threads, bool tty,
                   bool showProgress, const CaseStart& start, RandomState& end, bool& started, bool again = false) {
    try {
        const auto t0 = Clock::now();
        const Case c = Case::read(arg);
        RunOptions o;
        applyOptionsFile(readOptionsFile(c.controlFile()), o);  // name.toml beside the control file
        o.threads = threads;
        o.csv = results.csv;
        o.netcdf = results.netcdf;
        if (results.checkpointEvery) {
            o.checkpointEvery = *results.checkpointEvery;
            o.setBy["checkpoint.every"] = "command line";
        }
        if (results.resume) {
            o.resume = true;
            o.setBy["checkpoint.resume"] = "command line";
        }
        if (results.outputEvery) {
            o.outputEvery = *results.outputEvery;
            o.setBy["output.every"] = "command line";
        }
        if (results.means) {
            o.means = true;
            o.setBy["output.means"] = "command line";
        }
        o.processes = fe.link;
        o.setAsideEarlierRun = !again;  // a repeated case writes over its own discarded files
        if (results.morfac) {
            o.morfac = *results.morfac;
            o.setBy["morphology.morfac"] = "command line";
        }
        if (results.morstart) {
            o.morstart = *results.morstart;
            o.setBy["morphology.start"] = "command line";
        }
        if (results.absorbingInput) {
            o.absorbingInput = true;
            o.setBy["waves.absorbing_input"] = "command line";
        }
        if (results.meanCurrents) {
            o.meanCurrents = true;
            o.setBy["waves.mean_currents"] = "command line";
        }
        if (results.balancedWaveForce) {
            o.balancedWaveForce = true;
            o.setBy["flow.balanced_wave_force"] = "command line";
        }
        o.random = start(c.randomDraws());
        started = true;
        end = o.random;
        Progress progress(tty, showProgress);
        progress.attach(o.events);
        Run run(c, o);
#ifdef LITTORAL_PICTURES
        // The pictures the desktop windows would show at the end of the case.
        RunPictures pictures(run);
#endif
        try {
            while (run.advance()) {
            }
        } catch (...) {
            end = run.random();
            throw;
        }
        end = run.random();
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        // Where the gauges of the options file were placed.
        std::string gauges;
        if (!o.gauges.empty())
            for (const GaugeSeries::Point& g : run.gaugeSeries().gauges)
                gauges += "\n       gauge \"" + g.name + "\" at cell " + std::to_string(g.i) + ", " + std::to_string(g.j) +
                          " (x = " + metres(g.x) + " m, y = " + metres(g.y) + " m)";
        return {true, "ok     " + arg + ": " + std::to_string(progress.intervals()) + " intervals, results in " +
                          c.outputFolder() + " (" + clockText(wall) + " wall time)" + gauges};
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
    CLI::App app("Runs case control files headless, one after another.", fe.program);
    app.set_help_flag();  // --help prints the usage below and ends with status 0
    bool help = false;
    app.add_flag("-h,--help", help, "print the usage and the options, then end");
    app.set_version_flag("--version", fe.program + " " + version() + " (" + LITTORAL_COMMIT + ")",
                         "print the version and the build's commit, then end");
    std::string threadsText, jobsText;
    app.add_option("--threads", threadsText, "threads for the computation");
    app.add_option("--jobs", jobsText, "cases side by side");
    app.add_flag("--netcdf", results.netcdf, "also write results.nc");
    app.add_flag_callback("--no-csv", [&] { results.csv = false; }, "leave out surferN.csv");
    std::string everyText;
    app.add_option("--output-every", everyText, "field files of every N-th output number and of the last interval");
    app.add_flag("--means", results.means, "also the means and maxima since the previous written interval");
    std::string morfacText, morstartText;
    app.add_option("--morfac", morfacText, "morphological acceleration factor");
    app.add_option("--morstart", morstartText, "model time (s) of the first bed change");
    app.add_flag("--absorbing-input", results.absorbingInput, "the wave input cells let out what comes back");
    app.add_flag("--mean-currents", results.meanCurrents, "the waves see the interval's mean current");
    app.add_flag("--balanced-wave-force", results.balancedWaveForce, "the wave force enters with the bed slope");
    std::string checkpointText;
    app.add_option("--checkpoint-every", checkpointText, "checkpoint after every N-th interval");
    app.add_flag("--resume", results.resume, "continue from the output folder's checkpoint");
    app.add_option("CONTROL_FILE", cases, "control files");
    std::string initDir;
    app.add_option("--init", initDir, "make a work folder DIR (DIR/data with the examples, DIR/output), then end");
    app.allow_extras();
    app.positionals_at_end(false);
    try {
        threads = threadsFromEnvironment();
        app.parse(argc, argv);
        for (const std::string& extra : app.remaining()) {
            std::cerr << extra << (extra.rfind("-", 0) == 0 ? ": unknown option" : ": unexpected argument") << "\n";
            usage(fe.program);
            return 2;
        }
        if (help) {
            usage(fe.program);
            return 0;
        }
        if (app.count("--init") > 0) {
            std::cout << makeWorkFolder(initDir, examplesFolder(programFolder()));
            return 0;
        }
        if (!threadsText.empty()) threads = parseThreadCount(threadsText, "the option --threads");
        if (!jobsText.empty()) jobs = parseThreadCount(jobsText, "the option --jobs");
        if (!everyText.empty()) results.outputEvery = parseOutputEvery(everyText, "the option --output-every");
        if (app.count("--morfac") > 0)
            results.morfac = optionNumber(morfacText, "--morfac", false, "a number above 0 (1: the bed changes as computed)");
        if (app.count("--morstart") > 0)
            results.morstart = optionNumber(morstartText, "--morstart", true, "a model time of 0 s or later");
        if (!checkpointText.empty())
            results.checkpointEvery = parseOutputEvery(checkpointText, "the option --checkpoint-every");
    } catch (const CLI::Success& e) {
        return app.exit(e);  // --version
    } catch (const CLI::ArgumentMismatch& e) {
        // An option without its value.
        const std::string what = e.what();
        std::cerr << fe.program << ": the option " << what.substr(0, what.find(':')) << ": expected a number after it"
                  << std::endl;
        return 2;
    } catch (const CLI::ParseError& e) {
        std::cerr << fe.program << ": " << e.what() << std::endl;
        usage(fe.program);
        return 2;
    } catch (const std::exception& e) {
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
    // Cases naming the output folder of an earlier case are refused before any case runs.
    int refused = 0;
    {
        const std::vector<std::string> refusals = sharedFolderRefusals(cases);
        std::vector<std::string> runnable;
        for (size_t i = 0; i < cases.size(); ++i) {
            if (refusals[i].empty()) {
                runnable.push_back(cases[i]);
                continue;
            }
            std::cerr << refusals[i] << std::endl;
            ++refused;
        }
        cases = std::move(runnable);
    }
    if (cases.empty()) return 1;
#ifdef LITTORAL_PICTURES
    preparePictures();  // on this thread, before cases run side by side
#endif
    setDefaultThreads(threads);
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
    const int total = defaultThreads();
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
        // The random sequence continues across the cases, whatever becomes of each.
        RandomState state;
        int failed = 0;
        for (const std::string& arg : cases) {
            bool started = false;
            RandomState end = state;
            const CaseOutcome o = runOne(arg, results, fe, 0, tty, true, [&](long) { return state; }, end, started);
            state = end;
            failed += o.ok ? 0 : 1;
            report(o);
        }
        return failed + refused == 0 ? 0 : 1;
    }
    const int perJob = std::max(1, total / jobs);
    std::cout << "threads: " << total << " (" << jobs << " cases side by side, " << perJob << " thread"
              << (perJob == 1 ? "" : "s") << " each)" << std::endl;
    // "" when the control file cannot be read: the case stops before it writes anything.
    auto outputFolderOf = [](const std::string& arg) { return Case::outputFolderOf(arg); };
    // A case run a second time (from the random state the cases before it actually left)
    // replaces the files of its first, discarded run; every case of the batch has a folder
    // of its own.
    std::mutex ranLock;
    std::set<std::string> ran;
    auto run = [&](const std::string& arg, const CaseStart& start, RandomState& end, bool& started) {
        bool again = false;
        {
            const std::lock_guard<std::mutex> hold(ranLock);
            again = !ran.insert(arg).second;
        }
        return runOne(arg, results, fe, perJob, false, false, start, end, started, again);
    };
    const int failed = runSideBySide(cases, jobs, run, outputFolderOf, report);
    return failed + refused == 0 ? 0 : 1;
}
