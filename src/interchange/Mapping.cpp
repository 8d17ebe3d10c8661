#include "Mapping.h"

#include "LunarBirthday.h"

#include "contacts/Extras.h"

#include <QDateTime>

#include <algorithm>
#include <optional>

namespace interchange {

using enum Field;

const std::array<FieldMapping, fieldCount> fieldMappings{{
    {Name, u"FN", u""},
    {Sex, u"GENDER", u""},
    {Birth, u"BDAY", u""},
    {Pager, u"TEL", u"pager"},
    {Icq, u"X-ICQ", u""},
    {Qq, u"X-QQ", u""},
    {Msn, u"X-MSN", u""},
    {Email, u"EMAIL", u"internet"},
    {HomePhone, u"TEL", u"home,voice"},
    {WorkPhone, u"TEL", u"work,voice"},
    {Mobile, u"TEL", u"cell"},
    {Fax, u"TEL", u"fax"},
    {HomePostcode, u"ADR", u"home", PostalCode},
    {HomeAddress, u"ADR", u"home", Street},
    {WorkPostcode, u"ADR", u"work", PostalCode},
    {Employer, u"ORG", u""},
    {WorkAddress, u"ADR", u"work", Street},
    {JobTitle, u"TITLE", u""},
    {WorkFax, u"TEL", u"work,fax"},
    {WebPage, u"URL", u""},
    {Notes, u"NOTE", u""},
}};

bool hasHan(QStringView text) {
    for (const char32_t c : text.toUcs4()) {
        if (QChar::script(c) == QChar::Script_Han) {
            return true;
        }
    }
    return false;
}

namespace {

// The parts that hold something, as they stand.
QString joined(const QStringList& parts, QStringView separator) {
    QStringList kept;
    for (const QString& p : parts) {
        if (!p.trimmed().isEmpty()) {
            kept << p;
        }
    }
    return kept.join(separator);
}

// One line of text for an address: 中国北京朝阳路1号, or 1 Main St, Springfield.
QString addressOfParts(const QStringList& adr) {
    if (hasHan(adr.join(QString()))) {
        QStringList parts;
        for (const int i : {Country, Region, Locality, Street, Extended, PoBox}) {
            const QString p = adr.value(i);
            if (!p.trimmed().isEmpty() && (parts.isEmpty() || parts.last() != p)) {
                parts << p;
            }
        }
        return parts.join(QString());
    }
    return joined({adr.value(PoBox), adr.value(Extended), adr.value(Street), adr.value(Locality),
                   adr.value(Region), adr.value(Country)},
                  u", ");
}

QString sexOfParts(const QStringList& gender) {
    const QString sex = gender.value(0).trimmed();
    const QString upper = sex.toUpper();
    if (upper == u"M" || upper == u"MALE" || sex == u"男") {
        return QStringLiteral("男");
    }
    if (upper == u"F" || upper == u"FEMALE" || sex == u"女") {
        return QStringLiteral("女");
    }
    const QString identity = gender.value(1).trimmed();
    if (!identity.isEmpty()) {
        return identity;
    }
    return upper == u"U" || upper == u"N" || upper == u"UNSPECIFIED" ? QString() : sex;
}

// The network of an instant-messaging value, and the bare id.
std::pair<QString, QString> imOf(const Item& item) {
    QString value = item.value();
    QString service = item.service.toLower();
    const qsizetype colon = value.indexOf(u':');
    if (colon > 0 && !value.left(colon).contains(u'@')) {
        const QString scheme = value.left(colon).toLower();
        value = value.mid(colon + 1);
        if (service.isEmpty()) {
            service = scheme;
        }
    }
    if (value.startsWith(u"chat?contact=")) {
        value = value.mid(13); // msnim:chat?contact=someone@example.com
    }
    if (service == u"x-qq" || service == u"tencent" || service == u"qq") {
        service = QStringLiteral("qq");
    } else if (service == u"msnim" || service == u"x-msn" || service == u"windows live" ||
               service == u"msn") {
        service = QStringLiteral("msn");
    } else if (service == u"x-icq" || service == u"icq") {
        service = QStringLiteral("icq");
    }
    return {service, value};
}

// The name of what was left out, for the import's report: 照片（jpeg）.
QString labelOf(const Item& item) {
    static const QHash<QString, QString> names{
        {QStringLiteral("PHOTO"), QStringLiteral("照片")},
        {QStringLiteral("LOGO"), QStringLiteral("标志")},
        {QStringLiteral("SOUND"), QStringLiteral("声音")},
        {QStringLiteral("KEY"), QStringLiteral("密钥")},
    };
    QStringList types = item.types;
    types.removeAll(QStringLiteral("pref"));
    const QString label = names.value(item.name, item.name);
    return types.isEmpty() ? label : label + u'（' + types.join(u',') + u'）';
}

bool isPropertyName(QStringView name) {
    return !name.isEmpty() && std::ranges::all_of(name, [](QChar c) {
        return c.unicode() < 128 && (c.isLetterOrNumber() || c == u'-');
    });
}

// An item as it is kept when no column takes it: a vCard's as it was
// written; a CSV cell's as the property its column names, a column that
// names none as a note under the column's heading.
contacts::Extra extraOf(const Item& item) {
    if (!item.raw.isNull()) {
        return {item.group, item.name, item.params, item.raw};
    }
    if (!isPropertyName(item.name)) {
        return contacts::labelledNote(item.name, item.parts.join(u' '));
    }
    QStringList params;
    if (!item.types.isEmpty()) {
        params << QStringLiteral("TYPE=") + item.types.join(u',');
    }
    if (!item.service.isEmpty()) {
        params << QStringLiteral("X-SERVICE-TYPE=") + contacts::parameterValue(item.service);
    }
    if (!item.label.isEmpty()) {
        params << QStringLiteral("X-LABEL=") + contacts::parameterValue(item.label);
    }
    QStringList parts;
    for (const QString& p : item.parts) {
        parts << contacts::escapedValue(p);
    }
    return {{}, item.name, params.join(u';'), parts.join(u';')};
}

// The properties that describe the card rather than the person, or that
// another property of the card already says.
bool isBookkeeping(const Item& item) {
    if (item.name == u"KIND") {
        return item.value().compare(u"individual", Qt::CaseInsensitive) == 0;
    }
    // BEGIN and END with parameters are no data: written back, they would
    // end the card.
    return item.name == u"VERSION" || item.name == u"PRODID" || item.name == u"BEGIN" ||
           item.name == u"END";
}

class Builder {
public:
    // With `origins`, what each column is read from goes there too.
    explicit Builder(Origins* origins = nullptr)
        : origins_(origins) {}

