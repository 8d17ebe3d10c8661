#include "ContactStore.h"

#include "ContactColumns.h"
#include "SearchKeys.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Statement.h"

#include <QUuid>

#include <limits>

namespace contacts {

namespace {

const QString table = QStringLiteral("yanshu");
const QString byName = QStringLiteral("GR_XM = ?");

} // namespace

ContactStore::ContactStore(Now now)
    : now_(std::move(now)) {}

void ContactStore::openAll(db::Connection& connection) {
    records_.openTable(connection, table);
}

void ContactStore::findByName(db::Connection& connection, const QString& name) {
    records_.openTable(connection, table, byName, {name});
}

Contact ContactStore::current() const {
    Contact contact;
    contact.id = records_.value(idColumn.column).toLongLong();
    for (std::size_t i = 0; i < textColumns.size(); ++i) {
        contact.fields[i] = records_.text(textColumns[i].column);
    }
    contact.uid = records_.text(u"UID");
    contact.rev = records_.text(u"REV");
    return contact;
}

void ContactStore::setFields(const Contact& contact) {
    for (std::size_t i = 0; i < textColumns.size(); ++i) {
        records_.setValue(textColumns[i].column, contact.fields[i]);
    }
    records_.setValue(u"REV", now_().toUTC().toString(Qt::ISODateWithMs));
}

void ContactStore::add(const Contact& contact) {
    records_.addNew();
    try {
        records_.setValue(idColumn.column, contact.id);
        records_.setValue(u"UID", QUuid::createUuid().toString(QUuid::WithoutBraces));
        setFields(contact);
        records_.update();
    } catch (...) {
        records_.cancelUpdate();
        throw;
    }
}

void ContactStore::update(const Contact& contact) {
    try {
        setFields(contact);
        records_.update();
    } catch (...) {
        records_.cancelUpdate();
        throw;
    }
}

void ContactStore::removeCurrent() {
    records_.deleteCurrent();
}

qint64 ContactStore::nextNumber(const db::Connection& connection) {
    db::Statement largest(connection, QStringLiteral("SELECT max(Id) FROM yanshu"));
    const qint64 n = largest.step() ? largest.integer(0) : 0;
    return n < std::numeric_limits<qint64>::max() ? n + 1 : n;
}

std::vector<ListedContact> ContactStore::search(const db::Connection& connection,
                                                const QString& typed, const ListedContact* after,
                                                int limit) {
    // The keys' table is kept in the list's order: the first rows that
    // match come at once, however many follow.
    db::Statement found(
        connection,
        QStringLiteral("SELECT f.sort, f.row, y.GR_XM, y.GR_YDH, y.GR_DH, y.GR_DW, y.GR_ML "
                       "FROM yanshu_find f JOIN yanshu y ON y.rowid = f.row "
                       "WHERE instr(f.keys, ?) > 0 AND (f.sort, f.row) > (?, ?) "
                       "ORDER BY f.sort, f.row LIMIT ?"));
    found.bindAll({searchForm(typed), after ? after->sort : QString(),
                   QVariant::fromValue(after ? after->row : std::numeric_limits<qint64>::min()),
                   limit});
    std::vector<ListedContact> contacts;
    while (found.step()) {
        ListedContact& contact = contacts.emplace_back();
        contact.sort = found.value(0).toString();
        contact.row = found.integer(1);
        for (int i = 0; i < int(contact.shown.size()); ++i) {
            contact.shown[std::size_t(i)] = found.value(i + 2).toString();
        }
    }
    return contacts;
}

void ContactStore::openForReport(db::Recordset& rows, db::Connection& connection,
                                 const std::optional<QString>& name) {
    if (name) {
        rows.openTable(connection, table, byName, {*name});
    } else {
        rows.openTable(connection, table);
    }
}

} // namespace contacts
