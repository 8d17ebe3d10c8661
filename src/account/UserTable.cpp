#include "UserTable.h"

#include "platform/db/Recordset.h"

namespace account {

void openUser(db::Recordset& users, const QString& name) {
    users.close();
    users.open(QStringLiteral("select * from MaB where MaB.YHM = ?"), {name});
}

bool holdsPassword(const db::Recordset& users, const QString& password) {
    if (!users.hasCurrent()) {
        return false;
    }
    const QVariant stored = users.value(u"YHMA");
    return !stored.isNull() && stored.toString() == password;
}

} // namespace account
