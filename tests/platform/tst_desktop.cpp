#include "platform/CdDevice.h"
#include "platform/Keyboard.h"
#include "platform/ProgramStarter.h"
#include "platform/ui/SendKeys.h"

#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

using platform::DesktopProgram;
using platform::SystemCdDevice;

namespace {

const QString mediaPresent = QStringLiteral("status cdaudio media present");
const QString doorOpen = QStringLiteral("set cdaudio door open");
const QString doorClosed = QStringLiteral("set cdaudio door closed");

// The search path for as long as it lives.
class SearchPath {
public:
    explicit SearchPath(const QString& path)
        : saved_(qgetenv("PATH")) {
        qputenv("PATH", QFile::encodeName(path));
    }
    ~SearchPath() { qputenv("PATH", saved_); }

private:
    QByteArray saved_;
};

#ifndef Q_OS_WIN
void writeScript(const QString& path, const QByteArray& body, bool executable) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n" + body + "\n");
    f.close();
    QFile::Permissions p = QFile::ReadOwner | QFile::WriteOwner;
    if (executable) {
        p |= QFile::ExeOwner;
    }
    f.setPermissions(p);
}
#endif

// Keeps every key event that reaches it.
class KeyLog final : public QLineEdit {
public:
    QList<std::pair<QEvent::Type, int>> keys;

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) {
            keys.append({e->type(), static_cast<QKeyEvent*>(e)->key()});
        }
        return QLineEdit::event(e);
    }
};

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private slots:
#ifndef Q_OS_WIN
    // Linux has no programs of these names: each item tries those of the
    // desktops in turn, and the first found runs.
    void theFirstInstalledProgramStartsAndIsNotWaitedFor() {
        QTemporaryDir bin;
        const QStringList calculators =
            platform::SystemProgramStarter::candidates(DesktopProgram::Calculator);
        QVERIFY(calculators.size() >= 3);
        // The first is there but cannot run; the second can, and runs until
        // told to finish, for at most five seconds.
        const QByteArray go = QFile::encodeName(bin.filePath("go"));
        const QByteArray ran = QFile::encodeName(bin.filePath("ran"));
        writeScript(bin.filePath(calculators[0]), "exit 0", false);
        writeScript(bin.filePath(calculators[1]),
                    // The search path holds only this folder: the shell's own
                    // commands, and sleep from the system's default path.
                    "i=0; while [ $i -lt 100 ] && [ ! -e '" + go +
                        "' ]; do command -p sleep 0.05; i=$((i + 1)); done\n"
                        "echo ran > '" +
                        ran + "'",
                    true);
        writeScript(bin.filePath(calculators[2]), "exit 0", true);
        SearchPath path(bin.path());
        platform::SystemProgramStarter starter;
        QElapsedTimer clock;
        clock.start();
        const platform::ProgramStart start = starter.start(DesktopProgram::Calculator);
        QVERIFY(clock.elapsed() < 4000);
        QVERIFY(start.started);
        QCOMPARE(start.program, calculators[1]);
        QCOMPARE(start.tried, calculators);
        QVERIFY(!QFile::exists(bin.filePath("ran")));
        QFile(bin.filePath("go")).open(QIODevice::WriteOnly);
        QTRY_VERIFY(QFile::exists(bin.filePath("ran")));
    }

    void aMissingDriveAnswersAtOnce() {
        SystemCdDevice drive(QStringLiteral("/nonexistent/cdrom"));
        QElapsedTimer clock;
        clock.start();
        for (const QString& command : {mediaPresent, doorOpen, doorClosed}) {
            const platform::DeviceReply reply = drive.sendString(command);
            QCOMPARE(reply.code, platform::mci::deviceNotReady);
            QVERIFY(reply.text.isEmpty());
        }
        QVERIFY(clock.elapsed() < 100);
        QCOMPARE(drive.sendString(QStringLiteral("play cdaudio")).code,
                 platform::mci::unrecognisedCommand);
        QCOMPARE(drive.sendString(QStringLiteral("set cdaudio door ajar")).code,
                 platform::mci::unrecognisedCommand);
        QCOMPARE(drive.sendString(QStringLiteral("status waveaudio media present")).code,
                 platform::mci::invalidDeviceName);
        QVERIFY(SystemCdDevice::firstOpticalDrive().startsWith(u"/dev/"));
    }

    void aFileThatIsNoDriveRefusesEveryCommand() {
        SystemCdDevice notADrive(QStringLiteral("/dev/null"));
        // Read in any case and spacing, then refused by the device itself.
        QCOMPARE(notADrive.sendString(QStringLiteral("  STATUS cdaudio  Media PRESENT")).code,
                 platform::mci::hardware);
        QCOMPARE(notADrive.sendString(doorOpen).code, platform::mci::hardware);
        QCOMPARE(notADrive.sendString(doorClosed).code, platform::mci::hardware);
    }

