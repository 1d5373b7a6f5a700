// Picture1 of the plot windows: a picture box that holds its drawing in an image and
// shows it when the window system repaints. Drawing goes into picture() and is cheap; the
// window shows it at the next event pump after update().
#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>

namespace littoral {

class frmPictureBox : public QWidget {
public:
    explicit frmPictureBox(QWidget* parent = nullptr);
    // Places the box in its window, in twips; a new size starts a white picture.
    void setTwipsGeometry(int32_t left, int32_t top, int32_t width, int32_t height);
    QImage& picture() { return image_; }
    const QImage& picture() const { return image_; }

    // Twips to pixels with the logical resolution of the screen that shows w.
    static int twipsX(const QWidget* w, int32_t twips);
    static int twipsY(const QWidget* w, int32_t twips);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QImage image_;
};

// What both plot windows share: the picture box Picture1, the frame set by FormSize in
// twips (applied again once the window system has put its frame around the window, so
// that the frame counts within the size), and the twips last given, for the tests.
class PlotWindow : public QWidget {
public:
    frmPictureBox* Picture1;

    // Window frame, in twips.
    void FormSize(int32_t xtop, int32_t ytop, int32_t xlength, int32_t ylength);

    // The twips last given to FormSize and PictureSize (left, top, width, height).
    struct Twips { int32_t left = 0, top = 0, width = 0, height = 0; };
    Twips formTwips() const { return form_; }
    Twips pictureTwips() const { return picture_; }

protected:
    // A top-level window named `name`, captioned "Form1" until its first drawing; closing
    // it does not end the program (the start-up window alone does).
    PlotWindow(const char* name, QWidget* parent);
    void placePicture(int32_t left, int32_t top, int32_t width, int32_t height);
    void showEvent(QShowEvent* e) override;

private:
    Twips form_, picture_;
    bool shownOnce_ = false;
};

// Sets a window's frame to left xtop, top ytop, height ylength + 420 and width
// xlength + 160 twips (the additions hold the frame and the title bar
// around a picture of xlength x ylength). The frame's own margins, where the window
// system has told them, are taken off the client size.
void applyFormSize(QWidget* window, int32_t xtop, int32_t ytop, int32_t xlength, int32_t ylength);

}  // namespace littoral
