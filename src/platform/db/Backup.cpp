#include "Backup.h"

#include "Connection.h"
#include "DbError.h"
#include "FileReplace.h"

#include "platform/Progress.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

namespace db {

namespace {

// Small enough steps that readers of the source get their turn between
// them; a book of a few thousand contacts goes in a handful.
constexpr int pagesPerStep = 256;
// A copy is put on disk every so many steps (8 MiB of 4 KiB pages), not
// all at its end, which would keep the window waiting.
constexpr int writeBackSteps = 8;
// How long a source or destination held by another writer is waited for.
constexpr int busyLimitMs = 5000;
constexpr int busyPauseMs = 20;

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

struct Closer {
    void operator()(sqlite3* handle) const { sqlite3_close_v2(handle); }
};
using Handle = std::unique_ptr<sqlite3, Closer>;

// The engine's failure: a result code and its text.
struct Outcome {
    int code = SQLITE_OK;
    QString message;
};

// Why a copy failed, in a few words after the sentence that says what failed.
QString reasonOf(DbErrorKind kind) {
    switch (kind) {
    case DbErrorKind::Locked:
        return QStringLiteral("数据库正被其他程序使用，请稍后再试。");
    case DbErrorKind::DiskFull:
        return QStringLiteral("磁盘已满。");
    case DbErrorKind::Corrupt:
        return QStringLiteral("数据库文件已损坏。");
    case DbErrorKind::NotOurs:
        return QStringLiteral("那不是数据库文件。");
    case DbErrorKind::ReadOnly:
        return QStringLiteral("文件是只读的。");
    default:
        return {};
    }
}

[[noreturn]] void fail(const QString& sentence, const Outcome& outcome, const QString& file,
                       const QString& context) {
    const DbError engine = DbError::fromEngine(outcome.code, outcome.message, file, context);
    const DbErrorKind kind = engine.kind() == DbErrorKind::Other ? DbErrorKind::Io : engine.kind();
    throw DbError(sentence + reasonOf(kind), engine.detail(), outcome.code, kind);
}

[[noreturn]] void cancelled(const QString& sentence, const QString& detail) {
    throw DbError(sentence, detail, SQLITE_INTERRUPT, DbErrorKind::Interrupted);
}

Outcome lastError(sqlite3* handle, int code) {
    return {handle ? sqlite3_extended_errcode(handle) : code,
            handle ? QString::fromUtf8(sqlite3_errmsg(handle))
                   : QString::fromUtf8(sqlite3_errstr(code))};
}

// Opens a file for reading only; never makes one.
Handle openReadOnly(const QString& path) {
    if (!QFileInfo(path).isFile()) {
        throw DbError(QStringLiteral("找不到文件“%1”。").arg(native(path)),
                      QStringLiteral("no such file: ") + path, 0, DbErrorKind::Missing);
    }
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(sqliteFileName(path).constData(), &raw,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    Handle handle(raw);
    if (rc != SQLITE_OK) {
        const Outcome error = lastError(raw, rc);
        throw DbError::fromEngine(error.code, error.message, path,
                                  QStringLiteral("open read-only"));
    }
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, busyPauseMs * 10); // the copy's own loop waits longer
    return handle;
}

// The whole of source's main database into destination's, waiting out
// other writers for a while. Progress counts pages; a cancel leaves the
// destination as it was (SQLITE_INTERRUPT).
Outcome copyPages(sqlite3* destination, sqlite3* source, const platform::Progress& progress) {
    sqlite3_backup* backup = sqlite3_backup_init(destination, "main", source, "main");
    if (!backup) {
        return lastError(destination, SQLITE_ERROR);
    }
    platform::Ticker ticker(progress);
    QElapsedTimer waiting;
    int steps = 0;
    int rc = SQLITE_OK;
    for (;;) {
        rc = sqlite3_backup_step(backup, pagesPerStep);
        if (rc == SQLITE_OK) {
            waiting.invalidate();
            if (++steps % writeBackSteps == 0) {
                writeBack(destination);
            }
            const int total = sqlite3_backup_pagecount(backup);
            if (!ticker.keepGoing(total - sqlite3_backup_remaining(backup), total)) {
                rc = SQLITE_INTERRUPT;
                break;
            }
            continue;
        }
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            if (!waiting.isValid()) {
                waiting.start();
            }
            if (waiting.elapsed() < busyLimitMs) {
                sqlite3_sleep(busyPauseMs);
                continue;
            }
        }
        break;
    }
    const int finished = sqlite3_backup_finish(backup);
    if (rc == SQLITE_DONE) {
        rc = finished;
    }
    if (rc == SQLITE_OK) {
        return {};
    }
    return {rc, QString::fromUtf8(sqlite3_errstr(rc))};
}

void removeWithJournal(const QString& path) {
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
}

void copyFrom(sqlite3* source, const QString& sourcePath, const QString& toPath,
              const platform::Progress& progress) {
    const QString sentence = QStringLiteral("无法把数据库备份到“%1”。").arg(native(toPath));
    const QString partial = toPath + QStringLiteral(".partial");
    // A journal left by an earlier attempt would be played into the new file.
    removeWithJournal(partial);
    if (QFile::exists(partial)) {
        throw DbError(sentence, QStringLiteral("cannot remove ") + partial, 0, DbErrorKind::Io);
    }
    Outcome outcome;
    {
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(
            sqliteFileName(partial).constData(), &raw,
            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
        Handle destination(raw);
        if (rc != SQLITE_OK) {
            outcome = lastError(raw, rc);
        } else {
            sqlite3_exec(raw, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
            outcome = copyPages(raw, source, progress);
        }
    } // closed before the rename, which Windows needs
    if (outcome.code != SQLITE_OK) {
        removeWithJournal(partial);
        if (outcome.code == SQLITE_INTERRUPT) {
            cancelled(QStringLiteral("已取消备份。"), QStringLiteral("backup cancelled"));
        }
        fail(sentence, outcome, sourcePath, QStringLiteral("backup to ") + partial);
    }
    QString error;
    if (!replaceFile(partial, toPath, &error)) {
        removeWithJournal(partial);
        throw DbError(sentence, QStringLiteral("rename %1: %2").arg(partial, error), 0,
                      DbErrorKind::Io);
    }
}

// The header's fields that a commit or a copy renews, as offset and length:
// the same book in two files differs there and nowhere else.
constexpr std::pair<int, int> renewedHeaderFields[] = {{24, 4}, {40, 4}, {92, 8}};
constexpr int headerBytes = 100;
constexpr int compareStep = 1 << 20;

// A database read page by page as the engine has it, inside a read
// transaction that keeps writers out of the file meanwhile. The engine's own
// file handle reads: a descriptor of ours, once closed, would release every
// POSIX lock this process holds on the file, the engine's too.
class PagedFile {
public:
    // Throws DbError when the file cannot be opened or read as a database.
    explicit PagedFile(const QString& path)
        : handle_(openReadOnly(path)) {
        sqlite3* db = handle_.get();
        const int rc = sqlite3_exec(db, "BEGIN; SELECT count(*) FROM sqlite_master", nullptr,
                                    nullptr, nullptr);
        if (rc != SQLITE_OK) {
            const Outcome error = lastError(db, rc);
            throw DbError::fromEngine(error.code, error.message, path, QStringLiteral("read"));
        }
        bytes_ = pragma("page_size") * pragma("page_count");
        sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file_);
    }

    qint64 bytes() const { return bytes_; }

    bool read(char* into, int amount, qint64 offset) const {
        return file_ && file_->pMethods &&
               file_->pMethods->xRead(file_, into, amount, offset) == SQLITE_OK;
    }

private:
    qint64 pragma(const char* name) const {
        sqlite3_stmt* raw = nullptr;
        const QByteArray sql = QByteArray("PRAGMA ") + name;
        sqlite3_prepare_v2(handle_.get(), sql.constData(), -1, &raw, nullptr);
        const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw,
                                                                              &sqlite3_finalize);
        return raw && sqlite3_step(raw) == SQLITE_ROW ? sqlite3_column_int64(raw, 0) : -1;
    }

    Handle handle_;
    sqlite3_file* file_ = nullptr;
    qint64 bytes_ = -1;
};

// The first page's header with the renewed fields blanked; false for a
// database that keeps a write-ahead log, whose file alone is not its content.
bool comparableHeader(char* page) {
    constexpr int writeVersion = 18;
    if (page[writeVersion] != 1 || page[writeVersion + 1] != 1) {
        return false;
    }
    for (const auto& [offset, length] : renewedHeaderFields) {
        std::memset(page + offset, 0, std::size_t(length));
    }
    return true;
}

} // namespace

