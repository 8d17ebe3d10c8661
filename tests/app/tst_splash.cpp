#include "TestServices.h"

#include "app/F_LOGO.h"
#include "platform/ProgramInstance.h"
#include "platform/ui/Twips.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTimer>
#include <QtTest>

#include <csignal>

namespace {

QLabel* label(app::F_LOGO& splash, const char* name) {
    return splash.client()->findChild<QLabel*>(QLatin1String(name));
}

QTimer* timer(app::F_LOGO& splash, const char* name) {
    return splash.client()->findChild<QTimer*>(QLatin1String(name));
}

// Whether the process holds a whole-file lock, as the kernel lists them.
bool holdsLock(qint64 pid) {
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray needle = ' ' + QByteArray::number(pid) + ' ';
    for (const QByteArray& line : locks.readAll().split('\n')) {
        if (line.contains("FLOCK") && line.contains(needle)) {
            return true;
        }
    }
    return false;
}

void startProgram(QProcess& process, const QString& exe = QStringLiteral(YANSHUBU_EXE)) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.start(exe, {});
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
        QCOMPARE(ui::twipsGeometry(marquee), QRect(720, 2760, 720, 150));
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
            platform::LockFileInstance first(exe);
            platform::LockFileInstance second(exe);
            platform::LockFileInstance elsewhere(dir.filePath(QStringLiteral("another copy")));
            QVERIFY(!first.previousInstance());
            QVERIFY(second.previousInstance());
            QVERIFY(second.previousInstance()); // the answer stays
            QVERIFY(!elsewhere.previousInstance());
        }
        platform::LockFileInstance afterwards(exe);
        QVERIFY(!afterwards.previousInstance());
    }

    void onlyOneRealCopyRunsAndACrashDoesNotBlock() {
        QProcess firstCopy;
        startProgram(firstCopy);
        QTRY_VERIFY_WITH_TIMEOUT(holdsLock(firstCopy.processId()), 10000);
        ::kill(pid_t(firstCopy.processId()), SIGSTOP); // keeps it running, and its lock held

        QProcess secondCopy;
        QElapsedTimer clock;
        clock.start();
        startProgram(secondCopy);
        QVERIFY(secondCopy.waitForFinished(10000));
        // A copy that ran would show its splash for 2.5 s before handing over.
        QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(secondCopy.exitStatus(), QProcess::NormalExit);
        QCOMPARE(secondCopy.exitCode(), 0);
        QCOMPARE(secondCopy.readAllStandardOutput(), QByteArray());

        ::kill(pid_t(firstCopy.processId()), SIGKILL); // a crash
        QVERIFY(firstCopy.waitForFinished(10000));

        QProcess thirdCopy;
        startProgram(thirdCopy);
        QTRY_VERIFY_WITH_TIMEOUT(holdsLock(thirdCopy.processId()), 10000);
        thirdCopy.kill();
        QVERIFY(thirdCopy.waitForFinished(10000));
    }

    void theRealProgramReachesTheLoginAndEndsWhenTold() {
        test::ProgramFolder folder;
        const QString exe = folder.path() + QStringLiteral("/yanshubu");
        QVERIFY(QFile::copy(QStringLiteral(YANSHUBU_EXE), exe));
        QProcess program;
        QElapsedTimer clock;
        clock.start();
        startProgram(program, exe);
        // The login dialog is the first window that opens the database.
        const auto atLogin = [&] {
            return test::openHandles(folder.databasePath(), program.processId()) > 0;
        };
        QTRY_VERIFY_WITH_TIMEOUT(atLogin(), 15000);
        QVERIFY2(clock.elapsed() >= 2500, qPrintable(QString::number(clock.elapsed())));
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }
};

int runSplashTests(int argc, char* argv[]) {
    SplashTest tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_splash.moc"
