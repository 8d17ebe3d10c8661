#include "AccessReader.h"

#include "platform/db/DbError.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#if defined(Q_OS_UNIX)
#include <sys/resource.h>
#endif

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define YANSHUBU_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define YANSHUBU_ASAN 1
#endif

namespace legacy {

namespace {

// The longest the reader may go without a word: a real file's next rows
// take milliseconds, opening it well under a second.
constexpr qint64 silenceLimitMs = 8000;
constexpr int waitSliceMs = 50;

QString readerProgram() {
    const QDir here(QCoreApplication::applicationDirPath());
    const QString name = QStringLiteral("yanshubu-access-reader");
    const QString beside = here.filePath(name); // the build, and Windows
    return QFileInfo::exists(beside) || QFileInfo::exists(beside + QStringLiteral(".exe"))
               ? beside
               : here.filePath(QStringLiteral("../libexec/yanshubu/") + name);
}

// The seam where the system caps the reader's memory: an rlimit on data
// here (the heap and anonymous mappings, not the libraries); on Windows the
// reader puts itself in a job object before it reads. AddressSanitizer
// reserves terabytes of address space as it starts, so under it its own
// limit on resident memory serves.
void capMemory(QProcess& process) {
#if defined(YANSHUBU_ASAN)
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) +
                           QStringLiteral(":hard_rss_limit_mb=%1").arg(readerMemoryLimitMiB));
    process.setProcessEnvironment(environment);
#elif defined(Q_OS_UNIX)
    process.setChildProcessModifier([] {
        const rlim_t bytes = rlim_t(readerMemoryLimitMiB) << 20;
        const rlimit limit{bytes, bytes};
        setrlimit(RLIMIT_DATA, &limit);
    });
#else
    Q_UNUSED(process);
#endif
}

} // namespace

AccessReader::AccessReader(const QString& path, const QStringList& tables, KeepWaiting keepWaiting)
    : path_(path)
    , keepWaiting_(std::move(keepWaiting))
    , messages_(readerMemoryLimitMiB << 20) {
    process_.setProgram(readerProgram());
    process_.setArguments(QStringList{QFileInfo(path).absoluteFilePath()} + tables);
    process_.setStandardInputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice()); // libmdb's warnings, by the million
    capMemory(process_);
    process_.start(QIODevice::ReadOnly);
    if (!process_.waitForStarted()) {
        throw db::DbError(QStringLiteral("无法启动读取旧版数据库的程序“%1”。")
                              .arg(QDir::toNativeSeparators(process_.program())),
                          process_.errorString(), 0, db::DbErrorKind::Other);
    }
    const std::optional<Message> first = receive();
    if (first && first->kind != Message::Tables) {
        fail(QStringLiteral("no tables first"));
    }
    if (first) {
        tables_ = first->names;
    }
}

AccessReader::~AccessReader() {
    stop();
}

void AccessReader::stop() {
    process_.kill();
    process_.waitForFinished();
}

bool AccessReader::hasTable(const QString& name) const {
    return tables_.contains(name, Qt::CaseInsensitive);
}

QStringList AccessReader::table(qint64& rowCount) {
    const std::optional<Message> head = receive();
    if (!head) {
        rowCount = 0;
        return {};
    }
    if (head->kind != Message::Head) {
        fail(QStringLiteral("no table where one should begin"));
    }
    rowCount = head->count;
    return head->names;
}

AccessReader::Next AccessReader::next(Row& row, QString& why) {
    std::optional<Message> message = receive();
    if (!message || message->kind == Message::End) {
        return Next::End;
    }
    if (message->kind == Message::Unreadable) {
        why = message->why;
        return Next::Unreadable;
    }
    if (message->kind != Message::Row) {
        fail(QStringLiteral("no row where one should be"));
    }
    row = std::move(message->row);
    return Next::Row;
}

// The next message; nothing once cancelled. The reader's own report of a
// file it cannot read, its end before it is done, and its silence all end
// in the message for a damaged file.
std::optional<Message> AccessReader::receive() {
    QElapsedTimer silence;
    silence.start();
    while (!cancelled_) {
        if (std::optional<Message> message = messages_.take()) {
            if (message->kind == Message::Failed) {
                fail(message->why);
            }
            return message;
        }
        if (keepWaiting_ && !keepWaiting_()) {
            cancelled_ = true;
            stop();
            break;
        }
        if (process_.bytesAvailable() > 0 || process_.waitForReadyRead(waitSliceMs)) {
            messages_.append(process_.readAll());
            silence.restart();
        } else if (process_.state() == QProcess::NotRunning) {
            fail(process_.exitStatus() == QProcess::CrashExit
                     ? QStringLiteral("读取进程异常结束")
                     : QStringLiteral("读取进程在读完之前就结束了（代码 %1）")
                           .arg(process_.exitCode()));
        } else if (silence.elapsed() > silenceLimitMs) {
            fail(QStringLiteral("读取进程 %1 秒没有回应").arg(silenceLimitMs / 1000));
        }
    }
    return std::nullopt;
}

void AccessReader::fail(const QString& why) {
    stop();
    damaged(path_, why);
}

} // namespace legacy
