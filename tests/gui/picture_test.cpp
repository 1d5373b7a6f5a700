// The pictures a case leaves in its output folder: their sizes for any grid (whole pixels
// per cell, at least 480 pixels wide), the colour bars' ends, dry and land cells grey, the
// current arrows thinned, and the five files of a whole batch run with their titles.
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>

#include "GuiSupport.h"
#include "core/Model.h"
#include "plots/frmFieldPicture.h"
#include "plots/frmRender.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;
namespace fs = std::filesystem;

namespace {

QByteArray show(const Rgb& c) {
    return QByteArray::number(c.r) + "," + QByteArray::number(c.g) + "," + QByteArray::number(c.b);
}

#define COMPARE_RGB(actual, expected)                                                                     \
    do {                                                                                                  \
        const Rgb a_ = (actual), e_ = (expected);                                                         \
        if (!(a_ == e_)) QFAIL(QByteArray("colour " + show(a_) + ", expected " + show(e_)).constData()); \
    } while (0)

// A model of nx x ny cells of 10 m with the fields the end pictures draw, all wet.
void endModel(Model& m, int nx, int ny, const std::string& outDir) {
    makeGrid(m, 1, nx, 1, ny);
    for (Grid* g : {&m.wavH, &m.curU, &m.curV, &m.dep, &m.hTot}) m.allocGrid(*g);
    m.dx = m.dy = 10;
    m.lenScale = 1;
    m.minDepth = 0.01f;
    m.dep.fill(2);
    m.hTot.fill(2);
    m.outDir = outDir;
    m.cntPath = "/somewhere/beachcnt.txt";
    m.tStart = 0;
}

// Pixels of the plot that are near black (the arrows).
int blackPixels(const QImage& img, const QRect& r) {
    int n = 0;
    for (int y = r.top() + 1; y < r.bottom(); ++y)
        for (int x = r.left() + 1; x < r.right(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (qRed(p) < 40 && qGreen(p) < 40 && qBlue(p) < 40) ++n;
        }
    return n;
}

}  // namespace

class PictureTest : public QObject {
    Q_OBJECT
private slots:
    void everyGridGivesAReadablePictureOfWholePixels() {
        struct Size {
            int nx, ny, cellPixels, cellsPerPixel;
        };
        // A single cell, the bundled samples' sizes, long and narrow grids, a large grid.
        for (const Size& s : {Size{1, 1, 400, 1}, Size{8, 5, 50, 1}, Size{106, 66, 4, 1}, Size{3, 1000, 1, 1},
                              Size{400, 400, 1, 1}, Size{1000, 30, 1, 1}, Size{1601, 10, 1, 2},
                              Size{5000, 4000, 1, 4}}) {
            const PictureLayout l = pictureLayout(s.nx, s.ny);
            const QByteArray what = QByteArray::number(s.nx) + " x " + QByteArray::number(s.ny);
            QVERIFY2(l.width >= 480, what);
            QVERIFY2(l.cellPixels == s.cellPixels && l.cellsPerPixel == s.cellsPerPixel, what);
            if (l.cellsPerPixel == 1) {
                QCOMPARE(l.plot.width(), s.nx * l.cellPixels);
                QCOMPARE(l.plot.height(), s.ny * l.cellPixels);
            } else {
                QCOMPARE(l.plot.width(), (s.nx + l.cellsPerPixel - 1) / l.cellsPerPixel);
            }
            QVERIFY2(l.plot.width() <= 1600 && l.plot.height() <= 1600, what);
            QVERIFY2(l.bar.left() > l.plot.right() && l.bar.right() < l.width && l.bar.height() >= 160, what);
            // The corner cells' centres lie in the plot and read back as those cells.
            for (QPoint c : {QPoint(0, 0), QPoint(s.nx - 1, s.ny - 1)}) {
                const QPoint p = l.cellCentre(c.x(), c.y());
                QVERIFY2(l.plot.contains(p), what);
                int i, j;
                l.cellAt(p, i, j);
                QVERIFY2(i / l.cellsPerPixel == c.x() / l.cellsPerPixel && j / l.cellsPerPixel == c.y() / l.cellsPerPixel,
                         what);
            }
        }
    }

    void theColourScalesRunFromEndToEnd() {
        COMPARE_RGB(sequentialColour(0, 2, 0), (Rgb{48, 18, 120}));
        COMPARE_RGB(sequentialColour(0, 2, 2), (Rgb{250, 225, 40}));
        COMPARE_RGB(sequentialColour(0, 2, 5), (Rgb{250, 225, 40}));  // beyond the top: the top
        COMPARE_RGB(sequentialColour(0, 0, 0), (Rgb{48, 18, 120}));   // no range: no division
        COMPARE_RGB(sequentialColour(0, 2, std::nanf("")), (Rgb{48, 18, 120}));
        COMPARE_RGB(divergingColour(0.1f, 0), kWhite);
        COMPARE_RGB(divergingColour(0.1f, -0.1f), (Rgb{200, 30, 30}));
        COMPARE_RGB(divergingColour(0.1f, 0.2f), (Rgb{30, 60, 200}));
        COMPARE_RGB(divergingColour(0, 0), kWhite);
    }

