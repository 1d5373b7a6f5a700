// The plot pictures drawn without a window or a screen, as the batch program draws them:
// colours per cell, land grey, the ghost ring in the grid plot only, captions, erasing,
// and the PNG files of a case.
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>

#include "GuiSupport.h"
#include "core/Error.h"
#include "plots/frmFieldPicture.h"
#include "plots/frmRender.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {

// At 288 dpi a cell of 20 twips is 4 pixels, so the 3-pixel dots of neighbouring cells do
// not overlap and every cell can be read back from its own pixel.
constexpr double kDpi = 288.0;

bool same(const Rgb& a, const Rgb& b) { return a == b; }
QByteArray show(const Rgb& c) { return QByteArray::number(c.r) + "," + QByteArray::number(c.g) + "," + QByteArray::number(c.b); }

#define COMPARE_RGB(actual, expected)                                                                     \
    do {                                                                                                  \
        const Rgb a_ = (actual), e_ = (expected);                                                         \
        if (!same(a_, e_)) QFAIL(QByteArray("colour " + show(a_) + ", expected " + show(e_)).constData()); \
    } while (0)

}  // namespace

class RenderTest : public QObject {
    Q_OBJECT
private slots:
    void etaPictureSizeAndScale() {
        Model m;
        makeGrid(m, 1, 8, 1, 5);
        QImage img = renderEtaPicture(m, "eta", m.eta, 1, 1, 1, kDpi);
        QCOMPARE(img.width(), 36);   // (8 + 1)·20 twips
        QCOMPARE(img.height(), 24);  // (5 + 1)·20 twips
        int w = 0, h = 0;
        pictureSizeFor(m, 96, 96, w, h);
        QCOMPARE(w, 12);  // 180 twips at 96 dpi
        QCOMPARE(h, 8);
        QCOMPARE(twipsToPixels(1000, 96), 67);  // 66.67 to the nearest pixel
    }

    void etaColoursGhostRingAndLand() {
        Model m;
        makeGrid(m, 1, 8, 1, 5);
        // Interior 0.125 (with aaa = 2: 0.25), one ghost cell -0.25 (-0.5), one land cell,
        // one listed boundary cell with every face closed (flag 16·2 + 15).
        m.eta.fill(0.125f);
        m.eta(0, 3) = -0.25f;
        m.eta(4, 2) = 0.25f;
        m.cellFlag(4, 2) = 15;
        m.eta(6, 4) = 0.25f;
        m.cellFlag(6, 4) = 47;
        std::string caption;
        QImage img = renderEtaPicture(m, "eta", m.eta, 2, -0.25f, 0.25f, kDpi, &caption);
        // The ghost value widens lo to -0.5, the land value widens hi to 0.5: land takes
        // part in the range but is drawn grey.
        QCOMPARE(QString::fromStdString(caption), QString("eta    -0.5_ 0.5"));
        const PictureScale s = etaPictureScale(m);
        COMPARE_RGB(rgbAt(img, s, 0, 3), (Rgb{255, 0, 0}));      // ghost ring drawn, pure red at lo
        COMPARE_RGB(rgbAt(img, s, 4, 2), (Rgb{128, 128, 128}));  // land
        COMPARE_RGB(rgbAt(img, s, 6, 4), (Rgb{0, 0, 255}));      // boundary cell coloured by value
        COMPARE_RGB(rgbAt(img, s, 3, 3), (Rgb{128, 128, 255}));  // 0.25 of 0.5
        // The east ghost column sits on the picture's right edge: only the left column of
        // its dots is inside.
        QCOMPARE(pixelAt(img, s, 9, 1).x(), img.width());
        COMPARE_RGB(rgbAt(img, QPoint(img.width() - 1, pixelAt(img, s, 9, 1).y())), (Rgb{128, 128, 255}));
    }

