#pragma once

#include <QColor>
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
// takes them away again. On Windows they go straight onto the screen's
// device context; elsewhere, where the platform cannot show the screen under
// the drawing (offscreen, or a screen that cannot be read), nothing is drawn.
void animate(const QWidget* window, QRect screenRect, qint16 n, Animation animation);

#ifdef Q_OS_WIN
// Draws steps [from, to) on the device context (an HDC) with Windows' own
// Rectangle, in device pixels: `scale` of the program's; a step the same as
// the one before it is not drawn again.
void drawSteps(void* dc, const std::vector<QRect>& steps, std::size_t from, std::size_t to,
               QColor fill, qreal scale);
#endif

} // namespace tables
