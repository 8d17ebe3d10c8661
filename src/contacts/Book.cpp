#include "Book.h"

#include "ContactColumns.h"
#include "SearchKeys.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Statement.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include <utility>
#include <vector>

namespace contacts {

namespace {

// So many writes of a batch, and the system is asked to put them on disk.
constexpr qint64 writeBackWrites = 2048;

// A deleted card as kept for 撤销删除: its texts and time of change by
// column name, and its extras (its number is kept beside it, as stored).
QString keptCard(const Contact& contact) {
    QJsonObject card;
    for (std::size_t i = 0; i < textColumns.size(); ++i) {
        card.insert(textColumns[i].column, contact.fields[i]);
    }
    card.insert(QStringLiteral("REV"), contact.rev);
    QJsonArray extras;
    for (const Extra& e : contact.extras) {
        extras.append(QJsonArray{e.group, e.name, e.params, e.value});
    }
    if (!extras.isEmpty()) {
        card.insert(QStringLiteral("extras"), extras);
    }
    return QString::fromUtf8(QJsonDocument(card).toJson(QJsonDocument::Compact));
}

Contact cardKept(const QString& text) {
    const QJsonObject card = QJsonDocument::fromJson(text.toUtf8()).object();
    Contact contact;
    for (std::size_t i = 0; i < textColumns.size(); ++i) {
        contact.fields[i] = card.value(textColumns[i].column).toString();
    }
    contact.rev = card.value(QStringLiteral("REV")).toString();
    for (const QJsonValue e : card.value(QStringLiteral("extras")).toArray()) {
        const QJsonArray a = e.toArray();
        contact.extras.push_back(
            {a.at(0).toString(), a.at(1).toString(), a.at(2).toString(), a.at(3).toString()});
    }
    return contact;
}

// The statements made for every contact of an import, made once.
const QString& insertSql() {
    static const QString sql =
        QStringLiteral("INSERT INTO yanshu (%1) VALUES (?%2)")
            .arg(Book::columns(), QStringLiteral(", ?").repeated(fieldCount + 2));
    return sql;
}

const QString& updateSql() {
    static const QString sql = [] {
        QStringList sets;
        for (const ContactColumn& c : textColumns) {
            sets << c.column.toString() + QStringLiteral(" = ?");
        }
        return QStringLiteral("UPDATE yanshu SET %1, REV = ? WHERE _rowid_ = ?")
            .arg(sets.join(u", "));
    }();
    return sql;
}

const QString& byUidSql() {
    static const QString sql =
        QStringLiteral("SELECT _rowid_, %1 FROM yanshu WHERE UID = ?").arg(Book::columns());
    return sql;
}

} // namespace

Book::Book(db::Connection& connection, BookChanges* changes, Now now)
    : connection_(connection)
    , changes_(changes)
    , now_(std::move(now)) {}

QStringList Book::ownTables() {
    return {QStringLiteral("yanshu"), QStringLiteral("yanshu_extra"),
            QStringLiteral("yanshu_deleted"), QStringLiteral("yanshu_unindexed")};
}

QString Book::newUid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString Book::columns() {
    QStringList names{idColumn.column.toString()};
    for (const ContactColumn& c : textColumns) {
        names << c.column.toString();
    }
    return names.join(u", ") + QStringLiteral(", UID, REV");
}

Contact Book::read(const db::Statement& query, int first) {
    Contact contact;
    contact.id = query.integer(first);
    for (int i = 0; i < fieldCount; ++i) {
        contact.fields[std::size_t(i)] = query.value(first + 1 + i).toString();
    }
    contact.uid = query.value(first + 1 + fieldCount).toString();
    contact.rev = query.value(first + 2 + fieldCount).toString();
    return contact;
}

QString Book::revOf(const QDateTime& moment) {
    return moment.toUTC().toString(Qt::ISODateWithMs);
}

db::Statement& Book::prepared(std::optional<db::Statement>& statement, const QString& sql) {
    if (!statement) {
        statement.emplace(connection_, sql);
    }
    statement->reset();
    return *statement;
}

std::optional<db::Transaction> Book::oneWrite() {
    if (batches_ > 0) {
        return std::nullopt; // the batch is all or nothing already
    }
    return std::optional<db::Transaction>(std::in_place, connection_);
}

void Book::wrote() {
    if (batches_ > 0) {
        // A batch's pages leave the cache as it fills: put on disk as they
        // go, they leave the commit little to wait for.
        if (++batchWrites_ % writeBackWrites == 0) {
            connection_.writeBack();
        }
    } else if (changes_) {
        emit changes_->changed();
    }
}

qint64 Book::add(const Contact& contact) {
    return addAsFound(contact, QVariant::fromValue(contact.id));
}

qint64 Book::addAsFound(const Contact& contact, const QVariant& id) {
    const db::Connection::OwnedWrites owned(connection_);
    if (batches_ > 0 && !std::exchange(batchDeferred_, true)) {
        deferSearchIndex(connection_);
    }
    const QString uid = contact.uid.isEmpty() ? newUid() : contact.uid;
    // The extras first: the row's search keys are made of them too.
    std::optional<db::Transaction> both = contact.extras.empty() ? std::nullopt : oneWrite();
    if (!contact.extras.empty()) {
        writeExtras(uid, contact.extras); // and any another program left under the UID go
    }
    db::Statement& insert = prepared(insert_, insertSql());
    insert.bind(1, id);
    for (int i = 0; i < fieldCount; ++i) {
        insert.bind(i + 2, contact.fields[std::size_t(i)]);
    }
    insert.bind(fieldCount + 2, uid);
    insert.bind(fieldCount + 3, contact.rev.isEmpty() ? stamp() : contact.rev);
    // Not RETURNING: its writes can fail as late as the reset, which
    // would leave the failure unseen.
    insert.run();
    const qint64 row = connection_.lastInsertedRow();
    if (both) {
        both->commit();
    }
    wrote();
    return row;
}

void Book::replace(qint64 row, const Contact& contact, Extras extras) {
    const db::Connection::OwnedWrites owned(connection_);
    std::optional<db::Transaction> both = oneWrite();
    if (extras == Extras::Replace) {
        writeExtras(uidOf(row), contact.extras);
    } else {
        // The name's parts (N) say a name: a new name makes them wrong.
        db::Statement& stale = prepared(
            dropParts_,
            QStringLiteral("DELETE FROM yanshu_extra WHERE name = 'N' AND UID = "
                           "(SELECT UID FROM yanshu WHERE _rowid_ = ?1 AND GR_XM IS NOT ?2)"));
        stale.bindAll({QVariant::fromValue(row), contact[Field::Name]});
        stale.run();
    }
    db::Statement& update = prepared(update_, updateSql());
    for (int i = 0; i < fieldCount; ++i) {
        update.bind(i + 1, contact.fields[std::size_t(i)]);
    }
    update.bind(fieldCount + 1, contact.rev.isEmpty() ? stamp() : contact.rev);
    update.bind(fieldCount + 2, QVariant::fromValue(row));
    update.run();
    if (both) {
        both->commit();
    }
    wrote();
}

std::vector<Extra> Book::extrasOf(const QString& uid) {
    db::Statement& query =
        prepared(extrasOf_, QStringLiteral("SELECT grp, name, params, value FROM yanshu_extra "
                                           "WHERE UID = ? ORDER BY seq"));
    query.bind(1, uid);
    std::vector<Extra> extras;
    while (query.step()) {
        extras.push_back({query.value(0).toString(), query.value(1).toString(),
                          query.value(2).toString(), query.value(3).toString()});
    }
    return extras;
}

void Book::setExtras(qint64 row, const std::vector<Extra>& extras) {
    const db::Connection::OwnedWrites owned(connection_);
    db::Transaction transaction(connection_);
    writeExtras(uidOf(row), extras);
    // Naming the name makes the search keys anew, with the extras.
    db::Statement touch(
        connection_, QStringLiteral("UPDATE yanshu SET REV = ?, GR_XM = GR_XM WHERE _rowid_ = ?"));
    touch.bindAll({stamp(), QVariant::fromValue(row)});
    touch.run();
    transaction.commit();
    wrote();
}

void Book::writeExtras(const QString& uid, const std::vector<Extra>& extras) {
    db::Statement& drop =
        prepared(dropExtras_, QStringLiteral("DELETE FROM yanshu_extra WHERE UID = ?"));
    drop.bind(1, uid);
    drop.run();
    db::Statement& add = prepared(addExtra_, QStringLiteral("INSERT INTO yanshu_extra "
                                                            "(UID, seq, grp, name, params, value) "
                                                            "VALUES (?, ?, ?, ?, ?, ?)"));
    for (std::size_t i = 0; i < extras.size(); ++i) {
        const Extra& e = extras[i];
        add.reset();
        add.bindAll({uid, qint64(i), e.group, e.name, e.params, e.value});
        add.run();
    }
}

QString Book::uidOf(qint64 row) {
    db::Statement query(connection_, QStringLiteral("SELECT UID FROM yanshu WHERE _rowid_ = ?"));
    query.bind(1, QVariant::fromValue(row));
    if (!query.step() || query.value(0).isNull()) {
        throw db::DbError(QStringLiteral("这位联系人已不在通讯录中。"),
                          QStringLiteral("row %1: no such row, or no UID").arg(row));
    }
    return query.value(0).toString();
}

void Book::remove(qint64 row) {
    const db::Connection::OwnedWrites owned(connection_);
    db::Transaction transaction(connection_);
    {
        db::Statement stored(
            connection_, QStringLiteral("SELECT %1 FROM yanshu WHERE _rowid_ = ?").arg(columns()));
        stored.bind(1, QVariant::fromValue(row));
        if (!stored.step()) {
            throw db::DbError(QStringLiteral("这位联系人已不在通讯录中。"),
                              QStringLiteral("delete of row %1: no such row").arg(row));
        }
        Contact contact = read(stored, 0);
        contact.extras = extrasOf(contact.uid);
        db::Statement tombstone(connection_,
                                QStringLiteral("INSERT OR REPLACE INTO yanshu_deleted "
                                               "(UID, DELETED, Id, card) VALUES (?, ?, ?, ?)"));
        tombstone.bindAll({contact.uid.isEmpty() ? newUid() : contact.uid, stamp(), stored.value(0),
                           keptCard(contact)});
        tombstone.run();
    }
    db::Statement extrasGone(connection_,
                             QStringLiteral("DELETE FROM yanshu_extra WHERE UID = "
                                            "(SELECT UID FROM yanshu WHERE _rowid_ = ?)"));
    extrasGone.bind(1, QVariant::fromValue(row));
    extrasGone.run();
    db::Statement gone(connection_, QStringLiteral("DELETE FROM yanshu WHERE _rowid_ = ?"));
    gone.bind(1, QVariant::fromValue(row));
    gone.run();
    // Older cards than the kept ones go; their tombstones stay.
    db::Statement forget(connection_,
                         QStringLiteral("UPDATE yanshu_deleted SET Id = NULL, card = NULL "
                                        "WHERE card IS NOT NULL AND seq <= (SELECT seq FROM "
                                        "yanshu_deleted WHERE card IS NOT NULL "
                                        "ORDER BY seq DESC LIMIT 1 OFFSET ?)"));
    forget.bind(1, keptDeletions);
    forget.run();
    transaction.commit();
    wrote();
}

bool Book::canPutBack() {
    db::Statement kept(connection_,
                       QStringLiteral("SELECT 1 FROM yanshu_deleted WHERE card IS NOT NULL"));
    return kept.step();
}

std::optional<qint64> Book::putBack() {
    return putBack(QStringLiteral("SELECT UID, Id, card FROM yanshu_deleted WHERE card IS NOT "
                                  "NULL ORDER BY seq DESC LIMIT 1"),
                   {});
}

std::optional<qint64> Book::putBack(const QString& uid) {
    return putBack(QStringLiteral("SELECT UID, Id, card FROM yanshu_deleted WHERE card IS NOT "
                                  "NULL AND UID = ?"),
                   uid);
}

std::optional<qint64> Book::putBack(const QString& sql, const QString& uid) {
    const db::Connection::OwnedWrites owned(connection_);
    Contact contact;
    QVariant id;
    {
        db::Statement kept(connection_, sql);
        if (!uid.isEmpty()) {
            kept.bind(1, uid);
        }
        if (!kept.step()) {
            return std::nullopt;
        }
        contact = cardKept(kept.value(2).toString());
        contact.uid = kept.value(0).toString();
        id = kept.value(1);
    }
    // Adding it takes its tombstone away (a trigger does, for every add).
    return addAsFound(contact, id);
}

std::optional<StoredContact> Book::byUid(const QString& uid) {
    if (uid.isEmpty()) {
        return std::nullopt;
    }
    db::Statement& query = prepared(byUid_, byUidSql());
    query.bind(1, uid);
    if (!query.step()) {
        return std::nullopt;
    }
    return StoredContact{query.integer(0), read(query, 1)};
}

std::optional<StoredContact> Book::byRow(qint64 row) {
    db::Statement query(connection_,
                        QStringLiteral("SELECT %1 FROM yanshu WHERE _rowid_ = ?").arg(columns()));
    query.bind(1, QVariant::fromValue(row));
    if (!query.step()) {
        return std::nullopt;
    }
    StoredContact stored{row, read(query, 0)};
    stored.contact.extras = extrasOf(stored.contact.uid);
    return stored;
}

void Book::identifyAll() {
    const db::Connection::OwnedWrites owned(connection_);
    std::vector<qint64> rows;
    {
        db::Statement without(connection_,
                              QStringLiteral("SELECT _rowid_ FROM yanshu WHERE UID IS NULL"));
        while (without.step()) {
            rows.push_back(without.integer(0));
        }
    }
    db::Statement give(connection_, QStringLiteral("UPDATE yanshu SET UID = ? WHERE _rowid_ = ?"));
    for (const qint64 row : rows) {
        give.reset();
        give.bindAll({newUid(), QVariant::fromValue(row)});
        give.run();
    }
    if (!rows.empty()) {
        wrote();
    }
}

// While a batch runs: a page cache of 40 MiB, so that the pages of a large
// book's indexes stay in memory rather than being written out half-way
// through the transaction, and the journal of each statement in memory
// rather than in a temporary file, which each write of the batch wrote
// to. Its commit works with a small cache (see there).
class Book::Batch::Settings {
public:
    explicit Settings(db::Connection& connection)
        : connection_(connection)
        , cacheSize_(value(QStringLiteral("cache_size")))
        , tempStore_(value(QStringLiteral("temp_store"))) {
        connection.execute(QStringLiteral("PRAGMA cache_size = -40960; PRAGMA temp_store = 2"));
    }
    ~Settings() {
        try {
            connection_.execute(QStringLiteral("PRAGMA cache_size = %1; PRAGMA temp_store = %2")
                                    .arg(cacheSize_)
                                    .arg(tempStore_));
        } catch (const db::DbError&) {
            // the connection is going anyway
        }
    }
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

private:
    qint64 value(const QString& pragma) {
        db::Statement read(connection_, QStringLiteral("PRAGMA ") + pragma);
        return read.step() ? read.integer(0) : 0;
    }