    void etaConstantFieldIsWhiteWithTheAutomaticRange() {
        Model m;
        makeGrid(m, 1, 8, 1, 5);
        std::string caption;
        QImage img = renderEtaPicture(m, "eta", m.eta, 1, 1, 1, kDpi, &caption);
        QCOMPARE(QString::fromStdString(caption), QString("eta     0_ 0"));
        const PictureScale s = etaPictureScale(m);
        for (int i = 0; i <= 9; ++i)
            for (int j = 0; j <= 6; ++j) {
                const QPoint p = pixelAt(img, s, i, j);
                COMPARE_RGB(rgbAt(img, QPoint(std::min(p.x(), img.width() - 1), std::min(p.y(), img.height() - 1))),
                            kWhite);
            }
    }

    void etaIsDrawnOverTheOldPictureAndTheGraphErasesIt() {
        Model m;
        makeGrid(m, 1, 8, 1, 5);
        m.etaS.fill(0.005f);
        m.eta.fill(0.005f);
        const QRgb marker = qRgb(0, 200, 0);
        const PictureScale s = etaPictureScale(m);
        // Column 4·i + 2 lies between the dots of cells i and i + 1.
        const QPoint gap = pixelAt(QImage(36, 24, QImage::Format_RGB32), s, 3, 3) + QPoint(2, 0);

        QImage eta(36, 24, QImage::Format_RGB32);
        eta.fill(marker);
        drawEtaPicture(eta, m, "eta", m.eta, 1, 1, 1);
        QCOMPARE(eta.pixel(gap), marker);
        COMPARE_RGB(rgbAt(eta, s, 3, 3), kWhite);

        QImage graph(36, 24, QImage::Format_RGB32);
        graph.fill(marker);
        drawSetupPicture(graph, m, m.etaS, 1, 1, 1);
        QCOMPARE(graph.pixel(gap), qRgb(255, 255, 255));
    }

    void graphLevelAboveTideOverTheInteriorOnly() {
        Model m;
        makeGrid(m, 1, 8, 1, 5);
        m.tideLevel = 1.5f;
        const float lenScale = 4;
        // Level 0.005 m above the tide everywhere, -0.01 m in one cell; the ghost ring
        // holds a level of 5 m that must neither be drawn nor widen the range.
        for (int i = 0; i <= 9; ++i)
            for (int j = 0; j <= 6; ++j) m.etaS(i, j) = (1.5f + 0.005f) / lenScale;
        for (int i = 0; i <= 9; ++i) m.etaS(i, 0) = m.etaS(i, 6) = (1.5f + 5) / lenScale;
        for (int j = 0; j <= 6; ++j) m.etaS(0, j) = m.etaS(9, j) = (1.5f + 5) / lenScale;
        m.etaS(2, 2) = (1.5f - 0.01f) / lenScale;
        m.etaS(5, 3) = (1.5f + 0.01f) / lenScale;
        m.cellFlag(5, 3) = 15;
        std::string caption;
        QImage img = renderSetupPicture(m, m.etaS, lenScale, -0.01f, 0.01f, kDpi, &caption);
        QCOMPARE(QString::fromStdString(caption), QString("lfuvw  -0.01_ 0.01"));
        const PictureScale s = setupPictureScale(m);
        COMPARE_RGB(rgbAt(img, s, 2, 2), (Rgb{255, 0, 0}));
        COMPARE_RGB(rgbAt(img, s, 5, 3), (Rgb{128, 128, 128}));
        // 0.005 of 0.01 in single precision: f = 1 - 0.005/0.01 lands a hair off 0.5.
        const Rgb half = rgbAt(img, s, 3, 4);
        QVERIFY(half.b == 255 && half.r == half.g && std::abs(half.r - 128) <= 1);
        // Where the west ghost column would sit (x = 0) the graph shows nothing: the scale
        // starts at ixStart - 0.5, so the picture's first column is white.
        for (int y = 0; y < img.height(); ++y) QCOMPARE(img.pixel(0, y), qRgb(255, 255, 255));

        // A level above 0.01 m extends hi (0.03125 m: exact through the scaling).
        m.etaS(3, 4) = (1.5f + 0.03125f) / lenScale;
        renderSetupPicture(m, m.etaS, lenScale, -0.01f, 0.01f, kDpi, &caption);
        QCOMPARE(QString::fromStdString(caption), QString("lfuvw  -0.01_ 0.03125"));
    }

