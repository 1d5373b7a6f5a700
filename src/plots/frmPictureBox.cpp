#include "plots/frmPictureBox.h"

#include <QGuiApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <QToolTip>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace littoral {

namespace {
const QScreen* screenOf(const QWidget* w) {
    const QScreen* s = w ? w->screen() : nullptr;
    return s ? s : QGuiApplication::primaryScreen();
}

// Six significant digits: the digits a single-precision value holds for sure.
QString number(double v) { return QString::number(v, 'g', 6); }

// The colour scale in words: which value is white, red and blue.
QString rangeText(const ScaleRange& r) {
    if (r.lo > r.hi) return "nothing drawn yet";
    const QString lo = number(r.lo) + " m", hi = number(r.hi) + " m";
    if (static_cast<float>(static_cast<double>(r.hi) * r.lo) >= 0.0f) {
        if (r.lo < 0.0f) return "colours: " + lo + " red to " + hi + " white";
        return "colours: " + lo + " white to " + hi + " blue";
    }
    return "colours: " + lo + " red, 0 white, " + hi + " blue";
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
    setMouseTracking(true);                 // the hover text follows the pointer
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

void frmPictureBox::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    if (size() == image_.size()) {
        p.drawImage(e->rect().topLeft(), image_, e->rect());
    } else {
        // Enlarged (or shrunk) with the window: nearest pixel, so the colours stay as drawn.
        p.drawImage(rect(), image_);
    }
}

namespace {
// The index whose dot covers the picture pixel p most nearly: a dot is centred on the pixel
// floor((k - origin)·perUnit), and of two equally near the one drawn later (the higher
// index) is on top.
int32_t nearestIndex(int p, double origin, double perUnit) {
    const auto at = [&](int32_t k) { return static_cast<int>(std::floor((k - origin) * perUnit + 1e-9)); };
    const auto guess = static_cast<int32_t>(std::floor(origin + (p + 0.5) / perUnit));
    int32_t best = guess;
    for (int32_t k = guess - 2; k <= guess + 2; ++k)
        if (std::abs(at(k) - p) <= std::abs(at(best) - p)) best = k;
    return best;
}
}  // namespace

bool frmPictureBox::cellAt(QPoint p, int32_t& i, int32_t& j) const {
    const PlotReading& r = reading_;
    if (!r.valid || width() <= 0 || height() <= 0 || r.scale.width == 0 || r.scale.height == 0) return false;
    if (p.x() < 0 || p.y() < 0 || p.x() >= width() || p.y() >= height()) return false;
    // The picture's pixel under p (the box may show the picture enlarged).
    const int col = static_cast<int>(std::floor((p.x() + 0.5) * image_.width() / width()));
    const int row = static_cast<int>(std::floor((p.y() + 0.5) * image_.height() / height()));
    i = nearestIndex(col, r.scale.left, image_.width() / r.scale.width);
    j = nearestIndex(row, r.scale.top, image_.height() / r.scale.height);
    return r.field.holds(i, j);
}

QString frmPictureBox::hoverText(QPoint p) const {
    const PlotReading& r = reading_;
    if (!r.valid) return QString();
    QString t;
    int32_t i = 0, j = 0;
    if (cellAt(p, i, j)) {
        const size_t k = r.field.index(i, j);
        t = QString("cell i = %1, j = %2\nx = %3 m, y = %4 m\n%5 = %6 m%7\n")
                .arg(i)
                .arg(j)
                .arg(number((i - 1) * r.dx))
                .arg(number((j - 1) * r.dy))
                .arg(r.quantity)
                .arg(number(r.field.values[k]))
                .arg(r.field.land[k] ? " (land: grey)" : "");
    }
    return t + rangeText(r.field.range);
}

bool frmPictureBox::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        const auto* h = static_cast<QHelpEvent*>(e);
        const QString t = hoverText(h->pos());
        if (t.isEmpty()) QToolTip::hideText();
        else QToolTip::showText(h->globalPos(), t, this);
        return true;
    }
    if (e->type() == QEvent::MouseMove && QToolTip::isVisible()) {
        const auto* m = static_cast<QMouseEvent*>(e);
        QToolTip::showText(m->globalPosition().toPoint(), hoverText(m->position().toPoint()), this);
    }
    return QWidget::event(e);
}

frmPlotLegend::frmPlotLegend(const frmPictureBox* box, QWidget* parent) : QWidget(parent), box_(box) {
    setObjectName("legend");
    hide();
}

