#include "Recordset.h"

#include "Connection.h"
#include "DbError.h"
#include "Statement.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>

namespace db {

namespace {

constexpr qsizetype pageRows = 64;
constexpr std::size_t cachedPages = 4;
// Further than this past the rows listed, the rest are listed at once: one
// scan in any order (an index will do) and a sort beat paging the table.
constexpr qsizetype farAhead = 4096;

QString quoted(const QString& identifier) {
    QString doubled = identifier;
    doubled.replace(u'"', QStringLiteral("\"\""));
    return u'"' + doubled + u'"';
}

DbError noCurrentRow() {
    return DbError(QStringLiteral("没有当前记录。"),
                   QStringLiteral("no current row: before first, past last or deleted"));
}

DbError goneRow(qint64 rowid, const char* what = "row %1 is no longer in the file") {
    return DbError(QStringLiteral("这条记录已不在数据库中，可能已被其他程序删除。"),
                   QString::fromLatin1(what).arg(rowid));
}

// A statement left part-way keeps the file locked for reading: reset it
// however the reading ends.
class Reading {
public:
    explicit Reading(Statement& statement)
        : statement_(statement) {}
    ~Reading() { statement_.reset(); }
    Reading(const Reading&) = delete;
    Reading& operator=(const Reading&) = delete;

private:
    Statement& statement_;
};

// The set's own values follow the condition's parameters.
void bindAfter(Statement& statement, const QVariantList& parameters,
               std::initializer_list<qint64> values) {
    statement.bindAll(parameters);
    int index = sqlite3_bind_parameter_count(statement.get()) - int(values.size());
    for (const qint64 value : values) {
        statement.bind(++index, QVariant::fromValue(value));
    }
}

bool byRowid(const auto& row, qint64 rowid) {
    return row.rowid < rowid;
}

} // namespace

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;

QString Recordset::select(const QString& what, const QString& condition) const {
    QString sql = QStringLiteral("SELECT ") + what + QStringLiteral(" FROM ") + quoted(table_);
    if (!where_.isEmpty()) {
        sql += QStringLiteral(" WHERE (") + where_ + u')';
        if (!condition.isEmpty()) {
            sql += QStringLiteral(" AND ") + condition;
        }
    } else if (!condition.isEmpty()) {
        sql += QStringLiteral(" WHERE ") + condition;
    }
    return sql;
}

void Recordset::openTable(Connection& connection, const QString& table, const QString& where,
                          const QVariantList& parameters) {
    close();
    if (!connection.isOpen()) {
        throw DbError::notOpen(QStringLiteral("open on closed connection"));
    }
    try {
        connection_ = &connection;
        table_ = table;
        where_ = where;
        parameters_ = parameters;
        // Each row's hidden key comes first, to find and write the row by.
        fetch_ = std::make_unique<Statement>(
            connection,
            QStringLiteral("SELECT _rowid_, * FROM %1 WHERE _rowid_ IN (%2)")
                .arg(quoted(table), QStringList(pageRows, QStringLiteral("?")).join(u',')));
        extend_ = std::make_unique<Statement>(
            connection,
            select(
                QStringLiteral("_rowid_, *"),
                QStringLiteral("_rowid_ BETWEEN ? AND ? ORDER BY _rowid_ LIMIT %1").arg(pageRows)));
        version_ = std::make_unique<Statement>(connection, QStringLiteral("PRAGMA data_version"));
        const int count = fetch_->columnCount() - 1;
        for (int i = 0; i < count; ++i) {
            names_ << fetch_->columnName(1 + i);
        }
        pending_.assign(std::size_t(count), std::nullopt);
        stamp_ = stamp();
        Statement last(connection, QStringLiteral("SELECT max(_rowid_) FROM ") + quoted(table));
        last.step();
        complete_ = last.value(0).isNull();
        bound_ = last.integer(0);
        next_ = std::numeric_limits<qint64>::min();
        open_ = true;
        position_ = 0;
        settle(true);
        recordCount(); // now, when a failure is expected, rather than on a later look
    } catch (...) {
        close();
        throw;
    }
}

void Recordset::close() {
    open_ = false;
    extend_.reset();
    fetch_.reset();
    version_.reset();
    std::vector<qint64>().swap(ids_);
    pages_.clear();
    complete_ = true;
    sorted_ = true;
    remaining_.reset();
    names_.clear();
    table_.clear();
    where_.clear();
    parameters_.clear();
    pending_.clear();
    position_ = -1;
    onDeleted_ = false;
    adding_ = false;
}

// Lists rows until there is one at the position or there are no more.
void Recordset::reach(qsizetype position) const {
    while (!complete_ && position >= listed()) {
        if (position - listed() >= farAhead) {
            listRest();
        } else {
            extend();
        }
    }
}

// The next page of the set, contents and all: reading on, as a report or
// the cursor does, needs both.
void Recordset::extend() const {
    Statement& statement = *extend_;
    const Reading reading(statement);
    bindAfter(statement, parameters_, {next_, bound_});
    Page page;
    page.reserve(std::size_t(pageRows));
    while (statement.step()) {
        page.push_back({statement.integer(0),
                        PackedRow::fromStatement(statement.get(), 1, int(names_.size()))});
    }
    for (const Cached& row : page) {
        ids_.push_back(row.rowid);
    }
    if (qsizetype(page.size()) < pageRows || page.back().rowid >= bound_) {
        complete_ = true;
    } else {
        next_ = page.back().rowid + 1;
    }
    if (remaining_) {
        *remaining_ = std::max<qsizetype>(0, *remaining_ - qsizetype(page.size()));
    }
    if (!page.empty()) {
        keep(std::move(page));
    }
}

// A few pages more are read as they come; many are listed at once.
void Recordset::listAll() const {
    while (!complete_ && remaining_ && *remaining_ < farAhead) {
        extend();
    }
    if (!complete_) {
        listRest();
    }
}

void Recordset::listRest() const {
    Statement all(*connection_, select(QStringLiteral("_rowid_"), {}));
    all.bindAll(parameters_);
    std::vector<qint64> rest;
    while (all.step()) {
        const qint64 rowid = all.integer(0);
        if (rowid >= next_ && rowid <= bound_) {
            rest.push_back(rowid);
        }
    }
    if (!std::is_sorted(rest.begin(), rest.end())) { // as a table that is only added to is
        std::sort(rest.begin(), rest.end());
    }
    ids_.insert(ids_.end(), rest.begin(), rest.end());
    complete_ = true;
}

// Whether a row not yet listed belongs to the set.
bool Recordset::holds(qint64 rowid) const {
    Statement statement(*connection_, select(QStringLiteral("1"), QStringLiteral("_rowid_ = ?")));
    bindAfter(statement, parameters_, {rowid});
    return statement.step();
}

std::optional<qsizetype> Recordset::find(qint64 rowid) const {
    const auto at = sorted_ ? std::lower_bound(ids_.begin(), ids_.end(), rowid)
                            : std::find(ids_.begin(), ids_.end(), rowid);
    if (at == ids_.end() || *at != rowid) {
        return std::nullopt;
    }
    return qsizetype(at - ids_.begin());
}

const Recordset::Cached* Recordset::cached(qint64 rowid) const {
    for (auto page = pages_.rbegin(); page != pages_.rend(); ++page) {
        const auto at = std::lower_bound(page->begin(), page->end(), rowid, byRowid<Cached>);
        if (at != page->end() && at->rowid == rowid) {
            return &*at;
        }
    }
    return nullptr;
}

const Recordset::Cached& Recordset::rowAt(qsizetype position) const {
    const qint64 rowid = ids_[std::size_t(position)];
    if (const Cached* row = cached(rowid)) {
        return *row;
    }
    fetchPage(position);
    return *cached(rowid);
}

// The page of listed rows around the position, in one statement; a row the
// file no longer has is kept as such.
void Recordset::fetchPage(qsizetype position) const {
    const qsizetype first = position - position % pageRows;
    const qsizetype end = std::min(first + pageRows, listed());
    Page page;
    page.reserve(std::size_t(end - first));
    for (qsizetype i = first; i < end; ++i) {
        page.push_back({ids_[std::size_t(i)], std::nullopt});
    }
    std::sort(page.begin(), page.end(),
              [](const Cached& a, const Cached& b) { return a.rowid < b.rowid; });
    Statement& statement = *fetch_;
    const Reading reading(statement);
    for (int i = 0; i < pageRows; ++i) {
        statement.bind(i + 1, i < qsizetype(page.size())
                                  ? QVariant::fromValue(page[std::size_t(i)].rowid)
                                  : QVariant());
    }
    while (statement.step()) {
        const auto at =
            std::lower_bound(page.begin(), page.end(), statement.integer(0), byRowid<Cached>);
        if (at != page.end() && at->rowid == statement.integer(0)) {
            at->cells = PackedRow::fromStatement(statement.get(), 1, int(names_.size()));
        }
    }
    keep(std::move(page));
}

void Recordset::keep(Page page) const {
    pages_.push_back(std::move(page));
    if (pages_.size() > cachedPages) {
        pages_.erase(pages_.begin());
    }
}

// The stored row as a write returned it, in place of any copy read before.
void Recordset::remember(Cached row) {
    forget(row.rowid);
    if (pages_.empty() || qsizetype(pages_.back().size()) >= pageRows) {
        keep(Page{});
    }
    Page& page = pages_.back();
    page.insert(std::lower_bound(page.begin(), page.end(), row.rowid, byRowid<Cached>),
                std::move(row));
}

void Recordset::forget(qint64 rowid) {
    for (Page& page : pages_) {
        const auto at = std::lower_bound(page.begin(), page.end(), rowid, byRowid<Cached>);
        if (at != page.end() && at->rowid == rowid) {
            page.erase(at);
        }
    }
}

std::pair<qint64, qint64> Recordset::stamp() const {
    Statement& statement = *version_;
    const Reading reading(statement);
    statement.step();
    return {statement.integer(0), totalChanges()};
}

qint64 Recordset::totalChanges() const {
    return sqlite3_total_changes64(sqlite3_db_handle(version_->get()));
}

// data_version tells of other connections' commits, the total changes of
// this connection's own writes; either makes the pages stale.
void Recordset::refresh() const {
    if (!open_) {
        return;
    }
    const auto now = stamp();
    if (now != stamp_) {
        pages_.clear();
        stamp_ = now;
    }
}

// After a write of the set's own, whose row the pages already hold: they
// stay good unless something else changed the file before it.
void Recordset::wrote(qint64 changesBefore) {
    if (stamp_.second == changesBefore) {
        stamp_.second = totalChanges();
    }
}

// Puts the cursor on a row the file still has, or at an end, dropping the
// rows on the way that were deleted elsewhere.
void Recordset::settle(bool forward) {
    if (!open_) {
        return;
    }
    refresh();
    while (true) {
        reach(position_);
        if (position_ < 0 || position_ >= listed() || rowAt(position_).cells) {
            return;
        }
        dropAt(position_);
        if (!forward) {
            --position_;
        }
    }
}

void Recordset::dropAt(qsizetype position) {
    ids_.erase(ids_.begin() + position);
    if (position < position_) {
        --position_;
    }
}

bool Recordset::eof() const {
    return !onDeleted_ && (empty() || (position_ >= listed() && complete_));
}

bool Recordset::bof() const {
    return !onDeleted_ && (empty() || position_ < 0);
}

qsizetype Recordset::recordCount() const {
    if (complete_) {
        return listed();
    }
    if (!remaining_) {
        // Without a condition the table's count is one quick look (at its
        // smallest index); the rows before next_ are few where it is asked
        // early, and those after bound_ are none but other programs' adds.
        Statement count(
            *connection_,
            where_.isEmpty()
                ? QStringLiteral("SELECT (SELECT count(*) FROM %1) - "
                                 "(SELECT count(*) FROM %1 WHERE _rowid_ < ?) - "
                                 "(SELECT count(*) FROM %1 WHERE _rowid_ > ?)")
                      .arg(quoted(table_))
                : select(QStringLiteral("count(*)"), QStringLiteral("_rowid_ BETWEEN ? AND ?")));
        bindAfter(count, parameters_, {next_, bound_});
        count.step();
        remaining_ = std::max<qsizetype>(0, count.integer(0));
    }
    return listed() + *remaining_;
}

void Recordset::leave() {
    cancelUpdate();
    onDeleted_ = false;
}

void Recordset::moveFirst() {
    leave();
    position_ = 0;
    settle(true);
}

void Recordset::moveLast() {
    leave();
    listAll();
    position_ = std::max<qsizetype>(0, listed() - 1);
    settle(false);
}

void Recordset::moveNext() {
    if (!onDeleted_ && position_ < listed()) {
        ++position_;
    }
    leave();
    settle(true);
}

void Recordset::movePrevious() {
    if (position_ >= 0) {
        --position_;
    }
    leave();
    settle(false);
}

bool Recordset::moveToRow(qint64 rowid) {
    if (!open_) {
        return false;
    }
    refresh();
    std::optional<qsizetype> at = find(rowid);
    if (!at && !complete_ && rowid >= next_ && rowid <= bound_ && holds(rowid)) {
        listAll();
        at = find(rowid);
    }
    if (!at) {
        return false;
    }
    if (!rowAt(*at).cells) {
        dropAt(*at);
        return false;
    }
    leave();
    position_ = *at;
    return true;
}

bool Recordset::hasCurrent() const {
    return open_ && !onDeleted_ && position_ >= 0 && position_ < listed();
}

qint64 Recordset::currentId() const {
    if (!hasCurrent()) {
        throw noCurrentRow();
    }
    return ids_[std::size_t(position_)];
}

qint64 Recordset::rowId() const {
    if (adding_) {
        throw noCurrentRow();
    }
    return currentId();
}

const PackedRow& Recordset::currentCells() const {
    currentId();
    const Cached& row = rowAt(position_);
    if (!row.cells) {
        throw goneRow(row.rowid);
    }
    return *row.cells;
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
    if (pending_[std::size_t(column)]) {
        return *pending_[std::size_t(column)];
    }
    if (adding_) {
        return {};
    }
    return currentCells().value(column);
}

QString Recordset::text(int column) const {
    requireIndex(column);
    if (adding_ || pending_[std::size_t(column)]) {
        return value(column).toString();
    }
    return currentCells().text(column);
}

// A report asks for one column after another of the same row: the newest
// page answers without a look at the file; another page is first checked
// for changes made elsewhere.
QString Recordset::textAt(qsizetype row, int column) const {
    requireIndex(column);
    if (row < 0) {
        throw noCurrentRow();
    }
    reach(row);
    if (row >= listed()) {
        throw noCurrentRow();
    }
    const qint64 rowid = ids_[std::size_t(row)];
    const Cached* found = nullptr;
    if (!pages_.empty()) {
        const Page& newest = pages_.back();
        const auto at = std::lower_bound(newest.begin(), newest.end(), rowid, byRowid<Cached>);
        if (at != newest.end() && at->rowid == rowid) {
            found = &*at;
        }
    }
    if (!found) {
        refresh();
        found = &rowAt(row);
    }
    if (!found->cells) {
        throw goneRow(rowid);
    }
    return found->cells->text(column);
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
}

void Recordset::setValue(QStringView column, const QVariant& value) {
    requireWritable();
    const int index = requireColumn(column);
    if (!adding_) {
        currentId();
    }
    pending_[std::size_t(index)] = value;
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

std::optional<Recordset::Cached> Recordset::writeReturningRow(const QString& sql,
                                                              const QVariantList& values) {
    QStringList list{QStringLiteral("_rowid_")};
    for (const QString& column : names_) {
        list << quoted(column);
    }
    // The stored row comes back from the same statement: defaults filled in,
    // numbers converted, and no second read that could fail after the write.
    Statement statement(*connection_, sql + QStringLiteral(" RETURNING ") + list.join(u','));
    statement.bindAll(values);
    std::optional<Cached> row;
    if (statement.step()) {
        row = Cached{statement.integer(0),
                     PackedRow::fromStatement(statement.get(), 1, int(names_.size()))};
    }
    statement.run(); // to the end: only then is the change committed
    return row;
}

void Recordset::insertPending() {
    // The new row goes after every other: list them first, before the write,
    // so that nothing can fail once it is made.
    listAll();
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
    const qint64 before = totalChanges();
    std::optional<Cached> row = writeReturningRow(sql, values);
    if (!row) {
        throw DbError(QStringLiteral("数据库没有保存这条记录。"),
                      QStringLiteral("insert into %1 stored no row").arg(table_));
    }
    cancelUpdate();
    append(row->rowid);
    remember(std::move(*row));
    wrote(before);
}

void Recordset::append(qint64 rowid) {
    if (const auto old = find(rowid)) {
        dropAt(*old); // deleted elsewhere, and its rowid given again
    }
    if (!ids_.empty() && rowid < ids_.back()) {
        sorted_ = false;
    }
    ids_.push_back(rowid);
    position_ = listed() - 1;
    onDeleted_ = false;
}

void Recordset::joinAdded(qint64 rowid) {
    listAll();
    leave();
    append(rowid);
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
    const qint64 rowid = currentId();
    values << QVariant::fromValue(rowid);
    const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE _rowid_ = ?")
                            .arg(quoted(table_), assignments.join(u','));
    const qint64 before = totalChanges();
    std::optional<Cached> row = writeReturningRow(sql, values);
    if (!row) {
        throw goneRow(rowid, "update of row %1 changed nothing");
    }
    cancelUpdate();
    remember(std::move(*row));
    wrote(before);
}

void Recordset::deleteCurrent() {
    requireWritable();
    const qint64 rowid = currentId();
    const QString sql = QStringLiteral("DELETE FROM %1 WHERE _rowid_ = ?").arg(quoted(table_));
    const qint64 before = totalChanges();
    Statement statement(*connection_, sql);
    statement.bind(1, QVariant::fromValue(rowid));
    statement.run();
    removedCurrent();
    wrote(before);
}

void Recordset::removedCurrent() {
    const qint64 rowid = currentId();
    cancelUpdate();
    ids_.erase(ids_.begin() + position_);
    forget(rowid);
    onDeleted_ = true;
}

} // namespace db
