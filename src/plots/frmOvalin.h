// The grid plot window: a colour map of the wave surface over the whole grid, ghost ring
// included, drawn at the end of every wave period. The picture is not erased between
// drawings. Created at its first use and sized then from the grid of the current case.
#pragma once

#include <QWidget>
#include <cstdint>
#include <string>

#include "core/Grid.h"
#include "plots/frmPictureBox.h"

namespace littoral {

struct Model;

class frmOvalin : public QWidget {
    Q_OBJECT
public:
    // Loads the window for the grid of m (Form_Load).
    explicit frmOvalin(const Model& m, QWidget* parent = nullptr);

    frmPictureBox* Picture1;

    // Window frame and picture box, in twips.
    void FormSize(int32_t xtop, int32_t ytop, int32_t xlength, int32_t ylength);
    void PictureSize(int32_t xtop, int32_t ytop, int32_t xlength, int32_t ylength);
    // Draws dataxy·aaa over every cell of the grid of m on the range mininp..maxinp
    // (1 and 1: automatic), land grey; the caption shows outfile and the range.
    void plotxy(const Model& m, const std::string& outfile, const Grid& dataxy, float aaa, float mininp,
                float maxinp);

    // The twips last given to FormSize and PictureSize (left, top, width, height).
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
