#include "platform/Keyboard.h"

#include <QtTest>

bool lockOnServer(bool capsLock, bool numLock);

// Runs on a real X server: the lock keys are read from it, so that a change
// made anywhere on the desktop shows.
class ServerKeyboardTest : public QObject {
    Q_OBJECT

private slots:
    void theLocksAreTheServers() {
        platform::SystemKeyboard keyboard;
        QVERIFY(keyboard.readsSystem());
        QVERIFY(lockOnServer(true, false));
        QCOMPARE(keyboard.lockKeys(), (platform::LockKeys{false, true, false}));
        QVERIFY(lockOnServer(false, true));
        QCOMPARE(keyboard.lockKeys(), (platform::LockKeys{false, false, true}));
        QVERIFY(lockOnServer(false, false));
        QCOMPARE(keyboard.lockKeys(), platform::LockKeys{});
    }
};

QTEST_MAIN(ServerKeyboardTest)
#include "tst_keyboard_x11.moc"
