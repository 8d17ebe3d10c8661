#pragma once

#include <QFileDevice>
#include <QString>

namespace db {

// Moves the file from over to, replacing whatever is there, and returns once
// the move is on disk. Neither may be open: Windows refuses to move an open
// file. On failure from stays where it was and error, if given, says why.
bool replaceFile(const QString& from, const QString& to, QString* error = nullptr);

// Puts on disk what has been written to the open file; false if it cannot.
bool syncToDisk(QFileDevice& file);

} // namespace db
