#include "plots/frmIgwPicture.h"

#include "core/Model.h"
#include "plots/frmRender.h"

namespace littoral {

frmIgwPicture::frmIgwPicture(const Model& m, QWidget* parent) : PlotWindow("frmIgwPicture", parent) { Form_Load(m); }

void frmIgwPicture::Form_Load(const Model& m) {
    // Below the grid plot window (its top 1000 and height + 420 leave 30 twips between).
    const int32_t w = (m.ixEnd + 1) * 20, h = (m.jyEnd + 1) * 20;
    FormSize(0, h + 1450, w, h);
    PictureSize(w, h);
}

void frmIgwPicture::PictureSize(int32_t xlength, int32_t ylength) { placePicture(0, 0, xlength, ylength); }

void frmIgwPicture::graphUVEta(const Model& m, const Grid&, const Grid&, float, const Grid& eta, float aaa,
                               float mininp, float maxinp) {
    // Caption and picture come from the same range; the window shows both at the next
    // event pump.
    PlotReading& r = Picture1->reading();
    const std::string caption = drawSetupPicture(Picture1->picture(), m, eta, aaa, mininp, maxinp, &r.field);
    r.scale = setupPictureScale(m);
    r.dx = m.dx;
    r.dy = m.dy;
    r.quantity = "water level above the tide level";
    r.valid = true;
    showDrawing(caption);
}

}  // namespace littoral
