// yanshubu-access-reader FILE [TABLE...]: reads the named tables of an old
// Access file and writes them to standard output as messages for the
// program (ReaderStream.h). It runs as a process of its own so that a
// damaged file that crashes libmdb or makes it loop takes only this down.

#include "AccessFile.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <memory>

#ifdef _WIN32
#include <QTemporaryFile>

#include <algorithm>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// after windows.h, whose types it needs
#include <shellapi.h>
#endif

namespace {

#ifdef _WIN32
// The arguments as typed, whatever the code page: argv has them in it.
QStringList arguments(int, char*[]) {
    int count = 0;
    wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    QStringList list;
    for (int i = 0; i < count; ++i) {
        list << QString::fromWCharArray(words[i]);
    }
    ::LocalFree(words);
    return list;
}

bool plain(const QString& name) {
    return std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// A job of its own caps the memory this process may commit.
void capMemory() {
    HANDLE job = ::CreateJobObjectW(nullptr, nullptr); // held until the process ends
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY;
    limits.ProcessMemoryLimit = SIZE_T(legacy::readerMemoryLimitMiB) << 20;
    if (job) {
        ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        ::AssignProcessToJobObject(job, ::GetCurrentProcess());
    }
}

QString shortName(const QString& path) {
    wchar_t name[MAX_PATH];
    const DWORD length =
        ::GetShortPathNameW(reinterpret_cast<LPCWSTR>(path.utf16()), name, MAX_PATH);
    return length > 0 && length < MAX_PATH ? QString::fromWCharArray(name, int(length)) : path;
}

// libmdb opens a file with fopen, whose names are in the ANSI code page: a
// file named outside plain ASCII is opened by its short (8.3) name, or,
// where the disk keeps none, through a copy with a plain name.
QString openableName(const QString& path, std::unique_ptr<QFile>& copy) {
    if (plain(path)) {
        return path;
    }
    if (const QString name = shortName(path); plain(name)) {
        return name;
    }
    copy.reset(QTemporaryFile::createNativeFile(path));
    return copy ? shortName(copy->fileName()) : path;
}
#else
QStringList arguments(int argc, char* argv[]) {
    QStringList list;
    for (int i = 0; i < argc; ++i) {
        list << QString::fromLocal8Bit(argv[i]);
    }
    return list;
}

// Any name opens as it is.
QString openableName(const QString& path, std::unique_ptr<QFile>&) {
    return path;
}
#endif

} // namespace

int main(int argc, char* argv[]) {
    const QStringList args = arguments(argc, argv);
    if (args.size() < 2) {
        std::fputs("usage: yanshubu-access-reader FILE [TABLE...]\n", stderr);
        return 2;
    }
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY); // the messages are bytes: no CR before each LF
    capMemory();
#endif
    std::unique_ptr<QFile> copy; // the file under a name libmdb can open, if one was needed
    const QString file = openableName(args[1], copy);
    legacy::readTables(file, args.mid(2), [](const legacy::Message& m) {
        const QByteArray bytes = legacy::encode(m);
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    });
    return std::fflush(stdout) == 0 ? 0 : 1;
}
