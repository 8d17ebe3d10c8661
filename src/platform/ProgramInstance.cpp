#include "ProgramInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

LockFileInstance::LockFileInstance(const QString& executablePath)
    : path_(lockPath(executablePath)) {}

LockFileInstance::~LockFileInstance() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

QString LockFileInstance::lockPath(const QString& executablePath) {
    const QString canonical = QFileInfo(executablePath).canonicalFilePath();
    const QByteArray key = QCryptographicHash::hash(
        (canonical.isEmpty() ? executablePath : canonical).toUtf8(), QCryptographicHash::Sha1);
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QDir::tempPath();
    }
    // The user's number keeps two people on one machine from blocking each other.
    return folder + QStringLiteral("/yanshubu-%1-%2.lock")
                        .arg(::getuid())
                        .arg(QString::fromLatin1(key.toHex().left(16)));
}

bool LockFileInstance::previousInstance() {
    if (asked_) {
        return previous_;
    }
    asked_ = true;
    fd_ = ::open(QFile::encodeName(path_).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        // Without a lock file there is no way to tell; let this copy run.
        return previous_ = false;
    }
    int rc = 0;
    do {
        rc = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    previous_ = rc != 0 && errno == EWOULDBLOCK;
    if (rc != 0) {
        ::close(fd_);
        fd_ = -1;
    }
    return previous_;
}

} // namespace platform
