#include "SendKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QWidget>

namespace ui {

namespace {

void post(QWidget* target, const QKeyCombination& key) {
    for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QCoreApplication::postEvent(target,
                                    new QKeyEvent(type, key.key(), key.keyboardModifiers()));
    }
}

} // namespace

void sendKeys(QStringView keys) {
    QWidget* target = QApplication::focusWidget();
    if (!target) {
        target = QApplication::activeWindow();
    }
    if (!target) {
        return; // no window of the program has the keyboard
    }
    for (qsizetype open = keys.indexOf(u'{'); open >= 0; open = keys.indexOf(u'{', open + 1)) {
        const qsizetype close = keys.indexOf(u'}', open + 1);
        if (close < 0) {
            return;
        }
        const QKeySequence named(keys.sliced(open + 1, close - open - 1).toString());
        if (!named.isEmpty()) {
            post(target, named[0]);
        }
        open = close;
    }
}

} // namespace ui
