#include "Keyboard.h"

#include <QGuiApplication>
#include <QKeyEvent>

namespace platform {

// The system's side, kept apart from the Qt code: X11's headers define
// KeyPress and the like (KeyboardXkb.cpp, KeyboardWin.cpp).
namespace locks {
// Where the keys' state is read, or null where the presses are followed.
void* source();
// Fills in what the system knows of the keys; false if it could not tell.
bool read(void* source, LockKeys& keys);
} // namespace locks

SystemKeyboard::SystemKeyboard()
    : source_(locks::source()) {
    qApp->installEventFilter(this);
}

SystemKeyboard::~SystemKeyboard() {
    qApp->removeEventFilter(this);
}

bool SystemKeyboard::readsSystem() const {
    return source_ != nullptr;
}

bool SystemKeyboard::eventFilter(QObject* watched, QEvent* event) {
    // A key press reaches the filter once for every widget it is offered to,
    // so it counts only on its way to a window.
    if (event->type() == QEvent::KeyPress && watched->isWindowType()) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (!key->isAutoRepeat()) {
            switch (key->key()) {
            case Qt::Key_Insert:
                followed_.insert = !followed_.insert;
                break;
            case Qt::Key_CapsLock:
                followed_.capsLock = !followed_.capsLock;
                break;
            case Qt::Key_NumLock:
                followed_.numLock = !followed_.numLock;
                break;
            default:
                break;
            }
        }
    }
    return false;
}

LockKeys SystemKeyboard::lockKeys() {
    LockKeys keys = followed_;
    if (source_) {
        locks::read(source_, keys);
    }
    return keys;
}

} // namespace platform
