#include "FileReplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace db {

#ifdef Q_OS_WIN

bool replaceFile(const QString& from, const QString& to, QString* error) {
    const QString source = QDir::toNativeSeparators(QFileInfo(from).absoluteFilePath());
    const QString target = QDir::toNativeSeparators(QFileInfo(to).absoluteFilePath());
    // One step that either happens or not, flushed before it returns.
    if (::MoveFileExW(reinterpret_cast<LPCWSTR>(source.utf16()),
                      reinterpret_cast<LPCWSTR>(target.utf16()),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    if (error) {
        wchar_t* text = nullptr;
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                             FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, ::GetLastError(), 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
        *error = QString::fromWCharArray(text ? text : L"").trimmed();
        ::LocalFree(text);
    }
    return false;
}

#else

bool replaceFile(const QString& from, const QString& to, QString* error) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        if (error) {
            *error = QString::fromLocal8Bit(std::strerror(errno));
        }
        return false;
    }
    // A rename is on disk only once its folder is.
    const int folder =
        ::open(QFile::encodeName(QFileInfo(to).absolutePath()).constData(), O_RDONLY);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

#endif

bool syncToDisk(QFileDevice& file) {
#ifdef Q_OS_WIN
    return ::_commit(file.handle()) == 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

} // namespace db
