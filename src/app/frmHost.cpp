#include "app/frmHost.h"

#include <QCoreApplication>
#include <QThread>

#include "app/frmCnt.h"
#include "core/Error.h"
#include "plots/frmIgwPicture.h"
#include "plots/frmOvalin.h"

namespace littoral {

namespace {
// Pending events run at most this often; in between a pump costs one clock read.
constexpr auto kPumpInterval = std::chrono::milliseconds(15);
}

DesktopHost::DesktopHost(frmCnt& cnt) : cnt_(cnt) {}
DesktopHost::~DesktopHost() = default;

void DesktopHost::pumpNow() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    next_ = std::chrono::steady_clock::now() + kPumpInterval;
    if (cnt_.closed()) throw RunAborted();
}

void DesktopHost::pumpEvents() {
    // The engine pumps from the main thread only, between its parallel blocks.
    Q_ASSERT(QThread::currentThread() == QCoreApplication::instance()->thread());
    if (cnt_.closed()) throw RunAborted();  // closed by the program itself: end at once
    if (std::chrono::steady_clock::now() < next_) return;
    pumpNow();
}

void DesktopHost::progressLine(const std::string& line) {
    cnt_.appendProgress(QString::fromStdString(line));
}

// Warnings go into the progress list, where the user follows the run.
void DesktopHost::warning(const std::string& text) {
    cnt_.appendProgress(QString::fromStdString(text));
}

frmOvalin& DesktopHost::ovalin(const Model& m) {
    if (!ovalin_) ovalin_ = std::make_unique<frmOvalin>(m);
    return *ovalin_;
}

frmIgwPicture& DesktopHost::igwPicture(const Model& m) {
    if (!igw_) igw_ = std::make_unique<frmIgwPicture>(m);
    return *igw_;
}

void DesktopHost::showPlotWindows(const Model& m) {
    ovalin(m).show();
    igwPicture(m).show();
    pumpNow();
}

void DesktopHost::plotxy(const Model& m, const std::string& outfile, const Grid& dataxy, float aaa, float mininp,
                         float maxinp) {
    ovalin(m).plotxy(m, outfile, dataxy, aaa, mininp, maxinp);
}

void DesktopHost::graphUVEta(const Model& m, const Grid& fx, const Grid& fy, float bbb, const Grid& eta, float aaa,
                             float mininp, float maxinp) {
    igwPicture(m).graphUVEta(m, fx, fy, bbb, eta, aaa, mininp, maxinp);
}

}  // namespace littoral
