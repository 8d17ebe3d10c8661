#pragma once

#include "platform/db/Recordset.h"

#include <QString>

namespace db {
class Connection;
}

namespace account {

// The user table mab: the user names and their plain-text passwords, as
// the login and the account dialog read and change them.
class UserStore {
public:
    // Every user; the first becomes current.
    void openAll(db::Connection& connection);
    // The users of this name on the same connection (names compare
    // without regard to letter case). The name is bound, never pasted
    // into the query: quotes are just letters.
    void find(const QString& name);
    void close() { users_.close(); }

    bool hasCurrent() const { return users_.hasCurrent(); }
    // The current user's name; a NULL name reads empty.
    QString currentName() const;
    // Whether the current user has exactly this password, letter case
    // counting. No current user or no stored password never matches.
    bool holdsPassword(const QString& password) const;
    // Both in one statement: both are stored or neither.
    void change(const QString& name, const QString& password);

    static void add(db::Connection& connection, const QString& name, const QString& password);

private:
    db::Connection* connection_ = nullptr;
    db::Recordset users_;
};

} // namespace account