    void theEndPicturesShowTheFieldsWithTheirBarsAndGreyDryCells() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Model m;
        endModel(m, 20, 12, dir.path().toStdString() + "/");
        Grid depAtStart = m.dep;
        for (int32_t j = 1; j <= 12; ++j)
            for (int32_t i = 1; i <= 20; ++i) {
                m.wavH(i, j) = 0.1f * static_cast<float>(i);  // 0.1 .. 2 m, largest on the east side
                m.curU(i, j) = 0.5f;
                m.curV(i, j) = 0.0f;
            }
        m.cellFlag(20, 12) = 15;            // land
        m.hTot(19, 12) = 0.005f;           // dry: below the minimum depth
        m.wavH(20, 12) = m.wavH(19, 12) = 9;  // neither counts in the range
        m.dep(5, 5) = 1.9f;                 // 0.1 m of deposition
        m.dep(6, 5) = 2.025f;               // 0.025 m of erosion
        const auto written = writeEndPictures(m, depAtStart, 3600);
        QCOMPARE(int(written.size()), 3);
        const PictureLayout l = pictureLayout(20, 12);
        const int barX = l.bar.center().x();

        QImage h(dir.filePath("wavH.png"));
        QCOMPARE(h.size(), QSize(l.width, l.height));
        QCOMPARE(h.text("Title"), QString("beachcnt.txt: wave height H (m), t = 3600 s"));
        COMPARE_RGB(rgbAt(h, QPoint(barX, l.bar.top())), sequentialColour(0, 2, 2));
        COMPARE_RGB(rgbAt(h, QPoint(barX, l.bar.bottom())), sequentialColour(0, 2, 0));
        COMPARE_RGB(rgbAt(h, l.cellCentre(19, 0)), sequentialColour(0, 2, 2));  // the wet maximum
        COMPARE_RGB(rgbAt(h, l.cellCentre(0, 0)), sequentialColour(0, 2, 0.1f));
        COMPARE_RGB(rgbAt(h, l.cellCentre(19, 11)), kDryGrey);  // land
        COMPARE_RGB(rgbAt(h, l.cellCentre(18, 11)), kDryGrey);  // dry

        QImage c(dir.filePath("currents.png"));
        QCOMPARE(c.size(), QSize(l.width, l.height));
        COMPARE_RGB(rgbAt(c, QPoint(barX, l.bar.top())), sequentialColour(0, 0.5f, 0.5f));
        COMPARE_RGB(rgbAt(c, QPoint(barX, l.bar.bottom())), sequentialColour(0, 0.5f, 0));
        // Arrows every few cells (20 pixels a cell: every second cell), not on every cell:
        // black pixels in the plot, but cells between arrows keep their colour at their centre.
        QCOMPARE(arrowSpacing(l), 2);
        QVERIFY(blackPixels(c, l.plot) > 50);
        COMPARE_RGB(rgbAt(c, l.cellCentre(0, 0)), sequentialColour(0, 0.5f, 0.5f));

        QImage b(dir.filePath("bedchange.png"));
        QCOMPARE(b.size(), QSize(l.width, l.height));
        // The scale is symmetric about zero, to the largest change either way.
        const float span = static_cast<float>(2.0 - static_cast<double>(1.9f));
        COMPARE_RGB(rgbAt(b, QPoint(barX, l.bar.top())), (Rgb{30, 60, 200}));
        COMPARE_RGB(rgbAt(b, QPoint(barX, l.bar.bottom())), (Rgb{200, 30, 30}));
        COMPARE_RGB(rgbAt(b, l.cellCentre(4, 4)), (Rgb{30, 60, 200}));  // deposition: blue
        COMPARE_RGB(rgbAt(b, l.cellCentre(5, 4)),
                    divergingColour(span, static_cast<float>(2.0 - static_cast<double>(2.025f))));  // erosion: red
        QVERIFY(divergingColour(span, -0.025f).r > divergingColour(span, -0.025f).g);
        COMPARE_RGB(rgbAt(b, l.cellCentre(0, 0)), kWhite);
        COMPARE_RGB(rgbAt(b, l.cellCentre(19, 11)), kDryGrey);
    }

    void aFieldThatDoesNotCoverTheGridStops() {
        QTemporaryDir dir;
        Model m;
        endModel(m, 6, 4, dir.path().toStdString() + "/");
        m.wavH = Grid();
        const std::string msg = stopMessage([&] { writeEndPictures(m, m.dep, 0); });
        QVERIFY2(msg.find("the pictures of the case's end") != std::string::npos, msg.c_str());
        QVERIFY(!fs::exists(fs::path(dir.path().toStdString()) / "wavH.png"));
    }

    // A whole case in the batch program leaves the five pictures, each titled with the
    // case and the model time, and no temporary beside them.
    void aBatchRunLeavesFivePicturesThatExplainThemselves() {
        CaseDir dir("pictures-batch");
        SmallCase c;
        c.coef.tEnd = 18;
        c.slope = 0.04f;
        c.waveDir = 200;
        c.write(dir, "s");
        const BatchRun r = runBatch((dir.data / "scnt.txt").string());
        QVERIFY2(r.status == 0, r.out.c_str());
        const PictureLayout l = pictureLayout(c.coef.ixEnd - c.coef.ixStart + 1, c.coef.jyEnd - c.coef.jyStart + 1);
        const std::pair<const char*, const char*> pictures[] = {
            {"eta.png", "eta    "}, {"setup.png", "lfuvw  "}, {"wavH.png", "scnt.txt: wave height H (m), t = 24 s"},
            {"currents.png", "scnt.txt: current speed (m/s) and direction, t = 24 s"},
            {"bedchange.png", "scnt.txt: bed level change since t = 0 s (m), t = 24 s"}};
        for (const auto& [name, title] : pictures) {
            const QImage img(QString::fromStdString((dir.output / "s" / name).string()));
            QVERIFY2(!img.isNull(), name);
            QCOMPARE(img.size(), QSize(l.width, l.height));
            QVERIFY2(img.text("Title").startsWith(title), qPrintable(img.text("Title")));
        }
        for (const std::string& f : dir.outputFiles("s")) QVERIFY2(f.find(".tmp") == std::string::npos, f.c_str());
    }
};

QTEST_MAIN(PictureTest)
#include "picture_test.moc"