    db::Connection& connection_;
    qint64 cacheSize_;
    qint64 tempStore_;
};

Book::Batch::Batch(Book& book)
    : book_(book)
    , settings_(book.batches_ == 0 ? std::make_unique<Settings>(book.connection_) : nullptr)
    , transaction_(book.connection_) {
    ++book_.batches_;
}

Book::Batch::~Batch() {
    if (!committed_ && --book_.batches_ == 0) {
        book_.batchWrites_ = 0; // rolled back: nothing changed
        book_.batchDeferred_ = false;
    }
}

bool Book::Batch::commit(const std::function<bool()>& keepGoing) {
    const bool caughtUp = book_.batches_ == 1 && book_.batchDeferred_;
    if (book_.batches_ == 1) {
        db::Connection& connection = book_.connection_;
        const db::Connection::OwnedWrites owned(connection);
        const std::function<bool()> going = connection.writingBack(keepGoing);
        const bool many = book_.batchWrites_ >= manyWrites;
        if (many) {
            // From here on pages are written as they are left, not all at
            // the end, which would keep the window waiting.
            connection.execute(QStringLiteral("PRAGMA cache_size = -%1").arg(smallCacheKiB));
        }
        if ((caughtUp && !catchUpSearchIndex(connection, going)) ||
            (many && !tidySearchIndex(connection, going))) {
            return false;
        }
        book_.batchDeferred_ = false;
        if (many) {
            connection.flushCache();
            if (!going()) {
                return false;
            }
            connection.writeBack();
            if (!going()) {
                return false;
            }
        }
    }
    transaction_.commit();
    committed_ = true;
    if (caughtUp) {
        book_.connection_.discardTemporaries();
    }
    if (--book_.batches_ == 0 && std::exchange(book_.batchWrites_, 0) > 0 && book_.changes_) {
        emit book_.changes_->changed();
    }
    return true;
}

} // namespace contacts
