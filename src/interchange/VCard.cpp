#include "VCard.h"

#include "LunarBirthday.h"
#include "Mapping.h"

#include "contacts/ContactStore.h"
#include "contacts/Extras.h"
#include "platform/text/CodePage.h"

#include <QDateTime>
#include <QUuid>

#include <algorithm>

namespace interchange {

namespace {

constexpr QByteArrayView utf8Bom = "\xEF\xBB\xBF";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

QByteArray decodeQuotedPrintable(QByteArrayView in) {
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '=' && i + 2 < in.size() && hexValue(in[i + 1]) >= 0 && hexValue(in[i + 2]) >= 0) {
            out.append(char(hexValue(in[i + 1]) * 16 + hexValue(in[i + 2])));
            i += 2;
        } else {
            out.append(c);
        }
    }
    return out;
}

// Splits at the separator where it is not escaped by a backslash.
QList<QStringView> splitUnescaped(QStringView text, QChar separator) {
    QList<QStringView> parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\') {
            ++i;
        } else if (text[i] == separator) {
            parts << text.mid(start, i - start);
            start = i + 1;
        }
    }
    parts << text.mid(start);
    return parts;
}

// A backslash takes the character after it as it stands, as tolerant
// readers do with the http\: and \" of Apple and Gmail; \n is a line
// break. 2.1 escapes only ; , and the backslash: before anything else a
// backslash is text (C:\Temp).
QString unescaped(QStringView text, bool v21) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' && i + 1 < text.size()) {
            const QChar next = text[i + 1];
            if (!v21 && (next == u'n' || next == u'N')) {
                out += u'\n';
                ++i;
                continue;
            }
            if (!v21 || next == u'\\' || next == u';' || next == u',') {
                out += next;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

// A 2.1 value escaped as 4.0 escapes it: 2.1 escapes only ; , and the
// backslash, and breaks its lines for real.
QString escapedOf21(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        if (c == u'\\' && (next == u'\\' || next == u';' || next == u',')) {
            out += c;
            out += next;
            ++i;
        } else if (c == u'\\' || c == u',') {
            out += u'\\';
            out += c;
        } else if (c == u'\r' || c == u'\n') {
            i += c == u'\r' && next == u'\n' ? 1 : 0;
            out += QStringLiteral("\\n");
        } else {
            out += c;
        }
    }
    return out;
}

// Line breaks as \n: a quoted-printable value of 3.0 may hold them for
// real, and written back as they are they would end the line.
QString escapedBreaks(QString text) {
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"))
        .replace(u'\r', QStringLiteral("\\n"))
        .replace(u'\n', QStringLiteral("\\n"));
}

bool isStructured(const QString& name) {
    return name == u"N" || name == u"ADR" || name == u"ORG" || name == u"GENDER" ||
           name == u"X-GENDER";
}

// Splits at the separator outside double quotes.
QList<QByteArray> splitOutsideQuotes(QByteArrayView text, char separator) {
    QList<QByteArray> parts;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            quoted = !quoted;
        } else if (text[i] == separator && !quoted) {
            parts << text.sliced(start, i - start).toByteArray();
            start = i + 1;
        }
    }
    parts << text.sliced(start).toByteArray();
    return parts;
}

qsizetype colonOutsideQuotes(QByteArrayView text) {
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            quoted = !quoted;
        } else if (text[i] == ':' && !quoted) {
            return i;
        }
    }
    return -1;
}

bool isName(QByteArrayView name) {
    if (name.isEmpty()) {
        return false;
    }
    for (const char c : name) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_')) {
            return false;
        }
    }
    return true;
}

QByteArray upperHead(QByteArrayView line) {
    const qsizetype colon = colonOutsideQuotes(line);
    return (colon < 0 ? line : line.first(colon)).toByteArray().toUpper();
}

bool isQuotedPrintable(const QByteArray& head) {
    return head.contains("QUOTED-PRINTABLE");
}

bool isBase64(const QByteArray& head) {
    return head.contains("BASE64") || head.contains("ENCODING=B");
}

} // namespace

bool looksLikeVCard(QByteArrayView data) {
    if (data.startsWith(utf8Bom)) {
        data = data.sliced(utf8Bom.size());
    }
    qsizetype i = 0;
    while (i < data.size() && (isBlank(data[i]) || data[i] == '\r' || data[i] == '\n')) {
        ++i;
    }
    return data.sliced(i).first(std::min<qsizetype>(11, data.size() - i)).toByteArray().toUpper() ==
           "BEGIN:VCARD";
}

