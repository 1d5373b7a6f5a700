// Pictures that explain themselves: a field over the interior cells drawn with Qt's painter
// (on the offscreen platform in the headless programs), with a title (case, quantity, model
// time), axes in metres from the grid's south-west corner and a colour bar with its unit.
//
// Each cell is a square of whole pixels (grids of up to 400 cells across are enlarged so
// the field is about 400 pixels wide); a grid of more than 1600 cells along a side is
// shrunk by a whole number of cells per pixel (each pixel shows the cell at its south-west
// corner). The picture is at least 480 pixels wide for any grid.
#pragma once

#include <QImage>
#include <QRect>
#include <functional>
#include <string>

#include "plots/ColourScale.h"

namespace littoral {

// Where the parts of a picture lie, in pixels of the picture (y downwards).
struct PictureLayout {
    int nx = 0, ny = 0;          // interior cells
    int cellPixels = 1;          // pixels along a cell's side (enlarged), or
    int cellsPerPixel = 1;       // cells along a pixel's side (shrunk)
    QRect plot;                  // the field: cell (0, 0) at its bottom left
    QRect bar;                   // the colour bar: hi at its top row, lo at its bottom row
    int width = 0, height = 0;   // the whole picture
    // The pixel at the centre of interior cell (i, j), 0-based, j northwards.
    QPoint cellCentre(int i, int j) const;
    // The interior cell a pixel of the plot shows.
    void cellAt(QPoint p, int& i, int& j) const;
};
PictureLayout pictureLayout(int nx, int ny);

// A field to draw: colour(i, j) of the interior cells (0-based), the colour bar's range
// lo..hi (hi on top) drawn by barColour, optional arrows.
struct FieldPicture {
    std::string title;                       // the line above the picture
    std::string unit;                        // above the colour bar: "m", "m/s"
    int nx = 0, ny = 0;
    double dx = 1, dy = 1;                   // cell sizes (m)
    std::function<Rgb(int, int)> colour;
    float lo = 0, hi = 1;
    std::function<Rgb(float)> barColour;
    // An arrow at cell (i, j): false for none, else its components; arrows are drawn at
    // every arrowEvery-th cell along each side, the longest arrowEvery cells long.
    std::function<bool(int, int, float&, float&)> arrow;
    int arrowEvery = 0;                      // 0: chosen for about 28 pixels between arrows
    std::string arrowNote;                   // below the colour bar: what the arrows show
};

// Cells between two arrows for a grid of that layout: about 28 pixels apart, at least one cell.
int arrowSpacing(const PictureLayout& l);

// Draws the picture (Format_RGB32, white background). Needs a QGuiApplication (see
// ensurePictureApplication).
QImage drawFieldPicture(const FieldPicture& p, PictureLayout* layout = nullptr);

// Makes the toolkit's application object the painter's text needs, on the offscreen
// platform unless QT_QPA_PLATFORM names another, when the program has none. Call on the
// main thread before the first picture; does nothing where one exists.
void ensurePictureApplication();

// The colour scales of the end-of-case pictures: a sequential scale from dark blue through
// green to yellow over lo..hi (wave height, current speed), and a diverging one for a
// change, red below zero, white at zero, blue above, over -span..span.
Rgb sequentialColour(float lo, float hi, float v);
Rgb divergingColour(float span, float v);
inline constexpr Rgb kDryGrey = kLandGrey;  // dry and land cells, as land in the windows

// Encodes img as PNG with the title as its "Title" text and writes it as every result file
// is written (a temporary, checked, renamed); StopError naming the path on a failure.
void writePicture(const QImage& img, const std::string& title, const std::string& path);

}  // namespace littoral
