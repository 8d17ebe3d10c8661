#include "Csv.h"

#include "Mapping.h"

#include "contacts/ContactColumns.h"
#include "contacts/ContactStore.h"
#include "platform/text/CodePage.h"

#include <QHash>
#include <QRegularExpression>

namespace interchange {

namespace {

// Where a cell's text ends: commas, quotes and line ends are ASCII, which
// no byte of a GBK or UTF-8 character is.
bool endsCell(char c) {
    return c == ',' || c == '"' || c == '\r' || c == '\n';
}

// Each cell on its own, for a file that mixes UTF-8 and GBK; `line`
// counts the line feeds passed.
QString decodedCells(QByteArrayView part, const text::MixedText& mixed, QByteArrayView named,
                     int& line, Decoding& decoding) {
    QString out;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= part.size(); ++i) {
        if (i < part.size() && !endsCell(part[i])) {
            continue;
        }
        if (i > start) {
            const text::MixedText::Decoded cell =
                mixed.decode(part.sliced(start, i - start), named);
            out += cell.text;
            for (auto [read, lines] :
                 {std::pair{cell.gbk, &decoding.gbk}, {cell.refused, &decoding.refused}}) {
                if (read && (lines->empty() || lines->back() != line)) {
                    lines->push_back(line);
                }
            }
        }
        if (i < part.size()) {
            out += QLatin1Char(part[i]);
            line += part[i] == '\n';
        }
        start = i + 1;
    }
    return out;
}

// No field of an address book is longer: the old program's notes hold
// 65,535 characters at most, and even a long note has some hundred lines.
// A quoted field past either is a quote never closed, which would take the
// rest of the file into one field. No row of this program's own, with
// every column full, comes near a row past maxRowCharacters.
constexpr qsizetype maxQuotedCharacters = qsizetype(1) << 17;
constexpr int maxQuotedLines = 1000;
constexpr qsizetype maxRowCharacters = qsizetype(1) << 20;

constexpr QByteArrayView byteOrderMark = "\xEF\xBB\xBF";

} // namespace

bool skipByteOrderMark(QIODevice& device) {
    if (device.peek(byteOrderMark.size()) != byteOrderMark) {
        return false;
    }
    device.skip(byteOrderMark.size());
    return true;
}

CsvReader::CsvReader(QIODevice& device, const text::MixedText& mixed, bool marked,
                     qsizetype pieceSize)
    : pieces_(device, pieceSize, pieceSize) // a row may span pieces
    , mixed_(mixed)
    , named_(marked ? "UTF-8" : "")
    , oneSet_(mixed.allUtf8() || (!marked && !mixed.holdsUtf8())) {}

QString CsvReader::decoded(QByteArrayView piece) {
    if (!oneSet_) {
        return decodedCells(piece, mixed_, named_, decodedLine_, decoding_);
    }
    if (mixed_.allUtf8()) {
        return QString::fromUtf8(piece);
    }
    return text::decode(piece, "GBK").value_or(QString::fromUtf8(piece));
}

// Whether there is text at the position, reading the next piece if need
// be; what is before the row being read goes in time.
bool CsvReader::more() {
    while (position_ >= text_.size()) {
        const std::optional<QByteArray> piece = pieces_.next();
        if (!piece) {
            return false;
        }
        // Only once it is most of the text: a long row read in small
        // pieces would otherwise be moved once for each of them.
        if (rowStart_ > text_.size() / 2) {
            text_.remove(0, rowStart_);
            position_ -= rowStart_;
            rowStart_ = 0;
        }
        text_ += decoded(*piece);
    }
    return true;
}

// The row is left out and reading goes on from its next line: every line
// a quote took is read again, now outside it, so each is read at most
// twice.
void CsvReader::skipRow(int first, const QString& reason) {
    errors_.add(first, reason);
    position_ = rowStart_;
    while (more() && text_[position_] != u'\n' && text_[position_] != u'\r') {
        rowStart_ = ++position_;
    }
    if (more() && text_[position_] == u'\r') {
        ++position_;
    }
    if (more() && text_[position_] == u'\n') {
        ++position_;
    }
    line_ = first + 1;
}