bool sameDatabase(const QString& path, const QString& otherPath,
                  const platform::Progress& progress) {
    std::optional<PagedFile> one;
    std::optional<PagedFile> other;
    try {
        one.emplace(path);
        other.emplace(otherPath);
    } catch (const DbError&) {
        return false;
    }
    const qint64 total = one->bytes();
    if (total < headerBytes || other->bytes() != total) {
        return false;
    }
    QByteArray a(compareStep, Qt::Uninitialized);
    QByteArray b(compareStep, Qt::Uninitialized);
    platform::Ticker ticker(progress);
    for (qint64 at = 0; at < total; at += compareStep) {
        const int amount = int(std::min<qint64>(compareStep, total - at));
        if (!one->read(a.data(), amount, at) || !other->read(b.data(), amount, at)) {
            return false;
        }
        if (at == 0 && !(comparableHeader(a.data()) && comparableHeader(b.data()))) {
            return false;
        }
        if (std::memcmp(a.constData(), b.constData(), std::size_t(amount)) != 0) {
            return false;
        }
        if (!ticker.keepGoing(at + amount, total)) {
            cancelled(QStringLiteral("已取消备份。"), QStringLiteral("comparison cancelled"));
        }
    }
    return true;
}

void copyDatabase(Connection& from, const QString& toPath, const platform::Progress& progress) {
    if (!from.isOpen()) {
        throw DbError::notOpen(QStringLiteral("backup of closed connection"));
    }
    // A connection in the middle of its own write cannot be the source of a
    // backup; what is committed is read through a connection of its own,
    // which that write's lock keeps unchanged meanwhile.
    if (sqlite3_txn_state(from.handle(), "main") == SQLITE_TXN_WRITE) {
        copyDatabase(from.path(), toPath, progress);
        return;
    }
    copyFrom(from.handle(), from.path(), toPath, progress);
}

