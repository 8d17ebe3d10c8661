#include "Book.h"

#include "ContactColumns.h"

#include "platform/db/Connection.h"

#include <QStringList>
#include <QUuid>

namespace contacts {

Book::Book(db::Connection& connection, Now now)
    : connection_(connection)
    , now_(std::move(now)) {}

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

qint64 Book::add(const Contact& contact) {
    if (!insert_) {
        insert_.emplace(connection_,
                        QStringLiteral("INSERT INTO yanshu (%1) VALUES (?%2)")
                            .arg(columns(), QStringLiteral(", ?").repeated(fieldCount + 2)));
    }
    db::Statement& insert = *insert_;
    insert.reset();
    insert.bind(1, QVariant::fromValue(contact.id));
    for (int i = 0; i < fieldCount; ++i) {
        insert.bind(i + 2, contact.fields[std::size_t(i)]);
    }
    insert.bind(fieldCount + 2, contact.uid.isEmpty() ? newUid() : contact.uid);
    insert.bind(fieldCount + 3, contact.rev.isEmpty() ? stamp() : contact.rev);
    // Not RETURNING: its writes can fail as late as the reset, which
    // would leave the failure unseen.
    insert.run();
    return connection_.lastInsertedRow();
}

void Book::replace(qint64 row, const Contact& contact) {
    if (!update_) {
        QStringList sets;
        for (const ContactColumn& c : textColumns) {
            sets << c.column.toString() + QStringLiteral(" = ?");
        }
        update_.emplace(connection_,
                        QStringLiteral("UPDATE yanshu SET %1, REV = ? WHERE _rowid_ = ?")
                            .arg(sets.join(u", ")));
    }
    db::Statement& update = *update_;
    update.reset();
    for (int i = 0; i < fieldCount; ++i) {
        update.bind(i + 1, contact.fields[std::size_t(i)]);
    }
    update.bind(fieldCount + 1, contact.rev.isEmpty() ? stamp() : contact.rev);
    update.bind(fieldCount + 2, QVariant::fromValue(row));
    update.run();
}

std::optional<StoredContact> Book::byUid(const QString& uid) {
    if (uid.isEmpty()) {
        return std::nullopt;
    }
    if (!byUid_) {
        byUid_.emplace(
            connection_,
            QStringLiteral("SELECT _rowid_, %1 FROM yanshu WHERE UID = ?").arg(columns()));
    }
    byUid_->reset();
    byUid_->bind(1, uid);
    if (!byUid_->step()) {
        return std::nullopt;
    }
    return StoredContact{byUid_->integer(0), read(*byUid_, 1)};
}

} // namespace contacts