std::optional<std::pair<int, QStringList>> CsvReader::next() {
    while (more()) {
        const int first = line_;
        rowStart_ = position_;
        QStringList row;
        QString field;
        QString fault;
        bool quoted = false;
        bool rowEnded = false;
        while (!rowEnded && more()) {
            const QChar c = text_[position_++];
            if (quoted) {
                if (c == u'"') {
                    if (more() && text_[position_] == u'"') {
                        field += u'"';
                        ++position_;
                    } else {
                        quoted = false;
                    }
                } else {
                    line_ += c == u'\n';
                    field += c;
                    if (field.size() > maxQuotedCharacters || line_ - first > maxQuotedLines) {
                        fault = QStringLiteral("引号从这一行起到第 %1 行仍未配对，可能少了一个引号")
                                    .arg(line_);
                    }
                }
            } else if (c == u'"') {
                quoted = true;
            } else if (c == u',') {
                row << std::exchange(field, QString());
            } else if (c == u'\n' || c == u'\r') {
                if (c == u'\r' && more() && text_[position_] == u'\n') {
                    ++position_;
                }
                ++line_;
                rowEnded = true;
            } else {
                field += c;
            }
            if (fault.isEmpty() && position_ - rowStart_ > maxRowCharacters) {
                fault = QStringLiteral("这一行太长，读不下");
            }
            rowEnded = rowEnded || !fault.isEmpty();
        }
        if (!fault.isEmpty()) {
            skipRow(first, fault);
            continue;
        }
        row << field;
        if (row.size() == 1 && row.first().isEmpty()) {
            continue; // a blank line
        }
        return std::pair{first, row};
    }
    return std::nullopt;
}

namespace {

QString trimmedCaption(QStringView caption) {
    return caption.trimmed().toString();
}

// What a Google or Outlook label says of a value's kind.
QStringList typesOfLabel(QString label) {
    label = label.trimmed().toLower();
    if (label.startsWith(u"* ")) {
        label = label.mid(2); // the primary one
    }
    static const QHash<QString, QStringList> kinds{
        {QStringLiteral("mobile"), {QStringLiteral("cell")}},
        {QStringLiteral("home"), {QStringLiteral("home")}},
        {QStringLiteral("work"), {QStringLiteral("work")}},
        {QStringLiteral("home fax"), {QStringLiteral("home"), QStringLiteral("fax")}},
        {QStringLiteral("work fax"), {QStringLiteral("work"), QStringLiteral("fax")}},
        {QStringLiteral("pager"), {QStringLiteral("pager")}},
    };
    return kinds.value(label);
}

struct Known {
    QStringView header;
    QStringView group;
    QStringView property;
    QStringView types;
    int part;
};

// Google's and Outlook's own columns outside numbered groups; lower case.
constexpr Known foreignColumns[] = {
    {u"name", u"FN", u"FN", u"", 0},
    {u"family name", u"N", u"N", u"", 0},
    {u"last name", u"N", u"N", u"", 0},
    {u"given name", u"N", u"N", u"", 1},
    {u"first name", u"N", u"N", u"", 1},
    {u"additional name", u"N", u"N", u"", 2},
    {u"middle name", u"N", u"N", u"", 2},
    {u"name prefix", u"N", u"N", u"", 3},
    {u"title", u"N", u"N", u"", 3},
    {u"name suffix", u"N", u"N", u"", 4},
    {u"suffix", u"N", u"N", u"", 4},
    {u"nickname", u"NICKNAME", u"NICKNAME", u"", 0},
    {u"birthday", u"BDAY", u"BDAY", u"", 0},
    {u"gender", u"GENDER", u"GENDER", u"", 0},
    {u"notes", u"NOTE", u"NOTE", u"", 0},
    {u"photo", u"PHOTO", u"PHOTO", u"", 0},
    {u"organization name", u"ORG", u"ORG", u"", 0},
    {u"company", u"ORG", u"ORG", u"", 0},
    {u"organization department", u"ORG", u"ORG", u"", 1},
    {u"department", u"ORG", u"ORG", u"", 1},
    {u"organization title", u"TITLE", u"TITLE", u"", 0},
    {u"job title", u"TITLE", u"TITLE", u"", 0},
    {u"e-mail address", u"EMAIL1", u"EMAIL", u"", 0},
    {u"e-mail 2 address", u"EMAIL2", u"EMAIL", u"", 0},
    {u"e-mail 3 address", u"EMAIL3", u"EMAIL", u"", 0},
    {u"web page", u"URL", u"URL", u"", 0},
    {u"mobile phone", u"TEL cell", u"TEL", u"cell", 0},
    {u"home phone", u"TEL home", u"TEL", u"home", 0},
    {u"home phone 2", u"TEL home2", u"TEL", u"home", 0},
    {u"business phone", u"TEL work", u"TEL", u"work", 0},
    {u"business phone 2", u"TEL work2", u"TEL", u"work", 0},
    {u"company main phone", u"TEL main", u"TEL", u"work", 0},
    {u"home fax", u"TEL homefax", u"TEL", u"home,fax", 0},
    {u"business fax", u"TEL workfax", u"TEL", u"work,fax", 0},
    {u"pager", u"TEL pager", u"TEL", u"pager", 0},
    {u"primary phone", u"TEL primary", u"TEL", u"", 0},
    {u"other phone", u"TEL other", u"TEL", u"", 0},
    {u"home street", u"ADR home", u"ADR", u"home", Street},
    {u"home street 2", u"ADR home", u"ADR", u"home", Extended},
    {u"home city", u"ADR home", u"ADR", u"home", Locality},
    {u"home state", u"ADR home", u"ADR", u"home", Region},
    {u"home postal code", u"ADR home", u"ADR", u"home", PostalCode},
    {u"home country/region", u"ADR home", u"ADR", u"home", Country},
    {u"business street", u"ADR work", u"ADR", u"work", Street},
    {u"business street 2", u"ADR work", u"ADR", u"work", Extended},
    {u"business city", u"ADR work", u"ADR", u"work", Locality},
    {u"business state", u"ADR work", u"ADR", u"work", Region},
    {u"business postal code", u"ADR work", u"ADR", u"work", PostalCode},
    {u"business country/region", u"ADR work", u"ADR", u"work", Country},
};

// Outlook's columns that describe the row rather than the person.
constexpr QStringView bookkeepingColumns[] = {
    u"e-mail type",
    u"e-mail 2 type",
    u"e-mail 3 type",
    u"e-mail display name",
    u"e-mail 2 display name",
    u"e-mail 3 display name",
    u"priority",
    u"sensitivity",
    u"private",
};

// Google's numbered groups: "Phone 1 - Value" and the like.
const QRegularExpression& numbered() {
    static const QRegularExpression re(
        QStringLiteral("^(e-mail|phone|address|website|im|organization) (\\d+) - (.+)$"));
    return re;
}

QString propertyOfKind(const QString& kind) {
    static const QHash<QString, QString> names{
        {QStringLiteral("e-mail"), QStringLiteral("EMAIL")},
        {QStringLiteral("phone"), QStringLiteral("TEL")},
        {QStringLiteral("address"), QStringLiteral("ADR")},
        {QStringLiteral("website"), QStringLiteral("URL")},
        {QStringLiteral("im"), QStringLiteral("IMPP")},
    };
    return names.value(kind);
}

int addressPart(const QString& role) {
    static const QHash<QString, int> parts{
        {QStringLiteral("street"), Street},
        {QStringLiteral("city"), Locality},
        {QStringLiteral("po box"), PoBox},
        {QStringLiteral("region"), Region},
        {QStringLiteral("postal code"), PostalCode},
        {QStringLiteral("country"), Country},
        {QStringLiteral("extended address"), Extended},
    };
    return parts.value(role, -1);
}

} // namespace

