// Whole runs started by clicks in the start-up window, on the offscreen platform: the
// cases run in list order through the desktop host, the progress lines appear, the plot
// windows draw, closing the start-up window ends the run at the next event pump.
//
// With LITTORAL_GRAB_DIR set, windowGrabs also runs a bundled sample case
// (LITTORAL_GRAB_CASE, default beachcnt.txt) and saves pictures of the three windows
// half-way through the run: frmCnt.png, frmOvalin.png, frmIgwPicture.png at the size
// they open at, and frmOvalinEnlarged.png, the grid plot window enlarged by the user with
// its legend. On an X server with a window manager (tests/gui/with-xvfb.sh) the pictures
// are taken from the screen, frame and title bar included; elsewhere the caption is drawn
// above the window's client area.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPainter>
#include <QTimer>
#include <QScreen>
#include <QWindow>
#include <QtTest>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "app/frmCnt.h"
#include "app/frmHost.h"
#include "core/Error.h"
#include "core/Model.h"
#include "littoral/littoral.h"
#include "plots/frmIgwPicture.h"
#include "plots/frmOvalin.h"
#include "GuiSupport.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;
namespace fs = std::filesystem;

namespace {

// The desktop host with a hook after every progress line and a record of the cases.
struct WatchedHost : DesktopHost {
    using DesktopHost::DesktopHost;
    std::vector<std::string> cases;
    long periods = 0;
    std::function<void(long)> afterLine;
    void caseStarted(const std::string& cnt) override { cases.push_back(fs::path(cnt).filename().string()); }
    void progressLine(const std::string& line) override {
        DesktopHost::progressLine(line);
        ++periods;
        if (afterLine) afterLine(periods);
    }
};

// A window's client area with its caption above it, as a person would see it, in the
// window's device pixels.
QImage withCaption(QWidget* w) {
    QImage body = w->grab().toImage();
    const double dpr = body.devicePixelRatio();
    body.setDevicePixelRatio(1);
    QFont f = w->font();
    f.setPixelSize(static_cast<int>(12 * dpr));
    const QFontMetrics fm(f);
    const int bar = static_cast<int>(fm.height() * 1.6), pad = static_cast<int>(6 * dpr);
    const int width = std::max(body.width(), fm.horizontalAdvance(w->windowTitle()) + 2 * pad);
    QImage img(width, body.height() + bar, QImage::Format_RGB32);
    img.fill(QColor(60, 60, 70));
    QPainter p(&img);
    p.drawImage(0, bar, body);
    p.setPen(Qt::white);
    p.setFont(f);
    p.drawText(QRect(pad, 0, width - pad, bar), Qt::AlignVCenter | Qt::AlignLeft, w->windowTitle());
    return img;
}

// A window as the screen shows it, with its frame, where a window manager frames it (the
// windows that overlap it hidden meanwhile); else its client area under its caption.
QImage asShown(QWidget* w, std::initializer_list<QWidget*> others) {
    if (QGuiApplication::platformName() == "xcb" && w->windowHandle()) {
        for (QWidget* o : others) o->hide();
        QTest::qWait(300);
        const QRect f = w->windowHandle()->frameGeometry();
        const QImage shot = w->screen()->grabWindow(0, f.x(), f.y(), f.width(), f.height()).toImage();
        for (QWidget* o : others) o->show();
        QTest::qWait(300);
        if (!shot.isNull()) return shot;
    }
    return withCaption(w);
}

// Starts the case <cnt> of a folder by clicks and runs it through the desktop host.
void runByClicks(const CaseDir& dir, const QString& cnt) {
    frmCnt w(QString::fromStdString(dir.root.string()));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    clickLine(w.FlCnt, cnt);
    QTest::mouseClick(w.CmdGo, Qt::LeftButton);
    WatchedHost host(w);
    w.runSelectedCases(host);
}

}  // namespace

