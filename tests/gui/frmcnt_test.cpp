// The start-up window driven by clicks on the offscreen platform: the state of the run
// button, the fields of a clicked control file and of a chosen input file, files that are
// missing or empty, and the "running" state in which clicks do nothing.
#include <QtTest>
#include <filesystem>

#include "app/frmCnt.h"
#include "core/Model.h"
#include "GuiSupport.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {

// A data folder with two control files, the files one of them names and two broken ones.
void writeCases(const CaseDir& dir) {
    dir.write("bcnt.txt",
              "b\\coef.txt\n"
              "b\\depth.txt, b\\boundary.txt\n"  // two fields on one line: two list lines
              "b\\wave.txt\nb\\tide.txt\nb\\missing.txt\nb\\empty.txt\nb\\UPPER.TXT\nbout\n'endcnt\n");
    dir.write("acnt.txt", "a\\coef.txt\naout\n'endcnt\n");
    dir.write("b/coef.txt", "1,ixs\n10,ixe\n'endconst\n");
    dir.write("b/depth.txt", "5,5,5\n");
    dir.write("b/empty.txt", "");
    dir.write("b/UPPER.TXT", "1\n");
    dir.write("emptycnt.txt", "");
    dir.write("gonecnt.txt", "x\n");
    dir.write("notes.txt", "not a control file\n");
}

// The window on a data folder holding the cases above (or those `write` puts there), shown.
struct ShownWindow {
    CaseDir dir;
    frmCnt w;
    explicit ShownWindow(const std::string& name, void (*write)(const CaseDir&) = writeCases)
        : dir(name), w((write(dir), QString::fromStdString(dir.root.string()))) {
        w.show();
    }
};

}  // namespace

// Each test starts with the window shown on its data folder.
#define SHOW_WINDOW(...)            \
    ShownWindow shown(__VA_ARGS__); \
    frmCnt& w = shown.w;            \
    QVERIFY(QTest::qWaitForWindowExposed(&w))

class FrmCntTest : public QObject {
    Q_OBJECT
private slots:
    void startsWithTheRunButtonDisabled() {
        SHOW_WINDOW("gui-cnt-start");
        QCOMPARE(w.CmdGo->text(), QString("run"));
        QVERIFY(!w.CmdGo->isEnabled());
        QCOMPARE(w.y(), 0);
        // Only the control files, by name.
        QCOMPARE(lines(w.FlCnt), (QStringList{"acnt.txt", "bcnt.txt", "emptycnt.txt", "gonecnt.txt"}));
        QCOMPARE(w.LstCntFile->count(), 0);
        QCOMPARE(w.LstInpfile->count(), 0);
        // A press of the disabled button does nothing.
        QTest::mouseClick(w.CmdGo, Qt::LeftButton);
        QCOMPARE(w.CmdGo->text(), QString("run"));
        QVERIFY(!w.runRequested());
        QVERIFY(w.outBase.ends_with("/output/"));
    }

    void clicksShowTheFieldsOfTheControlFileAndOfItsInputFiles() {
        SHOW_WINDOW("gui-cnt-fields");
        clickLine(w.FlCnt, "bcnt.txt");
        QVERIFY(w.CmdGo->isEnabled());
        QCOMPARE(w.CmdGo->text(), QString("run"));
        QCOMPARE(lines(w.LstCntFile),
                 (QStringList{"b\\coef.txt", "b\\depth.txt", "b\\boundary.txt", "b\\wave.txt", "b\\tide.txt",
                              "b\\missing.txt", "b\\empty.txt", "b\\UPPER.TXT", "bout", "'endcnt"}));
        QVERIFY(QString::fromStdString(w.cntPath).endsWith("/data/bcnt.txt"));
        QVERIFY(QString::fromStdString(w.dataDir).endsWith("/data/"));

        clickLine(w.LstCntFile, 0);
        QCOMPARE(lines(w.LstInpfile), (QStringList{"1", "ixs", "10", "ixe", "'endconst"}));
        clickLine(w.LstCntFile, 1);
        QCOMPARE(lines(w.LstInpfile), (QStringList{"5", "5", "5"}));
        // Lines that do not end exactly in ".txt".
        for (const char* text : {"'endcnt", "bout", "b\\UPPER.TXT"}) {
            clickLine(w.LstCntFile, rowOf(w.LstCntFile, text));
            QCOMPARE(lines(w.LstInpfile), QStringList{"Not InputFlie"});
        }
        // Another control file replaces both lists.
        clickLine(w.FlCnt, "acnt.txt");
        QCOMPARE(lines(w.LstCntFile), (QStringList{"a\\coef.txt", "aout", "'endcnt"}));
        QCOMPARE(w.LstInpfile->count(), 0);
    }

