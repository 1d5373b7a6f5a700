#include "plots/frmOvalin.h"

#include <QShowEvent>

#include "core/Model.h"
#include "plots/frmRender.h"

namespace littoral {

frmOvalin::frmOvalin(const Model& m, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("frmOvalin");
    setWindowTitle("Form1");
    setAttribute(Qt::WA_QuitOnClose, false);  // the start-up window alone ends the program
    Picture1 = new frmPictureBox(this);
    Form_Load(m);
}

void frmOvalin::Form_Load(const Model& m) {
    // 20 twips per cell, counted from index 0.
    const int32_t w = (m.ixEnd + 1) * 20, h = (m.jyEnd + 1) * 20;
    FormSize(0, 1000, w, h);
    PictureSize(0, 0, w, h);
}

void frmOvalin::FormSize(int32_t xtop, int32_t ytop, int32_t xlength, int32_t ylength) {
    form_ = {xtop, ytop, xlength, ylength};
    applyFormSize(this, xtop, ytop, xlength, ylength);
}

void frmOvalin::PictureSize(int32_t xtop, int32_t ytop, int32_t xlength, int32_t ylength) {
    picture_ = {xtop, ytop, xlength, ylength};
    Picture1->setTwipsGeometry(xtop, ytop, xlength, ylength);
}

void frmOvalin::showEvent(QShowEvent* e) {
    // Once the window system has put its frame around the window, the frame counts
    // within the size that FormSize gave.
    if (!shownOnce_) {
        shownOnce_ = true;
        applyFormSize(this, form_.left, form_.top, form_.width, form_.height);
    }
    QWidget::showEvent(e);
}

void frmOvalin::plotxy(const Model& m, const std::string& outfile, const Grid& dataxy, float aaa, float mininp,
                       float maxinp) {
    const std::string caption = drawEtaPicture(Picture1->picture(), m, outfile, dataxy, aaa, mininp, maxinp);
    setWindowTitle(QString::fromStdString(caption));
    Picture1->update();
}

}  // namespace littoral