class RunTest : public QObject {
    Q_OBJECT
private slots:
    void twoSelectedCasesRunInListOrder() {
        CaseDir dir("gui-run");
        SmallCase a, b;
        a.coef.tEnd = 12;  // two wave periods of 6 s (intervals at 0, 6 and 12 s)
        b.coef.tEnd = 6;
        b.coef.ixEnd = 12;  // a different grid: the windows keep the first case's size
        a.write(dir, "a");
        b.write(dir, "b");
        frmCnt w(QString::fromStdString(dir.root.string()));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        clickLine(w.FlCnt, "bcnt.txt");
        clickLine(w.FlCnt, "acnt.txt");
        QTest::mouseClick(w.CmdGo, Qt::LeftButton);
        QVERIFY(w.runRequested());
        QCOMPARE(w.CmdGo->text(), QString("running"));

        WatchedHost host(w);
        std::vector<QString> captions;
        host.afterLine = [&](long n) {
            // While the case runs, a press of the run button and a click on the file list
            // do nothing: a click on the second case does not drop it from the batch.
            if (n == 1) clickLine(w.FlCnt, "bcnt.txt");
            QTest::mouseClick(w.CmdGo, Qt::LeftButton);
            QCOMPARE(w.CmdGo->text(), QString("running"));
            QCOMPARE(w.LstCntFile->count(), 0);
            captions.push_back(host.ovalinWindow()->windowTitle());
        };
        w.runSelectedCases(host);

        QCOMPARE(host.cases, (std::vector<std::string>{"acnt.txt", "bcnt.txt"}));
        // The list shows the case that ran last and its progress lines.
        const QStringList l = lines(w.LstInpfile);
        QVERIFY(!l.isEmpty());
        QCOMPARE(l.front(), QString("bcnt.txt"));
        QCOMPARE(l.size(), 1 + 2);  // intervals at 0 and 6 s
        QCOMPARE(l[1], QString("endwav  0 0"));
        QCOMPARE(l[2], QString("endwav  6 1"));
        QCOMPARE(host.periods, 3 + 2);
        QVERIFY(captions.front().startsWith("eta    -"));
        QVERIFY(host.ovalinWindow()->isVisible() && host.igwPictureWindow()->isVisible());
        QVERIFY(host.igwPictureWindow()->windowTitle().startsWith("lfuvw  "));
        QCOMPARE(host.ovalinWindow()->formTwips().width, (10 + 1) * 20);
        QVERIFY(fs::exists(dir.output / "a" / "surfer2.csv"));
        QVERIFY(fs::exists(dir.output / "b" / "surfer1.csv"));
    }

    // A batch of a case that stops on its input and good cases: the stopped case's message
    // shows in a message box and in the progress list, the run goes on with the next cases,
    // and the random sequence of the irregular heights continues across the stopped case
    // as in the batch program (every file of the good cases byte-for-byte the batch's).
    void aStoppedCaseShowsItsMessageAndTheRunGoesOn() {
        CaseDir dir("gui-run-stop");
        SmallCase good;
        good.coef.tEnd = 12;
        good.wave = "17, input\n0.5, H\n6, T\n190, dir\n10, px\n1, py\n-1.5, groups\n0, amp\n";
        SmallCase bad = good;
        bad.depth = "not a depth file\n";
        good.write(dir, "a");
        bad.write(dir, "b");
        good.write(dir, "c");
        std::string expected;
        try {
            littoral::readCase((dir.data / "bcnt.txt").string());
            QFAIL("the bad case reads");
        } catch (const littoral::InputError& e) {
            expected = e.what();
        }
        frmCnt w(QString::fromStdString(dir.root.string()));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (const char* cnt : {"acnt.txt", "bcnt.txt", "ccnt.txt"}) clickLine(w.FlCnt, cnt);
        QTest::mouseClick(w.CmdGo, Qt::LeftButton);
        WatchedHost host(w);
        QCOMPARE(w.runSelectedCases(host), 1);
        QCOMPARE(host.cases, (std::vector<std::string>{"acnt.txt", "bcnt.txt", "ccnt.txt"}));
        // The message box stays open beside the windows; the list keeps the message above
        // the last case's progress.
        QCOMPARE(w.openStopBoxes(), 1);
        QMessageBox* box = nullptr;
        for (QWidget* t : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<QMessageBox*>(t); b && b->isVisible()) box = b;
        QVERIFY(box);
        QCOMPARE(box->text(), QString::fromStdString("bcnt.txt: " + expected));
        const QStringList l = lines(w.LstInpfile);
        QVERIFY(l.size() >= 2);
        QCOMPARE(l[0], QString::fromStdString("stopped: bcnt.txt: " + expected));
        QCOMPARE(l[1], QString("ccnt.txt"));
        QVERIFY(dir.outputFiles("b").empty());
        fs::rename(dir.output / "a", dir.root / "desk-a");
        fs::rename(dir.output / "c", dir.root / "desk-c");
        const BatchRun batch =
            runBatch((dir.data / "acnt.txt").string() + " " + (dir.data / "bcnt.txt").string() + " " +
                     (dir.data / "ccnt.txt").string());
        QCOMPARE(batch.status, 1);
        for (const char* c : {"a", "c"})
            for (const std::string& f : filesBelow(dir.root / (std::string("desk-") + c)))
                QVERIFY2(readFile(dir.root / (std::string("desk-") + c) / f) == readFile(dir.output / c / f),
                         qPrintable(QString::fromStdString(std::string(c) + "/" + f + " differs from the batch's")));
        // Without --keep-open the program ends once the box is closed.
        QTimer::singleShot(300, box, [box] { box->close(); });
        QElapsedTimer t;
        t.start();
        w.afterRun(false);
        QVERIFY(t.elapsed() >= 250);
        QCOMPARE(w.openStopBoxes(), 0);
        QVERIFY(!w.closed());
    }