    Entry entry;

    void take(const Item& item) {
        ++order_;
        if (isBookkeeping(item)) {
            return;
        }
        if (contacts::Extra kept = extraOf(item); contacts::isCompanion(kept)) {
            companions_.push_back(std::move(kept)); // kept with its group's property, if that is
            return;
        }
        if (item.binary || isPicture(item)) {
            if (item.binary || item.value().startsWith(u"data:", Qt::CaseInsensitive)) {
                entry.notTaken << labelOf(item);
                return;
            }
        }
        const QString& n = item.name;
        if (n == u"FN") {
            fill(Name, item.value(), item);
        } else if (n == u"N") {
            nameParts_ = item.parts;
            nameItem_ = item;
        } else if (n == u"GENDER" || n == u"X-GENDER" || n == u"X-SEX") {
            fill(Sex, sexOfParts(item.parts), item);
        } else if (n == u"BDAY" && contacts::isOtherCalendar(item.params)) {
            extra(item); // a lunar birthday is no date of the birth column
        } else if (n == u"X-ALTBDAY" && isChineseCalendar(item.params)) {
            lunarBirthdays_.push_back(item); // once the card's birth date is known
        } else if (n == u"BDAY") {
            fill(Birth, item.hasType(u"text") ? item.value() : birthFromFile(item.value()), item);
        } else if (n == u"TEL") {
            telephone(item);
        } else if (n == u"EMAIL") {
            fill(Email, item.value(), item);
        } else if (n == u"ADR") {
            address(item);
        } else if (n == u"LABEL") {
            labels_.push_back(item);
        } else if (n == u"ORG") {
            fill(Employer, joined(item.parts, u" "), item);
        } else if (n == u"TITLE") {
            fill(JobTitle, item.value(), item);
        } else if (n == u"URL") {
            fill(WebPage, item.value(), item);
        } else if (n == u"NOTE" && !contacts::parameterOf(item.params, u"X-LABEL").isEmpty()) {
            extra(item); // a note under a heading of its own: another table's column
        } else if (n == u"NOTE") {
            fill(Notes, item.value(), item);
        } else if (n == u"X-QQ" || n == u"X-ICQ" || n == u"X-MSN" || n == u"IMPP") {
            instantMessaging(item);
        } else if (n == u"UID") {
            entry.uid = item.value().trimmed();
            if (entry.uid.startsWith(u"urn:uuid:", Qt::CaseInsensitive)) {
                entry.uid = entry.uid.mid(9);
            }
        } else if (n == u"REV") {
            entry.rev = normalizedRev(item.value());
        } else {
            extra(item);
        }
    }

