#pragma once

#include <QString>

namespace db {
class Connection;
}

namespace contacts {

// Creates tables yanshu and mab in an empty database.
void createSchema(db::Connection& connection);

// Adds a row to mab; the password is kept as typed.
void addUser(db::Connection& connection, const QString& name, const QString& password);

} // namespace contacts
