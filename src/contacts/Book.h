#pragma once

#include "Contact.h"

#include "platform/db/Statement.h"
#include "platform/db/Transaction.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace db {
class Connection;
}

namespace contacts {

// A contact as it is stored: its row in table yanshu and its card.
struct StoredContact {
    qint64 row = 0;
    Contact contact;
};

// Tells the windows that show the book that it has changed: once a write
// is on disk, or once for a whole batch.
class BookChanges : public QObject {
    Q_OBJECT
signals:
    void changed();
};

// The one writer of the contacts (table yanshu), of what they have that no
// column holds (yanshu_extra) and of what deletions leave behind
// (yanshu_deleted): every module writes through a Book, and the
// database refuses their own writes (the tables are reserved for it). New
// UIDs and times of change are made here.
//
// A deleted contact leaves a tombstone, its UID and time of deletion, for
// good: a sync tells from it a contact deleted here from one never seen.
// The card itself is kept for 撤销删除, across runs, for the last
// keptDeletions deletions. A contact that comes back (put back, or added
// again with its UID) takes its tombstone away.
class Book {
public:
    using Now = std::function<QDateTime()>;
    explicit Book(db::Connection& connection, BookChanges* changes = nullptr,
                  Now now = &QDateTime::currentDateTimeUtc);

    static constexpr int keptDeletions = 100;
    // The tables only a Book writes.
    static QStringList ownTables();

    // A new contact's identity, kept for good.
    static QString newUid();
    // A time of change as the book writes it: UTC, ISO 8601 with
    // milliseconds, which sorts as it runs.
    static QString revOf(const QDateTime& moment);
    QString stamp() const { return revOf(now_()); }
    // The stored columns of a contact as the Book reads and writes them:
    // "Id, GR_XM, …, GR_BZ, UID, REV".
    static QString columns();
    // The contact whose columns a query returns from `first` on.
    static Contact read(const db::Statement& query, int first);

    // Adds the contact with its number as given, its UID or else a new
    // one, its time of change or else now, and its extras; returns its row.
    qint64 add(const Contact& contact);
    // The same with the number as an old file had it: a number, a text or
    // none (the contact's own is not used).
    qint64 addAsFound(const Contact& contact, const QVariant& id);
    // Writes the texts and the time of change (or now) into the row; its
    // number and UID stay, and its extras unless told to take the contact's
    // (but for the name's parts, which go with a new name).
    enum class Extras { Keep, Replace };
    void replace(qint64 row, const Contact& contact, Extras extras = Extras::Keep);
    // The extras of the contact of this UID, in their order.
    std::vector<Extra> extrasOf(const QString& uid);
    // Makes these the extras of the contact of the row; its time of change
    // is now.
    void setExtras(qint64 row, const std::vector<Extra>& extras);
    // Deletes the contact of this row, leaving its tombstone and keeping
    // its card to be put back.
    void remove(qint64 row);
    // Whether a deleted card is kept that putBack would add again.
    bool canPutBack();
    // Adds the most recently deleted card that is kept again, with its
    // number and UID; its row, or none when no card is kept.
    std::optional<qint64> putBack();
    // The same for the deleted card of this UID.
    std::optional<qint64> putBack(const QString& uid);
    // The contact of this UID, if the book has it.
    std::optional<StoredContact> byUid(const QString& uid);
    // The contact of this row with its extras, if the book has it.
    std::optional<StoredContact> byRow(qint64 row);
    // Gives every contact without a UID one (rows another program wrote).
    void identifyAll();

    // Many writes as one transaction and one notification, as an import
    // makes them: committed by commit(), undone without it. The contacts it
    // adds are indexed for the list's search as it commits, all at once;
    // that asks `keepGoing` as it goes, and false stops it: nothing is
    // written, and commit() says so.
    class Batch {
    public:
        explicit Batch(Book& book);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        bool commit(const std::function<bool()>& keepGoing = {});

    private:
        class Settings;
        Book& book_;
        std::unique_ptr<Settings> settings_;
        db::Transaction transaction_;
        bool committed_ = false;
    };

private:
    db::Statement& prepared(std::optional<db::Statement>& statement, const QString& sql);
    void wrote();
    // A transaction that makes several statements one write, unless a
    // batch does already.
    std::optional<db::Transaction> oneWrite();
    void writeExtras(const QString& uid, const std::vector<Extra>& extras);
    std::optional<qint64> putBack(const QString& sql, const QString& uid);
    QString uidOf(qint64 row);

    db::Connection& connection_;
    BookChanges* changes_;
    Now now_;
    int batches_ = 0;
    qint64 batchWrites_ = 0;
    bool batchDeferred_ = false; // the batch's contacts wait to be indexed
    std::optional<db::Statement> insert_;
    std::optional<db::Statement> update_;
    std::optional<db::Statement> byUid_;
    std::optional<db::Statement> extrasOf_;
    std::optional<db::Statement> dropExtras_;
    std::optional<db::Statement> addExtra_;
    std::optional<db::Statement> dropParts_;
};

} // namespace contacts
