// The start-up window: lists the case control files of the data folder, shows the fields
// of a clicked control file and of the input file chosen from it, and runs the selected
// cases one after another. The caption of CmdGo is the window's state: "run" when idle,
// "running" once the cases have been started; there is no way back.
#pragma once

#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <string>

#include "littoral/littoral.h"

namespace littoral {

struct RunHost;

// The file list box FlCnt: several entries selectable at once. Selecting with the keyboard
// (the arrows move to an entry, space toggles it) reports itself as a click does. Once
// frozen, clicks and keys leave the selection and the current entry as they are.
class FileListBox : public QListWidget {
public:
    using QListWidget::QListWidget;
    // Called after a key has moved the current entry or toggled its selection.
    std::function<void()> keyboardClick;
    void freeze() { frozen_ = true; }
    bool frozen() const { return frozen_; }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    bool viewportEvent(QEvent* e) override;

private:
    bool frozen_ = false;
};

class frmCnt : public QWidget {
    Q_OBJECT
public:
    // appDir: the application folder (holds "data" and "output").
    explicit frmCnt(const QString& appDir, QWidget* parent = nullptr);

    // Controls, by their names in the program.
    FileListBox* FlCnt;
    QPushButton* CmdGo;
    QListWidget* LstCntFile;
    QListWidget* LstInpfile;

    // The handlers of the window's events.
    void Form_Load();
    void FlCnt_Click();
    void LstCntFile_Click();
    void CmdGo_Click();

    // The folder that FlCnt shows, and the program-wide paths set from it.
    QString flCntFolder() const { return folder_; }
    std::string cntPath, dataDir, outBase;

    // True once CmdGo was pressed in the "run" state: the caller then runs the cases.
    bool runRequested() const { return runRequested_; }
    // True once the user has closed the window.
    bool closed() const { return closed_; }
    // Runs the entries of FlCnt that were selected when CmdGo was pressed, in list order,
    // each with `options` and what its options file sets, on a worker thread (`host` is
    // called on this thread); the random sequence of the irregular heights continues from
    // case to case. A case that stops shows its message (in the progress list and through
    // showStop) and the run goes on with the next; closing the window ends it (RunAborted).
    // The selection is frozen from that press on. Returns the number of cases that stopped.
    int runSelectedCases(RunHost& host, const RunOptions& options = {});
    // Shows the message of a case that stopped; by default a message box that stays open
    // beside the windows while the next cases run, until the user closes it.
    std::function<void(const QString& message)> showStop;
    // The message boxes of stopped cases still open.
    int openStopBoxes() const;
    // After the last case: with keepOpen, the windows stay until the user closes this
    // window (the run button reads "done"); else until the open message boxes of stopped
    // cases are closed (at once when there are none).
    void afterRun(bool keepOpen);
    // True when the options file of a case that ran sets [desktop] keep_open = true.
    bool keepOpenAsked() const { return keepOpenAsked_; }
    // The file names of those entries.
    const QStringList& casesToRun() const { return casesToRun_; }

    // Appends a line to LstInpfile and keeps it in view.
    void appendProgress(const QString& line);

    // Converts twips to pixels with the screen's logical resolution.
    static int twipsX(int tw);
    static int twipsY(int tw);

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void fillWithFields(QListWidget* list, const QString& path);
    QString folder_;
    QString appDir_;
    QStringList casesToRun_;
    QStringList stops_;
    QList<QPointer<QWidget>> stopBoxes_;  // the messages of the cases that stopped, kept in the progress list
    bool runRequested_ = false;
    bool keepOpenAsked_ = false;
    bool closed_ = false;
};

}  // namespace littoral
