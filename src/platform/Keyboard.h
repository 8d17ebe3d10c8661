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

// Caps Lock and Num Lock as the X server's keyboard has them, so that a
// change made in another window shows too. Insert has no state there: it
// toggles with each press of the key in this program, starting off, and so
// do the other two where there is no X server.
class SystemKeyboard final : public QObject, public Keyboard {
public:
    // Watches the keys pressed in every window of the application.
    SystemKeyboard();
    ~SystemKeyboard() override;
    LockKeys lockKeys() override;
    // Whether Caps Lock and Num Lock come from the X server.
    bool readsServer() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    LockKeys followed_;
    void* display_ = nullptr;
};

} // namespace platform
