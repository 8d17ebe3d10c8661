#include "TestServices.h"

#include "account/NewBook.h"
#include "app/F_LOGO.h"
#include "platform/ProgramInstance.h"
#include "platform/ui/Twips.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTimer>
#include <QtTest>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace {

QLabel* label(app::F_LOGO& splash, const char* name) {
    return splash.client()->findChild<QLabel*>(QLatin1String(name));
}

QTimer* timer(app::F_LOGO& splash, const char* name) {
    return splash.client()->findChild<QTimer*>(QLatin1String(name));
}

#ifdef Q_OS_WIN
// Whether a copy holds the program's name: its mutex exists.
bool holdsName(qint64, const QString& exe = QStringLiteral(YANSHUBU_EXE)) {
    const QString name = platform::SystemProgramInstance::lockName(exe);
    HANDLE mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, reinterpret_cast<LPCWSTR>(name.utf16()));
    if (mutex == nullptr) {
        return false;
    }
    ::CloseHandle(mutex);
    return true;
}
#else
// Whether the process has bound the program's name among the kernel's sockets.
bool holdsName(qint64 pid, const QString& exe = QStringLiteral(YANSHUBU_EXE)) {
    QFile sockets(QStringLiteral("/proc/net/unix"));
    if (!sockets.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray name = '@' + platform::SystemProgramInstance::lockName(exe).toUtf8();
    QByteArray inode;
    for (const QByteArray& line : sockets.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() == 8 && fields[7] == name) {
            inode = fields[6];
        }
    }
    if (inode.isEmpty()) {
        return false;
    }
    const QByteArray socket = "socket:[" + inode + ']';
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString& fd : fds.entryList(QDir::Files | QDir::System)) {
        char target[64] = {};
        const QByteArray link = QFile::encodeName(fds.filePath(fd));
        if (::readlink(link.constData(), target, sizeof target - 1) > 0 && socket == target) {
            return true;
        }
    }
    return false;
}
#endif

QProcessEnvironment programEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

void startProgram(QProcess& process, const QString& exe = QStringLiteral(YANSHUBU_EXE),
                  const QProcessEnvironment& env = programEnvironment(),
                  const QStringList& arguments = {}) {
    process.setProcessEnvironment(env);
    process.start(exe, arguments);
    QVERIFY(process.waitForStarted());
}

} // namespace

class SplashTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestServices> services;
    int handOvers = 0;
    std::unique_ptr<app::F_LOGO> splash;

private slots:
    void init() {
        services = std::make_unique<test::TestServices>();
        handOvers = 0;
        splash = std::make_unique<app::F_LOGO>(services->services, [this] { ++handOvers; });
    }
    void cleanup() {
        QVERIFY2(services->messageBox.problems().isEmpty(),
                 qPrintable(services->messageBox.problems().join('\n')));
        splash.reset();
        services.reset();
    }

    void theSplashIsLaidOutAsDesigned() {
        splash->show();
        QCOMPARE(splash->caption(), QStringLiteral("雁书簿"));
        QCOMPARE(splash->client()->size(), QSize(400, 201));
        QVERIFY(qAbs(splash->top() - 3000) < ui::twipsPerPixel);
        QVERIFY(qAbs(splash->left() - 2800) < ui::twipsPerPixel);
        QLabel* marquee = label(*splash, "Label2");
        QCOMPARE(marquee->text(), QStringLiteral(">>=---> "));
        // Its design height, or a pixel more where the font's line needs it.
        const QRect placed = ui::twipsGeometry(marquee);
        QCOMPARE(placed.topLeft(), QPoint(720, 2760));
        QCOMPARE(placed.width(), 720);
        QVERIFY(placed.height() >= 150 && placed.height() <= 150 + ui::twipsPerPixel);
        QVERIFY(marquee->font().bold());
        QCOMPARE(marquee->font().pointSizeF(), 7.5);
        QCOMPARE(marquee->palette().color(QPalette::WindowText), QColor(Qt::white));
        QVERIFY(!marquee->autoFillBackground());
        QCOMPARE(ui::twipsGeometry(label(*splash, "Label1")), QRect(2880, 1680, 2610, 180));
        QVERIFY(!label(*splash, "Image1")->pixmap().isNull());
        QCOMPARE(timer(*splash, "Timer2")->interval(), 88);
        QCOMPARE(timer(*splash, "Timer1")->interval(), 2500);
        QVERIFY(timer(*splash, "Timer1")->isActive() && timer(*splash, "Timer2")->isActive());
    }

    void theMarqueeRestartsAtItsOwnWidth() {
        splash->show();
        QLabel* marquee = label(*splash, "Label2");
        QList<int> lefts;
        for (int tick = 0; tick < 14; ++tick) {
            splash->Timer2_Timer();
            lefts << ui::left(marquee);
        }
        const QList<int> expected{1720, 2720, 3720, 4720, 5720, 6720, 1720,
                                  2720, 3720, 4720, 5720, 6720, 1720, 2720};
        QCOMPARE(lefts, expected);
    }

    void theHandOverHappensOnceAndClosesTheSplash() {
        splash->show();
        QPointer<QTimer> marquee = timer(*splash, "Timer2");
        splash->Timer1_Timer();
        QCOMPARE(handOvers, 1);
        QVERIFY(!splash->isLoaded());
        QVERIFY(marquee.isNull() || !marquee->isActive());
    }

    void aSecondCopyUnloadsBeforeItIsShown() {
        services->instance.previous = true;
        splash->show();
        QVERIFY(!splash->isLoaded());
        QCOMPARE(handOvers, 0);
    }

    void theLockBelongsToOneProgramAtATime() {
        QTemporaryDir dir;
        const QString exe = dir.filePath(QStringLiteral("雁书簿"));
        QVERIFY(QFile::copy(QStringLiteral(YANSHUBU_EXE), exe));
        {
            platform::SystemProgramInstance first(exe);
            platform::SystemProgramInstance second(exe);
            platform::SystemProgramInstance elsewhere(dir.filePath(QStringLiteral("another copy")));
            QVERIFY(!first.previousInstance());
            QVERIFY(second.previousInstance());
            QVERIFY(second.previousInstance()); // the answer stays
            QVERIFY(!elsewhere.previousInstance());
        }
        platform::SystemProgramInstance afterwards(exe);
        QVERIFY(!afterwards.previousInstance());
    }

    void onlyOneRealCopyRunsWhateverItsEnvironmentAndACrashDoesNotBlock() {
        QTemporaryDir runtime;
        QTemporaryDir firstTemp;
        QTemporaryDir secondTemp;
        QProcessEnvironment env = programEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("TMPDIR"), firstTemp.path());
        QProcess firstCopy;
        startProgram(firstCopy, QStringLiteral(YANSHUBU_EXE), env);
        QTRY_VERIFY_WITH_TIMEOUT(holdsName(firstCopy.processId()), 10000);