#else
    // Windows carries the commands out itself: its answers come back as
    // they are, an unknown command refused at once.
    void theCommandsGoToWindowsOwnDevices() {
        SystemCdDevice drive;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(drive.sendString(QStringLiteral("frobnicate cdaudio")).code,
                 platform::mci::unrecognisedCommand);
        const platform::DeviceReply status = drive.sendString(mediaPresent); // no drive on Wine
        QVERIFY(status.code != 0 || status.text == u"true" || status.text == u"false");
        QVERIFY(clock.elapsed() < 2000);
    }
#endif

    void withNoneInstalledEveryCandidateIsNamed() {
        QTemporaryDir empty;
        SearchPath path(empty.path());
        platform::SystemProgramStarter starter;
        QStringList all;
        for (DesktopProgram program :
             {DesktopProgram::MediaPlayer, DesktopProgram::Calculator, DesktopProgram::TextEditor,
              DesktopProgram::SystemInformation}) {
            const platform::ProgramStart start = starter.start(program);
            QVERIFY(!start.started);
            QVERIFY(start.program.isEmpty());
            QCOMPARE(start.tried, platform::SystemProgramStarter::candidates(program));
            QVERIFY(!start.tried.isEmpty());
            all << start.tried;
        }
        all.removeDuplicates();
#ifdef Q_OS_WIN
        QCOMPARE(all.size(), 4); // the design's own four
#else
        QCOMPARE(all.size(), 27); // no program serves two items
#endif
    }

    void lockKeysToggleOncePerPressInAnyWindow() {
        platform::SystemKeyboard keyboard;
        QVERIFY(!keyboard.readsSystem()); // offscreen: the presses are followed
        QWidget window;
        auto* box = new QLineEdit(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        box->setFocus();
        QWindow* handle = window.windowHandle();
        QCOMPARE(keyboard.lockKeys(), platform::LockKeys{});
        QTest::keyClick(handle, Qt::Key_CapsLock);
        QCOMPARE(keyboard.lockKeys(), (platform::LockKeys{false, true, false}));
        QTest::keyClick(handle, Qt::Key_Insert);
        QTest::keyClick(handle, Qt::Key_NumLock);
        QTest::keyClick(handle, Qt::Key_CapsLock);
        QCOMPARE(keyboard.lockKeys(), (platform::LockKeys{true, false, true}));
        // A key held down repeats without toggling again.
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Insert, Qt::NoModifier, {}, true);
        QCoreApplication::sendEvent(handle, &repeat);
        QVERIFY(keyboard.lockKeys().insert);
    }

    void keysArePostedToTheKeyboardsWindowWithoutWaiting() {
        KeyLog box;
        box.show();
        box.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        box.setFocus();
        ui::sendKeys(u"{F1}");
        QVERIFY(box.keys.isEmpty());
        QCoreApplication::processEvents();
        using Key = std::pair<QEvent::Type, int>;
        QCOMPARE(box.keys,
                 (QList<Key>{{QEvent::KeyPress, Qt::Key_F1}, {QEvent::KeyRelease, Qt::Key_F1}}));
        box.keys.clear();
        ui::sendKeys(u"{F12}{F1}");
        QCoreApplication::processEvents();
        QCOMPARE(box.keys.size(), 4);
        QCOMPARE(box.keys[0].second, int(Qt::Key_F12));
        QCOMPARE(box.keys[2].second, int(Qt::Key_F1));
    }
};

int runDesktopTests(int argc, char* argv[]) {
    DesktopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktop.moc"