namespace {

std::unique_ptr<QBuffer> opened(QByteArrayView data) {
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(data.toByteArray());
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

} // namespace

VCardReader::VCardReader(QIODevice& device, const text::MixedText& mixed, qsizetype pieceSize,
                         qsizetype longest)
    : mixed_(mixed)
    , pieces_(device, pieceSize, longest)
    , longest_(longest) {}

VCardReader::VCardReader(QByteArrayView data)
    : owned_(opened(data))
    , mixed_(data)
    , pieces_(*owned_)
    , longest_(Pieces::longestLine) {}

std::optional<VCardReader::Line> VCardReader::physical() {
    if (!pending_.empty()) {
        Line line = std::move(pending_.back());
        pending_.pop_back();
        return line;
    }
    while (at_ >= piece_.size()) {
        std::optional<QByteArray> piece = pieces_.next();
        if (!piece) {
            return std::nullopt;
        }
        piece_ = std::move(*piece);
        at_ = 0;
    }
    const qsizetype feed = piece_.indexOf('\n', at_);
    const qsizetype next = feed < 0 ? piece_.size() : feed + 1;
    qsizetype end = feed < 0 ? piece_.size() : feed;
    while (end > at_ && piece_[end - 1] == '\r') {
        --end; // iOS ends its lines with CR CR LF
    }
    Line line{piece_.sliced(at_, end - at_), ++lineNumber_};
    if (lineNumber_ == 1 && line.text.startsWith(utf8Bom)) {
        line.text.remove(0, utf8Bom.size());
    }
    at_ = next;
    // A line cut at the piece's end goes on in the pieces after it.
    for (bool cut = feed < 0 && pieces_.cut(); cut;) {
        line.tooLong = true;
        std::optional<QByteArray> piece = pieces_.next();
        piece_ = piece.value_or(QByteArray());
        const qsizetype rest = piece_.indexOf('\n');
        at_ = rest < 0 ? piece_.size() : rest + 1;
        cut = piece && rest < 0 && pieces_.cut();
    }
    return line;
}

// A whole property: folded lines joined, quoted-printable soft breaks
// joined, and the lines of 2.1 base64 data (which need no indent) taken.
std::optional<VCardReader::Line> VCardReader::logical() {
    std::optional<Line> line = physical();
    if (!line) {
        return std::nullopt;
    }
    const QByteArray head = upperHead(line->text);
    const bool qp = isQuotedPrintable(head);
    const bool base64 = isBase64(head);
    while (true) {
        std::optional<Line> next = physical();
        if (!next) {
            break;
        }
        QByteArrayView more = next->text;
        if (qp && line->text.endsWith('=')) {
            line->text.chop(1);
        } else if (!more.isEmpty() && isBlank(more[0])) {
            more = version_ == "2.1" ? more : more.sliced(1);
        } else if (!base64 || more.isEmpty() || more.contains(':')) {
            pending_.push_back(std::move(*next));
            break;
        }
        // Read on to its end, but keep no more than fits.
        line->tooLong =
            line->tooLong || next->tooLong || line->text.size() + more.size() > longest_;
        if (!line->tooLong) {
            line->text += more;
        }
    }
    return line;
}

std::optional<Item> VCardReader::item(const Line& line, const QByteArray& version, QString& error) {
    const qsizetype colon = colonOutsideQuotes(line.text);
    if (colon < 0) {
        error = QStringLiteral("第 %1 行没有冒号，不是名片的一项").arg(line.number);
        return std::nullopt;
    }
    const QList<QByteArray> head = splitOutsideQuotes(QByteArrayView(line.text).first(colon), ';');
    Item item;
    const QByteArray grouped = head.first().trimmed();
    const qsizetype dot = grouped.lastIndexOf('.'); // item1.TEL: the group ties labels to values
    item.group = QString::fromLatin1(grouped.first(std::max<qsizetype>(dot, 0)));
    const QByteArray name = grouped.mid(dot + 1).toUpper();
    if (!isName(name)) {
        error = QStringLiteral("第 %1 行的项目名不对").arg(line.number);
        return std::nullopt;
    }
    item.name = QString::fromLatin1(name);
    QByteArray charset;
    bool qp = false;
    // The parameters to keep: the types as one list, the rest as written,
    // but for how the value was carried (encoding, character set).
    QList<QByteArray> kept;
    QByteArrayList typeList;
    for (qsizetype i = 1; i < head.size(); ++i) {
        const qsizetype eq = head[i].indexOf('=');
        const QByteArray key = (eq < 0 ? QByteArray("TYPE") : head[i].left(eq).trimmed().toUpper());
        const QByteArray value = eq < 0 ? head[i].trimmed() : head[i].mid(eq + 1).trimmed();
        const QByteArray upperValue = value.toUpper();
        if (key == "ENCODING" || upperValue == "QUOTED-PRINTABLE" || upperValue == "BASE64") {
            qp = qp || upperValue == "QUOTED-PRINTABLE";
            item.binary = item.binary || upperValue == "BASE64" || upperValue == "B";
            continue;
        }
        if (key == "CHARSET") {
            charset = value;
            continue;
        }
        if (key == "TYPE") {
            QByteArray list = value;
            list.replace('"', QByteArray()); // TYPE="work,voice"
            for (QByteArray t : list.split(',')) {
                t = t.trimmed();
                if (!t.isEmpty()) {
                    item.types << QString::fromUtf8(t).toLower();
                    typeList << t;
                }
            }
            if (!kept.contains("TYPE")) {
                kept << "TYPE"; // where the first type stood
            }
            continue;
        }
        kept << key + '=' + value;
        if (key == "X-SERVICE-TYPE") {
            item.service = QString::fromUtf8(value).toLower();
        } else if (key == "VALUE" && upperValue == "TEXT") {
            item.types << QStringLiteral("text"); // free text where a date or link is usual
        } else if (key == "PREF") {
            item.types << QStringLiteral("pref");
        }
    }
    const qsizetype types = kept.indexOf("TYPE");
    if (types >= 0) {
        kept[types] = "TYPE=" + typeList.join(',');
    }
    // In the value's character set: a heading may be Chinese.
    item.params = kept.isEmpty() ? QString() : mixed_.decode(kept.join(';'), charset).text;
    if (item.binary) {
        return item;
    }
    QByteArrayView raw = QByteArrayView(line.text).sliced(colon + 1);
    const QByteArray bytes = qp ? decodeQuotedPrintable(raw) : raw.toByteArray();
    const text::MixedText::Decoded text = mixed_.decode(bytes, charset);
    if (text.gbk) {
        decoding_.gbk.push_back(line.number);
    }
    if (text.refused) {
        decoding_.refused.push_back(line.number);
    }
    const bool v21 = version == "2.1";
    item.raw = v21 ? escapedOf21(text.text) : escapedBreaks(text.text);
    if (isStructured(item.name)) {
        for (const QStringView part : splitUnescaped(text.text, u';')) {
            item.parts << unescaped(part, v21);
        }
    } else {
        item.parts << unescaped(text.text, v21);
    }
    return item;
}

std::optional<std::pair<int, std::vector<Item>>> VCardReader::next() {
    while (std::optional<Line> line = logical()) {
        if (line->text.trimmed().isEmpty()) {
            continue;
        }
        if (line->text.trimmed().toUpper() != "BEGIN:VCARD") {
            errors_.add(line->number, QStringLiteral("这一行不在任何名片之内"));
            continue;
        }
        const int begin = line->number;
        version_.clear();
        decoding_ = {};
        std::vector<Item> items;
        QString error;
        bool ended = false;
        qsizetype size = 0;
        while (std::optional<Line> inner = logical()) {
            const QByteArray upper = inner->text.trimmed().toUpper();
            if (upper == "END:VCARD") {
                ended = true;
                break;
            }
            if (upper == "BEGIN:VCARD") {
                pending_.push_back(std::move(*inner)); // the card was cut short
                break;
            }
            if (upper.isEmpty()) {
                continue;
            }
            if (upper.startsWith("VERSION:")) {
                version_ = upper.mid(8).trimmed();
            }
            size += inner->text.size();
            if (error.isEmpty() && inner->tooLong) {
                error = QStringLiteral("第 %1 行太长，读不下").arg(inner->number);
            } else if (error.isEmpty() && size > longest_) {
                error = QStringLiteral("名片太大，读不下");
            }
            if (!error.isEmpty()) {
                items.clear();
                continue; // the card is lost already; read on to its end
            }
            if (std::optional<Item> it = item(*inner, version_, error)) {
                items.push_back(std::move(*it));
            }
        }
        if (!ended && error.isEmpty()) {
            error = QStringLiteral("名片没有结束（缺少 END:VCARD）");
        }
        if (!error.isEmpty()) {
            errors_.add(begin, error);
            continue;
        }
        return std::pair{begin, std::move(items)};
    }
    return std::nullopt;
}

namespace {

// 3.0 and 4.0 escape as the kept extras are escaped, a semicolon only
// between components. 2.1 escapes only the semicolon, and writes a
// backslash as it is where no reader takes it for an escape (C:\Temp).
QString escaped(const QString& text, bool v21, bool structured) {
    if (!v21) {
        return contacts::escapedValue(text, structured);
    }
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const QChar next = i + 1 < text.size() ? text[i + 1] : u'\\';
        if (c == u'\\' && (next == u'\\' || next == u';' || next == u',')) {
            out += QStringLiteral("\\\\");
        } else if (c == u';') {
            out += QStringLiteral("\\;");
        } else {
            out += c;
        }
    }
    return out;
}

// Cuts a line into pieces of at most 75 bytes, never inside a character.
QByteArray folded(const QByteArray& line) {
    QByteArray out;
    qsizetype start = 0;
    int limit = 75;
    while (line.size() - start > limit) {
        qsizetype cut = start + limit;
        while (cut > start && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        out += line.mid(start, cut - start) + "\r\n ";
        start = cut;
        limit = 74; // the blank counts
    }
    return out + line.mid(start) + "\r\n";
}

bool isAscii(QStringView text) {
    return std::ranges::all_of(text, [](QChar c) { return c.unicode() < 128; });
}

// A value kept as 4.0 escapes it, as 2.1 writes it: a line break for real,
// a comma bare, a backslash bare where no reader takes it for an escape.
QString escapedFor21(QStringView value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != u'\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value[++i];
        if (next == u'n' || next == u'N') {
            out += u'\n';
        } else if (next == u';') {
            out += QStringLiteral("\\;");
        } else if (next == u'\\') {
            const QChar after = i + 1 < value.size() ? value[i + 1] : QChar(u'\\');
            const bool escapes = after == u'\\' || after == u';' || after == u',';
            out += escapes ? QStringLiteral("\\\\") : QStringLiteral("\\");
        } else {
            out += next;
        }
    }
    return out;
}

QByteArray quotedPrintable(const QByteArray& bytes, qsizetype firstLineUsed) {
    QByteArray out;
    qsizetype used = firstLineUsed;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        const QByteArray code =
            c >= 33 && c <= 126 && c != '='
                ? QByteArray(1, ch)
                : "=" + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
        if (used + code.size() > 74) { // and the soft break's "="
            out += "=\r\n";
            used = 0;
        }
        out += code;
        used += code.size();
    }
    return out;
}

