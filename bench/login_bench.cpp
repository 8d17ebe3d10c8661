// Times the way into the program: from process start to the login dialog
// (the real program, in a folder of its own), and from pressing 确定 to the
// card showing its first contact, with 100 and with 100,000 contacts; and
// the birthday reminder's work, which runs beside the card after that.
//
//   make bench            (or: build/bin/login_bench)

#include "BenchData.h"

#include "app/Forms.h"
#include "birthdays/Coming.h"
#include "contacts/Schema.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <csignal>

namespace {

// Whether the process has the file open: the login dialog is the first
// window that opens the database.
bool hasOpen(qint64 pid, const QString& path) {
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::Files | QDir::System)) {
        if (fd.symLinkTarget() == target) {
            return true;
        }
    }
    return false;
}

qint64 startToLogin(const QString& folder) {
    const QString exe = folder + QStringLiteral("/yanshubu");
    QFile::copy(QStringLiteral(YANSHUBU_EXE), exe);
    QProcess program;
    QElapsedTimer timer;
    timer.start();
    program.start(exe, {});
    program.waitForStarted();
    while (!hasOpen(program.processId(), folder + QStringLiteral("/MY.mdb")) &&
           timer.elapsed() < 20000) {
        QThread::msleep(2);
    }
    const qint64 elapsed = timer.elapsed() < 20000 ? timer.elapsed() : -1; // -1: never reached
    ::kill(pid_t(program.processId()), SIGTERM);
    program.waitForFinished();
    return elapsed;
}

qint64 okToFirstContact(const QString& folder) {
    const bench::BenchServices doubles(folder);
    const platform::Services& services = doubles.services;
    app::Forms forms(services);
    forms.F_DL.show();
    forms.F_DL.controls().txtPassword->setText(QStringLiteral("123456"));
    QElapsedTimer timer;
    timer.start();
    forms.F_DL.controls().cmdOK->click();
    QCoreApplication::processEvents();
    const qint64 elapsed = timer.elapsed();
    if (!forms.F_EDIT.isLoaded() ||
        forms.F_EDIT.controls().data[0]->property("text").toString().isEmpty()) {
        return -1; // no contact shown: the figure would mean nothing
    }
    forms.MDI_OK.unload();
    return elapsed;
}

qint64 birthdayReminder(const QString& folder) {
    db::Connection connection;
    contacts::openDatabase(connection, db::connectionString(folder + QStringLiteral("/MY.mdb")));
    const std::atomic_bool going = false;
    QElapsedTimer timer;
    timer.start();
    const auto coming = birthdays::comingBirthdays(connection, QDate::currentDate(), 7, going);
    const qint64 elapsed = timer.elapsed();
    return coming.empty() ? -1 : elapsed; // -1: nothing found, the figure would mean nothing
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QTextStream out(stdout);
    for (const int count : bench::countsFrom(argc, argv, {100, 100000})) {
        QTemporaryDir dir;
        bench::makeDatabase(dir.path(), count);
        out << count << " contacts:\n";
        out << "  start to login dialog:   " << startToLogin(dir.path()) << " ms\n";
        out << "  确定 to first contact:    " << okToFirstContact(dir.path()) << " ms\n";
        out << "  birthday reminder, aside: " << birthdayReminder(dir.path()) << " ms\n";
        out.flush();
    }
    return 0;
}