    void aGridThatDoesNotCoverTheCellsStops() {
        Model m;
        makeGrid(m, 1, 8, 1, 5);
        Grid small;
        small.allocate(1, 8, 1, 5);  // no ghost ring: enough for the graph, not for the grid plot
        const std::string msg = stopMessage([&] { renderEtaPicture(m, "eta", small, 1, 1, 1); });
        QVERIFY2(msg.find("i = 0 to 9") != std::string::npos, msg.c_str());
        renderSetupPicture(m, small, 1, 1, 1);
        Grid none;
        QVERIFY_THROWS_EXCEPTION(StopError, renderSetupPicture(m, none, 1, 1, 1));
    }

    void casePicturesWritePngFilesWithTheirCaptions() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Model m;
        makeGrid(m, 1, 8, 1, 5);
        m.outDir = dir.path().toStdString() + "/";
        CasePictures pics;
        QVERIFY(pics.write(m).empty());  // nothing drawn yet: nothing written
        m.eta.fill(0.5f);
        m.eta(3, 3) = -0.5f;
        pics.keepEta("eta", m.eta, 1, -1, 1);
        m.eta(3, 3) = 0.5f;  // a later change of the grid does not reach the kept picture
        m.etaS.fill(0.0f);
        pics.keepSetup(m.etaS, 2, -0.01f, 0.01f);
        const auto written = pics.write(m);
        QCOMPARE(int(written.size()), 2);
        QVERIFY(!pics.hasEta() && !pics.hasSetup());

        // Each file holds the interior cells in the window's colours, a square of whole
        // pixels each, drawn from the values kept (cell (3, 3) at -0.5), not from the later
        // grid; the window's caption is the file's title text.
        const PictureLayout l = pictureLayout(8, 5);
        QImage eta(dir.filePath("eta.png"));
        QVERIFY(!eta.isNull());
        QCOMPARE(eta.size(), QSize(l.width, l.height));
        QVERIFY(eta.width() >= 480);
        QCOMPARE(l.cellPixels, 50);  // 8 cells across: 400 pixels
        QCOMPARE(eta.text("Title"), QString("eta    -1_ 1"));
        const ScaleRange etaRange{-1, 1};
        for (int i = 1; i <= 8; ++i)
            for (int j = 1; j <= 5; ++j)
                COMPARE_RGB(rgbAt(eta, l.cellCentre(i - 1, j - 1)),
                            etaRange.colour(i == 3 && j == 3 ? -0.5f : 0.5f));
        // The colour bar's ends are the scale's ends.
        COMPARE_RGB(rgbAt(eta, QPoint(l.bar.center().x(), l.bar.top())), etaRange.colour(1.0f));
        COMPARE_RGB(rgbAt(eta, QPoint(l.bar.center().x(), l.bar.bottom())), etaRange.colour(-1.0f));

        QImage setup(dir.filePath("setup.png"));
        QVERIFY(!setup.isNull());
        QCOMPARE(setup.text("Title"), QString("lfuvw  -0.01_ 0.01"));
        COMPARE_RGB(rgbAt(setup, l.plot.center()), kWhite);
        COMPARE_RGB(rgbAt(setup, QPoint(l.bar.center().x(), l.bar.top())), (Rgb{0, 0, 255}));
        COMPARE_RGB(rgbAt(setup, QPoint(l.bar.center().x(), l.bar.bottom())), (Rgb{255, 0, 0}));

        // The enlargement of the windows' pictures to about 320 pixels, at most eight times.
        QCOMPARE(pictureZoom(12, 8), 8);
        QCOMPARE(pictureZoom(108, 68), 3);
        QCOMPARE(pictureZoom(1000, 400), 1);
    }

    void casePicturesReportAnUnwritableFolder() {
        Model m;
        makeGrid(m, 1, 8, 1, 5);
        m.outDir = "/nonexistent-littoral-folder/case/";
        CasePictures pics;
        pics.keepEta("eta", m.eta, 1, 1, 1);
        const std::string msg = stopMessage([&] { pics.write(m); });
        QVERIFY2(msg.find("eta.png") != std::string::npos, msg.c_str());
    }
};

// On the offscreen platform, as the batch program draws its pictures.
QTEST_MAIN(RenderTest)
#include "render_test.moc"