void frmPlotLegend::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const PlotReading& r = box_->reading();
    const QFontMetrics fm = p.fontMetrics();
    const int margin = 8;
    const QRect bar(margin, 4, width() - 2 * margin, 14);
    if (!r.valid || r.field.range.lo > r.field.range.hi || bar.width() < 2) {
        p.drawText(rect(), Qt::AlignCenter, "nothing drawn yet");
        return;
    }
    const ScaleRange& range = r.field.range;
    const double lo = range.lo, hi = range.hi;
    for (int x = 0; x < bar.width(); ++x) {
        const float v = static_cast<float>(lo + (hi - lo) * x / (bar.width() - 1));
        const Rgb c = range.colour(v);
        p.setPen(QColor(c.r, c.g, c.b));
        p.drawLine(bar.left() + x, bar.top(), bar.left() + x, bar.bottom());
    }
    p.setPen(Qt::black);
    const int textTop = bar.bottom() + 4;
    const QRect text(margin, textTop, bar.width(), fm.height());
    p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, number(lo) + " m");
    p.drawText(text, Qt::AlignRight | Qt::AlignVCenter, number(hi) + " m");
    const QString middle = r.quantity + ";  land grey";
    if (lo < 0 && hi > 0) {
        const int x0 = bar.left() + static_cast<int>(std::lround(-lo / (hi - lo) * (bar.width() - 1)));
        p.drawLine(x0, bar.bottom(), x0, bar.bottom() + 3);
        const QRect zero(x0 - 20, textTop, 40, fm.height());
        p.drawText(zero, Qt::AlignCenter, "0");
    } else {
        p.drawText(text, Qt::AlignHCenter | Qt::AlignVCenter, middle);
    }
}

PlotWindow::PlotWindow(const char* name, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(name);
    setWindowTitle("Form1");
    setAttribute(Qt::WA_QuitOnClose, false);
    Picture1 = new frmPictureBox(this);
    legend = new frmPlotLegend(Picture1, this);
}

void PlotWindow::FormSize(int32_t xtop, int32_t ytop, int32_t xlength, int32_t ylength) {
    form_ = {xtop, ytop, xlength, ylength};
    formSet_ = true;
    applyFormSize();
}

// Left xtop, top ytop, height ylength + 420 and width xlength + 160 twips, frame and title
// bar included (the additions hold them around a picture of xlength x ylength): the
// client area is what the frame known now leaves of that.
void PlotWindow::applyFormSize() {
    const QWindow* handle = windowHandle();
    const QMargins frame = handle ? handle->frameMargins() : QMargins();
    const int top = frmPictureBox::twipsY(this, form_.top), left = frmPictureBox::twipsX(this, form_.left);
    const int height = frmPictureBox::twipsY(this, form_.height + 420);
    const int width = frmPictureBox::twipsX(this, form_.width + 160);
    frameApplied_ = frame;
    clientApplied_ = QSize(std::max(width - frame.left() - frame.right(), 1),
                           std::max(height - frame.top() - frame.bottom(), 1));
    resize(clientApplied_);
    if (QWindow* h = windowHandle(); h && isVisible()) h->setFramePosition(QPoint(left, top));
    else move(left, top);
}

// The window manager puts its frame round the window after it is shown, and tells its
// size later still: once it is known (or changes), the window is fitted again, unless the
// user has resized it in the meantime.
void PlotWindow::fitToFrame() {
    const QWindow* handle = windowHandle();
    if (!formSet_ || !handle || !isVisible()) return;
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)) return;
    const QMargins frame = handle->frameMargins();
    if (frame == frameApplied_) return;
    if (size() != clientApplied_) {  // the user's size: keep it
        frameApplied_ = frame;
        return;
    }
    applyFormSize();
}

bool PlotWindow::event(QEvent* e) {
    const bool handled = QWidget::event(e);
    switch (e->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowActivate:
        case QEvent::WindowStateChange:
        case QEvent::UpdateRequest:
            fitToFrame();
            break;
        default:
            break;
    }
    return handled;
}

void PlotWindow::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    layoutPicture();
}

void PlotWindow::placePicture(int32_t left, int32_t top, int32_t width, int32_t height) {
    picture_ = {left, top, width, height};
    Picture1->setTwipsGeometry(left, top, width, height);
    layoutPicture();
}

// At the size FormSize gave (or smaller) the picture sits where PictureSize put it, pixel
// for pixel. In a larger window it scales to the room left above the legend, keeping
// its proportions.
void PlotWindow::layoutPicture() {
    const QSize pic = Picture1->picture().size();
    const QPoint at(frmPictureBox::twipsX(this, picture_.left), frmPictureBox::twipsY(this, picture_.top));
    const QSize client = size();
    const bool enlarged =
        formSet_ && (client.width() > clientApplied_.width() || client.height() > clientApplied_.height());
    if (!enlarged || pic.width() <= 1 || pic.height() <= 1) {
        Picture1->setGeometry(QRect(at, pic));
        legend->hide();
        return;
    }
    const int h = frmPlotLegend::kHeight;
    legend->setGeometry(0, client.height() - h, client.width(), h);
    legend->show();
    const double s = std::max(std::min(double(client.width() - at.x()) / pic.width(),
                                       double(client.height() - h - at.y()) / pic.height()),
                              0.25);
    Picture1->setGeometry(at.x(), at.y(), static_cast<int>(std::lround(pic.width() * s)),
                          static_cast<int>(std::lround(pic.height() * s)));
}

void PlotWindow::showDrawing(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
    Picture1->update();
    if (legend->isVisible()) legend->update();
}

}  // namespace littoral