class Writer {
public:
    Writer(VCardVersion version, QByteArrayView charset, bool namedUtf8)
        : version_(version)
        , charset_(charset.toByteArray())
        , namedUtf8_(namedUtf8) {}

    // name;params:value, the value escaped unless it is written raw.
    void property(const QString& nameAndParams, const QString& value, bool structured = false,
                  bool raw = false) {
        const bool v21 = version_ == VCardVersion::V21;
        QString text = raw ? value : escaped(value, v21, structured);
        if (!v21) {
            const bool named =
                namedUtf8_ && !isAscii(text) &&
                !nameAndParams.contains(QStringLiteral(";CHARSET="), Qt::CaseInsensitive);
            out_ += folded((nameAndParams + (named ? QStringLiteral(";CHARSET=UTF-8") : QString()) +
                            u':' + text)
                               .toUtf8());
            return;
        }
        bool plain = true;
        for (const QChar c : text) {
            plain = plain && c.unicode() >= 32 && c.unicode() < 127;
        }
        // 2.1 may fold only at white space: a longer plain line goes
        // quoted-printable, whose soft breaks keep it within 75 octets.
        const QByteArray line = (nameAndParams + u':' + text).toLatin1();
        if (plain && isAscii(nameAndParams) && line.size() <= 75) {
            out_ += line + "\r\n";
            return;
        }
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(u'\r', u'\n');
        text.replace(u'\n', QStringLiteral("\r\n")); // line breaks as Windows programs keep them
        // A parameter may hold Chinese (a heading): in the file's character set.
        const QString headText = nameAndParams + QStringLiteral(";CHARSET=") +
                                 QString::fromLatin1(charset_) +
                                 QStringLiteral(";ENCODING=QUOTED-PRINTABLE:");
        const QByteArray head = isAscii(headText)
                                    ? headText.toLatin1()
                                    : text::encode(headText, charset_).value_or(headText.toUtf8());
        const QByteArray bytes = text::encode(text, charset_).value_or(text.toUtf8());
        out_ += head + quotedPrintable(bytes, head.size()) + "\r\n";
    }

