// Drawing of the two plot pictures into an image, with or without a window: the grid plot
// window (frmOvalin) and the graph window (frmIgwPicture) draw through these functions,
// and the batch program uses them to leave "eta.png" and "setup.png" in a case's output
// folder. Needs only the image part of the toolkit (no widgets, no screen).
//
// A picture has a user coordinate system of one unit per grid cell: x is the cell index i,
// y the cell index j, y growing upwards. A scale (top, left, height, width) maps the user
// point (x, y) to the pixel column (x - left)·W/width and row (y - top)·H/height of a
// W x H picture; a negative height turns y upwards.
//
// Grid plot ("eta"): the range over every cell, ghost ring included; a black box around
// the grid, then one dot of pen width 3 per cell; the picture is not erased first.
// Graph ("lfuvw"): the water level above the tide level over the interior cells only;
// the picture is erased to white, then one dot of pen width 3 per cell.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Grid.h"
#include "plots/ColourScale.h"

class QImage;

namespace littoral {

struct Model;

// Twips (1/1440 inch) to pixels at `dpi` logical dots per inch, to the nearest pixel.
int twipsToPixels(int32_t twips, double dpi);

// The user coordinate system of a picture.
struct PictureScale {
    double top = 0, left = 0, height = 1, width = 1;
};

// Size in pixels of both pictures for the grid of m: (ixEnd + 1)·20 by (jyEnd + 1)·20
// twips at the given resolution.
void pictureSizeFor(const Model& m, double dpiX, double dpiY, int& width, int& height);

// Scales of the two pictures for the grid of m.
PictureScale etaPictureScale(const Model& m);
PictureScale setupPictureScale(const Model& m);

// What one drawing showed, for reading its cells back: the range of the colour scale and
// the values drawn over the cells i0..i1 x j0..j1 (i outer, j inner), with their land
// flags. Its storage is reused from drawing to drawing of the same grid.
struct DrawnField {
    ScaleRange range;
    int32_t i0 = 0, i1 = -1, j0 = 0, j1 = -1;
    std::vector<float> values;
    std::vector<uint8_t> land;
    bool holds(int32_t i, int32_t j) const { return i >= i0 && i <= i1 && j >= j0 && j <= j1; }
    size_t index(int32_t i, int32_t j) const {
        return static_cast<size_t>(i - i0) * static_cast<size_t>(j1 - j0 + 1) + static_cast<size_t>(j - j0);
    }
};

// Draws the grid plot onto img (not erased) and returns the caption,
// outfile + four blanks + lo + "_" + hi. img must be of Format_RGB32. With `drawn`, also
// keeps the range and the values drawn.
std::string drawEtaPicture(QImage& img, const Model& m, const std::string& outfile, const Grid& dataxy, float aaa,
                           float mininp, float maxinp, DrawnField* drawn = nullptr);
// Erases img to white, draws the graph of eta·aaa - tideLevel and returns the caption,
// "lfuvw  " + lo + "_" + hi. img must be of Format_RGB32. With `drawn`, as above.
std::string drawSetupPicture(QImage& img, const Model& m, const Grid& eta, float aaa, float mininp, float maxinp,
                             DrawnField* drawn = nullptr);

// The same on a fresh picture of the window's size at `dpi` (white background).
QImage renderEtaPicture(const Model& m, const std::string& outfile, const Grid& dataxy, float aaa, float mininp,
                        float maxinp, double dpi = 96.0, std::string* caption = nullptr);
QImage renderSetupPicture(const Model& m, const Grid& eta, float aaa, float mininp, float maxinp, double dpi = 96.0,
                          std::string* caption = nullptr);

// The last grid plot and graph of a case, kept for the batch program, which writes them
// as "eta.png" and "setup.png" into the case's output folder when the case ends. Keeping
// copies the grid (its storage is reused from the second call on, so nothing is allocated
// per wave period after the first); the pictures are drawn only when written.
class CasePictures {
public:
    // Model times (s) the titles name: the start of the kept grid plot's wave period and the
    // end of the kept graph's interval.
    double etaTime = 0, setupTime = 0;
    void keepEta(const std::string& outfile, const Grid& dataxy, float aaa, float mininp, float maxinp);
    void keepSetup(const Grid& eta, float aaa, float mininp, float maxinp);
    // Writes the pictures kept since the last write into m.outDir ("eta.png" for the grid
    // plot, "setup.png" for the graph): the interior cells in the windows' colours, each
    // cell a square of whole pixels (frmFieldPicture.h), with a title, axes in metres and
    // the colour bar of the scale. The window's caption is stored as the file's title text.
    // Returns the paths written; throws StopError when a file cannot be written.
    std::vector<std::string> write(const Model& m);
    void clear();
    bool hasEta() const { return hasEta_; }
    bool hasSetup() const { return hasSetup_; }

private:
    bool hasEta_ = false, hasSetup_ = false;
    std::string etaName_;
    Grid etaData_, setupData_;
    float etaAaa_ = 1, etaMin_ = 1, etaMax_ = 1;
    float setupAaa_ = 1, setupMin_ = 1, setupMax_ = 1;
};

// The whole factor by which a picture of w x h pixels is enlarged to about 320 pixels.
int pictureZoom(int w, int h);

// The pictures of the fields engineers look at first, written at the end of a case into
// m.outDir: "wavH.png" (wave height), "currents.png" (current speed with arrows of the
// direction) and "bedchange.png" (bed level change since depAtStart, the still depth at the
// case's start: deposition blue, erosion red), dry and land cells grey, each titled with
// the case and the model time `time` (s). Returns the paths written; StopError on a failure.
std::vector<std::string> writeEndPictures(const Model& m, const Grid& depAtStart, double time);
// The same from the whole fields given (gathered on the first process of a split case).
struct EndFields {
    const Grid *wavH = nullptr, *curU = nullptr, *curV = nullptr, *dep = nullptr, *hTot = nullptr;
    const Grid* depAtStart = nullptr;
};
std::vector<std::string> writeEndPictures(const Model& m, const EndFields& f, double time);

// The title's name of the case of m: its control file's name.
std::string caseTitleName(const Model& m);

}  // namespace littoral
