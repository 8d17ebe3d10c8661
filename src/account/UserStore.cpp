#include "UserStore.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"

namespace account {

namespace {

const QString table = QStringLiteral("mab");

} // namespace

void UserStore::openAll(db::Connection& connection) {
    connection_ = &connection;
    users_.openTable(connection, table);
}

void UserStore::find(const QString& name) {
    if (!connection_) {
        throw db::DbError::notOpen(QStringLiteral("user lookup before the table was opened"));
    }
    users_.openTable(*connection_, table, QStringLiteral("YHM = ?"), {name});
}

QString UserStore::currentName() const {
    return users_.text(u"YHM");
}

bool UserStore::holdsPassword(const QString& password) const {
    if (!users_.hasCurrent()) {
        return false;
    }
    const QVariant stored = users_.value(u"YHMA");
    return !stored.isNull() && stored.toString() == password;
}

void UserStore::change(const QString& name, const QString& password) {
    try {
        users_.setValue(u"YHM", name);
        users_.setValue(u"YHMA", password);
        users_.update();
    } catch (...) {
        users_.cancelUpdate();
        throw;
    }
}

void UserStore::add(db::Connection& connection, const QString& name, const QString& password) {
    db::Recordset users;
    users.openTable(connection, table, QStringLiteral("0"));
    users.addNew();
    users.setValue(u"YHM", name);
    users.setValue(u"YHMA", password);
    users.update();
}

} // namespace account
