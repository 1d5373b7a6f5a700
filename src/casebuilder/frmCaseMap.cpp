// The case's map drawn with Qt's image classes (no window, no display, no text: the report
// gives the legend).
#include "casebuilder/CaseMap.h"

#include <cmath>
#include <cstdio>

#ifdef LITTORAL_CASE_PICTURES
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#endif

namespace littoral::casebuilder {

#ifdef LITTORAL_CASE_PICTURES
namespace {

// Land in greens and browns above the datum, water in blues getting darker with depth.
QRgb colourOf(float e, float low, float high) {
    if (std::isnan(e)) return qRgb(235, 235, 235);
    if (e >= 0) {
        const double t = high > 0 ? std::min(1.0, e / static_cast<double>(high)) : 0.0;
        return qRgb(static_cast<int>(150 + 70 * t), static_cast<int>(190 - 40 * t), static_cast<int>(120 - 30 * t));
    }
    const double t = low < 0 ? std::min(1.0, e / static_cast<double>(low)) : 0.0;
    return qRgb(static_cast<int>(190 - 160 * t), static_cast<int>(225 - 150 * t), static_cast<int>(250 - 90 * t));
}

}  // namespace
#endif

bool writeCaseMap(const CaseMapPicture& p, const std::string& path) {
#ifdef LITTORAL_CASE_PICTURES
    const int width = 900;
    const double spanX = p.xMax - p.xMin, spanY = p.yMax - p.yMin;
    if (!(spanX > 0) || !(spanY > 0)) return false;
    const int height = std::max(100, std::min(2400, static_cast<int>(std::lround(width * spanY / spanX))));
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(qRgb(255, 255, 255));
    auto px = [&](const MapPoint& m) {
        return QPointF((m.x - p.xMin) / spanX * width, (p.yMax - m.y) / spanY * height);
    };
    // The survey: each picture pixel takes the raster cell beneath it.
    if (p.cols > 0 && p.rows > 0) {
        float low = 0, high = 0;
        for (float e : p.elevation)
            if (!std::isnan(e)) {
                low = std::min(low, e);
                high = std::max(high, e);
            }
        for (int r = 0; r < height; ++r) {
            const int sr = std::min(p.rows - 1, r * p.rows / height);
            auto* line = reinterpret_cast<QRgb*>(img.scanLine(r));
            for (int c = 0; c < width; ++c) {
                const int sc = std::min(p.cols - 1, c * p.cols / width);
                line[c] = colourOf(p.elevation[static_cast<size_t>(sr) * p.cols + sc], low, high);
            }
        }
    }
    QPainter g(&img);
    g.setRenderHint(QPainter::Antialiasing, true);
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(60, 60, 60));
    for (const MapPoint& s : p.soundings) g.drawEllipse(px(s), 1.0, 1.0);
    g.setBrush(Qt::NoBrush);
    g.setPen(QPen(QColor(120, 0, 0, 90), 0.6));
    for (const auto& l : p.cellLines) g.drawLine(px(l.first), px(l.second));
    QPainterPath outline;
    outline.moveTo(px(p.corners[0]));
    for (int k = 1; k < 4; ++k) outline.lineTo(px(p.corners[k]));
    outline.closeSubpath();
    g.setPen(QPen(QColor(200, 0, 0), 2.0));
    g.drawPath(outline);
    if (p.shoreline.size() == 2) {
        g.setPen(QPen(QColor(245, 130, 0), 3.0, Qt::DashLine, Qt::FlatCap));
        g.drawLine(px(p.shoreline[0]), px(p.shoreline[1]));
    }
    g.setPen(QPen(QColor(0, 60, 220), 6.0, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(px(p.offshore[0]), px(p.offshore[1]));
    g.setPen(QPen(QColor(220, 0, 0), 2.0));
    g.drawEllipse(px(p.phasePoint), 6.0, 6.0);
    g.setPen(QPen(Qt::black, 2.5));
    for (const MapPoint& m : p.gauges) {
        const QPointF c = px(m);
        g.drawLine(c + QPointF(-6, -6), c + QPointF(6, 6));
        g.drawLine(c + QPointF(-6, 6), c + QPointF(6, -6));
    }
    // North arrow in the upper right corner.
    g.setPen(QPen(Qt::black, 2.0));
    g.drawLine(QPointF(width - 25, 60), QPointF(width - 25, 20));
    g.drawLine(QPointF(width - 25, 20), QPointF(width - 32, 32));
    g.drawLine(QPointF(width - 25, 20), QPointF(width - 18, 32));
    g.end();
    const std::string tmp = path + ".part";
    if (!img.save(QString::fromStdString(tmp), "PNG")) return false;
    return std::rename(tmp.c_str(), path.c_str()) == 0;
#else
    (void)p;
    (void)path;
    return false;
#endif
}

}  // namespace littoral::casebuilder