    void finish() {
        if (entry[Name].isEmpty() && !nameParts_.isEmpty()) {
            entry[Name] = nameOfParts(nameParts_);
        }
        // The name's parts are kept where they say more than the name: not
        // the whole name as the family name, as this program writes it.
        const bool onlyTheName = nameParts_.value(0) == entry[Name] &&
                                 nameParts_.mid(1).join(QString()).trimmed().isEmpty();
        if (nameItem_ && !onlyTheName && !nameParts_.join(QString()).trimmed().isEmpty()) {
            entry.extras.insert(entry.extras.begin(), extraOf(*nameItem_));
        }
        // A printed label says again what the card's address says; it is
        // taken only for an address the card lacks, else kept as it is.
        for (const Item& label : labels_) {
            const bool work = label.hasType(u"work");
            const Field field = work ? WorkAddress : HomeAddress;
            if (entry[field].isEmpty() && entry[work ? WorkPostcode : HomePostcode].isEmpty()) {
                entry[field] = label.value();
            } else {
                extra(label);
            }
        }
        takeLunarBirthdays();
        keepCompanions();
    }

private:
    // A lunar birthday goes to 其他信息 unless it is the card's birth date
    // again (as this program writes it beside a lunar BDAY); in a form not
    // read, it is kept as it came.
    void takeLunarBirthdays() {
        for (const Item& item : lunarBirthdays_) {
            const std::optional<calendar::Birthday> birthday = readAltBirthday(item.value());
            if (!birthday) {
                extra(item);
            } else if (birthday != lunarBirthdayOf(entry[Birth])) {
                entry.extras.push_back(lunarBirthdayExtra(*birthday));
            }
        }
    }

    // Each companion after the last kept property of its group; those of a
    // group nothing was kept of go, but for the origin of a column.
    void keepCompanions() {
        if (companions_.empty()) {
            return;
        }
        QHash<QString, std::vector<contacts::Extra>> byGroup;
        for (contacts::Extra& companion : companions_) {
            if (origins_) {
                for (std::optional<Origin>& origin : *origins_) {
                    if (origin && !origin->lines.front().group.isEmpty() &&
                        origin->lines.front().group.compare(companion.group, Qt::CaseInsensitive) ==
                            0) {
                        origin->lines.push_back(companion);
                    }
                }
            }
            byGroup[companion.group.toUpper()].push_back(std::move(companion));
        }
        QHash<QString, std::size_t> last;
        for (std::size_t i = 0; i < entry.extras.size(); ++i) {
            last.insert(entry.extras[i].group.toUpper(), i);
        }
        std::vector<contacts::Extra> extras;
        for (std::size_t i = 0; i < entry.extras.size(); ++i) {
            const QString group = entry.extras[i].group.toUpper();
            extras.push_back(std::move(entry.extras[i]));
            if (!group.isEmpty() && last.value(group) == i) {
                for (contacts::Extra& companion : byGroup[group]) {
                    extras.push_back(std::move(companion));
                }
            }
        }
        entry.extras = std::move(extras);
    }

    static bool isPicture(const Item& item) {
        return item.name == u"PHOTO" || item.name == u"LOGO" || item.name == u"SOUND" ||
               item.name == u"KEY";
    }

    void extra(const Item& item) {
        if (!item.parts.join(QString()).trimmed().isEmpty()) {
            entry.extras.push_back(extraOf(item));
        }
    }

    // The value goes to its column if that is free, else it is an extra.
    void fill(Field field, const QString& value, const Item& item) {
        if (value.isEmpty()) {
            return;
        }
        QString& column = entry[field];
        if (column.isEmpty()) {
            column = value;
            if (origins_) {
                (*origins_)[std::size_t(field)] = Origin{{}, {extraOf(item)}, order_};
            }
        } else if (column != value) {
            extra(item);
        }
    }

    void telephone(const Item& item) {
        const QString number = contacts::telephoneNumber(item.value());
        std::optional<Field> field;
        if (item.hasType(u"pager")) {
            field = Pager;
        } else if (item.hasType(u"fax")) {
            field = item.hasType(u"work") ? WorkFax : Fax;
        } else if (item.hasType(u"cell") || item.hasType(u"mobile") || item.hasType(u"iphone")) {
            field = Mobile;
        } else if (item.hasType(u"work")) {
            field = WorkPhone;
        } else if (item.hasType(u"home")) {
            field = HomePhone;
        } else {
            // A number of no kind takes the first free of the three.
            for (const Field f : {Mobile, HomePhone, WorkPhone}) {
                if (entry[f].isEmpty() || entry[f] == number) {
                    field = f;
                    break;
                }
            }
        }
        if (field) {
            fill(*field, number, item);
        } else {
            extra(item);
        }
    }

