#pragma once

#include <QString>
#include <QStringView>
#include <Qt>

class QColor;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QWidget;

namespace ui {

// The controls of a window's design, each named as in the design so that
// it can be found by name.
template <class Control> Control* make(QWidget* form, QStringView name) {
    auto* control = new Control(form);
    control->setObjectName(name.toString());
    return control;
}

QLabel* label(QWidget* form, QStringView name, const QString& caption);
QPushButton* button(QWidget* form, QStringView name, const QString& caption, int left, int top,
                    int width, int height);
// A design line: horizontal, one pixel, in the text colour, from left to right.
QFrame* line(QWidget* form, QStringView name, int left, int top, int right);
// A control's text colour, whichever role its style draws the text with.
void setTextColour(QWidget* control, const QColor& colour);
// A password box: shows '*' for each character, and no input method
// composes into it (it would show the password in its candidate window).
void maskPassword(QLineEdit* box);
// A timer that runs from the moment the window loads. A coarse timer may
// fire up to 5 % early; one whose moment matters is precise.
QTimer* timer(QWidget* form, QStringView name, int intervalMs,
              Qt::TimerType type = Qt::CoarseTimer);
// After a window's design is built: a label too small for its caption in
// the font at hand grows right and down until all of it shows, and text
// boxes take text of any length (Qt's boxes stop at 32,767 characters).
void fitContent(QWidget* form);

} // namespace ui