CsvColumns::CsvColumns(const QStringList& header) {
    using enum Column::Role;
    for (const QString& cell : header) {
        const QString h = cell.trimmed();
        const QString lower = h.toLower();
        Column c;
        c.group = QStringLiteral("column ") + h; // on its own, unless it is known
        c.property = h;
        // This program's own columns: the card's captions, or the column names.
        for (std::size_t i = 0; i < contacts::textColumns.size(); ++i) {
            const contacts::ContactColumn& own = contacts::textColumns[i];
            if (h == trimmedCaption(own.caption) ||
                h.compare(own.column, Qt::CaseInsensitive) == 0) {
                const FieldMapping& m = fieldMappings[i];
                c.property = m.property.toString();
                c.types = m.types.toString().split(u',', Qt::SkipEmptyParts);
                c.part = std::max(m.part, 0);
                if (m.field == Field::Birth) {
                    c.types = QStringList{QStringLiteral("text")}; // as this program stored it
                }
                c.group = m.property == u"ADR" ? c.property + c.types.join(u',')
                                               : QStringLiteral("own %1").arg(i);
            }
        }
        if (h == u"UID" || h == u"修改时间" || h == u"REV") {
            c.property = h == u"UID" ? QStringLiteral("UID") : QStringLiteral("REV");
            c.group = c.property;
        }
        for (const Known& k : foreignColumns) {
            if (lower == k.header) {
                c.group = k.group.toString();
                c.property = k.property.toString();
                c.types = k.types.toString().split(u',', Qt::SkipEmptyParts);
                c.part = k.part;
            }
        }
        if (std::find(std::begin(bookkeepingColumns), std::end(bookkeepingColumns), lower) !=
            std::end(bookkeepingColumns)) {
            c.property.clear();
        }
        if (lower == u"labels" || lower == u"group membership") {
            c.property = QStringLiteral("CATEGORIES");
            c.group = c.property;
            c.role = Labels;
        }
        const QRegularExpressionMatch m = numbered().match(lower);
        if (m.hasMatch()) {
            const QString kind = m.captured(1), role = m.captured(3);
            c.group = kind + u' ' + m.captured(2);
            c.property = propertyOfKind(kind);
            if (role == u"type" || role == u"label") {
                c.role = Types;
            } else if (role == u"service") {
                c.role = Service;
            } else if (role == u"formatted") {
                c.role = Formatted;
            } else if (kind == u"address") {
                c.part = addressPart(role);
            } else if (kind == u"organization") {
                c.property = role == u"title" ? QStringLiteral("TITLE") : QStringLiteral("ORG");
                c.group += role == u"title" ? u" title" : u"";
                c.part = role == u"department" ? 1 : 0;
                if (role != u"name" && role != u"title" && role != u"department") {
                    c.property = h; // yomi names, symbols: kept as they are
                    c.group = QStringLiteral("column ") + h;
                }
            } else if (role != u"value") {
                c.property = h;
                c.group = QStringLiteral("column ") + h;
            }
            if (c.property.isEmpty() || c.part < 0) {
                c.property = h;
                c.group = QStringLiteral("column ") + h;
                c.part = 0;
            }
        }
        recognized_ = recognized_ || !c.group.startsWith(u"column ");
        columns_.push_back(c);
    }
}