    void address(const Item& item) {
        const QString text = addressOfParts(item.parts);
        const QString code = item.parts.value(PostalCode);
        const auto isFree = [&](bool work) {
            return entry[work ? WorkAddress : HomeAddress].isEmpty() &&
                   entry[work ? WorkPostcode : HomePostcode].isEmpty();
        };
        bool work = item.hasType(u"work");
        if (!work && !item.hasType(u"home") && !isFree(false)) {
            work = true; // an address of no kind takes the free one
        }
        if (!isFree(work)) {
            extra(item);
            return;
        }
        entry[work ? WorkAddress : HomeAddress] = text;
        entry[work ? WorkPostcode : HomePostcode] = code;
    }

    void instantMessaging(const Item& item) {
        auto [service, id] = imOf(item);
        if (item.name != u"IMPP") {
            service = item.name.mid(2).toLower();
        }
        const Field field = service == u"qq"    ? Qq
                            : service == u"icq" ? Icq
                            : service == u"msn" ? Msn
                                                : Notes;
        if (field == Notes) {
            extra(item);
        } else {
            fill(field, id, item);
        }
    }

    Origins* origins_;
    int order_ = 0;
    QStringList nameParts_;
    std::optional<Item> nameItem_;
    std::vector<Item> labels_;
    std::vector<Item> lunarBirthdays_;
    std::vector<contacts::Extra> companions_;
};

} // namespace

QString nameOfParts(const QStringList& n) {
    const QString family = n.value(0), given = n.value(1), middle = n.value(2);
    if (hasHan(family + given)) {
        return joined({n.value(3), family, given, middle, n.value(4)}, u"");
    }
    return joined({n.value(3), given, middle, family, n.value(4)}, u" ");
}

namespace {

Entry built(const std::vector<Item>& items, Origins* origins) {
    Builder builder(origins);
    for (const Item& item : items) {
        builder.take(item);
    }
    builder.finish();
    Entry entry = std::move(builder.entry);
    // Line breaks as the card's notes box keeps them.
    for (QString& field : entry.fields) {
        field.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    }
    return entry;
}

} // namespace

Entry toEntry(const std::vector<Item>& items) {
    return built(items, nullptr);
}

Origins columnOrigins(const std::vector<Item>& items) {
    Origins origins;
    const Entry entry = built(items, &origins);
    for (std::size_t f = 0; f < origins.size(); ++f) {
        if (origins[f]) {
            origins[f]->value = entry.fields[f];
        }
    }
    return origins;
}

namespace {

bool allDigits(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// The basic form, 20240101T000000Z with or without the zone (Z, +0800 or
// +08:00), written the extended way; empty if it is not that. Parsed by
// hand: every card has one, and a pattern costs more.
QString extendedForm(QStringView t) {
    if (t.size() < 15 || t[8] != u'T' || !allDigits(t.first(8)) || !allDigits(t.sliced(9, 6))) {
        return {};
    }
    QString iso = QStringLiteral("%1-%2-%3T%4:%5:%6")
                      .arg(t.first(4), t.sliced(4, 2), t.sliced(6, 2), t.sliced(9, 2),
                           t.sliced(11, 2), t.sliced(13, 2));
    const QStringView zone = t.sliced(15);
    if (zone.isEmpty() || zone == u"Z") {
        return iso.append(zone);
    }
    // +0800 or +08:00
    const bool colon = zone.size() == 6 && zone[3] == u':';
    if ((zone.size() != 5 && !colon) || (zone[0] != u'+' && zone[0] != u'-') ||
        !allDigits(zone.sliced(1, 2)) || !allDigits(zone.last(2))) {
        return {};
    }
    return iso.append(zone.first(3)).append(u':').append(zone.last(2));
}

} // namespace

QString normalizedRev(QStringView text) {
    const QString t = text.trimmed().toString();
    QDateTime time = QDateTime::fromString(t, Qt::ISODateWithMs);
    if (!time.isValid()) {
        time = QDateTime::fromString(extendedForm(t), Qt::ISODate);
    }
    if (!time.isValid()) {
        return {};
    }
    if (time.timeSpec() == Qt::LocalTime) {
        time.setTimeSpec(Qt::UTC); // a time without a zone is taken as UTC
    }
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QString birthFromFile(QStringView text) {
    const QString t = text.toString();
    // Outlook's CSV writes M/d/yyyy, and 0/0/00 for none.
    if (t == u"0/0/00") {
        return {};
    }
    for (const char* format : {"yyyyMMdd", "yyyy-MM-dd", "M/d/yyyy"}) {
        const QDate date = QDate::fromString(t.left(t.indexOf(u'T')), QLatin1String(format));
        if (date.isValid()) {
            return date.toString(Qt::ISODate);
        }
    }
    return t;
}

} // namespace interchange