void copyDatabase(const QString& fromPath, const QString& toPath,
                  const platform::Progress& progress) {
    Handle source;
    try {
        source = openReadOnly(fromPath);
    } catch (const DbError& e) {
        throw DbError(QStringLiteral("无法把数据库备份到“%1”。").arg(native(toPath)) +
                          e.userMessage(),
                      e.detail(), e.engineCode(), e.kind());
    }
    copyFrom(source.get(), fromPath, toPath, progress);
}

void copyDatabaseInto(const QString& fromPath, Connection& to, const platform::Progress& progress) {
    const QString sentence =
        QStringLiteral("无法用“%1”恢复数据库“%2”。").arg(native(fromPath), native(to.path()));
    if (!to.isOpen()) {
        throw DbError::notOpen(QStringLiteral("restore into closed connection"));
    }
    Handle source;
    try {
        source = openReadOnly(fromPath);
    } catch (const DbError& e) {
        throw DbError(sentence + e.userMessage(), e.detail(), e.engineCode(), e.kind());
    }
    const Outcome outcome = copyPages(to.handle(), source.get(), progress);
    if (outcome.code == SQLITE_INTERRUPT) {
        cancelled(QStringLiteral("已取消恢复，通讯录没有改动。"),
                  QStringLiteral("restore cancelled"));
    }
    if (outcome.code != SQLITE_OK) {
        fail(sentence, outcome, fromPath, QStringLiteral("restore from ") + fromPath);
    }
}

bool removeUnlessInUse(const QString& path) {
    {
        sqlite3* raw = nullptr;
        const int opened = sqlite3_open_v2(sqliteFileName(path).constData(), &raw,
                                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
        const Handle handle(raw);
        // No waiting: a holder is a copy under way. A file that is no
        // database, or none at all, has no holder either.
        const int taken = opened == SQLITE_OK
                              ? sqlite3_exec(raw, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr)
                              : opened;
        if ((taken & 0xff) == SQLITE_BUSY || (taken & 0xff) == SQLITE_LOCKED) {
            return false;
        }
    } // closed first, which Windows needs to remove it
    removeWithJournal(path);
    return true;
}

ReadOnlyDatabase::ReadOnlyDatabase(const QString& path)
    : handle_(openReadOnly(path).release())
    , path_(path) {}

ReadOnlyDatabase::~ReadOnlyDatabase() {
    sqlite3_close_v2(handle_);
}

QStringList ReadOnlyDatabase::column(const QString& sql) const {
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(handle_, utf8.constData(), int(utf8.size()), &raw, nullptr);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, &sqlite3_finalize);
    QStringList values;
    while (rc == SQLITE_OK && (rc = sqlite3_step(raw)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
        values << QString::fromUtf8(text, sqlite3_column_bytes(raw, 0));
        rc = SQLITE_OK;
    }
    if (rc != SQLITE_DONE) {
        const Outcome error = lastError(handle_, rc);
        if (error.code == SQLITE_READONLY_ROLLBACK) {
            // A writer stopped mid-transaction; only a read-write open plays its journal back.
            throw DbError(QStringLiteral("数据库文件“%1”的上次写入没有完成，旁边留有日志文件“%2”。"
                                         "打开这个通讯录时会自动恢复到那次写入之前的内容"
                                         "（需要能写入它所在的文件夹）。")
                              .arg(native(path_), native(path_ + QStringLiteral("-journal"))),
                          error.message + QStringLiteral("; ") + sql, error.code, DbErrorKind::Io);
        }
        throw DbError::fromEngine(error.code, error.message, path_, sql);
    }
    return values;
}

} // namespace db