Entry CsvColumns::entry(const QStringList& row) const {
    using enum Column::Role;
    std::vector<Item> items;
    QHash<QString, std::size_t> byGroup;
    std::vector<QString> formatted;
    for (std::size_t i = 0; i < columns_.size() && i < std::size_t(row.size()); ++i) {
        const Column& c = columns_[i];
        const QString& value = row[int(i)];
        if (c.property.isEmpty() || value.isEmpty()) {
            continue;
        }
        auto found = byGroup.find(c.group);
        if (found == byGroup.end()) {
            found = byGroup.insert(c.group, items.size());
            Item item;
            item.name = c.property;
            item.types = c.types;
            items.push_back(item);
            formatted.emplace_back();
        }
        Item& item = items[*found];
        switch (c.role) {
        case Value:
            while (item.parts.size() <= c.part) {
                item.parts << QString();
            }
            item.parts[c.part] = value;
            break;
        case Types:
            item.types = typesOfLabel(value);
            if (item.types.isEmpty()) {
                item.label = value;
            }
            break;
        case Service:
            item.service = value.toLower();
            break;
        case Formatted:
            formatted[*found] = value;
            break;
        case Labels: {
            QStringList groups = value.split(QStringLiteral(" ::: "));
            groups.removeAll(QStringLiteral("* myContacts"));
            item.parts = QStringList{groups.join(QStringLiteral("，"))};
            break;
        }
        }
    }
    std::vector<Item> split;
    for (std::size_t i = 0; i < items.size(); ++i) {
        Item& item = items[i];
        if (item.name == u"ADR" && item.parts.join(QString()).isEmpty() &&
            !formatted[i].isEmpty()) {
            item.parts = QStringList{QString(), QString(), formatted[i]};
        }
        if (item.name == u"PHOTO") {
            item.binary = true; // a link to the picture on the server
        }
        // Google puts several values of one kind in one cell.
        if (item.parts.size() == 1 && item.parts[0].contains(QStringLiteral(" ::: "))) {
            for (const QString& v : item.parts[0].split(QStringLiteral(" ::: "))) {
                Item one = item;
                one.parts = QStringList{v};
                split.push_back(one);
            }
        } else if (!item.parts.join(QString()).isEmpty() || item.binary) {
            split.push_back(std::move(item));
        }
    }
    for (std::size_t i = columns_.size(); i < std::size_t(row.size()); ++i) {
        if (!row[int(i)].isEmpty()) {
            Item item;
            item.name = QStringLiteral("第 %1 列").arg(i + 1); // beyond the header
            item.parts << row[int(i)];
            split.push_back(item);
        }
    }
    return toEntry(split);
}

QStringList csvHeader() {
    QStringList header;
    for (const contacts::ContactColumn& c : contacts::textColumns) {
        header << trimmedCaption(c.caption);
    }
    return header << QStringLiteral("UID") << QStringLiteral("修改时间");
}

QStringList csvRow(const contacts::Contact& contact) {
    QStringList row(contact.fields.begin(), contact.fields.end());
    return row << contact.uid << contact.rev;
}

QString csvLine(const QStringList& fields) {
    QStringList cells;
    for (const QString& f : fields) {
        const bool quote = f.contains(u',') || f.contains(u'"') || f.contains(u'\n') ||
                           f.contains(u'\r') || f.startsWith(u' ') || f.endsWith(u' ');
        cells << (quote ? u'"' + QString(f).replace(u'"', QStringLiteral("\"\"")) + u'"' : f);
    }
    return cells.join(u',') + QStringLiteral("\r\n");
}

} // namespace interchange
