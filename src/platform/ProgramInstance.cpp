#include "ProgramInstance.h"

#include <QCryptographicHash>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace platform {

SystemProgramInstance::SystemProgramInstance(const QString& executablePath)
    : name_(lockName(executablePath)) {}

SystemProgramInstance::~SystemProgramInstance() {
    if (release_) {
        release_();
    }
}

QString SystemProgramInstance::lockName(const QString& executablePath) {
    const QString canonical = QFileInfo(executablePath).canonicalFilePath();
    QString path = canonical.isEmpty() ? executablePath : canonical;
#ifdef Q_OS_WIN
    path = path.toLower(); // one file, however its path is spelt
#endif
    const QString key = QString::fromLatin1(
        QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex().left(32));
#ifdef Q_OS_WIN
    // Mutex names in the Local namespace belong to one logon session.
    return QStringLiteral("Local\\yanshubu-") + key;
#else
    // The user's number keeps two people on one machine from blocking each other.
    return QStringLiteral("yanshubu-%1-%2").arg(::getuid()).arg(key);
#endif
}

#ifdef Q_OS_WIN

bool SystemProgramInstance::previousInstance() {
    if (asked_) {
        return previous_;
    }
    asked_ = true;
    // Not inheritable: a program started from here must not keep the name.
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, reinterpret_cast<LPCWSTR>(name_.utf16()));
    if (mutex == nullptr) {
        return previous_ = false; // no way to tell; let this copy run
    }
    previous_ = ::GetLastError() == ERROR_ALREADY_EXISTS;
    if (previous_) {
        ::CloseHandle(mutex);
    } else {
        release_ = [mutex] { ::CloseHandle(mutex); };
    }
    return previous_;
}

#else

bool SystemProgramInstance::previousInstance() {
    if (asked_) {
        return previous_;
    }
    asked_ = true;
    // Close on exec: a program started from here must not keep the name.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return previous_ = false; // no way to tell; let this copy run
    }
    const QByteArray name = name_.toUtf8();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // A leading zero byte puts the name in the abstract namespace: no file.
    const std::size_t size = std::min(std::size_t(name.size()), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.constData(), size);
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
        release_ = [fd] { ::close(fd); };
        return previous_ = false;
    }
    previous_ = errno == EADDRINUSE;
    ::close(fd);
    return previous_;
}

#endif

} // namespace platform
