#pragma once

#include "platform/Progress.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

namespace db {
class Connection;
}

namespace contacts {

// One copy of the book in its backup folder; `taken` is read from its name.
struct Backup {
    QString path;
    QDateTime taken;
    qint64 bytes = 0;
};

// The folder "backups" beside the database file.
QString backupFolder(const QString& databaseFile);

// The backups of the file, newest first: the files of the folder named as
// takeBackup names them.
std::vector<Backup> listBackups(const QString& databaseFile);

// The backup that holds the book as it was when takeBackup ran.
struct KeptBackup {
    QString path;
    bool taken = true; // false: the newest backup held that book already
};

// A consistent copy of the connection's file into backupFolder (made if
// missing), named <stem>-YYYY-MM-DD-HHMMSS.mdb from `now` in local time
// ("-2", "-3"… when taken), then the backups are pruned. When the newest
// backup already holds the same database (sameDatabase), none is taken and
// that one is returned. The progress counts the comparison's bytes, then
// the copy's pages. Throws DbError, DbErrorKind::Interrupted when the
// progress cancels.
KeptBackup takeBackup(db::Connection& source, const QDateTime& now,
                      const platform::Progress& progress = {});
// The same, opening the file itself.
KeptBackup takeBackup(const QString& databaseFile, const QDateTime& now,
                      const platform::Progress& progress = {});

// Keeps the 10 newest backups and, for each of the 12 calendar months up
// to and including now's, the oldest of that month; removes the others,
// and what copies cut short left (<backup>.partial and its journal) once
// no copy holds them and they are some minutes old. Files not named as
// takeBackup names them are never touched.
void pruneBackups(const QString& databaseFile, const QDateTime& now);

// The number of contacts in a backup, -1 when it cannot be read. Reads
// the smallest index of a large book: a few hundred milliseconds.
qint64 contactsIn(const QString& backupFile);

// What is wrong with the file as a book of this program, each a sentence:
// damage, then our tables of its version. Empty: sound. A missing or
// unreadable file is such a finding, never an exception.
QStringList checkBook(const QString& file);

// Puts a backup back: a backup failing checkBook is refused with its
// findings; the current file is first kept as a backup (byte for byte when
// it is too damaged to read; the newest backup when that holds it), then
// the backup is copied over it, so that its other connections see the
// restored book. Returns the path of the backup that holds the book as it
// was. Throws DbError; a cancel of the copy
// leaves the current file as it was.
QString restoreBackup(const QString& databaseFile, const QString& backupFile, const QDateTime& now,
                      const platform::Progress& progress = {});

} // namespace contacts
