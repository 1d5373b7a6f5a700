#include "app/frmWorker.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <atomic>
#include <exception>
#include <thread>

#include "core/Error.h"
#include "core/Model.h"
#include "run/RunCase.h"
#include "run/RunHost.h"

namespace littoral {

namespace {

// The case's host as the worker sees it: each call runs the real host's call on the main
// thread and waits for it; a failure there is raised on the worker.
class MainThreadHost : public RunHost {
public:
    MainThreadHost(RunHost& host, const std::function<bool()>& closed, std::atomic<bool>& stop)
        : host_(host), closed_(closed), stop_(stop) {}

    void progressLine(const std::string& line) override {
        onMain([&] { host_.progressLine(line); });
    }
    void periodDone(double seconds) override {
        onMain([&] { host_.periodDone(seconds); });
    }
    void caseStarted(const std::string& cnt) override {
        onMain([&] { host_.caseStarted(cnt); });
    }
    void showPlotWindows(const Model& m) override {
        onMain([&] { host_.showPlotWindows(m); });
    }
    void runStarted(const Model& m) override {
        onMain([&] { host_.runStarted(m); });
    }
    void plotxy(const Model& m, const std::string& outfile, const Grid& dataxy, float aaa, float mininp,
                float maxinp) override {
        onMain([&] { host_.plotxy(m, outfile, dataxy, aaa, mininp, maxinp); });
    }
    void graphUVEta(const Model& m, const Grid& fx, const Grid& fy, float bbb, const Grid& eta, float aaa,
                    float mininp, float maxinp) override {
        onMain([&] { host_.graphUVEta(m, fx, fy, bbb, eta, aaa, mininp, maxinp); });
    }
    void intervalDone(const Model& m, int n, double seconds) override {
        onMain([&] { host_.intervalDone(m, n, seconds); });
    }
    void runFinished(const Model& m) override {
        onMain([&] { host_.runFinished(m); });
    }
    void warning(const std::string& text) override {
        onMain([&] { host_.warning(text); });
    }
    // Called after every flow step: the progress within an interval is not shown on the
    // desktop, so it stays on the worker.
    void intervalProgress(double fraction) override { host_.intervalProgress(fraction); }

private:
    template <class F>
    void onMain(F&& call) {
        std::exception_ptr failure;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [&] {
                try {
                    call();
                } catch (...) {
                    failure = std::current_exception();
                }
                // A window closed meanwhile stops the case before the worker goes on.
                if (closed_()) stop_.store(true);
            },
            Qt::BlockingQueuedConnection);
        if (failure) std::rethrow_exception(failure);
        if (stop_.load()) throw RunAborted();
    }

    RunHost& host_;
    const std::function<bool()>& closed_;
    std::atomic<bool>& stop_;
};

}  // namespace

void runCaseOnWorker(Model& m, RunHost& host, const std::function<bool()>& closed) {
    if (closed()) throw RunAborted();
    std::atomic<bool> stop{false}, done{false};
    std::exception_ptr failure;
    MainThreadHost bridge(host, closed, stop);
    const std::atomic<bool>* saved = m.stopRequest;
    m.stopRequest = &stop;
    std::thread worker([&] {
        try {
            runCase(m, bridge);
        } catch (...) {
            failure = std::current_exception();
        }
        done.store(true);
        // Wakes the main thread's wait below.
        QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
    });
    while (!done.load()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (closed()) stop.store(true);
    }
    worker.join();
    m.stopRequest = saved;
    if (failure) std::rethrow_exception(failure);
    if (closed()) throw RunAborted();
}

}  // namespace littoral
