#include "Exchange.h"

#include "Csv.h"
#include "Mapping.h"
#include "MaybeSet.h"
#include "Pieces.h"
#include "ReadAhead.h"
#include "VCard.h"

#include "contacts/Book.h"
#include "contacts/ContactColumns.h"
#include "contacts/ContactStore.h"
#include "contacts/SearchKeys.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/FileReplace.h"
#include "platform/db/Statement.h"
#include "platform/text/CodePage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QStorageInfo>

#include <algorithm>
#include <memory>
#include <optional>

namespace interchange {

namespace {

using Fields = std::array<QString, fieldCount>;

[[noreturn]] void fileFailure(const QString& sentence, const QString& path, const QString& why) {
    throw db::DbError(sentence.arg(QDir::toNativeSeparators(path)), why, 0, db::DbErrorKind::Io);
}

// A full disk is named as such: the system's own text for a short write is
// often "Unknown error".
[[noreturn]] void writeFailure(const QFileDevice& file, const QString& path, qint64 unwritten) {
    const QStorageInfo disk(QFileInfo(path).absolutePath());
    if (disk.isValid() && disk.bytesAvailable() < std::max<qint64>(unwritten, 1)) {
        throw db::FileError(
            db::FileFailure::DiskFull, path,
            QStringLiteral("%1 bytes free: %2").arg(disk.bytesAvailable()).arg(file.errorString()));
    }
    throw db::FileError(db::FileFailure::Write, path, file.errorString());
}

QString sameLines(const QString& text) {
    return QString(text)
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(u'\r', u'\n');
}

// The digits of a number, without China's country code.
QString phoneKey(QStringView number) {
    QString digits;
    digits.reserve(number.size());
    for (const QChar c : number) {
        if (c.isDigit()) {
            digits += c;
        }
    }
    if (digits.startsWith(u"0086")) {
        digits.remove(0, 4);
    } else if (number.trimmed().startsWith(u"+86")) {
        digits.remove(0, 2);
    }
    return digits;
}

constexpr Field phoneFields[] = {Field::Pager,  Field::HomePhone, Field::WorkPhone,
                                 Field::Mobile, Field::Fax,       Field::WorkFax};

// What reaches a card's contact: the digits of its telephones and its
// e-mail address, each worked out once however many contacts it is
// compared with.
class Ties {
public:
    explicit Ties(const Fields& card)
        : mail_(card[std::size_t(Field::Email)].trimmed()) {
        for (const Field f : phoneFields) {
            if (QString key = phoneKey(card[std::size_t(f)]); !key.isEmpty()) {
                phones_ << key;
            }
        }
    }
    // Whether it has any: then every contact that holds all the card says
    // shares one.
    bool any() const { return !phones_.isEmpty() || !mail_.isEmpty(); }
    // Whether the other shares a telephone or the e-mail address.
    bool sharedWith(const Fields& other) const {
        if (!phones_.isEmpty()) {
            for (const Field f : phoneFields) {
                const QString& number = other[std::size_t(f)];
                if (!number.isEmpty() && phones_.contains(phoneKey(number))) {
                    return true;
                }
            }
        }
        return !mail_.isEmpty() &&
               mail_.compare(QStringView(other[std::size_t(Field::Email)]).trimmed(),
                             Qt::CaseInsensitive) == 0;
    }

    // What sharedWith compares, each as a text: the telephones' digits and
    // the address without case.
    QStringList keys() const {
        QStringList keys = phones_;
        if (!mail_.isEmpty()) {
            keys << u'@' + mail_.toCaseFolded();
        }
        return keys;
    }

private:
    QStringList phones_;
    QString mail_;
};

bool holdsAll(const Fields& book, const Fields& card) {
    for (int i = 0; i < fieldCount; ++i) {
        if (!card[i].isEmpty() && sameLines(card[i]) != sameLines(book[i])) {
            return false;
        }
    }
    return true;
}

struct Stored {
    qint64 rowid;
    Fields fields;
    QString uid;
    QString rev;
};

// The columns Ties looks at, as a query gives them from its second on.
QString sharedColumns() {
    QStringList names;
    for (const Field f : phoneFields) {
        names << contacts::textColumns[std::size_t(f)].column.toString();
    }
    names << contacts::textColumns[std::size_t(Field::Email)].column.toString();
    return names.join(u", ");
}

Fields sharedFields(const db::Statement& query) {
    Fields fields;
    int column = 1;
    for (const Field f : phoneFields) {
        fields[std::size_t(f)] = query.text(column++);
    }
    fields[std::size_t(Field::Email)] = query.text(column);
    return fields;
}

// The book as an import sees it: look-ups by UID and by name, and the
// book's own writes, all inside the import's transaction.
class ImportBook {
public:
    // `ties`: about how many telephones and addresses the file holds.
    ImportBook(db::Connection& connection, contacts::BookChanges* changes, const Now& now,
               qint64 ties)
        : connection_(connection)
        , byName_(connection, QStringLiteral("SELECT _rowid_, %1 FROM yanshu WHERE GR_XM = ? AND "
                                             "_rowid_ BETWEEN ? AND ?")
                                  .arg(sharedColumns()))
        , byRow_(connection, QStringLiteral("SELECT _rowid_, %1 FROM yanshu WHERE _rowid_ = ?")
                                 .arg(contacts::Book::columns()))
        , writes_(connection, changes, now)
        , addedTies_(ties) {}

