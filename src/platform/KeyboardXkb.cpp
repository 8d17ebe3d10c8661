#include "Keyboard.h"

#include <QGuiApplication>

#include <X11/XKBlib.h>
#include <X11/keysym.h>

namespace platform::locks {

// The X display the application runs on, or null on any other platform.
void* source() {
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

// Caps Lock and Num Lock as locked on the server's core keyboard.
bool read(void* display, LockKeys& keys) {
    auto* x = static_cast<Display*>(display);
    XkbStateRec state{};
    if (XkbGetState(x, XkbUseCoreKbd, &state) != Success) {
        return false;
    }
    const unsigned numMask = XkbKeysymToModifiers(x, XK_Num_Lock);
    keys.capsLock = (state.locked_mods & LockMask) != 0;
    keys.numLock = numMask != 0 && (state.locked_mods & numMask) != 0;
    return true;
}

} // namespace platform::locks