    // A property kept as it came: its parameters and value as this
    // version writes them.
    void extra(const contacts::Extra& e) {
        QString head = e.group.isEmpty() ? e.name : e.group + u'.' + e.name;
        for (const auto& [key, value] : contacts::parameters(e.params)) {
            if (version_ == VCardVersion::V21 && key == u"TYPE") {
                for (const QString& t :
                     QString(value).remove(u'"').split(u',', Qt::SkipEmptyParts)) {
                    head += u';' + t; // 2.1 names each type alone
                }
            } else {
                head += u';' + key + u'=' + value;
            }
        }
        property(head,
                 version_ == VCardVersion::V21 ? escapedFor21(e.value) : escapedBreaks(e.value),
                 false, true);
    }

    QString types(QStringView list) const {
        if (list.isEmpty()) {
            return {};
        }
        switch (version_) {
        case VCardVersion::V21:
            return u';' + list.toString().toUpper().replace(u',', u';');
        case VCardVersion::V30:
            return QStringLiteral(";TYPE=") + list.toString().toUpper();
        case VCardVersion::V40:
            break;
        }
        QString l = list.toString();
        l.remove(QStringLiteral("internet"));
        return l.isEmpty() ? QString() : QStringLiteral(";TYPE=") + l;
    }

    QByteArray take() { return std::move(out_); }

private:
    VCardVersion version_;
    QByteArray charset_;
    bool namedUtf8_;
    QByteArray out_;
};