    contacts::Book& writes() { return writes_; }

    std::optional<Stored> withUid(const QString& uid) {
        const std::optional<contacts::StoredContact> found = writes_.byUid(uid);
        if (!found) {
            return std::nullopt;
        }
        return Stored{found->row, found->contact.fields, found->contact.uid, found->contact.rev};
    }

    // The contacts the book had are looked up in it; those this import
    // added only where one may share a telephone or the address, as a
    // common name has thousands.
    std::optional<Stored> sameContact(const Fields& card) {
        const Ties ties(card);
        const qint64 before = rowsBefore();
        if (std::optional<Stored> found = sameIn(card, ties, lowest, before)) {
            return found;
        }
        const QString& name = card[std::size_t(Field::Name)];
        if (before == highest ||
            (ties.any() && std::ranges::none_of(ties.keys(), [&](const QString& key) {
                 return addedTies_.mayHold(tieHash(name, key));
             }))) {
            return std::nullopt;
        }
        return sameIn(card, ties, before + 1, highest);
    }

    // A new UID where the card has none, and now where it has no time.
    // Numbered on from the largest number once the batch holds the file.
    void add(const Entry& entry) {
        rowsBefore();
        qint64& next =
            nextId_ ? *nextId_ : nextId_.emplace(contacts::ContactStore::nextNumber(connection_));
        writes_.add({next, entry.fields, entry.uid, entry.rev, entry.extras});
        next = next < highest ? next + 1 : next;
        remember(entry.fields);
    }

    // Now where no time is given; the extras too where some are given.
    void update(qint64 rowid, const Fields& fields, const QString& rev,
                const std::optional<std::vector<contacts::Extra>>& extras) {
        writes_.replace(rowid,
                        {0, fields, {}, rev, extras.value_or(std::vector<contacts::Extra>())},
                        extras ? contacts::Book::Extras::Replace : contacts::Book::Extras::Keep);
        if (rowid > rowsBefore()) {
            remember(fields);
        }
    }

private:
    static constexpr qint64 lowest = std::numeric_limits<qint64>::min();
    static constexpr qint64 highest = std::numeric_limits<qint64>::max();

    // The largest row before the import's first write: rows past it are
    // the import's own (SQLite numbers on from the largest).
    qint64 rowsBefore() {
        if (!rowsBefore_) {
            db::Statement largest(connection_, QStringLiteral("SELECT max(_rowid_) FROM yanshu"));
            rowsBefore_ = largest.step() ? largest.integer(0) : 0;
        }
        return *rowsBefore_;
    }

    // Same-name contacts in rows first to last, in the name column's own
    // index and collation (Latin letters without case). They are read whole
    // only where their telephones and e-mail cannot tell.
    std::optional<Stored> sameIn(const Fields& card, const Ties& ties, qint64 first, qint64 last) {
        byName_.reset();
        byName_.bind(1, card[std::size_t(Field::Name)]);
        byName_.bind(2, first);
        byName_.bind(3, last);
        while (byName_.step()) {
            if (ties.sharedWith(sharedFields(byName_))) {
                return stored(byName_.integer(0));
            }
            if (!ties.any()) {
                Stored row = stored(byName_.integer(0));
                if (holdsAll(row.fields, card)) {
                    return row;
                }
            }
        }
        return std::nullopt;
    }

    // Names equal but for the case of Latin letters hash alike.
    static size_t tieHash(const QString& name, const QString& key) {
        return qHash(key, qHash(name.toLower()));
    }

    void remember(const Fields& fields) {
        const QString& name = fields[std::size_t(Field::Name)];
        for (const QString& key : Ties(fields).keys()) {
            addedTies_.add(tieHash(name, key));
        }
    }

