#pragma once

#include "Contact.h"

#include "platform/db/Statement.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

namespace db {
class Connection;
}

namespace contacts {

// A contact as it is stored: its row in table yanshu and its card.
struct StoredContact {
    qint64 row = 0;
    Contact contact;
};

// The writes of table yanshu by statement, for those who write many rows
// at once (an import). New UIDs and times of change are made here for
// every writer. Statements are prepared once and used for every row.
class Book {
public:
    using Now = std::function<QDateTime()>;
    explicit Book(db::Connection& connection, Now now = &QDateTime::currentDateTimeUtc);

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
    // one, its time of change or else now; returns its row.
    qint64 add(const Contact& contact);
    // Writes the texts and the time of change (or now) into the row; its
    // number and UID stay.
    void replace(qint64 row, const Contact& contact);
    // The contact of this UID, if the book has it.
    std::optional<StoredContact> byUid(const QString& uid);

private:
    db::Connection& connection_;
    Now now_;
    std::optional<db::Statement> insert_;
    std::optional<db::Statement> update_;
    std::optional<db::Statement> byUid_;
};

} // namespace contacts
