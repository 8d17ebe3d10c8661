#include "Keyboard.h"

#include <QGuiApplication>
#include <QKeyEvent>

namespace platform {

// Kept apart from the Qt code: X11's headers define KeyPress and the like.
namespace xkb {
#ifdef Q_OS_WIN
void* display() {
    return nullptr; // no X server: every key is followed
}
bool readLocks(void*, LockKeys&) {
    return false;
}
#else
void* display();
bool readLocks(void* display, LockKeys& keys);
#endif
} // namespace xkb

SystemKeyboard::SystemKeyboard()
    : display_(xkb::display()) {
    qApp->installEventFilter(this);
}

SystemKeyboard::~SystemKeyboard() {
    qApp->removeEventFilter(this);
}

bool SystemKeyboard::readsServer() const {
    return display_ != nullptr;
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
    if (display_) {
        xkb::readLocks(display_, keys);
    }
    return keys;
}

} // namespace platform
