// The pictures of the two windows, drawn here: a file symbol for the
// information window and the rows of the contents list, and the panel with
// the vertical colour gradient.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QWidget>

namespace lumora::lmtools {

// A sheet of paper with a folded corner and a few text lines, `size` pixels square.
QPixmap FilePicture(int size);
// The small picture of a contents row.
QIcon MemberIcon();

// From the button-face colour at the top to teal at the bottom.
class GradientPanel : public QWidget {
public:
    explicit GradientPanel(QWidget* parent = nullptr) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace lumora::lmtools