    Stored stored(qint64 rowid) {
        byRow_.reset();
        byRow_.bind(1, rowid);
        byRow_.step();
        const contacts::Contact contact = contacts::Book::read(byRow_, 1);
        return {rowid, contact.fields, contact.uid, contact.rev};
    }

    db::Connection& connection_;
    db::Statement byName_;
    db::Statement byRow_;
    contacts::Book writes_;
    std::optional<qint64> nextId_;
    std::optional<qint64> rowsBefore_;
    MaybeSet addedTies_;
};

// The last line of a CSV row, whose fields may hold line breaks.
int lastLine(const std::pair<int, QStringList>& row) {
    int line = row.first;
    for (const QString& field : row.second) {
        line += int(field.count(u'\n'));
    }
    return line;
}

QString lineList(const std::vector<int>& lines) {
    QStringList numbers;
    for (const int line : lines) {
        numbers << QString::number(line);
    }
    return numbers.join(u'、');
}

QStringList decodingRemarks(const Decoding& decoding) {
    QStringList texts;
    if (!decoding.gbk.empty()) {
        texts << QStringLiteral("第 %1 行不是 UTF-8，按 GBK 读入").arg(lineList(decoding.gbk));
    }
    if (!decoding.refused.empty()) {
        texts << QStringLiteral("第 %1 行有无法识别的字节，显示为“\uFFFD”")
                     .arg(lineList(decoding.refused));
    }
    return texts;
}

QString fieldCaption(int i) {
    return contacts::textColumns[std::size_t(i)].caption.trimmed().toString();
}

class Importer {
public:
    Importer(db::Connection& connection, contacts::BookChanges* changes, const Now& now,
             qint64 ties)
        : book_(connection, changes, now, ties) {}

    contacts::Book& book() { return book_.writes(); }

    void take(const Entry& entry) {
        const auto remark = [&](const QString& text) {
            report.remark({entry.line, entry[Field::Name], text});
        };
        if (!entry.notTaken.isEmpty()) {
            remark(QStringLiteral("未导入：%1").arg(entry.notTaken.join(u'、')));
        }
        for (const QString& text : decodingRemarks(entry.decoding)) {
            remark(text);
        }
        store(entry, remark);
    }

    ImportReport report;

private:
    // Adds the card or brings what it says into the same contact.
    template <class Remark> void store(const Entry& entry, Remark&& remark) {
        const Fields& card = entry.fields;
        std::optional<Stored> found = book_.withUid(entry.uid);
        const bool byUid = found.has_value();
        if (!found) {
            found = book_.sameContact(card);
        }
        if (!found) {
            book_.add(entry);
            ++report.added;
            return;
        }
        const std::vector<contacts::Extra> extras = book().extrasOf(found->uid);
        if (byUid && !entry.rev.isEmpty() && entry.rev > found->rev) {
            if (holdsAll(found->fields, card) && holdsAll(card, found->fields) &&
                extras == entry.extras) {
                ++report.unchanged;
                return;
            }
            book_.update(found->rowid, card, entry.rev, entry.extras);
            ++report.updated;
            return;
        }
        // The book's values stand; the file's fill the columns left empty,
        // and its extras the book lacks are added.
        Fields merged = found->fields;
        bool changed = false;
        for (int i = 0; i < fieldCount; ++i) {
            if (card[i].isEmpty() || sameLines(card[i]) == sameLines(merged[i])) {
                continue;
            }
            if (merged[i].isEmpty()) {
                merged[i] = card[i];
                changed = true;
            } else if (i != int(Field::Notes) || !holdsLines(merged[i], card[i])) {
                remark(differs(i, merged[i], card[i]));
            }
        }
        std::optional<std::vector<contacts::Extra>> more;
        QSet<QString> held;
        for (const contacts::Extra& extra : extras) {
            held.insert(keyOf(extra));
        }
        for (const contacts::Extra& extra : entry.extras) {
            if (!held.contains(keyOf(extra))) {
                if (!more) {
                    more = extras;
                }
                more->push_back(extra);
            }
        }
        if (!changed && !more) {
            ++report.unchanged;
            return;
        }
        book_.update(found->rowid, merged, {}, more);
        ++report.updated;
    }

    static QString keyOf(const contacts::Extra& e) {
        return QStringList{e.group, e.name, e.params, e.value}.join(u'\x1f');
    }

