#pragma once

#include "Book.h"
#include "Contact.h"
#include "SearchKeys.h"

#include "platform/db/Recordset.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

namespace db {
class Connection;
}

namespace contacts {

// A contact as the contact list shows it.
struct ListedContact {
    qint64 row = 0;               // yanshu's rowid, which the card is moved to
    std::array<QString, 5> shown; // 姓名, 移动电话, 住宅电话, 单位, 电子邮件
};

// How far a search has read: to this key of a tier (empty: its start), of
// this contact.
struct ListPosition {
    Tier tier = Tier::Name;
    QString key;
    qint64 row = std::numeric_limits<qint64>::min(); // before the first
};

// What one piece of a search found, and where it stopped.
struct SearchSlice {
    std::vector<ListedContact> found;
    ListPosition reached;
    bool atEnd = false; // nobody after `reached`
};

// The contacts of table yanshu as the card works on them: a record set
// with a cursor (its moves and ends; rows read as they are reached), and
// the card's writes, which the Book makes. Writes reach the file at once.
class ContactStore {
public:
    using Now = std::function<QDateTime()>;
    explicit ContactStore(BookChanges* changes = nullptr, Now now = &QDateTime::currentDateTimeUtc);

    // Takes every contact, or those of exactly this name (letter case of
    // Latin names aside); the first becomes current.
    void openAll(db::Connection& connection);
    void findByName(db::Connection& connection, const QString& name);
    void close();
    bool isOpen() const { return records_.isOpen(); }
    // Open on every contact, not only those of a name.
    bool holdsAll() const { return isOpen() && all_; }

    // The record set, to read, and its cursor, which moves as the set's
    // does (and may fail as a read does); writes go through the store only.
    const db::Recordset& records() const { return records_; }
    void moveFirst() { records_.moveFirst(); }
    void moveLast() { records_.moveLast(); }
    void moveNext() { records_.moveNext(); }
    void movePrevious() { records_.movePrevious(); }
    bool empty() const { return records_.recordCount() == 0; }
    // Lists every contact's row now, so that no later action has to.
    void listEveryRow() const { records_.listEveryRow(); }
    // Makes the contact in this row of yanshu current; false, and the
    // cursor where it was, when it is not in the set.
    bool moveTo(qint64 rowId) { return records_.moveToRow(rowId); }
    // The current contact; throws DbError without one.
    Contact current() const;

    // Appends a contact with a new UID; it becomes current. Its id is
    // stored as given.
    void add(const Contact& contact);
    // Writes the texts into the current contact; its number and UID stay.
    void update(const Contact& contact);
    // Deletes the current contact, keeping it to be put back.
    void removeCurrent();
    // Whether a deleted contact is kept to be put back, in this run or an
    // earlier one; false while the set is closed.
    bool canPutBack();
    // Appends the last deleted contact that is kept again, with its number
    // and UID; it becomes current. False when none is kept.
    bool putBack();

    // One more than the largest number in the table (1 for an empty one);
    // the largest possible number is given again rather than wrapping.
    static qint64 nextNumber(const db::Connection& connection);
    // Reads on after `from`, tier by tier, looking at no more than `rows`
    // contacts and stopping once `wanted` of them are found: those the typed
    // text finds, each once, in the first tier that finds it, in that
    // tier's order. Empty text finds everyone, in the list's order. A long
    // search goes piece by piece, so that the window stays live.
    static SearchSlice search(const db::Connection& connection, const QString& typed,
                              const ListPosition& from, int wanted, int rows);
    // Every contact, or those of one name, for reading: what a report prints.
    static void openForReport(db::Recordset& rows, db::Connection& connection,
                              const std::optional<QString>& name = std::nullopt);

private:
    void open(db::Connection& connection);
    Book& book();

    BookChanges* changes_;
    Now now_;
    db::Recordset records_;
    std::optional<Book> book_;
    bool all_ = false;
};

} // namespace contacts