    void missingAndEmptyFilesSaySoAndTheWindowStaysUsable() {
        SHOW_WINDOW("gui-cnt-missing");
        clickLine(w.FlCnt, "bcnt.txt");
        clickLine(w.LstCntFile, "b\\missing.txt");
        QCOMPARE(w.LstInpfile->count(), 1);
        QVERIFY2(w.LstInpfile->item(0)->text().contains("missing.txt") &&
                     w.LstInpfile->item(0)->text().contains("does not exist"),
                 qPrintable(w.LstInpfile->item(0)->text()));
        clickLine(w.LstCntFile, "b\\empty.txt");
        QCOMPARE(w.LstInpfile->count(), 1);
        QVERIFY2(w.LstInpfile->item(0)->text().contains("empty"), qPrintable(w.LstInpfile->item(0)->text()));

        // An empty control file, and one removed after the list was filled.
        clickLine(w.FlCnt, "emptycnt.txt");
        QCOMPARE(w.LstCntFile->count(), 1);
        QVERIFY2(w.LstCntFile->item(0)->text().contains("empty"), qPrintable(w.LstCntFile->item(0)->text()));
        std::filesystem::remove(shown.dir.data / "gonecnt.txt");
        clickLine(w.FlCnt, "gonecnt.txt");
        QCOMPARE(w.LstCntFile->count(), 1);
        QVERIFY2(w.LstCntFile->item(0)->text().contains("does not exist"),
                 qPrintable(w.LstCntFile->item(0)->text()));

        // Still usable: a good file reads as before.
        clickLine(w.FlCnt, "acnt.txt");
        QCOMPARE(w.LstCntFile->count(), 3);
        QCOMPARE(w.CmdGo->text(), QString("run"));
    }

    void theRunButtonStartsTheRunOnceAndThenClicksDoNothing() {
        SHOW_WINDOW("gui-cnt-run");
        clickLine(w.FlCnt, "acnt.txt");
        QVERIFY(w.FlCnt->item(rowOf(w.FlCnt, "acnt.txt"))->isSelected());
        QTest::mouseClick(w.CmdGo, Qt::LeftButton);
        QCOMPARE(w.CmdGo->text(), QString("running"));
        QVERIFY(w.runRequested());
        QCOMPARE(w.LstCntFile->count(), 0);
        const std::string cnt = w.cntPath;

        clickLine(w.FlCnt, "bcnt.txt");
        QCOMPARE(w.LstCntFile->count(), 0);
        QCOMPARE(w.cntPath, cnt);
        QTest::mouseClick(w.CmdGo, Qt::LeftButton);
        QCOMPARE(w.CmdGo->text(), QString("running"));
        QVERIFY(!w.closed());
    }