    // After the last case the windows stay with --keep-open until the start-up window is
    // closed; without it (and with no stopped case) the run ends at once.
    void keepOpenKeepsTheWindowsUntilTheStartUpWindowCloses() {
        CaseDir dir("gui-run-keep");
        SmallCase a;
        a.coef.tEnd = 6;
        a.write(dir, "a");
        frmCnt w(QString::fromStdString(dir.root.string()));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        clickLine(w.FlCnt, "acnt.txt");
        QTest::mouseClick(w.CmdGo, Qt::LeftButton);
        WatchedHost host(w);
        QCOMPARE(w.runSelectedCases(host), 0);
        QVERIFY(!w.keepOpenAsked());
        QElapsedTimer t;
        t.start();
        w.afterRun(false);
        QVERIFY(t.elapsed() < 200);
        bool shownMeanwhile = false;
        QTimer::singleShot(600, &w, [&] {
            shownMeanwhile = w.isVisible() && host.ovalinWindow()->isVisible() && host.igwPictureWindow()->isVisible();
            w.close();
        });
        t.restart();
        w.afterRun(true);
        QVERIFY(t.elapsed() >= 550);
        QVERIFY(shownMeanwhile);
        QCOMPARE(w.CmdGo->text(), QString("done"));
        QVERIFY(w.closed());
    }

    // A warning of the run (the flow clock's drift) shows in the progress list.
    void warningsAppearInTheProgressList() {
        CaseDir dir("gui-run-warning");
        frmCnt w(QString::fromStdString(dir.root.string()));
        DesktopHost host(w);
        host.warning("warning: in the interval ending at 60000 s the flow steps add up to 94 %");
        const QStringList l = lines(w.LstInpfile);
        QVERIFY(!l.isEmpty());
        QCOMPARE(l.back(), QString("warning: in the interval ending at 60000 s the flow steps add up to 94 %"));
    }

    void closingTheStartUpWindowEndsTheRunMidCase() {
        CaseDir dir("gui-run-close");
        SmallCase a;
        a.coef.tEnd = 60;
        a.write(dir, "a");
        frmCnt w(QString::fromStdString(dir.root.string()));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        clickLine(w.FlCnt, "acnt.txt");
        QTest::mouseClick(w.CmdGo, Qt::LeftButton);
        WatchedHost host(w);
        host.afterLine = [&](long n) {
            if (n == 2) w.close();
        };
        QVERIFY_THROWS_EXCEPTION(RunAborted, w.runSelectedCases(host));
        QCOMPARE(host.periods, 2);
        // The finished intervals' files stay; the run went no further.
        QVERIFY(fs::exists(dir.output / "a" / "surfer0.csv"));
        QVERIFY(!fs::exists(dir.output / "a" / "surfer3.csv"));
    }

