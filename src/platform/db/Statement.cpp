#include "Statement.h"

#include "Connection.h"
#include "DbError.h"

#include <sqlite3.h>

#include <utility>

namespace db {

namespace {

QString utf8OrEmpty(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace

Statement::Statement(const Connection& connection, const QString& sql)
    : connection_(connection)
    , sql_(sql) {
    if (!connection.isOpen()) {
        throw DbError::notOpen(QStringLiteral("closed connection: ") + sql);
    }
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(connection.handle(), utf8.constData(), int(utf8.size()),
                                      &stmt_, nullptr);
    if (rc != SQLITE_OK || !stmt_) {
        fail(rc);
    }
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

void Statement::fail(int code) const {
    connection_.fail(code, sql_);
}

void Statement::bind(int index, const QVariant& value) {
    int rc = SQLITE_OK;
    switch (value.typeId()) {
    case QMetaType::UnknownType:
    case QMetaType::Nullptr:
        rc = sqlite3_bind_null(stmt_, index);
        break;
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
        rc = sqlite3_bind_int64(stmt_, index, value.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        rc = sqlite3_bind_double(stmt_, index, value.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        rc = sqlite3_bind_blob64(stmt_, index, bytes.constData(), bytes.size(), SQLITE_TRANSIENT);
        break;
    }
    default: {
        const QByteArray utf8 = value.toString().toUtf8();
        rc = sqlite3_bind_text64(stmt_, index, utf8.constData(), utf8.size(), SQLITE_TRANSIENT,
                                 SQLITE_UTF8);
        break;
    }
    }
    if (rc != SQLITE_OK) {
        fail(rc);
    }
}

void Statement::bindAll(const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i) {
        bind(i + 1, values[i]);
    }
}

bool Statement::step() {
    if (connection_.beforeWrite_ && !sqlite3_stmt_readonly(stmt_)) {
        std::exchange(connection_.beforeWrite_, {})();
    }
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc != SQLITE_DONE) {
        fail(rc);
    }
    return false;
}

void Statement::run() {
    while (step()) {
    }
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int Statement::columnCount() const {
    return sqlite3_column_count(stmt_);
}

QString Statement::columnName(int column) const {
    return utf8OrEmpty(sqlite3_column_name(stmt_, column));
}

qint64 Statement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

QVariant Statement::value(int column) const {
    switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_INTEGER:
        return QVariant::fromValue(sqlite3_column_int64(stmt_, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(stmt_, column);
    case SQLITE_NULL:
        return {};
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt_, column)),
                          sqlite3_column_bytes(stmt_, column));
    default:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column)),
                                 sqlite3_column_bytes(stmt_, column));
    }
}

QString Statement::text(int column) const {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return QString::fromUtf8(bytes, sqlite3_column_bytes(stmt_, column));
}

} // namespace db
