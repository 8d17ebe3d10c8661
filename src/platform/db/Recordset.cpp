#include "Recordset.h"

#include "Connection.h"
#include "DbError.h"

#include <QRegularExpression>

#include <sqlite3.h>

#include <algorithm>

namespace db {

namespace {

// A prepared statement that is always finalized.
class Statement {
public:
    Statement(const Connection& connection, const QString& sql)
        : connection_(connection) {
        const QByteArray utf8 = sql.toUtf8();
        rc_ = sqlite3_prepare_v2(connection.handle(), utf8.constData(), int(utf8.size()), &stmt_,
                                 nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool prepared() const { return rc_ == SQLITE_OK && stmt_; }
    sqlite3_stmt* get() const { return stmt_; }
    [[noreturn]] void fail(const QString& context) const { connection_.fail(rc_, context); }
    void requirePrepared(const QString& sql) const {
        if (!prepared()) {
            fail(sql);
        }
    }

    void bind(int index, const QVariant& value) {
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
            rc = sqlite3_bind_blob64(stmt_, index, bytes.constData(), bytes.size(),
                                     SQLITE_TRANSIENT);
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
            rc_ = rc;
            fail(QStringLiteral("bind parameter %1").arg(index));
        }
    }

    void bindAll(const QVariantList& values) {
        for (int i = 0; i < values.size(); ++i) {
            bind(i + 1, values[i]);
        }
    }

    // Steps once; true while a row is available.
    bool step(const QString& context) {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) {
            return true;
        }
        if (rc != SQLITE_DONE) {
            rc_ = rc;
            fail(context);
        }
        return false;
    }

private:
    const Connection& connection_;
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_OK;
};

// Runs a statement that returns no rows.
void execute(const Connection& connection, const QString& sql, const QVariantList& values) {
    Statement statement(connection, sql);
    statement.requirePrepared(sql);
    statement.bindAll(values);
    statement.step(sql);
}

QString quoted(const QString& identifier) {
    QString doubled = identifier;
    doubled.replace(u'"', QStringLiteral("\"\""));
    return u'"' + doubled + u'"';
}

// Rows of a plain "select * from <table> [where ...]" can be written back:
// such a query is run with each row's hidden key put in front.
struct Keyed {
    QString sql;
    QString table;
};

std::optional<Keyed> withRowid(const QString& sql) {
    static const QRegularExpression plain(
        QStringLiteral("^\\s*select\\s+(\\*\\s+from\\s+([A-Za-z_]\\w*)(\\s+where\\s.*)?)\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression grouping(QStringLiteral("\\b(group|union|join|having)\\b"),
                                             QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = plain.match(sql);
    if (!m.hasMatch() || m.captured(3).contains(grouping)) {
        return std::nullopt;
    }
    return Keyed{QStringLiteral("SELECT _rowid_, ") + m.captured(1), m.captured(2)};
}

QString utf8OrEmpty(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

DbError noCurrentRow() {
    return DbError(QStringLiteral("没有当前记录。"),
                   QStringLiteral("no current row: before first, past last or deleted"));
}

} // namespace

void Recordset::open(Connection& connection, const QString& sql, const QVariantList& parameters) {
    close();
    if (!connection.isOpen()) {
        throw DbError(QStringLiteral("数据库没有打开。"),
                      QStringLiteral("open on closed connection"));
    }
    connection_ = &connection;

    const std::optional<Keyed> keyed = withRowid(sql);
    std::optional<Statement> statement;
    int first = 0;
    if (keyed) {
        statement.emplace(connection, keyed->sql);
        first = 1;
    }
    if (!statement || !statement->prepared()) {
        statement.emplace(connection, sql);
        first = 0;
        statement->requirePrepared(sql);
    }
    sqlite3_stmt* stmt = statement->get();
    statement->bindAll(parameters);

    const int count = sqlite3_column_count(stmt) - first;
    QStringList names;
    QStringList origins;
    // Writable when every column comes from the table named (not a view).
    QString table = first == 1 ? keyed->table : QString();
    for (int i = 0; i < count; ++i) {
        names << utf8OrEmpty(sqlite3_column_name(stmt, first + i));
        origins << utf8OrEmpty(sqlite3_column_origin_name(stmt, first + i));
        const QString columnTable = utf8OrEmpty(sqlite3_column_table_name(stmt, first + i));
        if (origins.last().isEmpty() || columnTable.compare(table, Qt::CaseInsensitive) != 0) {
            table.clear();
        }
    }

    std::vector<Row> rows;
    while (statement->step(sql)) {
        const qint64 rowid = first == 1 ? sqlite3_column_int64(stmt, 0) : 0;
        rows.push_back({rowid, PackedRow::fromStatement(stmt, first, count)});
    }

    names_ = std::move(names);
    origins_ = std::move(origins);
    table_ = std::move(table);
    rows_ = std::move(rows);
    pending_.assign(count, std::nullopt);
    open_ = true;
    position_ = 0;
}

void Recordset::open(const QString& sql, const QVariantList& parameters) {
    if (!connection_) {
        throw DbError(QStringLiteral("数据库没有打开。"),
                      QStringLiteral("reopen without connection"));
    }
    open(*connection_, sql, parameters);
}

void Recordset::close() {
    open_ = false;
    rows_.clear();
    rows_.shrink_to_fit();
    names_.clear();
    origins_.clear();
    table_.clear();
    pending_.clear();
    position_ = -1;
    onDeleted_ = false;
    adding_ = false;
}

bool Recordset::eof() const {
    return !onDeleted_ && (rows_.empty() || position_ >= recordCount());
}

bool Recordset::bof() const {
    return !onDeleted_ && (rows_.empty() || position_ < 0);
}

void Recordset::leave() {
    cancelUpdate();
    onDeleted_ = false;
}

void Recordset::moveFirst() {
    leave();
    position_ = 0;
}

void Recordset::moveLast() {
    leave();
    position_ = recordCount() - 1;
    if (rows_.empty()) {
        position_ = 0;
    }
}

void Recordset::moveTo(Bookmark bookmark) {
    leave();
    position_ = std::clamp<qsizetype>(bookmark.position, -1, recordCount());
    onDeleted_ = bookmark.onDeleted;
}

void Recordset::moveNext() {
    if (!onDeleted_ && position_ < recordCount()) {
        ++position_;
    }
    leave();
}

void Recordset::movePrevious() {
    if (position_ >= 0) {
        --position_;
    }
    leave();
}

bool Recordset::hasCurrent() const {
    return open_ && !onDeleted_ && position_ >= 0 && position_ < recordCount();
}

const Recordset::Row& Recordset::currentRow() const {
    if (!hasCurrent()) {
        throw noCurrentRow();
    }
    return rows_[position_];
}

int Recordset::columnIndex(QStringView column) const {
    // Names are nearly always spelt as the table spells them: try that first.
    for (int i = 0; i < names_.size(); ++i) {
        if (names_[i] == column) {
            return i;
        }
    }
    for (int i = 0; i < names_.size(); ++i) {
        if (names_[i].compare(column, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

int Recordset::requireColumn(QStringView column) const {
    const int index = columnIndex(column);
    if (index < 0) {
        throw DbError(QStringLiteral("数据库中没有“%1”这一栏。").arg(column),
                      QStringLiteral("unknown column: ") + column.toString());
    }
    return index;
}

void Recordset::requireIndex(int column) const {
    if (column < 0 || column >= names_.size()) {
        throw DbError(QStringLiteral("数据库中没有第 %1 栏。").arg(column + 1),
                      QStringLiteral("column index out of range: %1").arg(column));
    }
}

QVariant Recordset::value(int column) const {
    requireIndex(column);
    if (pending_[column]) {
        return *pending_[column];
    }
    if (adding_) {
        return {};
    }
    return currentRow().cells.value(column);
}

QString Recordset::text(int column) const {
    requireIndex(column);
    if (adding_ || pending_[column]) {
        return value(column).toString();
    }
    return currentRow().cells.text(column);
}

QString Recordset::textAt(qsizetype row, int column) const {
    requireIndex(column);
    if (row < 0 || row >= recordCount()) {
        throw noCurrentRow();
    }
    return rows_[std::size_t(row)].cells.text(column);
}

QVariant Recordset::value(QStringView column) const {
    return value(requireColumn(column));
}

QString Recordset::text(QStringView column) const {
    return text(requireColumn(column));
}

void Recordset::requireWritable() const {
    if (!open_) {
        throw DbError(QStringLiteral("记录集没有打开。"),
                      QStringLiteral("write on closed recordset"));
    }
    if (table_.isEmpty()) {
        throw DbError(QStringLiteral("这些记录不能修改。"),
                      QStringLiteral("rows do not come from a single table"));
    }
}

void Recordset::setValue(QStringView column, const QVariant& value) {
    const int index = requireColumn(column);
    if (!adding_) {
        currentRow();
    }
    pending_[index] = value;
}

void Recordset::addNew() {
    requireWritable();
    cancelUpdate();
    adding_ = true;
}

void Recordset::cancelUpdate() {
    adding_ = false;
    std::fill(pending_.begin(), pending_.end(), std::nullopt);
}

void Recordset::update() {
    requireWritable();
    if (adding_) {
        insertPending();
    } else {
        updatePending();
    }
    cancelUpdate();
}

std::optional<Recordset::Row> Recordset::writeReturningRow(const QString& sql,
                                                           const QVariantList& values) {
    QStringList list{QStringLiteral("_rowid_")};
    for (const QString& origin : origins_) {
        list << quoted(origin);
    }
    // The stored row comes back from the same statement: defaults filled in,
    // numbers converted, and no second read that could fail after the write.
    const QString returning = sql + QStringLiteral(" RETURNING ") + list.join(u',');
    Statement statement(*connection_, returning);
    statement.requirePrepared(returning);
    statement.bindAll(values);
    std::optional<Row> row;
    if (statement.step(returning)) {
        row = Row{sqlite3_column_int64(statement.get(), 0),
                  PackedRow::fromStatement(statement.get(), 1, int(origins_.size()))};
    }
    while (statement.step(returning)) {
        // run to the end: only then is the change committed
    }
    return row;
}

void Recordset::insertPending() {
    QStringList columns;
    QVariantList values;
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        if (pending_[i]) {
            columns << quoted(origins_[int(i)]);
            values << *pending_[i];
        }
    }
    const QString sql = columns.isEmpty()
                            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoted(table_))
                            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                  .arg(quoted(table_), columns.join(u','),
                                       QStringList(values.size(), QStringLiteral("?")).join(u','));
    std::optional<Row> row = writeReturningRow(sql, values);
    if (!row) {
        throw DbError(QStringLiteral("数据库没有保存这条记录。"),
                      QStringLiteral("insert into %1 stored no row").arg(table_));
    }
    cancelUpdate();
    rows_.push_back(std::move(*row));
    position_ = recordCount() - 1;
    onDeleted_ = false;
}

void Recordset::updatePending() {
    QStringList assignments;
    QVariantList values;
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        if (pending_[i]) {
            assignments << quoted(origins_[int(i)]) + QStringLiteral(" = ?");
            values << *pending_[i];
        }
    }
    if (assignments.isEmpty()) {
        return;
    }
    const qint64 rowid = currentRow().rowid;
    values << QVariant::fromValue(rowid);
    const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE _rowid_ = ?")
                            .arg(quoted(table_), assignments.join(u','));
    std::optional<Row> row = writeReturningRow(sql, values);
    if (!row) {
        throw DbError(QStringLiteral("这条记录已不在数据库中，可能已被其他程序删除。"),
                      QStringLiteral("update of row %1 changed nothing").arg(rowid));
    }
    cancelUpdate();
    rows_[position_] = std::move(*row);
}

void Recordset::deleteCurrent() {
    requireWritable();
    const Row& row = currentRow();
    const QString sql = QStringLiteral("DELETE FROM %1 WHERE _rowid_ = ?").arg(quoted(table_));
    execute(*connection_, sql, {QVariant::fromValue(row.rowid)});
    cancelUpdate();
    rows_.erase(rows_.begin() + position_);
    onDeleted_ = true;
}

} // namespace db
