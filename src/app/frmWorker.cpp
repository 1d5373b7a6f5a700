#include "app/frmWorker.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <atomic>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "core/Error.h"
#include "run/ApiAccess.h"
#include "run/RunHost.h"

namespace littoral {

namespace {

// Runs call on the main thread and waits for it; a failure there is raised here. A window
// closed meanwhile stops the case before the worker goes on.
class MainThread {
public:
    MainThread(const std::function<bool()>& closed, std::atomic<bool>& stop) : closed_(closed), stop_(stop) {}
    template <class F>
    void run(F&& call) {
        std::exception_ptr failure;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [&] {
                try {
                    call();
                } catch (...) {
                    failure = std::current_exception();
                }
                if (closed_()) stop_.store(true);
            },
            Qt::BlockingQueuedConnection);
        if (failure) std::rethrow_exception(failure);
        if (stop_.load()) throw RunAborted();
    }

private:
    const std::function<bool()>& closed_;
    std::atomic<bool>& stop_;
};

// What the windows draw, as the run's observer sees it: each drawing runs the real host's
// call on the main thread. The progress lines and the warnings come as the run's events.
class DrawingBridge : public RunHost {
public:
    DrawingBridge(RunHost& host, MainThread& main) : host_(host), main_(main) {}

    void progressLine(const std::string&) override {}  // the wavePeriod event
    void warning(const std::string&) override {}       // the warning event
    void caseStarted(const std::string&) override {}   // told before the case is read
    void periodDone(double seconds) override {
        main_.run([&] { host_.periodDone(seconds); });
    }
    void showPlotWindows(const Model& m) override {
        main_.run([&] { host_.showPlotWindows(m); });
    }
    void runStarted(const Model& m) override {
        main_.run([&] { host_.runStarted(m); });
    }
    void plotxy(const Model& m, const std::string& outfile, const Grid& dataxy, float aaa, float mininp,
                float maxinp) override {
        main_.run([&] { host_.plotxy(m, outfile, dataxy, aaa, mininp, maxinp); });
    }
    void graphUVEta(const Model& m, const Grid& fx, const Grid& fy, float bbb, const Grid& eta, float aaa,
                    float mininp, float maxinp) override {
        main_.run([&] { host_.graphUVEta(m, fx, fy, bbb, eta, aaa, mininp, maxinp); });
    }
    void intervalDone(const Model& m, int n, double seconds) override {
        main_.run([&] { host_.intervalDone(m, n, seconds); });
    }
    void runFinished(const Model& m) override {
        main_.run([&] { host_.runFinished(m); });
    }

private:
    RunHost& host_;
    MainThread& main_;
};

}  // namespace

void runCaseOnWorker(const std::string& cnt, RunOptions options, RunHost& host, const std::function<bool()>& closed,
                     RandomState& random) {
    if (closed()) throw RunAborted();
    host.caseStarted(cnt);
    std::atomic<bool> stop{false}, done{false};
    std::exception_ptr failure;
    MainThread main(closed, stop);
    DrawingBridge bridge(host, main);
    options.events.wavePeriod = [&](const WavePeriodDone& w) { main.run([&] { host.progressLine(w.line); }); };
    options.events.warning = [&](const std::string& text) { main.run([&] { host.warning(text); }); };
    options.random = random;
    // The run being advanced, for a stop asked from the main thread.
    std::mutex runLock;
    Run* running = nullptr;
    std::thread worker([&] {
        try {
            const Case c = Case::read(cnt);
            Run run(c, options);
            addObserver(run, bridge);
            {
                const std::lock_guard<std::mutex> hold(runLock);
                running = &run;
            }
            try {
                while (run.advance()) {
                }
            } catch (...) {
                failure = std::current_exception();
            }
            {
                const std::lock_guard<std::mutex> hold(runLock);
                running = nullptr;
            }
            removeObserver(run, bridge);
            random = run.random();
        } catch (...) {
            failure = std::current_exception();
        }
        done.store(true);
        // Wakes the main thread's wait below.
        QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
    });
    while (!done.load()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (closed()) {
            stop.store(true);
            const std::lock_guard<std::mutex> hold(runLock);
            if (running) running->requestStop();
        }
    }
    worker.join();
    if (closed()) throw RunAborted();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace littoral
