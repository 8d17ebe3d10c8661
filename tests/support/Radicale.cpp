#include "Radicale.h"

#include "Files.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

namespace test {

namespace {

QByteArray waitForLine(const QString& log, const QRegularExpression& line, int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        const QByteArray text = fileBytes(log);
        const QRegularExpressionMatch match = line.match(QString::fromUtf8(text));
        if (match.hasMatch()) {
            return match.captured(1).toUtf8();
        }
        QThread::msleep(20);
    }
    return {};
}

} // namespace

Radicale::Radicale(const QStringList& users, const QStringList& options, int lifetimeS)
    : options_(options)
    , lifetimeS_(lifetimeS) {
    QFile htpasswd(folder_.filePath(QStringLiteral("users")));
    if (!htpasswd.open(QIODevice::WriteOnly)) {
        return;
    }
    for (qsizetype i = 0; i + 1 < users.size(); i += 2) {
        htpasswd.write((users[i] + u':' + users[i + 1] + u'\n').toUtf8());
    }
    htpasswd.close();
    start();
}

Radicale::~Radicale() {
    stop();
    // The storage, in memory where the host has /dev/shm, named here: the
    // folder and its link to the storage are gone before the script runs.
    QFile where(folder_.filePath(QStringLiteral("storage")));
    const QString storage =
        where.open(QIODevice::ReadOnly) ? QString::fromUtf8(where.readAll().trimmed()) : QString();
    if (storage.startsWith(u'/')) {
        startOnHost(
            {QStringLiteral("-c"), QStringLiteral("rm -rf \"$1\""), QStringLiteral("sh"), storage});
    }
}

void Radicale::start() {
    const QString folder = hostName(folder_.path());
    const QString log = folder_.filePath(QStringLiteral("log"));
    QFile::remove(log);
    // A port of its own the first time; the same one after a stop.
    const QString hosts = QStringLiteral("127.0.0.1:%1").arg(port_);
    const QString script =
        QStringLiteral("cd \"$1\" && shift && echo $$ > pid && "
                       "if [ ! -e store ]; then ln -s \"$(mktemp -d /dev/shm/radicale.XXXXXX || "
                       "mktemp -d)\" store && readlink store > storage; fi && "
                       "exec timeout %1 /usr/bin/python3 -m radicale "
                       "--config '' --server-hosts \"$@\" --auth-type htpasswd "
                       "--auth-htpasswd-filename users --auth-htpasswd-encryption plain "
                       "--storage-filesystem-folder store --logging-level info 2> log")
            .arg(lifetimeS_);
    if (folder.isEmpty() || !startOnHost(QStringList{QStringLiteral("-c"), script,
                                                     QStringLiteral("sh"), folder, hosts} +
                                         options_)) {
        port_ = 0;
        return;
    }
    const QByteArray port = waitForLine(
        log, QRegularExpression(QStringLiteral("Listening on '\\[127\\.0\\.0\\.1\\]:(\\d+)'")),
        20000);
    port_ = port.toInt();
    if (port_ > 0 &&
        waitForLine(log, QRegularExpression(QStringLiteral("(server ready)")), 20000).isEmpty()) {
        port_ = 0;
    }
}

void Radicale::stop() {
    const QString folder = hostName(folder_.path());
    const QString log = folder_.filePath(QStringLiteral("log"));
    if (!QFile::exists(folder_.filePath(QStringLiteral("pid"))) || folder.isEmpty()) {
        return;
    }
    startOnHost({QStringLiteral("-c"), QStringLiteral("kill $(cat \"$1/pid\") && rm \"$1/pid\""),
                 QStringLiteral("sh"), folder});
    waitForLine(log, QRegularExpression(QStringLiteral("(Stopping Radicale)")), 20000);
    QDeadlineTimer gone(5000);
    while (QFile::exists(folder_.filePath(QStringLiteral("pid"))) && !gone.hasExpired()) {
        QThread::msleep(20);
    }
}

QString Radicale::folderOf(const QString& path) const {
    return folder_.filePath(QStringLiteral("store/collection-root") + path);
}

QUrl Radicale::url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path));
}

} // namespace test
