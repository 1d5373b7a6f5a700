// The graph window: a colour map of the mean water level above the tide level over the
// interior cells, redrawn on a white picture after every output interval. Created at its
// first use, right below the grid plot window, and sized then from the current grid.
#pragma once

#include <cstdint>

#include "core/Grid.h"
#include "plots/frmPictureBox.h"

namespace littoral {

struct Model;

class frmIgwPicture : public PlotWindow {
    Q_OBJECT
public:
    // Loads the window for the grid of m (Form_Load).
    explicit frmIgwPicture(const Model& m, QWidget* parent = nullptr);

    // Picture box at the window's top left corner, xlength x ylength twips.
    void PictureSize(int32_t xlength, int32_t ylength);
    // Draws eta·aaa - tideLevel over the interior of the grid of m on the range
    // mininp..maxinp (1 and 1: automatic), land grey. fx, fy and bbb (the current and its
    // scale) are passed along by the main loop and not drawn.
    void graphUVEta(const Model& m, const Grid& fx, const Grid& fy, float bbb, const Grid& eta, float aaa,
                    float mininp, float maxinp);

private:
    void Form_Load(const Model& m);
};

}  // namespace littoral
