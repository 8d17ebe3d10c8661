#pragma once

#include "platform/Progress.h"

#include <QString>
#include <QStringList>

struct sqlite3;

namespace db {

class Connection;

// A consistent copy of the connection's database as committed, made page by
// page so that other connections go on reading meanwhile. It is written to
// toPath + ".partial" and renamed into place once on disk: a file under the
// final name is always whole. The progress counts pages; a cancel fails as
// DbErrorKind::Interrupted. Throws DbError, leaving no partial file.
void copyDatabase(Connection& from, const QString& toPath, const platform::Progress& progress = {});
// The same from a file opened read-only, for one that no Connection opens
// (a book too damaged to read its tables).
void copyDatabase(const QString& fromPath, const QString& toPath,
                  const platform::Progress& progress = {});

// Puts the database of the file at fromPath, which is only read, in place of
// the connection's content in one transaction: the other connections to the
// file see the new content, and on failure or cancel the old one stays.
// Throws DbError.
void copyDatabaseInto(const QString& fromPath, Connection& to,
                      const platform::Progress& progress = {});

// Whether the two files hold the same database: page for page the same
// bytes, but for the header's counters that every commit or copy renews
// (change counter, schema cookie, version-valid-for and library version),
// so that a backup matches the book it was taken of. Each file is read
// through a read-only connection of its own inside a read transaction:
// the book may be held by a writer that has not written yet. The first
// page that differs ends the reading; a file that cannot be read or keeps
// a write-ahead log is never the same. The progress counts bytes; a cancel
// fails as DbErrorKind::Interrupted, the only DbError thrown.
bool sameDatabase(const QString& path, const QString& otherPath,
                  const platform::Progress& progress = {});

// Removes a database file and its journal unless a connection, of this
// process or another, holds a lock on it, as a copy under way does from
// its first page to its last. False when it is in use.
bool removeUnlessInUse(const QString& path);

// A database file opened read-only, to look into without changing it.
class ReadOnlyDatabase {
public:
    // Throws DbError when the file is missing or cannot be opened.
    explicit ReadOnlyDatabase(const QString& path);
    ~ReadOnlyDatabase();
    ReadOnlyDatabase(const ReadOnlyDatabase&) = delete;
    ReadOnlyDatabase& operator=(const ReadOnlyDatabase&) = delete;

    // The first column of every row the query gives, as texts. Throws
    // DbError, also when the file proves to be no database or damaged.
    QStringList column(const QString& sql) const;

private:
    sqlite3* handle_ = nullptr;
    QString path_;
};

} // namespace db