    // Whether the notes hold each line of the text, looked up in one pass
    // over them however many lines either has.
    static bool holdsLines(const QString& notes, const QString& text) {
        const QString stored = sameLines(notes);
        const QList<QStringView> storedLines = QStringView(stored).split(u'\n');
        const QSet<QStringView> lines(storedLines.begin(), storedLines.end());
        return std::ranges::all_of(QStringView(text).split(u'\n'),
                                   [&](QStringView line) { return lines.contains(line); });
    }

    static QString differs(int column, const QString& book, const QString& file) {
        return QStringLiteral("“%1”与通讯录中的不同，保留了通讯录中的“%2”，文件中为“%3”")
            .arg(fieldCaption(column), book.left(40), file.left(40));
    }

    ImportBook book_;
};

// Stores what the reader reads, read ahead; false if the user stopped it.
bool storeAll(Importer& importer, ReadAhead::Reader reader,
              const std::function<bool(qint64)>& keepGoing) {
    ReadAhead ahead(std::move(reader));
    while (std::optional<ReadAhead::Read> read = ahead.next()) {
        importer.take(read->entry);
        if (!keepGoing(read->position)) {
            return false;
        }
    }
    return true;
}

// What a reader left out, with its line and why.
void noteSkipped(ImportReport& report, const ReadErrors& unread) {
    for (const ReadError& e : unread.list()) {
        report.skip({e.line, {}, e.reason});
    }
    report.moreSkipped += unread.more();
}

} // namespace

QString ImportReport::text(const QString& fileName, int maxNotes) const {
    QString out =
        cancelled ? QStringLiteral("已取消导入“%1”，通讯录没有改动。\n").arg(fileName)
                  : QStringLiteral("导入“%1”：新增 %2 人，更新 %3 人，未变 %4 人，跳过 %5 项。\n")
                        .arg(fileName)
                        .arg(added)
                        .arg(updated)
                        .arg(unchanged)
                        .arg(qint64(skipped.size()) + moreSkipped);
    int shown = 0;
    qint64 left = qint64(skipped.size() + remarks.size()) + moreSkipped + moreRemarks;
    for (const auto& [heading, notes] : {std::pair{QStringLiteral("跳过："), &skipped},
                                         std::pair{QStringLiteral("说明："), &remarks}}) {
        if (notes->empty() || cancelled) {
            continue;
        }
        out += heading + u'\n';
        for (const Note& n : *notes) {
            if (maxNotes >= 0 && shown == maxNotes) {
                break;
            }
            out += QStringLiteral("  第 %1 行%2：%3\n")
                       .arg(n.line)
                       .arg(n.name.isEmpty() ? QString() : u' ' + n.name, n.text);
            ++shown;
            --left;
        }
    }
    if (left > 0 && !cancelled) {
        out += QStringLiteral("……另有 %1 条说明。\n").arg(left);
    }
    return out;
}

ImportReport importFile(db::Connection& connection, const QString& path, const Progress& progress,
                        const Now& now, contacts::BookChanges* changes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw db::FileError(db::FileFailure::Open, path, file.errorString());
    }
    const bool vcard = looksLikeVCard(file.peek(1 << 16));
    const bool marked = !vcard && skipByteOrderMark(file);
    // Looking at the text's character sets is the first tenth of the work,
    // reading the cards or rows the rest.
    constexpr qint64 total = 1000;
    const qint64 size = std::max<qint64>(1, file.size());
    Ticker ticker(progress);
    const std::optional<text::MixedText> mixed =
        surveyText(file, [&](qint64 done) { return ticker.keepGoing(done * 100 / size, total); });
    if (!mixed) {
        ImportReport cancelled;
        cancelled.cancelled = true;
        return cancelled;
    }
    const auto read = [&](qint64 done) { return ticker.keepGoing(100 + done * 900 / size, total); };