    void clickedRunLeavesTheBatchProgramsFilesByteForByte() {
        // Waves, currents and sediment on a small beach: every result and echo file of the
        // desktop run must equal the batch program's, which also draws its two pictures.
        const SmallCase c = beach(18);
        // Both runs use the same folder, because the echo files name the control file's
        // path: the desktop's results are moved aside before the batch program runs.
        CaseDir dir("gui-same");
        c.write(dir, "s");
        runByClicks(dir, "scnt.txt");
        fs::rename(dir.output / "s", dir.output / "desk");
        const BatchRun batch = runBatch((dir.data / "scnt.txt").string());
        QVERIFY2(batch.status == 0, batch.out.c_str());
        const std::vector<std::string> deskFiles = dir.outputFiles("desk"), batchFiles = dir.outputFiles("s");
        QVERIFY(std::find(deskFiles.begin(), deskFiles.end(), "surfer3.csv") != deskFiles.end());
        std::vector<std::string> expected = deskFiles;
        for (const char* picture : {"eta.png", "setup.png", "wavH.png", "currents.png", "bedchange.png"})
            expected.push_back(picture);
        std::sort(expected.begin(), expected.end());
        QCOMPARE(batchFiles, expected);
        for (const std::string& f : deskFiles) {
            const std::string a = readFile(dir.output / "desk" / f), b = readFile(dir.output / "s" / f);
            if (a == b) continue;
            const size_t at = std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin();
            const size_t from = a.rfind('\n', at) == std::string::npos ? 0 : a.rfind('\n', at) + 1;
            QFAIL(qPrintable(QString::fromStdString(f + " differs at byte " + std::to_string(at) + ": desktop \"" +
                                                    a.substr(from, 60) + "\", batch \"" + b.substr(from, 60) + "\"")));
        }
    }

    void optionsFileResumeContinuesARunAsOneBatchRunGoesThrough() {
        // The options file asks for a checkpoint after every interval; the first desktop run
        // ends at 12 s. The coefficient file's end then moves to 24 s and the options file asks
        // to resume: the desktop continues from the checkpoint, and its field and echo files
        // are byte for byte those of one batch run to 24 s.
        SmallCase c = beach(12);
        CaseDir dir("gui-resume");
        c.write(dir, "r");
        dir.write("r.toml", "[checkpoint]\nevery = 1\n");
        runByClicks(dir, "rcnt.txt");
        QVERIFY(fs::exists(dir.output / "r" / "checkpoint.nc"));
        QVERIFY(!fs::exists(dir.output / "r" / "surfer3.csv"));
        c.coef.tEnd = 24;
        c.write(dir, "r");
        dir.write("r.toml", "[checkpoint]\nevery = 1\nresume = true\n");
        runByClicks(dir, "rcnt.txt");
        fs::rename(dir.output / "r", dir.output / "desk");
        dir.write("r.toml", "[checkpoint]\nevery = 1\n");
        const BatchRun batch = runBatch((dir.data / "rcnt.txt").string());
        QVERIFY2(batch.status == 0, batch.out.c_str());
        const std::vector<std::string> deskFiles = dir.outputFiles("desk");
        QVERIFY(std::find(deskFiles.begin(), deskFiles.end(), "surfer4.csv") != deskFiles.end());
        QVERIFY(!fs::exists(dir.output / "desk" / "surfer5.csv"));
        for (const std::string& f : deskFiles) {
            // The options echo says the resume; the checkpoints are compared by the restart tests.
            if (f == "0options.txt" || f == "checkpoint.nc") continue;
            QVERIFY2(readFile(dir.output / "desk" / f) == readFile(dir.output / "r" / f),
                     qPrintable(QString::fromStdString(f + " differs from the batch run's")));
        }
    }

