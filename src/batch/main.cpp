// littoral-batch: runs the control files named on the command line one after another,
// headless, in the same sequence as the desktop program. One line per case; a failed
// case prints its error and the run goes on with the next; the exit status is 0 only
// when every case ran.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/AppPaths.h"
#include "app/RunCase.h"
#include "core/Error.h"
#include "core/Model.h"
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
    explicit BatchHost(bool tty) : tty_(tty) {}
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
    void progressLine(const std::string& line) override {
        ++done_;
        // "endwav  <time> <periods>"
        std::sscanf(line.c_str(), "endwav %lf", &time_);
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
        pictures_.write(m);
        pictures_.clear();
#else
        (void)m;
#endif
    }
#ifdef LITTORAL_PICTURES
    void plotxy(const Model&, const std::string& outfile, const Grid& dataxy, float aaa, float mininp,
                float maxinp) override {
        pictures_.keepEta(outfile, dataxy, aaa, mininp, maxinp);
    }
    void graphUVEta(const Model&, const Grid&, const Grid&, float, const Grid& eta, float aaa, float mininp,
                    float maxinp) override {
        pictures_.keepSetup(eta, aaa, mininp, maxinp);
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

    bool tty_;
    Clock::time_point start_{}, nextDraw_{};
    double time_ = 0;
    long done_ = 0, total_ = 0;
    int lastShown_ = -1;
#ifdef LITTORAL_PICTURES
    CasePictures pictures_;
#endif
};

void usage() {
    std::cout << "usage: littoral-batch CONTROL_FILE...\n"
                 "  Runs each case control file (a name ending in cnt.txt) headless, one after another.\n"
                 "  A path is taken as given; a bare name is looked up in the data folder beside the program.\n"
                 "  Input files are read from the control file's folder; results are written below the\n"
                 "  folder \"output\" beside that folder. The exit status is 0 only when every case ran.\n"
                 "Options (before or between the control files, for every case):\n"
                 "  --netcdf   also write the case's results as one netCDF file, results.nc\n"
                 "  --no-csv   leave out the result field files surferN.csv (the echo files stay)\n";
}

}  // namespace

int main(int argc, char** argv) {
    Model m;  // one model for the whole run: the random sequence continues across cases
    std::vector<std::string> cases;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--netcdf") m.netcdfResults = true;
        else if (arg == "--no-csv") m.csvResults = false;
        else if (arg.rfind("--", 0) == 0) {
            std::cerr << arg << ": unknown option\n";
            usage();
            return 2;
        } else cases.push_back(arg);
    }
    if (m.netcdfResults && !netcdfAvailable()) {
        std::cerr << netcdfUnavailableMessage("--netcdf") << std::endl;
        return 2;
    }
    if (!m.csvResults && !m.netcdfResults) {
        std::cerr << "--no-csv leaves the run without result files: give --netcdf too" << std::endl;
        return 2;
    }
    if (cases.empty()) {
        usage();
        return 2;
    }
    const bool tty = isatty(fileno(stderr));
    int failed = 0;
    for (const std::string& arg : cases) {
        try {
            std::error_code ec;
            fs::path cnt(arg);
            if (!fs::exists(cnt, ec)) {
                const fs::path beside = fs::path(applicationFolder()) / "data" / arg;
                if (fs::exists(beside, ec)) cnt = beside;
                else throw StopError(arg + ": the control file does not exist");
            }
            cnt = fs::absolute(cnt, ec);
            const fs::path dataDir = cnt.parent_path();
            const fs::path outBase = dataDir.parent_path() / "output";
            if (!fs::is_directory(outBase, ec))
                throw StopError("the folder \"output\" is missing beside the data folder: expected " + outBase.string() +
                                " to exist");
            m.cntPath = cnt.string();
            m.dataDir = dataDir.string() + "/";
            m.outBase = outBase.string() + "/";
            BatchHost host(tty);
            const auto t0 = Clock::now();
            runCase(m, host);
            const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
            std::cout << "ok     " << arg << ": " << host.intervals() << " intervals, results in " << m.outDir << " ("
                      << clockText(wall) << " wall time)" << std::endl;
        } catch (const std::bad_alloc&) {
            ++failed;
            std::cerr << (tty ? "\n" : "") << "FAILED " << arg << ": the memory ran out" << std::endl;
        } catch (const std::exception& e) {
            ++failed;
            std::cout << std::flush;
            std::cerr << (tty ? "\n" : "") << "FAILED " << arg << ": " << e.what() << std::endl;
        }
    }
    return failed == 0 ? 0 : 1;
}
