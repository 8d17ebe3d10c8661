#include "Connection.h"

#include "ConnectionString.h"
#include "DbError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <exception>
#include <memory>
#include <vector>

namespace db {

namespace {

// Long enough to ride out another connection's write, short enough that a
// file held by a stuck program is reported instead of freezing the window.
constexpr int busyTimeoutMs = 1500;

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// An address book of the old Windows program: a Jet (or ACE) database file.
bool isAccessFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray head = file.read(20);
    return head.startsWith(QByteArray("\x00\x01\x00\x00", 4)) &&
           (head.mid(4) == QByteArray("Standard Jet DB\0", 16) ||
            head.mid(4) == QByteArray("Standard ACE DB\0", 16));
}

void callTextFunction(sqlite3_context* context, int count, sqlite3_value** values) {
    const auto& function = *static_cast<Connection::TextFunction*>(sqlite3_user_data(context));
    std::vector<QString> arguments;
    arguments.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(values[i]));
        arguments.push_back(QString::fromUtf8(text, sqlite3_value_bytes(values[i])));
    }
    try {
        const QByteArray result = function(arguments).toUtf8();
        sqlite3_result_text(context, result.constData(), int(result.size()), SQLITE_TRANSIENT);
    } catch (const std::exception& e) {
        sqlite3_result_error(context, e.what(), -1); // the statement fails, nothing is written
    }
}

void deleteTextFunction(void* function) {
    delete static_cast<Connection::TextFunction*>(function);
}

} // namespace

Connection::~Connection() {
    close();
}

void Connection::open(const QString& connectionString) {
    const QString path = dataSource(connectionString);
    if (path.isEmpty()) {
        throw DbError(QStringLiteral("连接字符串中没有指明数据库文件。"),
                      QStringLiteral("no Data Source in: ") + connectionString);
    }
    const QFileInfo info(path);
    if (!info.exists()) {
        throw DbError(QStringLiteral("找不到数据库文件“%1”。请把它放到程序所在的文件夹中，"
                                     "或者用命令 yanshubu-db init 新建一个。")
                          .arg(native(path)),
                      QStringLiteral("file does not exist: ") + path, 0, DbErrorKind::Missing);
    }
    if (!info.isFile()) {
        throw DbError(QStringLiteral("无法打开数据库文件“%1”。").arg(native(path)),
                      QStringLiteral("not a regular file: ") + path);
    }
    openPath(path);
}

void Connection::create(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        const QString message = file.exists() ? QStringLiteral("文件“%1”已经存在，不会覆盖它。")
                                              : QStringLiteral("无法创建数据库文件“%1”。");
        throw DbError(message.arg(native(path)), file.errorString() + QStringLiteral(": ") + path);
    }
    file.close();
    try {
        openPath(path);
    } catch (...) {
        QFile::remove(path); // never leave an empty file that is no database
        throw;
    }
}

QByteArray sqliteFileName(const QString& path) {
#ifdef Q_OS_WIN
    return path.toUtf8();
#else
    return QFile::encodeName(path);
#endif
}

