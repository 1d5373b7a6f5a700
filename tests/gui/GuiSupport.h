// Helpers of the window tests: a model with a grid and its cell flags, and the colour of
// the pixel that a user point falls on.
#pragma once

#include <QColor>
#include <QImage>
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

}  // namespace littoral::test
