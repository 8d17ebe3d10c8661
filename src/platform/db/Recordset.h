#pragma once

#include "PackedRow.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace db {

class Connection;
class Statement;

// The rows of a table, or those a condition holds for, in table order
// (_rowid_), with a cursor over them. The set lists the rows' identities
// only as far as the cursor (or textAt) has gone, and reads their contents
// from the file when they are needed, a page of 64 rows at a time, keeping
// the last few pages: a million rows open at once in a few megabytes.
//
// - Writes through the set (addNew/update, deleteCurrent) reach the file at
//   once, each in its own transaction unless a db::Transaction holds them,
//   and the set shows them at once.
// - Its rows are those the table had when it was opened; the condition is
//   asked of them when the set first reaches them. Rows that other
//   connections add later are not in it.
// - Contents changed elsewhere (another connection, or other statements on
//   this one) are seen from the next move, or from textAt's next page: the
//   pages read are dropped whenever the file has changed since.
// - A row that was deleted elsewhere is skipped by the moves, which drop it
//   from the set; until then it is counted. Reading it while it is current,
//   or by textAt, throws the DbError that says it is no longer there.
// - Moves read the file too, and throw DbError when it cannot be read.
// After a rolled-back batch the set may not match the file: open it again.
class Recordset {
public:
    Recordset();
    ~Recordset();
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;

    // Opens the rows of a table, those the condition holds for if one is
    // given, with its '?' parameters bound in order; the first row, if any,
    // becomes current. A file that cannot be read fails here, and the set
    // stays closed.
    void openTable(Connection& connection, const QString& table, const QString& where = {},
                   const QVariantList& parameters = {});
    void close();
    bool isOpen() const { return open_; }

    // Both are true for an empty set.
    bool eof() const;
    bool bof() const;
    // Counted in the file when the set is opened (one query), then kept up
    // to date.
    qsizetype recordCount() const;
    // Whether a row is current: not before the first, past the last or deleted.
    bool hasCurrent() const;

    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();
    // Makes the row of this _rowid_ current if it is in the set; otherwise
    // returns false and leaves the cursor where it was.
    bool moveToRow(qint64 rowid);
    // The current row's _rowid_; throws DbError without a current row, and
    // while a row is being added (it has none yet).
    qint64 rowId() const;
    // Lists the identities of every row now, which moving far, adding and
    // finding a row otherwise do when first needed (60-100 ms for a million
    // rows); the cursor stays where it is.
    void listEveryRow() const { listAll(); }

    // Column access on the current row (or the row being added); names are
    // matched without regard to letter case. Throws DbError without a
    // current row or for an unknown column.
    QVariant value(QStringView column) const;
    QString text(QStringView column) const;
    QVariant value(int column) const;
    QString text(int column) const;
    int columnIndex(QStringView column) const;
    // The stored text of any row by its position (0-based), leaving the
    // cursor where it is: for reading a whole set in order, as a report
    // does. Throws DbError for a position past the end.
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

    // Writes made through other statements on this connection, by the
    // table's owner, taken into the set as its own writes would be:
    // a row added joins the set at its end and becomes current (list every
    // row before the write, so that this cannot fail after it); the
    // current row deleted leaves the set as deleteCurrent leaves it; the
    // current row rewritten is read again.
    void joinAdded(qint64 rowid);
    void removedCurrent();
    void reread() const { refresh(); }

private:
    struct Cached {
        qint64 rowid;
        std::optional<PackedRow> cells; // none: the file no longer has the row
    };
    using Page = std::vector<Cached>; // in _rowid_ order

    qsizetype listed() const { return qsizetype(ids_.size()); }
    bool empty() const { return ids_.empty() && complete_; }
    QString select(const QString& what, const QString& condition) const;
    void reach(qsizetype position) const;
    void extend() const;
    void listAll() const;
    void listRest() const;
    bool holds(qint64 rowid) const;
    std::optional<qsizetype> find(qint64 rowid) const;
    const Cached* cached(qint64 rowid) const;
    const Cached& rowAt(qsizetype position) const;
    void fetchPage(qsizetype position) const;
    void keep(Page page) const;
    void remember(Cached row);
    void forget(qint64 rowid);
    std::pair<qint64, qint64> stamp() const;
    qint64 totalChanges() const;
    void refresh() const;
    void settle(bool forward);
    void dropAt(qsizetype position);
    const PackedRow& currentCells() const;
    int requireColumn(QStringView column) const;
    void requireIndex(int column) const;
    void requireWritable() const;
    qint64 currentId() const;
    std::optional<Cached> writeReturningRow(const QString& sql, const QVariantList& values);
    void wrote(qint64 changesBefore);
    void insertPending();
    void append(qint64 rowid);
    void updatePending();
    void leave();

    Connection* connection_ = nullptr;
    bool open_ = false;
    QString table_;
    QString where_;
    QVariantList parameters_;
    QStringList names_;
    std::unique_ptr<Statement> extend_;  // the next rows past those listed
    std::unique_ptr<Statement> fetch_;   // a page of rows by _rowid_
    std::unique_ptr<Statement> version_; // PRAGMA data_version

    // The rows listed so far, in order. The rest of the set are the rows
    // from next_ to bound_ (the largest _rowid_ at opening) that the
    // condition holds for; remaining_ is their number once counted.
    mutable std::vector<qint64> ids_;
    mutable bool complete_ = true; // every row is listed
    mutable bool sorted_ = true;   // ids_ ascending, to be searched by halves
    mutable qint64 next_ = 0;
    mutable qint64 bound_ = 0;
    mutable std::optional<qsizetype> remaining_;

    mutable std::vector<Page> pages_; // the most recently read last
    // The file's data_version and the connection's total changes when the
    // pages were last known good.
    mutable std::pair<qint64, qint64> stamp_;

    qsizetype position_ = -1; // -1: before the first row; listed(): past the last
    bool onDeleted_ = false;  // position_ is the deleted row's successor
    bool adding_ = false;
    std::vector<std::optional<QVariant>> pending_;
};

} // namespace db
