#pragma once

#include "PackedRow.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <optional>
#include <vector>

namespace db {

class Connection;

// A static snapshot of a query's rows with a cursor over them. Changes made
// through other connections are not seen until the set is opened again.
// Writes through the set (addNew/update, deleteCurrent) reach the file at
// once, each in its own transaction unless a db::Transaction holds them,
// and are reflected in the snapshot. After a rolled-back batch the snapshot
// shows rows the file does not have: open the set again.
class Recordset {
public:
    // Runs the query with its '?' parameters bound in order and takes every
    // row; the first row, if any, becomes current. Its rows are read only.
    void open(Connection& connection, const QString& sql, const QVariantList& parameters = {});
    // Takes the rows of a table, those the condition holds for if one is
    // given; these rows can be written back, added to and deleted.
    void openTable(Connection& connection, const QString& table, const QString& where = {},
                   const QVariantList& parameters = {});
    void close();
    bool isOpen() const { return open_; }

    // Both are true for an empty set.
    bool eof() const;
    bool bof() const;
    qsizetype recordCount() const { return static_cast<qsizetype>(rows_.size()); }
    // Whether a row is current: not before the first, past the last or deleted.
    bool hasCurrent() const;

    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();

    // Column access on the current row (or the row being added); names are
    // matched without regard to letter case. Throws DbError without a
    // current row or for an unknown column.
    QVariant value(QStringView column) const;
    QString text(QStringView column) const;
    QVariant value(int column) const;
    QString text(int column) const;
    int columnIndex(QStringView column) const;
    // The stored text of any row by its position (0-based), leaving the
    // cursor where it is: for reading a whole set, as a report does.
    QString textAt(qsizetype row, int column) const;
    const QStringList& columns() const { return names_; }

    // Assignments are kept until update() writes them.
    void setValue(QStringView column, const QVariant& value);
    void addNew();
    void update();
    void cancelUpdate();
    // Deletes the current row; no row is current until the next move, which
    // lands on the deleted row's neighbour.
    void deleteCurrent();

private:
    struct Row {
        qint64 rowid;
        PackedRow cells;
    };

    void take(Connection& connection, const QString& sql, const QVariantList& parameters,
              const QString& table);
    const Row& currentRow() const;
    int requireColumn(QStringView column) const;
    void requireIndex(int column) const;
    void requireWritable() const;
    std::optional<Row> writeReturningRow(const QString& sql, const QVariantList& values);
    void insertPending();
    void updatePending();
    void leave();

    Connection* connection_ = nullptr;
    bool open_ = false;
    QStringList names_;
    QString table_; // empty when the rows are read only
    std::vector<Row> rows_;
    qsizetype position_ = -1; // -1: before the first row; size: past the last
    bool onDeleted_ = false;  // position_ is the deleted row's successor
    bool adding_ = false;
    std::vector<std::optional<QVariant>> pending_;
};

} // namespace db
