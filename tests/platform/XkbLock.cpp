#include <QGuiApplication>

#include <X11/XKBlib.h>
#include <X11/keysym.h>

// Locks or unlocks Caps Lock and Num Lock on the X server, as the keys would.
bool lockOnServer(bool capsLock, bool numLock) {
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11) {
        return false;
    }
    Display* display = x11->display();
    const unsigned num = XkbKeysymToModifiers(display, XK_Num_Lock);
    const unsigned affect = LockMask | num;
    const unsigned values = (capsLock ? LockMask : 0u) | (numLock ? num : 0u);
    const bool sent = XkbLockModifiers(display, XkbUseCoreKbd, affect, values);
    XSync(display, False);
    return sent && num != 0;
}
