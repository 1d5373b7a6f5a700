#include "plots/frmPictureBox.h"

#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>

#include "plots/frmRender.h"

namespace littoral {

namespace {
const QScreen* screenOf(const QWidget* w) {
    const QScreen* s = w ? w->screen() : nullptr;
    return s ? s : QGuiApplication::primaryScreen();
}
}  // namespace

int frmPictureBox::twipsX(const QWidget* w, int32_t twips) {
    const QScreen* s = screenOf(w);
    return twipsToPixels(twips, s ? s->logicalDotsPerInchX() : 96.0);
}

int frmPictureBox::twipsY(const QWidget* w, int32_t twips) {
    const QScreen* s = screenOf(w);
    return twipsToPixels(twips, s ? s->logicalDotsPerInchY() : 96.0);
}

frmPictureBox::frmPictureBox(QWidget* parent) : QWidget(parent) {
    setObjectName("Picture1");
    setAttribute(Qt::WA_OpaquePaintEvent);  // the image covers the whole box
    image_ = QImage(1, 1, QImage::Format_RGB32);
    image_.fill(Qt::white);
}

void frmPictureBox::setTwipsGeometry(int32_t left, int32_t top, int32_t width, int32_t height) {
    const int w = std::max(twipsX(this, width), 1), h = std::max(twipsY(this, height), 1);
    setGeometry(twipsX(this, left), twipsY(this, top), w, h);
    if (image_.width() != w || image_.height() != h) {
        image_ = QImage(w, h, QImage::Format_RGB32);
        image_.fill(Qt::white);
    }
    update();
}

void applyFormSize(QWidget* window, int32_t xtop, int32_t ytop, int32_t xlength, int32_t ylength) {
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    const int top = frmPictureBox::twipsY(window, ytop), left = frmPictureBox::twipsX(window, xtop);
    const int height = frmPictureBox::twipsY(window, ylength + 420), width = frmPictureBox::twipsX(window, xlength + 160);
    window->move(left, top);
    window->resize(std::max(width - frame.width(), 1), std::max(height - frame.height(), 1));
}

PlotWindow::PlotWindow(const char* name, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(name);
    setWindowTitle("Form1");
    setAttribute(Qt::WA_QuitOnClose, false);
    Picture1 = new frmPictureBox(this);
}

void PlotWindow::FormSize(int32_t xtop, int32_t ytop, int32_t xlength, int32_t ylength) {
    form_ = {xtop, ytop, xlength, ylength};
    applyFormSize(this, xtop, ytop, xlength, ylength);
}

void PlotWindow::placePicture(int32_t left, int32_t top, int32_t width, int32_t height) {
    picture_ = {left, top, width, height};
    Picture1->setTwipsGeometry(left, top, width, height);
}

void PlotWindow::showEvent(QShowEvent* e) {
    if (!shownOnce_) {
        shownOnce_ = true;
        applyFormSize(this, form_.left, form_.top, form_.width, form_.height);
    }
    QWidget::showEvent(e);
}

void frmPictureBox::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    p.fillRect(e->rect(), Qt::white);
    p.drawImage(e->rect().topLeft(), image_, e->rect());
}

}  // namespace littoral
