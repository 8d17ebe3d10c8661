#include "Recordset.h"

#include "Connection.h"
#include "DbError.h"
#include "Statement.h"

#include <algorithm>

namespace db {

namespace {

QString quoted(const QString& identifier) {
    QString doubled = identifier;
    doubled.replace(u'"', QStringLiteral("\"\""));
    return u'"' + doubled + u'"';
}

DbError noCurrentRow() {
    return DbError(QStringLiteral("没有当前记录。"),
                   QStringLiteral("no current row: before first, past last or deleted"));
}

} // namespace

void Recordset::open(Connection& connection, const QString& sql, const QVariantList& parameters) {
    take(connection, sql, parameters, QString());
}

void Recordset::openTable(Connection& connection, const QString& table, const QString& where,
                          const QVariantList& parameters) {
    // Each row's hidden key comes first, to write the row back by.
    QString sql = QStringLiteral("SELECT _rowid_, * FROM ") + quoted(table);
    if (!where.isEmpty()) {
        sql += QStringLiteral(" WHERE ") + where;
    }
    take(connection, sql, parameters, table);
}

void Recordset::take(Connection& connection, const QString& sql, const QVariantList& parameters,
                     const QString& table) {
    close();
    if (!connection.isOpen()) {
        throw DbError(QStringLiteral("数据库没有打开。"),
                      QStringLiteral("open on closed connection"));
    }
    Statement statement(connection, sql);
    statement.bindAll(parameters);
    const int first = table.isEmpty() ? 0 : 1;
    const int count = statement.columnCount() - first;
    QStringList names;
    for (int i = 0; i < count; ++i) {
        names << statement.columnName(first + i);
    }
    std::vector<Row> rows;
    while (statement.step()) {
        const qint64 rowid = first == 1 ? statement.integer(0) : 0;
        rows.push_back({rowid, PackedRow::fromStatement(statement.get(), first, count)});
    }
    connection_ = &connection;
    names_ = std::move(names);
    table_ = table;
    rows_ = std::move(rows);
    pending_.assign(count, std::nullopt);
    open_ = true;
    position_ = 0;
}

void Recordset::close() {
    open_ = false;
    rows_.clear();
    rows_.shrink_to_fit();
    names_.clear();
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
    requireWritable();
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
    for (const QString& column : names_) {
        list << quoted(column);
    }
    // The stored row comes back from the same statement: defaults filled in,
    // numbers converted, and no second read that could fail after the write.
    Statement statement(*connection_, sql + QStringLiteral(" RETURNING ") + list.join(u','));
    statement.bindAll(values);
    std::optional<Row> row;
    if (statement.step()) {
        row = Row{statement.integer(0),
                  PackedRow::fromStatement(statement.get(), 1, int(names_.size()))};
    }
    statement.run(); // to the end: only then is the change committed
    return row;
}

void Recordset::insertPending() {
    QStringList columns;
    QVariantList values;
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        if (pending_[i]) {
            columns << quoted(names_[int(i)]);
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
            assignments << quoted(names_[int(i)]) + QStringLiteral(" = ?");
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
    Statement statement(*connection_, sql);
    statement.bind(1, QVariant::fromValue(row.rowid));
    statement.run();
    cancelUpdate();
    rows_.erase(rows_.begin() + position_);
    onDeleted_ = true;
}

} // namespace db
