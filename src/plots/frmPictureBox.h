// Picture1 of the plot windows: a picture box that holds its drawing in an image and
// shows it when the window system repaints. Drawing goes into picture() and is cheap; the
// window shows it at the next event pump after update().
//
// At the size the window was given the picture shows pixel for pixel. When the user
// enlarges the window, the picture scales with it (whole cells, no smoothing, so every
// colour stays as drawn) and a legend of the colour scale appears below it. Hovering over
// a cell shows its indices, its position, its value and the colour range.
#pragma once

#include <QImage>
#include <QMargins>
#include <QString>
#include <QWidget>
#include <cstdint>

#include "plots/frmRender.h"

namespace littoral {

// What the picture shows, for reading it back: the values drawn, the scale of the
// picture, the cell widths and the name and unit of the quantity.
struct PlotReading {
    DrawnField field;
    PictureScale scale;
    double dx = 0, dy = 0;
    QString quantity;  // for example "eta"
    bool valid = false;
};

class frmPictureBox : public QWidget {
public:
    explicit frmPictureBox(QWidget* parent = nullptr);
    // Places the box in its window, in twips; a new size starts a white picture.
    void setTwipsGeometry(int32_t left, int32_t top, int32_t width, int32_t height);
    QImage& picture() { return image_; }
    const QImage& picture() const { return image_; }
    // What the last drawing showed; kept by the window that draws.
    PlotReading& reading() { return reading_; }
    const PlotReading& reading() const { return reading_; }

    // The cell under the point p of the box (in the box's pixels, also when scaled), or
    // false when p is on no drawn cell.
    bool cellAt(QPoint p, int32_t& i, int32_t& j) const;
    // The text shown when hovering over p: the cell's indices, position and value, and
    // the colour range of the picture.
    QString hoverText(QPoint p) const;

    // Twips to pixels with the logical resolution of the screen that shows w.
    static int twipsX(const QWidget* w, int32_t twips);
    static int twipsY(const QWidget* w, int32_t twips);

protected:
    void paintEvent(QPaintEvent* e) override;
    bool event(QEvent* e) override;

private:
    QImage image_;
    PlotReading reading_;
};

// The legend of an enlarged plot window: the colour scale from lo to hi with its values
// in metres, and the land grey.
class frmPlotLegend : public QWidget {
public:
    explicit frmPlotLegend(const frmPictureBox* box, QWidget* parent);
    static constexpr int kHeight = 44;  // pixels

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    const frmPictureBox* box_;
};

// What both plot windows share: the picture box Picture1, the frame set by FormSize in
// twips, and the twips last given, for the tests. FormSize gives the window's outer size,
// frame and title bar included: the frame is read again whenever the window system
// reports it (a window manager adds it only after the window is shown), and the client
// area is fitted to it while the user has not resized the window.
class PlotWindow : public QWidget {
public:
    frmPictureBox* Picture1;
    frmPlotLegend* legend;

    // Window frame, in twips.
    void FormSize(int32_t xtop, int32_t ytop, int32_t xlength, int32_t ylength);

    // The twips last given to FormSize and PictureSize (left, top, width, height).
    struct Twips { int32_t left = 0, top = 0, width = 0, height = 0; };
    Twips formTwips() const { return form_; }
    Twips pictureTwips() const { return picture_; }
    // The client size that FormSize gave for the frame known then.
    QSize formClientSize() const { return clientApplied_; }

protected:
    // A top-level window named `name`, captioned "Form1" until its first drawing; closing
    // it does not end the program (the start-up window alone does).
    PlotWindow(const char* name, QWidget* parent);
    void placePicture(int32_t left, int32_t top, int32_t width, int32_t height);
    // After a drawing: the caption, and the picture and legend shown again.
    void showDrawing(const std::string& caption);
    bool event(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void applyFormSize();
    void fitToFrame();
    void layoutPicture();
    Twips form_, picture_;
    bool formSet_ = false;
    QMargins frameApplied_;
    QSize clientApplied_;
};

}  // namespace littoral
