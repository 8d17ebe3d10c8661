#include "Keyboard.h"

#include <QGuiApplication>

#include <windows.h>

namespace platform::locks {

// Windows keeps the keys' state for every program; a window of Qt's
// offscreen platform gets no keys from it, so there the presses are followed.
void* source() {
    return QGuiApplication::platformName() == u"windows" ? qGuiApp : nullptr;
}

bool read(void*, LockKeys& keys) {
    // The low bit is the key's toggle.
    keys.insert = (::GetKeyState(VK_INSERT) & 1) != 0;
    keys.capsLock = (::GetKeyState(VK_CAPITAL) & 1) != 0;
    keys.numLock = (::GetKeyState(VK_NUMLOCK) & 1) != 0;
    return true;
}

} // namespace platform::locks
