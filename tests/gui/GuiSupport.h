// Helpers of the window tests: a model with a grid and its cell flags, the colour of the
// pixel that a user point falls on, and the lines of a list and clicks on them.
#pragma once

#include <QColor>
#include <QImage>
#include <QListWidget>
#include <QtTest>
#include <cmath>

#include "core/Model.h"
#include "plots/ColourScale.h"
#include "plots/frmRender.h"

namespace littoral::test {

// A model with grid ixS..ixE by jyS..jyE: cellFlag, eta, etaS, uS, vS allocated (zeros).
inline void makeGrid(Model& m, int ixS, int ixE, int jyS, int jyE) {
    m.ixStart = ixS;
    m.ixEnd = ixE;
    m.jyStart = jyS;
    m.jyEnd = jyE;
    m.allocGrid(m.cellFlag);
    for (Grid* g : {&m.eta, &m.etaS, &m.uS, &m.vS}) m.allocGrid(*g);
}

// Pixel of the user point (x, y) on a picture of scale s.
inline QPoint pixelAt(const QImage& img, const PictureScale& s, double x, double y) {
    return QPoint(static_cast<int>(std::floor((x - s.left) * img.width() / s.width + 1e-9)),
                  static_cast<int>(std::floor((y - s.top) * img.height() / s.height + 1e-9)));
}

inline Rgb rgbAt(const QImage& img, QPoint p) {
    const QRgb c = img.pixel(p);
    return Rgb{static_cast<uint8_t>(qRed(c)), static_cast<uint8_t>(qGreen(c)), static_cast<uint8_t>(qBlue(c))};
}

inline Rgb rgbAt(const QImage& img, const PictureScale& s, double x, double y) {
    return rgbAt(img, pixelAt(img, s, x, y));
}

// The texts of a list's lines.
inline QStringList lines(const QListWidget* l) {
    QStringList r;
    for (int k = 0; k < l->count(); ++k) r << l->item(k)->text();
    return r;
}

// Row of the first line with the text; -1 if none.
inline int rowOf(const QListWidget* list, const QString& text) {
    for (int k = 0; k < list->count(); ++k)
        if (list->item(k)->text() == text) return k;
    return -1;
}

// A click on a line of a list, by row or by its text.
inline void clickLine(QListWidget* list, int row) {
    QListWidgetItem* item = list->item(row);
    QVERIFY2(item, qPrintable("no line " + QString::number(row)));
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}
inline void clickLine(QListWidget* list, const QString& text) {
    QVERIFY2(rowOf(list, text) >= 0, qPrintable("no line " + text));
    clickLine(list, rowOf(list, text));
}

}  // namespace littoral::test