void Connection::openPath(const QString& path) {
    close();
    sqlite3* handle = nullptr;
    const int rc = sqlite3_open_v2(sqliteFileName(path).constData(), &handle,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    handle_ = handle;
    path_ = path;
    if (rc != SQLITE_OK) {
        const int code = handle ? sqlite3_extended_errcode(handle) : rc;
        const QString message = handle ? QString::fromUtf8(sqlite3_errmsg(handle))
                                       : QString::fromUtf8(sqlite3_errstr(rc));
        close();
        throw DbError::fromEngine(code, message, path, QStringLiteral("open"));
    }
    sqlite3_extended_result_codes(handle_, 1);
    sqlite3_busy_timeout(handle_, busyTimeoutMs);
    try {
        // Reading the schema proves the file is a database and not locked.
        execute(QStringLiteral("PRAGMA synchronous=FULL; SELECT count(*) FROM sqlite_master;"));
    } catch (const DbError& e) {
        close();
        if ((e.engineCode() & 0xff) == SQLITE_NOTADB && isAccessFile(path)) {
            throw DbError(QStringLiteral("文件“%1”是旧版程序的 Access 数据库，"
                                         "雁书簿不能直接打开它。")
                              .arg(native(path)),
                          e.detail(), e.engineCode(), DbErrorKind::OldAccessFile);
        }
        throw;
    }
}

void Connection::close() {
    progress_ = {};
    beforeWrite_ = {};
    reserved_.clear();
    if (handle_) {
        sqlite3_close_v2(handle_);
        handle_ = nullptr;
    }
}

int Connection::authorize(void* self, int action, const char* table, const char*, const char*,
                          const char* trigger) {
    const auto& connection = *static_cast<const Connection*>(self);
    const bool writes =
        action == SQLITE_INSERT || action == SQLITE_UPDATE || action == SQLITE_DELETE;
    if (!writes || trigger != nullptr || connection.owned_ > 0 ||
        !connection.reserved_.contains(QString::fromUtf8(table), Qt::CaseInsensitive)) {
        return SQLITE_OK;
    }
    qWarning("write to %s refused: it has an owner", table);
    return SQLITE_DENY;
}

void Connection::reserveWrites(const QStringList& tables) {
    reserved_ = tables;
    sqlite3_set_authorizer(handle_, reserved_.isEmpty() ? nullptr : &Connection::authorize, this);
}

bool Connection::inTransaction() const {
    return handle_ != nullptr && sqlite3_get_autocommit(handle_) == 0;
}

void Connection::beforeFirstWrite(std::function<void()> action) {
    beforeWrite_ = std::move(action);
}

qint64 Connection::lastInsertedRow() const {
    return handle_ ? sqlite3_last_insert_rowid(handle_) : 0;
}

void Connection::execute(const QString& sql) {
    if (!handle_) {
        throw DbError::notOpen(QStringLiteral("execute on closed connection"));
    }
    char* error = nullptr;
    const int rc = sqlite3_exec(handle_, sql.toUtf8().constData(), nullptr, nullptr, &error);
    sqlite3_free(error);
    if (rc != SQLITE_OK) {
        fail(rc, sql);
    }
}

void Connection::defineFunction(const char* name, int argumentCount, TextFunction function) {
    if (!handle_) {
        throw DbError::notOpen(QStringLiteral("function on closed connection"));
    }
    const int rc = sqlite3_create_function_v2(
        handle_, name, argumentCount, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
        new TextFunction(std::move(function)), &callTextFunction, nullptr, nullptr,
        &deleteTextFunction);
    if (rc != SQLITE_OK) {
        fail(rc, QStringLiteral("define function ") + QLatin1String(name));
    }
}

void Connection::setProgressHandler(std::function<bool()> handler) {
    progress_ = std::move(handler);
    if (!handle_) {
        return;
    }
    // Often enough to keep a window painted, rarely enough to cost nothing.
    constexpr int instructions = 10000;
    sqlite3_progress_handler(
        handle_, progress_ ? instructions : 0,
        [](void* connection) { return static_cast<Connection*>(connection)->progress_() ? 0 : 1; },
        this);
}

void writeBack(sqlite3* handle) {
    sqlite3_file* file = nullptr;
    if (handle &&
        sqlite3_file_control(handle, "main", SQLITE_FCNTL_FILE_POINTER, &file) == SQLITE_OK &&
        file && file->pMethods) {
        file->pMethods->xSync(file, SQLITE_SYNC_NORMAL);
    }
}

void Connection::writeBack() {
    db::writeBack(handle_);
}

void Connection::flushCache() {
    if (handle_) {
        sqlite3_db_cacheflush(handle_);
    }
}

std::function<bool()> Connection::writingBack(std::function<bool()> keepGoing) {
    auto since = std::make_shared<QElapsedTimer>();
    since->start();
    return [this, keepGoing = std::move(keepGoing), since] {
        if (since->hasExpired(100)) {
            writeBack();
            since->restart();
        }
        return !keepGoing || keepGoing();
    };
}

void Connection::discardTemporaries() {
    // Changing where temporary tables are kept closes their database. A
    // failure (a statement still reading one) leaves them.
    sqlite3_exec(handle_, "PRAGMA temp_store = 2; PRAGMA temp_store = 1", nullptr, nullptr,
                 nullptr);
}

void Connection::fail(int code, const QString& context) const {
    const int extended = handle_ ? sqlite3_extended_errcode(handle_) : code;
    const QString message = handle_ ? QString::fromUtf8(sqlite3_errmsg(handle_))
                                    : QString::fromUtf8(sqlite3_errstr(code));
    throw DbError::fromEngine(extended, message, path_, context);
}

} // namespace db
