#include "plots/frmRender.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "core/Error.h"
#include "core/Model.h"
#include "core/Numeric.h"
#include "output/RecordWriter.h"
#include "plots/frmFieldPicture.h"

namespace littoral {

namespace {

constexpr int kTwipsPerCell = 20;
constexpr int kLandFlag = 15;

// The pixels of a picture, written directly (no painter: cheap and headless).
class PixelCanvas {
public:
    PixelCanvas(QImage& img, const PictureScale& s)
        : w_(img.width()), h_(img.height()), bits_(img.bits()), bpl_(img.bytesPerLine()),
          sx_(s.width != 0 ? w_ / s.width : 0.0), sy_(s.height != 0 ? h_ / s.height : 0.0), left_(s.left),
          top_(s.top) {}

    // Pixel column and row of the user point (x, y).
    int column(double x) const { return static_cast<int>(std::floor((x - left_) * sx_ + 1e-9)); }
    int row(double y) const { return static_cast<int>(std::floor((y - top_) * sy_ + 1e-9)); }

    void fillRect(int x0, int y0, int x1, int y1, uint32_t c) {  // inclusive corners
        x0 = std::max(x0, 0);
        y0 = std::max(y0, 0);
        x1 = std::min(x1, w_ - 1);
        y1 = std::min(y1, h_ - 1);
        for (int y = y0; y <= y1; ++y) {
            uint32_t* line = reinterpret_cast<uint32_t*>(bits_ + static_cast<std::ptrdiff_t>(y) * bpl_);
            for (int x = x0; x <= x1; ++x) line[x] = c;
        }
    }
    // A point of pen width pw centred on the user point (x, y).
    void point(double x, double y, int pw, uint32_t c) {
        const int cx = column(x), cy = row(y);
        fillRect(cx - (pw - 1) / 2, cy - (pw - 1) / 2, cx + pw / 2, cy + pw / 2, c);
    }
    // The outline of the box with user corners (x1, y1) and (x2, y2), pen width pw.
    void box(double x1, double y1, double x2, double y2, int pw, uint32_t c) {
        int c1 = column(x1), c2 = column(x2), r1 = row(y1), r2 = row(y2);
        if (c1 > c2) std::swap(c1, c2);
        if (r1 > r2) std::swap(r1, r2);
        const int a = (pw - 1) / 2, b = pw / 2;
        fillRect(c1 - a, r1 - a, c2 + b, r1 + b, c);  // top edge
        fillRect(c1 - a, r2 - a, c2 + b, r2 + b, c);  // bottom edge
        fillRect(c1 - a, r1 - a, c1 + b, r2 + b, c);  // left edge
        fillRect(c2 - a, r1 - a, c2 + b, r2 + b, c);  // right edge
    }

private:
    int w_, h_;
    uchar* bits_;
    qsizetype bpl_;
    double sx_, sy_, left_, top_;
};

uint32_t argb(const Rgb& c) { return 0xff000000u | (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | uint32_t(c.b); }

void requireCovers(const Grid& g, int32_t i0, int32_t i1, int32_t j0, int32_t j1, const std::string& what) {
    if (g.empty() || g.iLo() > i0 || g.iHi() < i1 || g.jLo() > j0 || g.jHi() < j1)
        throw StopError(what + ": the grid to draw covers i = " + std::to_string(g.iLo()) + " to " +
                        std::to_string(g.iHi()) + ", j = " + std::to_string(g.jLo()) + " to " +
                        std::to_string(g.jHi()) + ": expected at least i = " + std::to_string(i0) + " to " +
                        std::to_string(i1) + ", j = " + std::to_string(j0) + " to " + std::to_string(j1));
}

void requireFlags(const Model& m, int32_t i0, int32_t i1, int32_t j0, int32_t j1, const std::string& what) {
    const IntGrid& f = m.flagsOfWhole();
    if (f.empty() || f.iLo() > i0 || f.iHi() < i1 || f.jLo() > j0 || f.jHi() < j1)
        throw StopError(what + ": the cell flags do not cover the grid drawn: expected i = " + std::to_string(i0) +
                        " to " + std::to_string(i1) + ", j = " + std::to_string(j0) + " to " + std::to_string(j1));
}

void requireImage(const QImage& img, const std::string& what) {
    if (img.format() != QImage::Format_RGB32 && img.format() != QImage::Format_ARGB32)
        throw StopError(what + ": the picture must hold 32-bit RGB pixels");
}

// Starts the record of a drawing over i0..i1 x j0..j1.
void startDrawn(DrawnField* d, const ScaleRange& range, int32_t i0, int32_t i1, int32_t j0, int32_t j1) {
    if (!d) return;
    d->range = range;
    d->i0 = i0;
    d->i1 = i1;
    d->j0 = j0;
    d->j1 = j1;
    const size_t n = static_cast<size_t>(i1 - i0 + 1) * static_cast<size_t>(j1 - j0 + 1);
    d->values.resize(n);
    d->land.resize(n);
}

void keepDrawn(DrawnField* d, int32_t i, int32_t j, float v, bool land) {
    if (!d) return;
    const size_t k = d->index(i, j);
    d->values[k] = v;
    d->land[k] = land;
}

QImage blankPicture(const Model& m, double dpi) {
    int w = 0, h = 0;
    pictureSizeFor(m, dpi, dpi, w, h);
    QImage img(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
    if (img.isNull())
        throw StopError("a picture of " + std::to_string(w) + " x " + std::to_string(h) +
                        " pixels cannot be allocated (the memory ran out)");
    img.fill(Qt::white);
    return img;
}

}  // namespace

int twipsToPixels(int32_t twips, double dpi) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

void pictureSizeFor(const Model& m, double dpiX, double dpiY, int& width, int& height) {
    width = twipsToPixels((m.ixEnd + 1) * kTwipsPerCell, dpiX);
    height = twipsToPixels((m.jyEnd + 1) * kTwipsPerCell, dpiY);
}

PictureScale etaPictureScale(const Model& m) {
    PictureScale s;
    s.top = m.jyEnd + 1;
    s.left = m.ixStart - 1;
    s.height = -(m.jyEnd - m.jyStart + 2);
    s.width = m.ixEnd - m.ixStart + 2;
    return s;
}

PictureScale setupPictureScale(const Model& m) {
    PictureScale s;
    s.top = m.jyEnd + 0.5;
    s.left = m.ixStart - 0.5;
    s.height = -((m.jyEnd + 0.5) - (m.jyStart - 0.5));
    s.width = m.ixEnd + 0.5;  // the graph's width is counted from 0, not from ixStart
    return s;
}

std::string drawEtaPicture(QImage& img, const Model& m, const std::string& outfile, const Grid& dataxy, float aaa,
                           float mininp, float maxinp, DrawnField* drawn) {
    const int32_t i0 = m.ixStart - 1, i1 = m.ixEnd + 1, j0 = m.jyStart - 1, j1 = m.jyEnd + 1;
    requireCovers(dataxy, i0, i1, j0, j1, "the grid plot of " + outfile);
    requireFlags(m, i0, i1, j0, j1, "the grid plot of " + outfile);
    requireImage(img, "the grid plot of " + outfile);

    // Range over every cell, ghost ring included.
    ScaleRange range = ScaleRange::start(mininp, maxinp);
    for (int32_t i = i0; i <= i1; ++i)
        for (int32_t j = j0; j <= j1; ++j) range.widen(static_cast<float>(static_cast<double>(dataxy(i, j)) * aaa));

    PixelCanvas canvas(img, etaPictureScale(m));
    constexpr int pen = 3;
    canvas.box(i0, j0, i1, j1, pen, argb(kBlack));
    startDrawn(drawn, range, i0, i1, j0, j1);
    const IntGrid& flags = m.flagsOfWhole();  // gathered on the first rank of a split case
    for (int32_t i = i0; i <= i1; ++i)
        for (int32_t j = j0; j <= j1; ++j) {
            const float v = static_cast<float>(static_cast<double>(dataxy(i, j)) * aaa);
            const bool land = flags(i, j) == kLandFlag;
            canvas.point(i, j, pen, argb(range.colour(v, land)));
            keepDrawn(drawn, i, j, v, land);
        }
    return outfile + "    " + captionNumber(range.lo) + "_" + captionNumber(range.hi);
}

std::string drawSetupPicture(QImage& img, const Model& m, const Grid& eta, float aaa, float mininp, float maxinp,
                             DrawnField* drawn) {
    const int32_t i0 = m.ixStart, i1 = m.ixEnd, j0 = m.jyStart, j1 = m.jyEnd;
    requireCovers(eta, i0, i1, j0, j1, "the graph of the water level");
    requireFlags(m, i0, i1, j0, j1, "the graph of the water level");
    requireImage(img, "the graph of the water level");

    // The level above the tide level in metres, over the interior only.
    auto level = [&](int32_t i, int32_t j) {
        return static_cast<float>(static_cast<double>(eta(i, j)) * aaa - m.tideLevel);
    };
    ScaleRange range = ScaleRange::start(mininp, maxinp);
    for (int32_t i = i0; i <= i1; ++i)
        for (int32_t j = j0; j <= j1; ++j) range.widen(level(i, j));

    img.fill(Qt::white);
    PixelCanvas canvas(img, setupPictureScale(m));
    constexpr int pen = 3;
    startDrawn(drawn, range, i0, i1, j0, j1);
    const IntGrid& flags = m.flagsOfWhole();  // gathered on the first rank of a split case
    for (int32_t i = i0; i <= i1; ++i)
        for (int32_t j = j0; j <= j1; ++j) {
            const float v = level(i, j);
            const bool land = flags(i, j) == kLandFlag;
            canvas.point(i, j, pen, argb(range.colour(v, land)));
            keepDrawn(drawn, i, j, v, land);
        }
    return "lfuvw  " + captionNumber(range.lo) + "_" + captionNumber(range.hi);
}

QImage renderEtaPicture(const Model& m, const std::string& outfile, const Grid& dataxy, float aaa, float mininp,
                        float maxinp, double dpi, std::string* caption) {
    QImage img = blankPicture(m, dpi);
    const std::string c = drawEtaPicture(img, m, outfile, dataxy, aaa, mininp, maxinp);
    if (caption) *caption = c;
    return img;
}

QImage renderSetupPicture(const Model& m, const Grid& eta, float aaa, float mininp, float maxinp, double dpi,
                          std::string* caption) {
    QImage img = blankPicture(m, dpi);
    const std::string c = drawSetupPicture(img, m, eta, aaa, mininp, maxinp);
    if (caption) *caption = c;
    return img;
}

int pictureZoom(int w, int h) {
    // Enough to make the longer side about 320 pixels, at most 8 times.
    const int side = std::max(std::max(w, h), 1);
    return std::clamp((320 + side - 1) / side, 1, 8);
}

void CasePictures::keepEta(const std::string& outfile, const Grid& dataxy, float aaa, float mininp, float maxinp) {
    etaName_ = outfile;
    etaData_ = dataxy;
    etaAaa_ = aaa;
    etaMin_ = mininp;
    etaMax_ = maxinp;
    hasEta_ = true;
}

void CasePictures::keepSetup(const Grid& eta, float aaa, float mininp, float maxinp) {
    setupData_ = eta;
    setupAaa_ = aaa;
    setupMin_ = mininp;
    setupMax_ = maxinp;
    hasSetup_ = true;
}

void CasePictures::clear() { hasEta_ = hasSetup_ = false; }

namespace {

std::string timeText(double t) {
    char b[48];
    std::snprintf(b, sizeof b, "%.6g", t);
    return b;
}

// A cell is dry where the total depth is at most the case's minimum depth.
bool dryCell(const Model& m, const Grid& hTot, int32_t i, int32_t j) {
    if (m.flagsOfWhole()(i, j) == kLandFlag) return true;
    if (hTot.empty() || hTot.iLo() > i || hTot.iHi() < i || hTot.jLo() > j || hTot.jHi() < j) return false;
    return static_cast<double>(hTot(i, j)) * m.lenScale <= m.minDepth;
}

// The decorated picture of a drawing kept in d (its interior cells).
QImage decorated(const Model& m, const DrawnField& d, const std::string& title) {
    FieldPicture p;
    p.title = title;
    p.unit = "m";
    p.nx = m.ixEnd - m.ixStart + 1;
    p.ny = m.jyEnd - m.jyStart + 1;
    p.dx = m.dx;
    p.dy = m.dy;
    p.colour = [&](int i, int j) {
        const int32_t ci = m.ixStart + i, cj = m.jyStart + j;
        const size_t k = d.index(ci, cj);
        return d.range.colour(d.values[k], d.land[k] != 0);
    };
    p.lo = d.range.lo;
    p.hi = d.range.hi;
    p.barColour = [&](float v) { return d.range.colour(v); };
    return drawFieldPicture(p);
}

}  // namespace

std::string caseTitleName(const Model& m) {
    const std::string name = std::filesystem::path(m.cntPath).filename().string();
    return name.empty() ? std::string("case") : name;
}

std::vector<std::string> CasePictures::write(const Model& m) {
    ensurePictureApplication();
    std::vector<std::string> written;
    auto save = [&](const QImage& img, const std::string& caption, const std::string& name) {
        const std::string path = (std::filesystem::path(m.outDir) / name).string();
        writePicture(img, caption, path);
        written.push_back(path);
    };
    QImage one(1, 1, QImage::Format_RGB32);  // the drawing's values and range, kept in d
    DrawnField d;
    if (hasEta_) {
        const std::string caption = drawEtaPicture(one, m, etaName_, etaData_, etaAaa_, etaMin_, etaMax_, &d);
        save(decorated(m, d, caseTitleName(m) + ": surface elevation (m), wave period from t = " + timeText(etaTime) + " s"),
             caption, "eta.png");
    }
    if (hasSetup_) {
        const std::string caption = drawSetupPicture(one, m, setupData_, setupAaa_, setupMin_, setupMax_, &d);
        save(decorated(m, d, caseTitleName(m) + ": mean water level above the tide (m), t = " + timeText(setupTime) + " s"),
             caption, "setup.png");
    }
    clear();
    return written;
}

std::vector<std::string> writeEndPictures(const Model& m, const Grid& depAtStart, double time) {
    return writeEndPictures(m, EndFields{&m.wavH, &m.curU, &m.curV, &m.dep, &m.hTot, &depAtStart}, time);
}

std::vector<std::string> writeEndPictures(const Model& m, const EndFields& f, double time) {
    ensurePictureApplication();
    const int32_t i0 = m.ixStart, i1 = m.ixEnd, j0 = m.jyStart, j1 = m.jyEnd;
    if (!f.wavH || !f.curU || !f.curV || !f.dep || !f.hTot || !f.depAtStart)
        throw StopError("the pictures of the case's end: a field to draw is missing");
    const Grid &wavH = *f.wavH, &curU = *f.curU, &curV = *f.curV, &dep = *f.dep, &hTot = *f.hTot,
               &depAtStart = *f.depAtStart;
    for (const Grid* g : {&wavH, &curU, &curV, &dep}) requireCovers(*g, i0, i1, j0, j1, "the pictures of the case's end");
    requireFlags(m, i0, i1, j0, j1, "the pictures of the case's end");
    FieldPicture base;
    base.nx = i1 - i0 + 1;
    base.ny = j1 - j0 + 1;
    base.dx = m.dx;
    base.dy = m.dy;
    const std::string name = caseTitleName(m), at = ", t = " + timeText(time) + " s";
    std::vector<std::string> written;
    auto save = [&](const FieldPicture& p, const std::string& file) {
        const std::string path = (std::filesystem::path(m.outDir) / file).string();
        writePicture(drawFieldPicture(p), p.title, path);
        written.push_back(path);
    };
    auto wet = [&](int i, int j) { return !dryCell(m, hTot, i0 + i, j0 + j); };
    // Upper end of a scale from zero: the largest finite value over the wet cells.
    auto top = [&](auto&& value) {
        float hi = 0;
        for (int j = 0; j < base.ny; ++j)
            for (int i = 0; i < base.nx; ++i)
                if (wet(i, j)) {
                    const float v = value(i, j);
                    if (std::isfinite(v)) hi = std::max(hi, v);
                }
        return hi;
    };

    FieldPicture h = base;
    auto height = [&](int i, int j) { return wavH(i0 + i, j0 + j); };
    h.title = name + ": wave height H (m)" + at;
    h.unit = "H (m)";
    h.lo = 0;
    h.hi = top(height);
    h.colour = [&](int i, int j) { return wet(i, j) ? sequentialColour(h.lo, h.hi, height(i, j)) : kDryGrey; };
    h.barColour = [&](float v) { return sequentialColour(h.lo, h.hi, v); };
    save(h, "wavH.png");

    FieldPicture c = base;
    auto speed = [&](int i, int j) {
        return static_cast<float>(std::hypot(static_cast<double>(curU(i0 + i, j0 + j)), static_cast<double>(curV(i0 + i, j0 + j))));
    };
    c.title = name + ": current speed (m/s) and direction" + at;
    c.unit = "speed (m/s)";
    c.lo = 0;
    c.hi = top(speed);
    c.colour = [&](int i, int j) { return wet(i, j) ? sequentialColour(c.lo, c.hi, speed(i, j)) : kDryGrey; };
    c.barColour = [&](float v) { return sequentialColour(c.lo, c.hi, v); };
    c.arrow = [&](int i, int j, float& u, float& v) {
        if (!wet(i, j)) return false;
        u = curU(i0 + i, j0 + j);
        v = curV(i0 + i, j0 + j);
        return std::isfinite(u) && std::isfinite(v);
    };
    c.arrowNote = "arrows: direction, length by speed";
    save(c, "currents.png");

    FieldPicture b = base;
    const bool haveStart = !depAtStart.empty() && depAtStart.iLo() <= i0 && depAtStart.iHi() >= i1 &&
                           depAtStart.jLo() <= j0 && depAtStart.jHi() >= j1;
    // The bed rises where the still depth falls.
    auto change = [&](int i, int j) {
        if (!haveStart) return 0.0f;
        return static_cast<float>(static_cast<double>(depAtStart(i0 + i, j0 + j)) - dep(i0 + i, j0 + j));
    };
    const float span = top([&](int i, int j) { return std::fabs(change(i, j)); });
    b.title = name + ": bed level change since t = " + timeText(m.tStart) + " s (m)" + at;
    b.unit = "change (m)";
    b.lo = -span;
    b.hi = span;
    b.colour = [&](int i, int j) {
        return wet(i, j) ? divergingColour(span, change(i, j)) : kDryGrey;
    };
    b.barColour = [&](float v) { return divergingColour(span, v); };
    b.arrowNote = "blue: deposition, red: erosion";
    save(b, "bedchange.png");
    return written;
}

}  // namespace littoral
