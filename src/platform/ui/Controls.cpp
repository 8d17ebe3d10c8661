#include "Controls.h"

#include "Twips.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace ui {

QLabel* label(QWidget* form, QStringView name, const QString& caption) {
    auto* l = make<QLabel>(form, name);
    l->setText(caption);
    return l;
}

QPushButton* button(QWidget* form, QStringView name, const QString& caption, int left, int top,
                    int width, int height) {
    auto* b = make<QPushButton>(form, name);
    b->setText(caption);
    place(b, left, top, width, height);
    return b;
}

QFrame* line(QWidget* form, QStringView name, int left, int top, int right) {
    auto* l = make<QFrame>(form, name);
    l->setFrameShape(QFrame::HLine);
    l->setFrameShadow(QFrame::Plain);
    place(l, left, top, right - left, 15);
    return l;
}

void setTextColour(QWidget* control, const QColor& colour) {
    QPalette palette = control->palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(role, colour);
    }
    control->setPalette(palette);
}

void maskPassword(QLineEdit* box) {
    box->setEchoMode(QLineEdit::Password);
    box->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // '*'
    box->setAttribute(Qt::WA_InputMethodEnabled, false);
}

void fitContent(QWidget* form) {
    for (QLabel* label : form->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        if (label->text().isEmpty()) {
            continue;
        }
        const QRect t = twipsGeometry(label);
        const int width = std::max(t.width(), twips(label->sizeHint().width()));
        const int height =
            std::max(t.height(), twips(label->wordWrap() ? label->heightForWidth(px(width))
                                                         : label->sizeHint().height()));
        if (width != t.width() || height != t.height()) {
            place(label, t.x(), t.y(), width, height);
        }
    }
    for (QLineEdit* box : form->findChildren<QLineEdit*>()) {
        box->setMaxLength(std::numeric_limits<int>::max());
    }
}

QTimer* timer(QWidget* form, QStringView name, int intervalMs, Qt::TimerType type) {
    auto* t = make<QTimer>(form, name);
    t->setInterval(intervalMs);
    t->setTimerType(type);
    t->start();
    return t;
}

} // namespace ui
