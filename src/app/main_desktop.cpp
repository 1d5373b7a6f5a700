// littoral: the desktop program. The start-up window lists the cases of the data folder
// beside the program; the selected cases run one after another and the program ends by
// itself after the last. A failed case shows its message and ends the program.
#include <QApplication>
#include <QMessageBox>

#include "run/AppPaths.h"
#include "app/frmCnt.h"
#include "app/frmHost.h"
#include "core/Error.h"
#include "core/Model.h"
#include "output/ResultFiles.h"
#include "core/Parallel.h"

using namespace littoral;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::string appDir = applicationFolder();
    try {
        checkAppFolders(appDir);
        setThreadCount(threadsFromEnvironment());  // 0 (unset): one thread per core
    } catch (const StopError& e) {
        QMessageBox::critical(nullptr, "Littoral", QString::fromStdString(e.what()));
        return 1;
    }
    frmCnt window(QString::fromStdString(appDir));
    window.show();
    app.exec();  // returns when CmdGo is pressed or the window is closed
    if (!window.runRequested() || window.closed()) return 0;

    Model m;
    DesktopHost host(window);
    try {
        resultFormatsFromEnvironment(m);  // LITTORAL_NETCDF=1: results.nc beside the result files
        window.runSelectedCases(m, host);
    } catch (const RunAborted&) {
        return 0;
    } catch (const std::bad_alloc&) {
        QMessageBox::critical(&window, "Littoral", "the memory ran out");
        return 1;
    } catch (const std::exception& e) {
        QMessageBox::critical(&window, "Littoral", QString::fromStdString(e.what()));
        return 1;
    }
    return 0;
}
