#pragma once

#include "platform/Progress.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <vector>

namespace db {
class Connection;
}
namespace contacts {
class BookChanges;
}

namespace interchange {

using platform::Progress;
using platform::Ticker;
using Now = std::function<QDateTime()>;

// What an import did, card by card where it matters.
struct ImportReport {
    struct Note {
        int line;     // where the card or row begins
        QString name; // the contact's name, if it had one
        QString text;
    };
    int added = 0;
    int updated = 0;
    int unchanged = 0;
    // The first `keptNotes` of each, in the file's order, and a count of
    // the rest: a million photos left out make no million notes.
    std::vector<Note> skipped; // not imported, with the reason
    std::vector<Note> remarks; // imported, with something the user should know
    qint64 moreSkipped = 0;
    qint64 moreRemarks = 0;
    bool cancelled = false; // stopped: nothing was stored

    static constexpr std::size_t keptNotes = 1000;
    void skip(Note note) { keep(skipped, moreSkipped, std::move(note)); }
    void remark(Note note) { keep(remarks, moreRemarks, std::move(note)); }

    // The report for the user; at most `maxNotes` lines of notes, then a count.
    QString text(const QString& fileName, int maxNotes = -1) const;

private:
    static void keep(std::vector<Note>& notes, qint64& more, Note note) {
        if (notes.size() < keptNotes) {
            notes.push_back(std::move(note));
        } else {
            ++more;
        }
    }
};

// Brings the contacts of a vCard (2.1, 3.0, 4.0) or CSV file into the book,
// all in one transaction: all land, or on cancel or failure none.
//   - A card whose UID the book has is that contact. If its REV is newer
//     than the book's, the file's card replaces the stored one.
//   - Otherwise a contact of the same name (Latin case aside) that shares a
//     telephone or e-mail, or that already holds all the card says, is the
//     same contact.
//   - The same contact takes what the file has for its empty columns;
//     where both hold different values the book's stays and the report
//     says so. Anything else is added.
// So importing a file again changes nothing. Throws DbError when the file
// cannot be read or the database refuses. A stored import tells `changes`
// once.
ImportReport importFile(db::Connection& connection, const QString& path,
                        const Progress& progress = {},
                        const Now& now = &QDateTime::currentDateTimeUtc,
                        contacts::BookChanges* changes = nullptr);

enum class ExportFormat { VCard40, VCard30, VCard21, Csv };

// Writes every contact of the book to the file, replacing it only once all
// is written. vCard 3.0 and 4.0 are always UTF-8; 2.1 and CSV are UTF-8 or
// GBK as `charset` says (CSV in UTF-8 starts with a byte-order mark, which
// Excel needs). Cancelled, it leaves any file of that name as it was.
struct ExportReport {
    qint64 written = 0; // contacts
    bool cancelled = false;
};
ExportReport exportFile(db::Connection& connection, const QString& path, ExportFormat format,
                        QByteArrayView charset = "UTF-8", const Progress& progress = {});

} // namespace interchange
