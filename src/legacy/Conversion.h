#pragma once

#include "interchange/Exchange.h"
#include "platform/Progress.h"

#include <QString>
#include <QStringList>

namespace db {
class Connection;
}

namespace legacy {

using interchange::Now;
using platform::Progress;

// What a conversion read and wrote, and what it could not.
struct ConversionReport {
    qint64 contactsRead = 0;
    qint64 contactsWritten = 0;
    qint64 usersRead = 0;
    qint64 usersWritten = 0;
    QStringList notes;      // missing tables and columns, rows not read, and why
    QString keptAs;         // where the old file was kept, for a conversion in place
    bool cancelled = false; // nothing was written

    QString text(const QString& fileName) const;
};

// Copies the contacts and users of an old Access file into this program's
// database, in one transaction. Columns are matched by name: a missing one
// is empty, an extra one's values join the notes under the import heading.
// Ids stay as they are (duplicates and NULL too), NULL text becomes empty
// text, and each contact gets a new UID. Without any user to log in with,
// the book gets the user admin (password 123456). Throws DbError.
ConversionReport convert(const QString& accessFile, db::Connection& target,
                         const Progress& progress = {},
                         const Now& now = &QDateTime::currentDateTimeUtc);

// Converts the book file (MY.mdb), an old Access file, into a book of this
// program under the same name; the old file is kept, unchanged, beside it
// as MY-旧版.mdb (or MY-旧版-2.mdb …). On failure or cancel the old file
// stays where it was.
ConversionReport convertInPlace(const QString& file, const Progress& progress = {},
                                const Now& now = &QDateTime::currentDateTimeUtc);

} // namespace legacy
