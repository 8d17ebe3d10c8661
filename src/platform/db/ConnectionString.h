#pragma once

#include <QString>

namespace db {

// The text every connection to the book file (MY.mdb) is opened from,
// spelled as the contact card, the login and the print commands write it.
QString connectionString(const QString& databaseFile);

// The same text as the account dialog spells it ("PeRsist"); it opens the
// same file in the same way.
QString accountConnectionString(const QString& databaseFile);

// The file a connection string names under "Data Source" (keywords in any
// letter case, values optionally in double quotes), as a path of this
// platform; empty when the keyword is missing.
QString dataSource(const QString& connectionString);

} // namespace db
