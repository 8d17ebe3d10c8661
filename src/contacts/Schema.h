#pragma once

#include "platform/Progress.h"

#include <QString>

namespace db {
class Connection;
}

namespace contacts {

// The version of the tables this program reads and writes, kept in the
// file's user_version. 1: yanshu and mab as first made; 2: each contact
// has a UID (stable identity) and a REV (UTC time of its last change),
// and Id is indexed for the next number; 3: yanshu_find holds the contact
// list's search keys, which triggers keep; 4: yanshu_deleted holds what
// deletions leave (tombstones, and cards kept to be put back); 5:
// yanshu_extra holds what contacts have that no column holds; 6:
// yanshu_rank holds the names' ranked keys, which the list is ordered and
// first sought by, and surnames are read as surnames.
inline constexpr int schemaVersion = 7;

// Both give the connection the functions the tables' triggers call, and
// leave the contact tables' writes to contacts::Book alone.
// Makes the tables of the current version in an empty database.
void createSchema(db::Connection& connection);
// Makes the tables as version 1 made them: how files of the first
// releases look, from which every later version is reached.
void createVersion1(db::Connection& connection);

// Opens the database of the connection string for the program's use. A
// file of an older version is first backed up into the backups folder
// beside it (takeBackup) and then brought up to date in one transaction;
// a file of a newer version is refused with DbErrorKind::NewerVersion and
// left unopened.
// A long upgrade reports to `progress` as it goes; its cancel leaves the
// file as it was and fails with DbErrorKind::Interrupted.
void openDatabase(db::Connection& connection, const QString& connectionString,
                  const platform::Progress& progress = {});

} // namespace contacts
