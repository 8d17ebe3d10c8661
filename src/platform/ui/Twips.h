#pragma once

#include <QRect>

class QWidget;

// The designs measure in twips: 1440 to the inch, 15 to a pixel at 96 dpi.
// A control remembers its design position in twips, so that moving it in
// twip steps never drifts by pixel rounding.
namespace ui {

constexpr int twipsPerPixel = 15;

constexpr int px(int twips) {
    // Rounds half away from zero, so that -7 and 7 twips both give 0 pixels.
    return twips >= 0 ? (twips + twipsPerPixel / 2) / twipsPerPixel
                      : -((-twips + twipsPerPixel / 2) / twipsPerPixel);
}

constexpr int twips(int pixels) {
    return pixels * twipsPerPixel;
}

QRect rect(int left, int top, int width, int height);

// Puts a control where its design says, in twips relative to its parent.
void place(QWidget* control, int left, int top, int width, int height);

// A control's place in twips: the design value while the control stands
// where that value puts it, else its pixel place converted.
QRect twipsGeometry(const QWidget* control);
inline int left(const QWidget* control) {
    return twipsGeometry(control).x();
}
inline int top(const QWidget* control) {
    return twipsGeometry(control).y();
}
inline int width(const QWidget* control) {
    return twipsGeometry(control).width();
}
inline int height(const QWidget* control) {
    return twipsGeometry(control).height();
}
void setLeft(QWidget* control, int twips);
// Sizes a control to its content, as a label that sizes itself does; its
// place stays.
void autoSize(QWidget* control);
void setTop(QWidget* control, int twips);

} // namespace ui
