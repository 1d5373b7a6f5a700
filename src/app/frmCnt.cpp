#include "app/frmCnt.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <QFileInfo>
#include <cmath>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>

#include "app/frmWorker.h"
#include "run/RunHost.h"
#include "core/Error.h"
#include "input/FreeField.h"

namespace littoral {

namespace {
double dpiX() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchX() : 96.0;
}
double dpiY() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchY() : 96.0;
}
}  // namespace

void FileListBox::keyPressEvent(QKeyEvent* e) {
    if (frozen_) {  // no key moves or toggles an entry during the runs
        e->accept();
        return;
    }
    const QListWidgetItem* before = currentItem();
    const bool selectedBefore = before && before->isSelected();
    QListWidget::keyPressEvent(e);
    const QListWidgetItem* after = currentItem();
    if (after && (after != before || after->isSelected() != selectedBefore) && keyboardClick) keyboardClick();
}

bool FileListBox::viewportEvent(QEvent* e) {
    switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            if (frozen_) {  // no click selects or deselects an entry during the runs
                e->accept();
                return true;
            }
            break;
        default:
            break;
    }
    return QListWidget::viewportEvent(e);
}

int frmCnt::twipsX(int tw) { return static_cast<int>(std::lround(tw * dpiX() / 1440.0)); }
int frmCnt::twipsY(int tw) { return static_cast<int>(std::lround(tw * dpiY() / 1440.0)); }

frmCnt::frmCnt(const QString& appDir, QWidget* parent) : QWidget(parent), appDir_(appDir) {
    setWindowTitle("Littoral");
    setFixedSize(twipsX(9585), twipsY(4890));
    auto place = [](QWidget* w, int l, int t, int wd, int ht) {
        w->setGeometry(twipsX(l), twipsY(t), twipsX(wd), twipsY(ht));
    };
    FlCnt = new FileListBox(this);
    FlCnt->setObjectName("FlCnt");
    FlCnt->setSelectionMode(QAbstractItemView::MultiSelection);
    place(FlCnt, 120, 120, 3495, 1530);
    CmdGo = new QPushButton(this);
    CmdGo->setObjectName("CmdGo");
    place(CmdGo, 120, 1800, 3495, 375);
    LstCntFile = new QListWidget(this);
    LstCntFile->setObjectName("LstCntFile");
    place(LstCntFile, 120, 2280, 3495, 2400);
    LstInpfile = new QListWidget(this);
    LstInpfile->setObjectName("LstInpfile");
    place(LstInpfile, 3720, 120, 5775, 4560);

    connect(FlCnt, &QListWidget::itemClicked, this, [this] { FlCnt_Click(); });
    FlCnt->keyboardClick = [this] { FlCnt_Click(); };
    connect(LstCntFile, &QListWidget::itemClicked, this, [this] { LstCntFile_Click(); });
    connect(CmdGo, &QPushButton::clicked, this, [this] { CmdGo_Click(); });
    Form_Load();
}