QString genderValue(const QString& sex) {
    if (sex == u"男") {
        return QStringLiteral("M");
    }
    if (sex == u"女") {
        return QStringLiteral("F");
    }
    return QString(); // the rest as identity text, after an empty sex
}

} // namespace

QByteArray writeVCard(const contacts::Contact& contact, VCardVersion version,
                      QByteArrayView charset, const Origins& origins, NamedCharset named) {
    using enum Field;
    const auto& f = contact.fields;
    const auto field = [&](Field x) -> const QString& { return f[std::size_t(x)]; };
    const bool v40 = version == VCardVersion::V40;
    Writer w(version, version == VCardVersion::V21 ? charset : QByteArrayView("UTF-8"),
             version == VCardVersion::V30 && named == NamedCharset::Yes);
    w.property(QStringLiteral("BEGIN"), QStringLiteral("VCARD"), false, true);
    w.property(QStringLiteral("VERSION"),
               QString::fromLatin1(v40                            ? "4.0"
                                   : version == VCardVersion::V30 ? "3.0"
                                                                  : "2.1"),
               false, true);
    if (!contact.uid.isEmpty()) {
        const bool uuid = !QUuid::fromString(contact.uid).isNull();
        w.property(QStringLiteral("UID"),
                   (v40 && uuid ? QStringLiteral("urn:uuid:") : QString()) + contact.uid);
    }
    w.property(QStringLiteral("FN"), field(Name));
    // The name's parts as the card came with them (the Book lets them go
    // when the name changes); else the whole name as the family name.
    const auto parts = std::ranges::find_if(
        contact.extras, [&](const contacts::Extra& e) { return e.name == u"N"; });
    const contacts::Extra* written = parts != contact.extras.end() ? &*parts : nullptr;
    if (written) {
        w.extra(*written);
    } else {
        w.property(QStringLiteral("N"),
                   escaped(field(Name), version == VCardVersion::V21, true) +
                       QStringLiteral(";;;;"),
                   false, true);
    }
    // The columns written as the lines they were read from go together
    // where the first would, in the card's order: a number of no kind takes
    // its column by its place among the others. A telephone or an e-mail
    // address edited since keeps its line's group, label and kinds. Columns
    // of values of their own making (a name, a date, an address) are always
    // written anew.
    constexpr std::array ownMaking{Name,        Sex,      Birth,        HomeAddress,
                                   WorkAddress, Employer, HomePostcode, WorkPostcode};
    struct AsRead {
        int order;
        Field field;
        std::vector<contacts::Extra> lines;
    };
    std::vector<AsRead> asRead;
    for (const FieldMapping& m : fieldMappings) {
        const std::optional<Origin>& origin = origins[std::size_t(m.field)];
        const QString& value = field(m.field);
        if (!origin || value.isEmpty() ||
            std::ranges::find(ownMaking, m.field) != ownMaking.end()) {
            continue;
        }
        AsRead kept{origin->order, m.field, origin->lines};
        const QString& name = kept.lines.front().name;
        if (origin->value != value) {
            if (name != u"TEL" && name != u"EMAIL") {
                continue;
            }
            kept.lines.front().value = contacts::escapedValue(value);
        }
        asRead.push_back(std::move(kept));
    }
    std::ranges::sort(asRead, {}, &AsRead::order);
    bool asReadWritten = false;
    // Every other column that holds something, by the mapping table.
    for (const FieldMapping& m : fieldMappings) {
        const QString& value = field(m.field);
        if (value.isEmpty() || m.field == Name || m.part == PostalCode) {
            continue;
        }
        const QString types = w.types(m.types);
        switch (m.field) {
        case Sex: {
            const QString g = genderValue(value);
            w.property(v40 ? QStringLiteral("GENDER") : QStringLiteral("X-GENDER"),
                       g.isEmpty() ? u';' + escaped(value, false, true) : g, false, true);
            break;
        }
        case Birth: {
            const bool isDate =
                QDate::fromString(value, Qt::ISODate).isValid() && value.size() == 10;
            if (isDate) {
                w.property(QStringLiteral("BDAY"), v40 ? QString(value).remove(u'-') : value);
            } else {
                w.property(v40 ? QStringLiteral("BDAY;VALUE=text") : QStringLiteral("BDAY"), value);
            }
            break;
        }
        case HomeAddress:
        case WorkAddress: {
            const QString& code = field(m.field == HomeAddress ? HomePostcode : WorkPostcode);
            const bool v21 = version == VCardVersion::V21;
            w.property(QStringLiteral("ADR") + types,
                       QStringLiteral(";;") + escaped(value, v21, true) + QStringLiteral(";;;") +
                           escaped(code, v21, true) + u';',
                       false, true);
            break;
        }
        case Employer:
            w.property(QStringLiteral("ORG"), value, true);
            break;
        default:
            if (std::ranges::find(asRead, m.field, &AsRead::field) == asRead.end()) {
                w.property(m.property.toString() + types, value);
            } else if (!asReadWritten) {
                for (const AsRead& kept : asRead) {
                    for (const contacts::Extra& line : kept.lines) {
                        w.extra(line);
                    }
                }
                asReadWritten = true;
            }
        }
    }
    // A postcode without its address still makes an address.
    for (const auto& [code, address, type] :
         {std::tuple{HomePostcode, HomeAddress, u"home"}, {WorkPostcode, WorkAddress, u"work"}}) {
        if (!field(code).isEmpty() && field(address).isEmpty()) {
            w.property(QStringLiteral("ADR") + w.types(type),
                       QStringLiteral(";;;;;") +
                           escaped(field(code), version == VCardVersion::V21, true) + u';',
                       false, true);
        }
    }
    // Lunar birthdays also as Apple's phones read them, each once: the
    // birth date's, then those of 其他信息 instead of their own lines.
    QStringList lunar;
    const auto altBirthday = [&](const std::optional<calendar::Birthday>& birthday) {
        const QString value = birthday ? interchange::altBirthday(*birthday) : QString();
        if (!value.isEmpty() && !lunar.contains(value)) {
            w.property(QStringLiteral("X-ALTBDAY;CALSCALE=chinese"), value, false, true);
            lunar << value;
        }
        return !value.isEmpty();
    };
    altBirthday(lunarBirthdayOf(field(Birth)));
    for (const contacts::Extra& e : contact.extras) {
        if (&e != written && !altBirthday(lunarBirthdayOf(e))) {
            w.extra(e);
        }
    }
    if (!contact.rev.isEmpty()) {
        const QDateTime rev = QDateTime::fromString(contact.rev, Qt::ISODateWithMs).toUTC();
        if (rev.isValid()) {
            w.property(QStringLiteral("REV"),
                       rev.toString(version == VCardVersion::V30
                                        ? QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'")
                                        : QStringLiteral("yyyyMMdd'T'HHmmss'Z'")),
                       false, true);
        }
    }
    w.property(QStringLiteral("END"), QStringLiteral("VCARD"), false, true);
    return w.take();
}

} // namespace interchange
