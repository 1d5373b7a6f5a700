// The grid plot window: a colour map of the wave surface over the whole grid, ghost ring
// included, drawn at the end of every wave period. The picture is not erased between
// drawings. Created at its first use and sized then from the grid of the current case.
#pragma once

#include <cstdint>
#include <string>

#include "core/Grid.h"
#include "plots/frmPictureBox.h"

namespace littoral {

struct Model;

class frmOvalin : public PlotWindow {
    Q_OBJECT
public:
    // Loads the window for the grid of m (Form_Load).
    explicit frmOvalin(const Model& m, QWidget* parent = nullptr);

    // Picture box, in twips.
    void PictureSize(int32_t xtop, int32_t ytop, int32_t xlength, int32_t ylength);
    // Draws dataxy·aaa over every cell of the grid of m on the range mininp..maxinp
    // (1 and 1: automatic), land grey; the caption shows outfile and the range.
    void plotxy(const Model& m, const std::string& outfile, const Grid& dataxy, float aaa, float mininp,
                float maxinp);

private:
    void Form_Load(const Model& m);
};

}  // namespace littoral
