#pragma once

#include <QRect>
#include <QtGlobal>

#include <vector>

class QWidget;

namespace tables {

enum class Animation { Explode, Implode };

// The rectangles an animation draws over a window's screen rectangle, in
// drawing order: for i = 1 to n (exploding) or n down to 1 (imploding),
// the window's size times i / n, rounded half to even, centred on the
// window. The arithmetic is 16-bit: a rectangle with a corner or a size
// beyond it has no animation, nor has n below 1.
std::vector<QRect> animationSteps(QRect window, qint16 n, Animation animation);

// Draws the steps over the screen, filled with the window's background
// colour and outlined in black, spread over a quarter of a second, then
// takes them away again. Where the platform cannot show the screen under
// the drawing (offscreen, or a screen that cannot be read), nothing is drawn.
void animate(const QWidget* window, QRect screenRect, qint16 n, Animation animation);

} // namespace tables
