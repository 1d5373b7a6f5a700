// The graph window: a colour map of the mean water level above the tide level over the
// interior cells, redrawn on a white picture after every output interval. Created at its
// first use, right below the grid plot window, and sized then from the current grid.
#pragma once

#include <QWidget>
#include <cstdint>

#include "core/Grid.h"
#include "plots/frmPictureBox.h"

namespace littoral {

struct Model;

class frmIgwPicture : public QWidget {
    Q_OBJECT
public:
    // Loads the window for the grid of m (Form_Load).
    explicit frmIgwPicture(const Model& m, QWidget* parent = nullptr);

    frmPictureBox* Picture1;

    void FormSize(int32_t xtop, int32_t ytop, int32_t xlength, int32_t ylength);
    // Picture box at the window's top left corner, xlength x ylength twips.
    void PictureSize(int32_t xlength, int32_t ylength);
    // Draws eta·aaa - tideLevel over the interior of the grid of m on the range
    // mininp..maxinp (1 and 1: automatic), land grey. fx, fy and bbb (the current and its
    // scale) are passed along by the main loop and not drawn.
    void graphUVEta(const Model& m, const Grid& fx, const Grid& fy, float bbb, const Grid& eta, float aaa,
                    float mininp, float maxinp);

    struct Twips { int32_t left = 0, top = 0, width = 0, height = 0; };
    Twips formTwips() const { return form_; }
    Twips pictureTwips() const { return picture_; }

protected:
    void showEvent(QShowEvent* e) override;

private:
    void Form_Load(const Model& m);
    Twips form_, picture_;
    bool shownOnce_ = false;
};

}  // namespace littoral
