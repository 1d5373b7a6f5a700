// littoral: the desktop program. The start-up window lists the cases of the work folder's
// data folder (--folder DIR; by default the program's folder when it holds data/, else the
// current folder); the selected cases run one after another. A case that stops shows
// its message and the run goes on with the next. The program ends by itself after the last
// case, or with --keep-open (or [desktop] keep_open = true in a case's options file) when
// the user closes the start-up window.
#include <QApplication>
#include <QDir>
#include <QMessageBox>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/frmCnt.h"
#include "app/frmHost.h"
#include "core/Error.h"
#include "littoral/littoral.h"
#include "run/AppPaths.h"

#ifndef LITTORAL_COMMIT
#define LITTORAL_COMMIT "unknown commit"
#endif

using namespace littoral;

namespace {

// LITTORAL_NETCDF=1: results.nc beside the result files.
bool netcdfFromEnvironment() {
    const char* v = std::getenv("LITTORAL_NETCDF");
    const std::string s = v ? v : "";
    if (s.empty() || s == "0") return false;
    if (s != "1")
        throw std::runtime_error("the environment variable LITTORAL_NETCDF is \"" + s +
                                 "\": expected 1 (write results.nc beside the result files) or 0");
    if (!netcdfAvailable()) throw std::runtime_error(netcdfUnavailableMessage("LITTORAL_NETCDF=1"));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // The program's own options first; the window system's (-platform, -geometry, ...) are
    // left for it.
    bool keepOpen = false;
    CLI::App cli("The desktop program: runs the cases selected in the data folder beside it, with their "
                 "pictures in two windows.",
                 "littoral");
    cli.add_flag("--keep-open", keepOpen,
                 "keep the windows after the last case until the start-up window is closed (default: off; "
                 "also [desktop] keep_open = true in a case's options file)");
    std::string folder;
    cli.add_option("--folder", folder,
                   "the work folder, holding data/ (the cases) and output/ (default: the folder of the program when "
                   "it holds data/, else the current folder; littoral-batch --init DIR makes one)");
    cli.set_version_flag("--version", std::string("littoral ") + version() + " (" + LITTORAL_COMMIT + ")",
                         "print the version and the build's commit, then end");
    cli.allow_extras();
    try {
        cli.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return cli.exit(e);  // --help, --version
    } catch (const CLI::ParseError& e) {
        cli.exit(e);
        return 2;
    }
    std::vector<std::string> rest = cli.remaining();
    std::vector<char*> qtArgs{argv[0]};
    for (std::string& a : rest) {
        if (a.rfind("--", 0) == 0) {
            std::cerr << "littoral: " << a << ": unknown option (expected --keep-open, --folder DIR, --help or --version)\n";
            return 2;
        }
        qtArgs.push_back(a.data());
    }
    int qtArgc = static_cast<int>(qtArgs.size());
    qtArgs.push_back(nullptr);

    QApplication app(qtArgc, qtArgs.data());
    std::string appDir = folder;
    if (appDir.empty()) {
        appDir = applicationFolder();
        if (!QDir(QString::fromStdString(appDir + "/data")).exists()) appDir = QDir::currentPath().toStdString();
    }
    appDir = QDir(QString::fromStdString(appDir)).absolutePath().toStdString();
    RunOptions options;
    try {
        checkAppFolders(appDir);
        setDefaultThreads(threadsFromEnvironment());  // 0 (unset): one thread per core
        options.netcdf = netcdfFromEnvironment();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "Littoral", QString::fromStdString(e.what()));
        return 1;
    }
    frmCnt window(QString::fromStdString(appDir));
    window.show();
    app.exec();  // returns when CmdGo is pressed or the window is closed
    if (!window.runRequested() || window.closed()) return 0;

    DesktopHost host(window);
    int stopped = 0;
    try {
        stopped = window.runSelectedCases(host, options);
    } catch (const RunAborted&) {
        return 0;
    } catch (const std::exception& e) {
        QMessageBox::critical(&window, "Littoral", QString::fromStdString(e.what()));
        return 1;
    }
    window.afterRun(keepOpen || window.keepOpenAsked());
    return stopped == 0 ? 0 : 1;
}