#ifndef Q_OS_WIN
        ::kill(pid_t(firstCopy.processId()), SIGSTOP); // keeps it running, and its name held
#endif

        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        env.insert(QStringLiteral("TMPDIR"), secondTemp.path());
        QProcess secondCopy;
        QElapsedTimer clock;
        clock.start();
        startProgram(secondCopy, QStringLiteral(YANSHUBU_EXE), env);
        QVERIFY(secondCopy.waitForFinished(10000));
        // A copy that ran would show its splash for 2.5 s before handing over.
        QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(secondCopy.exitStatus(), QProcess::NormalExit);
        QCOMPARE(secondCopy.exitCode(), 0);
        QCOMPARE(secondCopy.readAllStandardOutput(), QByteArray());

        firstCopy.kill(); // a crash
        QVERIFY(firstCopy.waitForFinished(10000));

        QProcess thirdCopy;
        startProgram(thirdCopy);
        QTRY_VERIFY_WITH_TIMEOUT(holdsName(thirdCopy.processId()), 10000);
        thirdCopy.kill();
        QVERIFY(thirdCopy.waitForFinished(10000));

        // No file was left in the folders the environment names, the
        // temporary one included.
        for (const QTemporaryDir* dir : {&runtime, &firstTemp, &secondTemp}) {
            QDirIterator files(dir->path(), QDir::Files | QDir::System | QDir::Hidden,
                               QDirIterator::Subdirectories);
            QStringList left;
            while (files.hasNext()) {
                left << files.next();
            }
            QCOMPARE(left, QStringList());
        }
    }

    // Copied beside its book, installed with the book in the user's data
    // folder, or told where it is: the program opens that book at its
    // login, and ends when told.
    void theRealProgramReachesTheLoginOnTheBookItFinds() {
#ifdef Q_OS_WIN
        QSKIP("Linux's folders and /proc; the Windows package has a test of its own");
#else
        test::ProgramFolder portable;
        const QString copied = portable.path() + QStringLiteral("/yanshubu");
        QVERIFY(QFile::copy(QStringLiteral(YANSHUBU_EXE), copied));
        QTemporaryDir prefix;
        QTemporaryDir home;
        QCOMPARE(QProcess::execute(QStringLiteral("cmake"),
                                   {"--install", BUILD_DIR, "--prefix", prefix.path()}),
                 0);
        const QString installed = prefix.filePath(QStringLiteral("bin/yanshubu"));
        const QString users = home.filePath(QStringLiteral("yanshubu/MY.mdb"));
        const QString named = home.filePath(QStringLiteral("别处/书.db"));
        for (const QString& book : {users, named}) {
            account::createBook(book, QStringLiteral("admin"), QStringLiteral("123456"));
        }
        QProcessEnvironment env = programEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path());
        const struct {
            QString exe;
            QStringList arguments;
            QString book;
        } runs[] = {{copied, {}, portable.databasePath()},
                    {installed, {}, users},
                    {installed, {QStringLiteral("--database"), named}, named}};
        for (const auto& run : runs) {
            QProcess program;
            QElapsedTimer clock;
            clock.start();
            startProgram(program, run.exe, env, run.arguments);
            // The login dialog is the first window that opens the book.
            QTRY_VERIFY_WITH_TIMEOUT(test::openHandles(run.book, program.processId()) > 0, 15000);
            QVERIFY2(clock.elapsed() >= 2500, qPrintable(QString::number(clock.elapsed())));
            ::kill(pid_t(program.processId()), SIGTERM);
            QVERIFY(program.waitForFinished(10000));
            QCOMPARE(program.exitStatus(), QProcess::NormalExit);
            QCOMPARE(program.exitCode(), 0);
        }
#endif
    }
};

int runSplashTests(int argc, char* argv[]) {
    SplashTest tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_splash.moc"
