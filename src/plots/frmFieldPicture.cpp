#include "plots/frmFieldPicture.h"

#include <QBuffer>
#include <QByteArray>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "core/Error.h"
#include "output/RecordWriter.h"

namespace littoral {

namespace {

constexpr int kTargetPlot = 400;   // pixels across the field of a small grid
constexpr int kMaxPlot = 1600;     // pixels along the field's longer side at most
constexpr int kMinWidth = 480;
constexpr int kLeft = 72, kTop = 56, kBottom = 48, kBarGap = 20, kBarWidth = 20, kBarLabels = 84;
constexpr int kMinBarHeight = 160;

QRgb qrgb(const Rgb& c) { return qRgb(c.r, c.g, c.b); }

// A tick step of 1, 2 or 5 times a power of ten giving about `count` steps over span.
double niceStep(double span, int count) {
    if (!(span > 0)) return 1;
    const double raw = span / std::max(count, 1);
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (raw <= m * p) return m * p;
    return 10 * p;
}

QString number(double v) {
    if (std::fabs(v) < 1e-12) v = 0;
    return QString::number(v, 'g', 6);
}

Rgb mix(const Rgb& a, const Rgb& b, double t) {
    auto c = [t](uint8_t x, uint8_t y) {
        return static_cast<uint8_t>(std::lround(static_cast<double>(x) + (static_cast<double>(y) - x) * t));
    };
    return Rgb{c(a.r, b.r), c(a.g, b.g), c(a.b, b.b)};
}

}  // namespace

QPoint PictureLayout::cellCentre(int i, int j) const {
    if (cellsPerPixel > 1) return QPoint(plot.left() + i / cellsPerPixel, plot.bottom() - j / cellsPerPixel);
    return QPoint(plot.left() + i * cellPixels + cellPixels / 2, plot.bottom() - j * cellPixels - cellPixels / 2);
}

void PictureLayout::cellAt(QPoint p, int& i, int& j) const {
    const int x = p.x() - plot.left(), y = plot.bottom() - p.y();
    if (cellsPerPixel > 1) {
        i = x * cellsPerPixel;
        j = y * cellsPerPixel;
    } else {
        i = x / cellPixels;
        j = y / cellPixels;
    }
}

PictureLayout pictureLayout(int nx, int ny) {
    PictureLayout l;
    l.nx = std::max(nx, 1);
    l.ny = std::max(ny, 1);
    const int longer = std::max(l.nx, l.ny);
    int plotW, plotH;
    if (longer > kMaxPlot) {
        l.cellsPerPixel = (longer + kMaxPlot - 1) / kMaxPlot;
        plotW = (l.nx + l.cellsPerPixel - 1) / l.cellsPerPixel;
        plotH = (l.ny + l.cellsPerPixel - 1) / l.cellsPerPixel;
    } else {
        l.cellPixels = std::max(1, std::min((kTargetPlot + l.nx - 1) / l.nx, kMaxPlot / l.ny));
        plotW = l.nx * l.cellPixels;
        plotH = l.ny * l.cellPixels;
    }
    const int barH = std::max(plotH, kMinBarHeight);
    const int body = std::max(plotH, barH);
    l.plot = QRect(kLeft, kTop + (body - plotH), plotW, plotH);
    l.bar = QRect(kLeft + plotW + kBarGap, kTop + (body - barH), kBarWidth, barH);
    l.width = std::max(kMinWidth, l.bar.right() + 1 + kBarLabels);
    l.height = kTop + body + kBottom;
    return l;
}

int arrowSpacing(const PictureLayout& l) {
    constexpr int kPixelsBetween = 28;
    if (l.cellsPerPixel > 1) return kPixelsBetween * l.cellsPerPixel;
    return std::max(1, (kPixelsBetween + l.cellPixels - 1) / l.cellPixels);
}

Rgb sequentialColour(float lo, float hi, float v) {
    static constexpr Rgb stops[] = {{48, 18, 120}, {40, 96, 170}, {30, 160, 150}, {120, 200, 80}, {250, 225, 40}};
    double t = hi > lo ? (static_cast<double>(v) - lo) / (static_cast<double>(hi) - lo) : 0.0;
    if (!(t > 0)) t = 0;  // also NaN
    if (t > 1) t = 1;
    const double x = t * 4;
    const int k = std::min(static_cast<int>(x), 3);
    return mix(stops[k], stops[k + 1], x - k);
}

Rgb divergingColour(float span, float v) {
    static constexpr Rgb red{200, 30, 30}, white{255, 255, 255}, blue{30, 60, 200};
    if (!(span > 0) || !std::isfinite(v)) return white;
    const double t = std::clamp(static_cast<double>(v) / span, -1.0, 1.0);
    return t < 0 ? mix(white, red, -t) : mix(white, blue, t);
}

void ensurePictureApplication() {
    static std::mutex lock;
    const std::lock_guard<std::mutex> hold(lock);
    if (QCoreApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "littoral";
    static char* argv[] = {name, nullptr};
    // Lives as long as the program: the painter's fonts belong to it. Its notes on the
    // environment of a desktop session (no runtime folder on a server) are not the user's
    // concern and stay off the program's error output.
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    new QGuiApplication(argc, argv);
    qInstallMessageHandler(previous);
}

QImage drawFieldPicture(const FieldPicture& p, PictureLayout* layoutOut) {
    const PictureLayout l = pictureLayout(p.nx, p.ny);
    if (layoutOut) *layoutOut = l;
    QImage img(l.width, l.height, QImage::Format_RGB32);
    if (img.isNull())
        throw StopError("a picture of " + std::to_string(l.width) + " x " + std::to_string(l.height) +
                        " pixels cannot be allocated (the memory ran out)");
    img.fill(Qt::white);

    // The cells, pixel by pixel.
    for (int y = l.plot.top(); y <= l.plot.bottom(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = l.plot.left(); x <= l.plot.right(); ++x) {
            int i, j;
            l.cellAt(QPoint(x, y), i, j);
            line[x] = qrgb(p.colour(std::min(i, p.nx - 1), std::min(j, p.ny - 1)));
        }
    }
    // The colour bar: row by row from hi (top) to lo (bottom).
    const int barRows = l.bar.height();
    for (int r = 0; r < barRows; ++r) {
        const double t = barRows > 1 ? static_cast<double>(r) / (barRows - 1) : 0.0;
        const float v = static_cast<float>(static_cast<double>(p.hi) - (static_cast<double>(p.hi) - p.lo) * t);
        const QRgb c = qrgb(p.barColour(r == 0 ? p.hi : (r == barRows - 1 ? p.lo : v)));
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(l.bar.top() + r));
        for (int x = l.bar.left(); x <= l.bar.right(); ++x) line[x] = c;
    }

    QPainter painter(&img);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    const QFontMetrics fm(font);

    if (p.arrow) {
        const int every = p.arrowEvery > 0 ? p.arrowEvery : arrowSpacing(l);
        const double longest = l.cellsPerPixel > 1 ? static_cast<double>(every) / l.cellsPerPixel
                                                   : static_cast<double>(every) * l.cellPixels;
        float vmax = 0;
        for (int j = every / 2; j < p.ny; j += every)
            for (int i = every / 2; i < p.nx; i += every) {
                float u, v;
                if (p.arrow(i, j, u, v)) vmax = std::max(vmax, std::hypot(u, v));
            }
        painter.setPen(QPen(Qt::black, 1.2));
        painter.setBrush(Qt::black);
        for (int j = every / 2; j < p.ny && vmax > 0; j += every)
            for (int i = every / 2; i < p.nx; i += every) {
                float u, v;
                if (!p.arrow(i, j, u, v)) continue;
                const double s = std::hypot(u, v);
                if (!(s > 0.02 * vmax)) continue;
                const double len = 0.9 * longest * s / vmax;
                const double ex = u / s, ey = -v / s;  // y downwards on the picture
                const QPointF c = l.cellCentre(i, j);
                const QPointF a = c - QPointF(ex, ey) * (len / 2), b = c + QPointF(ex, ey) * (len / 2);
                painter.drawLine(a, b);
                const double head = std::min(5.0, len * 0.4);
                const QPointF side(-ey * head * 0.5, ex * head * 0.5);
                const QPointF back = b - QPointF(ex, ey) * head;
                const QPointF tri[3] = {b, back + side, back - side};
                painter.drawPolygon(tri, 3);
            }
        painter.setBrush(Qt::NoBrush);
    }

    // The frames of the field and the bar.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(l.plot.adjusted(-1, -1, 0, 0));
    painter.drawRect(l.bar.adjusted(-1, -1, 0, 0));
    painter.setRenderHint(QPainter::Antialiasing, true);

    // Title.
    painter.drawText(QRect(8, 4, l.width - 16, 22), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromStdString(p.title));

    // Axes in metres from the south-west corner of the first interior cell.
    const double lenX = p.nx * p.dx, lenY = p.ny * p.dy;
    const double pxPerMx = l.plot.width() / lenX, pxPerMy = l.plot.height() / lenY;
    const double stepX = niceStep(lenX, std::max(2, l.plot.width() / 90));
    const double stepY = niceStep(lenY, std::max(2, l.plot.height() / 60));
    for (double x = 0; x <= lenX * (1 + 1e-9); x += stepX) {
        const int px = l.plot.left() + static_cast<int>(std::lround(x * pxPerMx));
        painter.drawLine(px, l.plot.bottom() + 1, px, l.plot.bottom() + 5);
        const QString t = number(x);
        painter.drawText(QRect(px - 40, l.plot.bottom() + 6, 80, fm.height()), Qt::AlignHCenter | Qt::AlignTop, t);
    }
    for (double y = 0; y <= lenY * (1 + 1e-9); y += stepY) {
        const int py = l.plot.bottom() - static_cast<int>(std::lround(y * pxPerMy));
        painter.drawLine(l.plot.left() - 6, py, l.plot.left() - 2, py);
        painter.drawText(QRect(0, py - fm.height() / 2, l.plot.left() - 8, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                         number(y));
    }
    painter.drawText(QRect(l.plot.left(), l.plot.bottom() + 8 + fm.height(), l.plot.width(), fm.height()),
                     Qt::AlignHCenter, "x (m)");
    painter.save();
    painter.translate(12, l.plot.center().y());
    painter.rotate(-90);
    painter.drawText(QRect(-60, -8, 120, fm.height()), Qt::AlignHCenter, "y (m)");
    painter.restore();

    // The colour bar's labels: its ends and the unit.
    const int labelX = l.bar.right() + 6;
    painter.drawText(QRect(labelX, l.bar.top() - fm.height() / 2, kBarLabels, fm.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     number(p.hi));
    painter.drawText(QRect(labelX, l.bar.bottom() - fm.height() / 2, kBarLabels, fm.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, number(p.lo));
    if (p.lo < 0 && p.hi > 0) {
        // Zero, where the scale changes sign (placed by the bar's own rows).
        const double t = static_cast<double>(p.hi) / (static_cast<double>(p.hi) - p.lo);
        const int zy = l.bar.top() + static_cast<int>(std::lround(t * (l.bar.height() - 1)));
        if (zy - l.bar.top() > fm.height() && l.bar.bottom() - zy > fm.height())
            painter.drawText(QRect(labelX, zy - fm.height() / 2, kBarLabels, fm.height()),
                             Qt::AlignLeft | Qt::AlignVCenter, "0");
        painter.drawLine(l.bar.right() + 1, zy, l.bar.right() + 4, zy);
    }
    painter.drawText(QRect(l.bar.left() - 4, l.bar.top() - fm.height() - 10, kBarLabels, fm.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(p.unit));
    if (!p.arrowNote.empty())
        painter.drawText(QRect(l.bar.left() - 10, l.bar.bottom() + 8, l.width - l.bar.left() + 8, 2 * fm.height()),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, QString::fromStdString(p.arrowNote));
    painter.end();
    return img;
}

void writePicture(const QImage& picture, const std::string& title, const std::string& path) {
    QImage img = picture;
    img.setText("Title", QString::fromStdString(title));
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !img.save(&buffer, "PNG"))
        throw StopError(path + ": the picture could not be encoded as PNG");
    writeFileReplacing(path, png.constData(), static_cast<size_t>(png.size()));
}

}  // namespace littoral