    void desktopAgainstBatchTime() {
        // A measurement, not a check: with LITTORAL_TIME_CASE naming a bundled control file,
        // runs it once through the windows and once in the batch program and prints the
        // wall times and their ratio.
        const QByteArray name = qgetenv("LITTORAL_TIME_CASE");
        if (name.isEmpty()) QSKIP("set LITTORAL_TIME_CASE to time a sample case in both programs");
        CaseDir desk("gui-time-desk"), batch("gui-time-batch");
        for (const CaseDir* d : {&desk, &batch})
            fs::copy(fs::path(LITTORAL_SOURCE_DIR) / "data", d->data,
                     fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        // Wall time and processor time (user + system) of each: the processor time is the
        // fairer figure on a machine that other work shares.
        using Clock = std::chrono::steady_clock;
        auto cpu = [](int who) {
            rusage u{};
            getrusage(who, &u);
            return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
        };
        const auto t0 = Clock::now();
        const double c0 = cpu(RUSAGE_SELF);
        runByClicks(desk, QString::fromUtf8(name));
        const double c1 = cpu(RUSAGE_SELF);
        const auto t1 = Clock::now();
        const double k0 = cpu(RUSAGE_CHILDREN);
        QVERIFY(runBatch((batch.data / name.toStdString()).string()).status == 0);
        const double k1 = cpu(RUSAGE_CHILDREN);
        const auto t2 = Clock::now();
        const double d = std::chrono::duration<double>(t1 - t0).count(), b = std::chrono::duration<double>(t2 - t1).count();
        qInfo("%s: wall: desktop %.2f s, batch %.2f s, ratio %.3f; processor: desktop %.2f s, batch %.2f s, ratio %.3f",
              name.constData(), d, b, d / b, c1 - c0, k1 - k0, (c1 - c0) / (k1 - k0));
    }

    void windowGrabs() {
        const QByteArray out = qgetenv("LITTORAL_GRAB_DIR");
        if (out.isEmpty()) QSKIP("set LITTORAL_GRAB_DIR to save pictures of the windows during a run");
        const QByteArray name = qEnvironmentVariable("LITTORAL_GRAB_CASE", "beachcnt.txt").toUtf8();
        CaseDir dir("gui-grab");
        fs::copy(fs::path(LITTORAL_SOURCE_DIR) / "data", dir.data, fs::copy_options::recursive);
        fs::create_directories(out.toStdString());
        frmCnt w(QString::fromStdString(dir.root.string()));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        clickLine(w.FlCnt, QString::fromUtf8(name));
        QTest::mouseClick(w.CmdGo, Qt::LeftButton);
        WatchedHost host(w);
        const long grabAt = std::max(1L, littoral::readCase((dir.data / name.toStdString()).string()).intervals() / 2);
        bool grabbed = false;
        host.afterLine = [&](long n) {
            if (n != grabAt) return;
            host.pumpNow();  // let the windows paint their pictures
            const fs::path o(out.toStdString());
            frmOvalin* ov = host.ovalinWindow();
            frmIgwPicture* gr = host.igwPictureWindow();
            QVERIFY(asShown(&w, {ov, gr}).save(QString::fromStdString((o / "frmCnt.png").string())));
            QVERIFY(asShown(ov, {}).save(QString::fromStdString((o / "frmOvalin.png").string())));
            QVERIFY(asShown(gr, {}).save(QString::fromStdString((o / "frmIgwPicture.png").string())));
            // The grid plot window enlarged six times, with the legend below the picture.
            const QSize normal = ov->size(), pic = ov->Picture1->picture().size();
            ov->resize(pic.width() * 6, pic.height() * 6 + frmPlotLegend::kHeight);
            QTest::qWait(300);  // the window manager's frame follows
            host.pumpNow();
            QVERIFY(ov->legend->isVisible());
            QVERIFY(asShown(ov, {gr}).save(QString::fromStdString((o / "frmOvalinEnlarged.png").string())));
            ov->resize(normal);
            host.pumpNow();
            qInfo("saved the windows after %ld wave periods into %s", n, out.constData());
            grabbed = true;
        };
        w.runSelectedCases(host);
        QVERIFY(grabbed);
    }
};

QTEST_MAIN(RunTest)
#include "run_test.moc"
