#include "plots/frmOvalin.h"

#include "core/Model.h"
#include "plots/frmRender.h"

namespace littoral {

frmOvalin::frmOvalin(const Model& m, QWidget* parent) : PlotWindow("frmOvalin", parent) { Form_Load(m); }

void frmOvalin::Form_Load(const Model& m) {
    // 20 twips per cell, counted from index 0.
    const int32_t w = (m.ixEnd + 1) * 20, h = (m.jyEnd + 1) * 20;
    FormSize(0, 1000, w, h);
    PictureSize(0, 0, w, h);
}

void frmOvalin::PictureSize(int32_t xtop, int32_t ytop, int32_t xlength, int32_t ylength) {
    placePicture(xtop, ytop, xlength, ylength);
}

void frmOvalin::plotxy(const Model& m, const std::string& outfile, const Grid& dataxy, float aaa, float mininp,
                       float maxinp) {
    PlotReading& r = Picture1->reading();
    const std::string caption = drawEtaPicture(Picture1->picture(), m, outfile, dataxy, aaa, mininp, maxinp, &r.field);
    r.scale = etaPictureScale(m);
    r.dx = m.dx;
    r.dy = m.dy;
    r.quantity = QString::fromStdString(outfile);
    r.valid = true;
    showDrawing(caption);
}

}  // namespace littoral
