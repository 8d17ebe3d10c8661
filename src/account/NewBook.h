#pragma once

#include <QString>

#include <functional>

namespace db {
class Connection;
}

namespace account {

// Makes a new book at `file`, its folder too: the tables of this version,
// one user, and whatever `fill` adds. Nothing is left behind when it fails
// (DbError); an existing file is refused.
void createBook(const QString& file, const QString& userName, const QString& password,
                const std::function<void(db::Connection&)>& fill = {});

} // namespace account
