#include "Schema.h"

#include "ContactColumns.h"

#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"

#include <QStringList>

namespace contacts {

namespace {

// Names compare whole, blanks included, Latin letters without regard to case.
const QString nameCollation = QStringLiteral(" COLLATE NOCASE");

QString contactTable() {
    QStringList definitions{QStringLiteral("Id INTEGER DEFAULT 0")};
    for (const ContactColumn& c : textColumns) {
        QString definition = c.column.toString() + QStringLiteral(" TEXT DEFAULT ''");
        if (c.column == nameColumn) {
            definition += nameCollation;
        }
        definitions << definition;
    }
    return QStringLiteral("CREATE TABLE yanshu (") + definitions.join(QStringLiteral(", ")) +
           QStringLiteral(");");
}

} // namespace

void createSchema(db::Connection& connection) {
    connection.execute(QStringLiteral("BEGIN;") + contactTable() +
                       QStringLiteral("CREATE INDEX yanshu_GR_XM ON yanshu (GR_XM);"
                                      "CREATE TABLE mab (YHM TEXT DEFAULT ''") +
                       nameCollation +
                       QStringLiteral(", YHMA TEXT DEFAULT '');"
                                      "PRAGMA user_version = 1;"
                                      "COMMIT;"));
}

void addUser(db::Connection& connection, const QString& name, const QString& password) {
    db::Recordset users;
    users.open(connection, QStringLiteral("select * from mab where 0"));
    users.addNew();
    users.setValue(u"YHM", name);
    users.setValue(u"YHMA", password);
    users.update();
}

} // namespace contacts