    // A card gives a telephone or address for every 64 bytes or more.
    Importer importer(connection, changes, now, size / 64);
    contacts::Book::Batch batch(importer.book());
    ImportReport& report = importer.report;
    if (vcard) {
        VCardReader reader(file, *mixed);
        const auto card = [&]() -> std::optional<ReadAhead::Read> {
            auto items = reader.next();
            if (!items) {
                return std::nullopt;
            }
            Entry entry = toEntry(items->second);
            entry.line = items->first;
            entry.decoding = reader.decoding();
            return ReadAhead::Read{std::move(entry), reader.position()};
        };
        if (!storeAll(importer, card, read)) {
            report.cancelled = true;
            return report;
        }
        noteSkipped(report, reader.errors());
    } else {
        CsvReader reader(file, *mixed, marked);
        const auto header = reader.next();
        if (!reader.errors().empty()) {
            const ReadError& e = reader.errors().list().front();
            fileFailure(QStringLiteral("文件“%1”第 ") + QString::number(e.line) +
                            QStringLiteral(" 行的表头读不出来：") + e.reason + u'。',
                        path, QStringLiteral("an unclosed quote in the header"));
        }
        const std::optional<CsvColumns> columns =
            header ? std::optional<CsvColumns>(header->second) : std::nullopt;
        if (!columns || !columns->recognized()) {
            fileFailure(QStringLiteral("文件“%1”既不是 vCard 名片，也不是认得的 CSV 表格。"), path,
                        QStringLiteral("no BEGIN:VCARD and no known CSV header"));
        }
        for (const QString& remark : decodingRemarks(reader.decodedUpTo(lastLine(*header)))) {
            report.remark({header->first, {}, remark});
        }
        const auto row = [&]() -> std::optional<ReadAhead::Read> {
            auto cells = reader.next();
            if (!cells) {
                return std::nullopt;
            }
            Entry entry = columns->entry(cells->second);
            entry.line = cells->first;
            entry.decoding = reader.decodedUpTo(lastLine(*cells));
            return ReadAhead::Read{std::move(entry), reader.position()};
        };
        if (!storeAll(importer, row, read)) {
            report.cancelled = true;
            return report;
        }
        noteSkipped(report, reader.errors());
    }
    std::sort(report.skipped.begin(), report.skipped.end(),
              [](const auto& a, const auto& b) { return a.line < b.line; });
    report.cancelled = !batch.commit([&] { return ticker.keepGoing(total, total); });
    return report;
}

ExportReport exportFile(db::Connection& connection, const QString& path, ExportFormat format,
                        QByteArrayView charset, const Progress& progress) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        throw db::FileError(db::FileFailure::Write, path, file.errorString());
    }
    const bool utf8 = QByteArrayView(charset).compare("UTF-8", Qt::CaseInsensitive) == 0;
    const auto encoded = [&](const QString& text) {
        return utf8 ? text.toUtf8() : text::encode(text, charset).value_or(text.toUtf8());
    };
    QByteArray out;
    qint64 unsynced = 0;
    const auto flush = [&] {
        // Flushed here: a failure left to commit() can go unreported there,
        // leaving an empty file. Put on disk as it goes, so that the
        // commit's own sync has little left to wait for.
        if (file.write(out) != out.size() || !file.flush()) {
            writeFailure(file, path, out.size());
        }
        unsynced += std::exchange(out, {}).size();
        if (unsynced > (1 << 24)) {
            if (!db::syncToDisk(file)) {
                writeFailure(file, path, 0);
            }
            unsynced = 0;
        }
    };
    QString pendingCsv; // converted in larger pieces: one converter per piece
    if (format == ExportFormat::Csv) {
        if (utf8) {
            out += "\xEF\xBB\xBF";
        }
        pendingCsv = csvLine(csvHeader());
    }
    // The progress goes by the rows' numbers: counting a million rows
    // first would keep the window waiting.
    db::Statement last(connection, QStringLiteral("SELECT max(_rowid_) FROM yanshu"));
    const qint64 total = last.step() ? last.integer(0) : 0;
    db::Statement rows(connection, QStringLiteral("SELECT _rowid_, %1 FROM yanshu ORDER BY _rowid_")
                                       .arg(contacts::Book::columns()));
    contacts::Book book(connection);
    Ticker ticker(progress);
    ExportReport report;
    qint64& written = report.written;
    while (rows.step()) {
        contacts::Contact contact = contacts::Book::read(rows, 1);
        if (format != ExportFormat::Csv) {
            contact.extras = book.extrasOf(contact.uid);
        }
        switch (format) {
        case ExportFormat::Csv:
            pendingCsv += csvLine(csvRow(contact));
            break;
        case ExportFormat::VCard40:
            out += writeVCard(contact, VCardVersion::V40);
            break;
        case ExportFormat::VCard30:
            out += writeVCard(contact, VCardVersion::V30);
            break;
        case ExportFormat::VCard21:
            out += writeVCard(contact, VCardVersion::V21, charset);
            break;
        }
        ++written;
        if (pendingCsv.size() > (1 << 18)) {
            out += encoded(std::exchange(pendingCsv, QString()));
        }
        if (out.size() > (1 << 20)) {
            flush();
        }
        if (!ticker.keepGoing(rows.integer(0), total)) {
            file.cancelWriting();
            report.cancelled = true;
            return report;
        }
    }
    out += encoded(pendingCsv);
    flush();
    if (!file.commit()) {
        writeFailure(file, path, 1);
    }
    return report;
}

} // namespace interchange