    void theKeyboardSelectsAsAClickDoes() {
        SHOW_WINDOW("gui-cnt-keys");
        w.FlCnt->setFocus();
        w.FlCnt->setCurrentRow(rowOf(w.FlCnt, "acnt.txt"), QItemSelectionModel::NoUpdate);
        // An arrow moves to the next file and shows its fields, as a click does.
        QTest::keyClick(w.FlCnt, Qt::Key_Down);
        QCOMPARE(w.FlCnt->currentItem()->text(), QString("bcnt.txt"));
        QVERIFY(w.CmdGo->isEnabled());
        QCOMPARE(w.LstCntFile->count(), 10);
        QVERIFY(QString::fromStdString(w.cntPath).endsWith("/data/bcnt.txt"));
        // Space selects it; a second space deselects it, a third selects it again.
        QTest::keyClick(w.FlCnt, Qt::Key_Space);
        QVERIFY(w.FlCnt->currentItem()->isSelected());
        QTest::keyClick(w.FlCnt, Qt::Key_Space);
        QVERIFY(!w.FlCnt->currentItem()->isSelected());
        w.LstCntFile->clear();
        QTest::keyClick(w.FlCnt, Qt::Key_Space);
        QVERIFY(w.FlCnt->currentItem()->isSelected());
        QCOMPARE(w.LstCntFile->count(), 10);  // shown again, as after a click
        QTest::keyClick(w.FlCnt, Qt::Key_Return, Qt::NoModifier);  // no file moved: nothing
        QTest::mouseClick(w.CmdGo, Qt::LeftButton);
        QCOMPARE(w.casesToRun(), QStringList{"bcnt.txt"});
    }

    void clicksAndKeysDuringTheRunLeaveTheSelectionAndTheBatchAlone() {
        SHOW_WINDOW("gui-cnt-frozen");
        clickLine(w.FlCnt, "acnt.txt");
        clickLine(w.FlCnt, "emptycnt.txt");
        QTest::mouseClick(w.CmdGo, Qt::LeftButton);
        QCOMPARE(w.CmdGo->text(), QString("running"));
        const QStringList batch{"acnt.txt", "emptycnt.txt"};
        QCOMPARE(w.casesToRun(), batch);
        auto selected = [&] {
            QStringList r;
            for (int k = 0; k < w.FlCnt->count(); ++k)
                if (w.FlCnt->item(k)->isSelected()) r << w.FlCnt->item(k)->text();
            return r;
        };
        // Clicks that would add and drop entries, a double click, keys that would move,
        // toggle and select all.
        clickLine(w.FlCnt, "bcnt.txt");
        clickLine(w.FlCnt, "acnt.txt");
        QTest::mouseDClick(w.FlCnt->viewport(), Qt::LeftButton, {},
                           w.FlCnt->visualItemRect(w.FlCnt->item(rowOf(w.FlCnt, "gonecnt.txt"))).center());
        w.FlCnt->setFocus();
        const QListWidgetItem* current = w.FlCnt->currentItem();
        for (int key : {int(Qt::Key_Down), int(Qt::Key_Space), int(Qt::Key_Up), int(Qt::Key_Space)})
            QTest::keyClick(w.FlCnt, Qt::Key(key));
        QTest::keyClick(w.FlCnt, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(w.FlCnt->currentItem(), current);
        QCOMPARE(selected(), batch);
        QCOMPARE(w.casesToRun(), batch);
        QCOMPARE(w.LstCntFile->count(), 0);
    }

    void aPressWithEveryEntryDeselectedRunsNothing() {
        SHOW_WINDOW("gui-cnt-none", [](const CaseDir& d) { SmallCase{}.write(d, "a"); });
        const int row = rowOf(w.FlCnt, "acnt.txt");
        clickLine(w.FlCnt, row);  // selects the entry and enables the run button
        clickLine(w.FlCnt, row);  // deselects it again; the button stays enabled
        QVERIFY(!w.FlCnt->item(row)->isSelected());
        QVERIFY(w.CmdGo->isEnabled());
        QTest::mouseClick(w.CmdGo, Qt::LeftButton);
        QVERIFY(w.runRequested());
        RecordingHost host;
        w.runSelectedCases(host);
        QVERIFY(host.lines.empty());
        QVERIFY(shown.dir.outputFiles("").empty());  // no case folder was made
        QCOMPARE(w.LstInpfile->count(), 0);
    }
};

QTEST_MAIN(FrmCntTest)
#include "frmcnt_test.moc"