void frmCnt::Form_Load() {
    move(x(), 0);
    folder_ = appDir_ + "/data";
    QDir dir(folder_);
    const QStringList names = dir.entryList({"*cnt.txt"}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    FlCnt->clear();
    FlCnt->addItems(names);
    outBase = (appDir_ + "/output/").toStdString();
    CmdGo->setText("run");
    CmdGo->setEnabled(false);
}

void frmCnt::fillWithFields(QListWidget* list, const QString& path) {
    const QString shown = QFileInfo(path).fileName();
    try {
        FieldReader r(path.toStdString(), shown.toStdString());
        // Read one field at least, then until the end of the file.
        do {
            list->addItem(QString::fromStdString(r.text("a field")));
        } while (!r.atEnd());
    } catch (const StopError&) {
        QFileInfo fi(path);
        if (!fi.exists()) list->addItem(shown + ": the file does not exist");
        else if (!fi.isReadable()) list->addItem(shown + ": the file cannot be read");
        else list->addItem(shown + ": the file is empty");
    }
}

void frmCnt::FlCnt_Click() {
    if (CmdGo->text() != "run") return;
    LstCntFile->clear();
    LstInpfile->clear();
    CmdGo->setEnabled(true);
    QListWidgetItem* cur = FlCnt->currentItem();
    if (!cur) return;
    cntPath = (folder_ + "/" + cur->text()).toStdString();
    dataDir = (folder_ + "/").toStdString();
    fillWithFields(LstCntFile, QString::fromStdString(cntPath));
}

void frmCnt::LstCntFile_Click() {
    LstInpfile->clear();
    QListWidgetItem* cur = LstCntFile->currentItem();
    const QString text = cur ? cur->text() : QString();
    if (text.endsWith(".txt", Qt::CaseSensitive)) {
        QString name = text;
        name.replace('\\', '/');
        fillWithFields(LstInpfile, folder_ + "/" + name);
    } else {
        LstInpfile->addItem("Not InputFlie");
    }
}

void frmCnt::CmdGo_Click() {
    if (CmdGo->text() != "run") return;
    CmdGo->setText("running");
    LstCntFile->clear();
    // The batch is what is selected now: later clicks change neither it nor the list.
    FlCnt->freeze();
    casesToRun_.clear();
    for (int k = 0; k < FlCnt->count(); ++k)
        if (FlCnt->item(k)->isSelected()) casesToRun_ << FlCnt->item(k)->text();
    runRequested_ = true;
    // The cases run outside the window system's dispatch (see main), so that closing the
    // window or a failed case can end the program at once.
    QCoreApplication::exit(0);
}

int frmCnt::runSelectedCases(RunHost& host, const RunOptions& options) {
    RandomState random;  // continues from case to case, whatever becomes of each
    int stopped = 0;
    for (const QString& name : casesToRun_) {
        cntPath = (folder_ + "/" + name).toStdString();
        LstInpfile->clear();
        LstInpfile->addItems(stops_);
        LstInpfile->addItem(name);
        QString message;
        try {
            RunOptions o = options;
            const OptionsFile file = readOptionsFile(cntPath);
            applyOptionsFile(file, o);
            if (file.keepOpen && *file.keepOpen) keepOpenAsked_ = true;
            runCaseOnWorker(cntPath, o, host, [this] { return closed_; }, random);
        } catch (const RunAborted&) {
            throw;
        } catch (const std::bad_alloc&) {
            message = name + ": the memory ran out";
        } catch (const std::exception& e) {
            message = name + ": " + QString::fromStdString(e.what());
        }
        if (message.isEmpty()) continue;
        ++stopped;
        stops_ << "stopped: " + message;
        appendProgress(stops_.back());
        if (showStop) {
            showStop(message);
        } else {
            auto* box = new QMessageBox(QMessageBox::Critical, "Littoral", message, QMessageBox::Ok, this);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->setModal(false);
            box->setWindowModality(Qt::NonModal);
            box->show();
            stopBoxes_ << box;
        }
    }
    return stopped;
}

int frmCnt::openStopBoxes() const {
    int n = 0;
    for (const QPointer<QWidget>& b : stopBoxes_)
        if (b && b->isVisible()) ++n;
    return n;
}

void frmCnt::afterRun(bool keepOpen) {
    if (closed_) return;
    if (keepOpen) CmdGo->setText("done");
    auto done = [&] { return closed_ || (!keepOpen && openStopBoxes() == 0); };
    // The window system's events until then (a timer wakes the wait to look again).
    QTimer tick;
    tick.start(50);
    while (!done()) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void frmCnt::appendProgress(const QString& line) {
    LstInpfile->addItem(line);
    LstInpfile->scrollToBottom();
}

void frmCnt::closeEvent(QCloseEvent* e) {
    closed_ = true;
    e->accept();
    QCoreApplication::exit(0);
}

}  // namespace littoral
