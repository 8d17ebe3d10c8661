#pragma once

#include "platform/db/Recordset.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace db {
class Connection;
}

namespace contacts {

// One contact card: its number and the 21 texts in the column table's
// order (GR_XM … GR_BZ), with the identity and time of change the store
// keeps for it.
struct Contact {
    qint64 id = 0;
    std::array<QString, 21> fields;
    QString uid; // made on insert, kept for good
    QString rev; // UTC time of the last change, ISO 8601
};

// A contact as the contact list shows it.
struct ListedContact {
    qint64 row = 0;               // yanshu's rowid, which the card is moved to
    QString sort;                 // where it stands in the list's order
    std::array<QString, 5> shown; // 姓名, 移动电话, 住宅电话, 单位, 电子邮件
};

// The contacts of table yanshu as the card works on them: a record set
// with a cursor (its moves and ends; rows read as they are reached), and
// every write the program makes to the table. Writes reach the file at once.
class ContactStore {
public:
    using Now = std::function<QDateTime()>;
    explicit ContactStore(Now now = &QDateTime::currentDateTimeUtc);

    // Takes every contact, or those of exactly this name (letter case of
    // Latin names aside); the first becomes current.
    void openAll(db::Connection& connection);
    void findByName(db::Connection& connection, const QString& name);
    void close() { records_.close(); }
    bool isOpen() const { return records_.isOpen(); }

    // The record set, to read, and its cursor, which moves as the set's
    // does (and may fail as a read does); writes go through the store only.
    const db::Recordset& records() const { return records_; }
    void moveFirst() { records_.moveFirst(); }
    void moveLast() { records_.moveLast(); }
    void moveNext() { records_.moveNext(); }
    void movePrevious() { records_.movePrevious(); }
    bool empty() const { return records_.recordCount() == 0; }
    // The current contact; throws DbError without one.
    Contact current() const;

    // Appends a contact with a new UID; it becomes current. Its id is
    // stored as given.
    void add(const Contact& contact);
    // Writes the texts into the current contact; its number and UID stay.
    void update(const Contact& contact);
    void removeCurrent();

    // One more than the largest number in the table (1 for an empty one);
    // the largest possible number is given again rather than wrapping.
    static qint64 nextNumber(const db::Connection& connection);
    // Every contact, or those of one name, for reading: what a report prints.
    // The contacts whose search keys hold the typed text (in search form),
    // in the list's order after `after` (from the first without it), at
    // most `limit` of them. Empty text finds everyone.
    static std::vector<ListedContact> search(const db::Connection& connection, const QString& typed,
                                             const ListedContact* after, int limit);
    static void openForReport(db::Recordset& rows, db::Connection& connection,
                              const std::optional<QString>& name = std::nullopt);

private:
    void setFields(const Contact& contact);

    Now now_;
    db::Recordset records_;
};

} // namespace contacts
