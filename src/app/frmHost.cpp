#include "app/frmHost.h"

#include <QCoreApplication>

#include "app/frmCnt.h"
#include "core/Error.h"

namespace littoral {

namespace {
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
    if (std::chrono::steady_clock::now() < next_) return;
    pumpNow();
}

void DesktopHost::progressLine(const std::string& line) {
    cnt_.appendProgress(QString::fromStdString(line));
}

void DesktopHost::showPlotWindows(const Model&) { pumpNow(); }

void DesktopHost::plotxy(const Model&, const std::string&, const Grid&, float, float, float) {}

void DesktopHost::graphUVEta(const Model&, const Grid&, const Grid&, float, const Grid&, float, float, float) {}

}  // namespace littoral
