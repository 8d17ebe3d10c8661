#include "Twips.h"

#include <QVariant>
#include <QWidget>

namespace ui {

namespace {

const char* const designProperty = "twipsGeometry";

void setTwipsGeometry(QWidget* control, const QRect& t) {
    control->setProperty(designProperty, t);
    control->setGeometry(rect(t.x(), t.y(), t.width(), t.height()));
}

} // namespace

QRect rect(int left, int top, int width, int height) {
    return {px(left), px(top), px(width), px(height)};
}

void place(QWidget* control, int left, int top, int width, int height) {
    setTwipsGeometry(control, {left, top, width, height});
}

QRect twipsGeometry(const QWidget* control) {
    const QRect stored = control->property(designProperty).toRect();
    const QRect pixels = control->geometry();
    if (rect(stored.x(), stored.y(), stored.width(), stored.height()) == pixels &&
        control->property(designProperty).isValid()) {
        return stored;
    }
    return {twips(pixels.x()), twips(pixels.y()), twips(pixels.width()), twips(pixels.height())};
}

void setLeft(QWidget* control, int value) {
    QRect t = twipsGeometry(control);
    t.moveLeft(value);
    setTwipsGeometry(control, t);
}

void autoSize(QWidget* control) {
    const QRect t = twipsGeometry(control);
    const QSize hint = control->sizeHint();
    setTwipsGeometry(control, {t.x(), t.y(), twips(hint.width()), twips(hint.height())});
}

void setTop(QWidget* control, int value) {
    QRect t = twipsGeometry(control);
    t.moveTop(value);
    setTwipsGeometry(control, t);
}

} // namespace ui
