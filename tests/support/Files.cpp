#include "Files.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace test {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes, qint64 at) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek(at));
    QCOMPARE(file.write(bytes), bytes.size());
}

#ifdef Q_OS_WIN
namespace {

// The file's name on the Linux host under Wine; empty elsewhere.
QString unixName(const QString& file) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    const auto convert = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) {
        return {};
    }
    char* name = convert(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(file).utf16()));
    const QString result = QString::fromUtf8(name);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

} // namespace
#endif

QByteArray toolOutput(const QString& tool, QStringList options, const QString& file,
                      const QStringList& after) {
#ifdef Q_OS_WIN
    // Wine starts a Linux program but cannot wait for it: the tool's output
    // goes to a file that takes its name once the tool has finished.
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out"));
    const QString host = unixName(file);
    if (host.isEmpty()) {
        qWarning("%s runs on Wine's Linux host only", qPrintable(tool));
        return {};
    }
    const QStringList script{
        QStringLiteral("-c"),
        QStringLiteral("o=$1; shift; \"$@\" >\"$o.part\"; mv \"$o.part\" \"$o\""),
        QStringLiteral("sh"), unixName(out), tool};
    if (!startOnHost(script + options << host << after)) {
        return {};
    }
    QDeadlineTimer deadline(20000);
    while (!QFile::exists(out) && !deadline.hasExpired()) {
        QThread::msleep(20);
    }
    return fileBytes(out);
#else
    QProcess p;
    p.start(tool, options << file << after);
    p.waitForFinished(20000);
    return p.readAllStandardOutput();
#endif
}

QString hostName(const QString& file) {
#ifdef Q_OS_WIN
    return unixName(file);
#else
    return file;
#endif
}

bool startOnHost(const QStringList& shellArguments) {
#ifdef Q_OS_WIN
    const QString shell = QStringLiteral("Z:/bin/sh");
#else
    const QString shell = QStringLiteral("/bin/sh");
#endif
    // The script keeps none of the test's standard files: a server it leaves
    // running would otherwise hold the test's output open past its end.
    QStringList arguments = shellArguments;
    if (arguments.size() > 1) {
        arguments[1].prepend(QStringLiteral("exec </dev/null >/dev/null 2>&1; "));
    }
    return QProcess::startDetached(shell, arguments);
}

} // namespace test
