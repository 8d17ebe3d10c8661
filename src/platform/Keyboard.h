#pragma once

#include <QObject>

namespace platform {

// The keys whose state the status bar shows.
struct LockKeys {
    bool insert = false;
    bool capsLock = false;
    bool numLock = false;
    bool operator==(const LockKeys&) const = default;
};

class Keyboard {
public:
    virtual ~Keyboard() = default;
    virtual LockKeys lockKeys() = 0;
};

// The lock keys as the system has them, so that a change made in another
// window shows too: Caps Lock and Num Lock from the X server's keyboard,
// all three from Windows. Insert has no state in X: it toggles with each
// press of the key in this program, starting off, and so do the other two
// where the system cannot be asked (offscreen).
class SystemKeyboard final : public QObject, public Keyboard {
public:
    // Watches the keys pressed in every window of the application.
    SystemKeyboard();
    ~SystemKeyboard() override;
    LockKeys lockKeys() override;
    // Whether the keys' state comes from the system.
    bool readsSystem() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    LockKeys followed_;
    void* source_ = nullptr;
};

} // namespace platform
