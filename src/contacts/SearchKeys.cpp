#include "SearchKeys.h"

#include "platform/db/Connection.h"
#include "platform/text/Pinyin.h"

#include <QStringList>

namespace contacts {

namespace {

// Parts of the keys are kept apart by a character nobody types, so that a
// search never matches across two of them.
constexpr QChar partSeparator = u'\x1f';

// A name with many polyphonic characters would have hundreds of spellings;
// past this many, the later characters count with their usual reading.
constexpr qsizetype maxSpellings = 32;

// A name as it is spelt, piece by piece: the readings of a Han character,
// or a run of other letters and digits, which spells itself.
std::vector<QStringList> pieces(const QString& name) {
    std::vector<QStringList> result;
    QString run;
    const auto endRun = [&] {
        if (!run.isEmpty()) {
            result.push_back({run});
            run.clear();
        }
    };
    for (const char32_t c : name.toUcs4()) {
        const QStringList readings = text::readings(c);
        if (!readings.isEmpty()) {
            endRun();
            result.push_back(readings);
        } else if (QChar::isLetterOrNumber(c)) {
            run += searchForm(QString::fromUcs4(&c, 1));
        } else {
            endRun(); // a blank or a dot between two words of a name
        }
    }
    endRun();
    return result;
}

// Every way of spelling the pieces, each piece in full or by its first
// letter, without repeats.
QStringList spellings(const std::vector<QStringList>& pieces, bool initials) {
    QStringList result{QString()};
    for (const QStringList& piece : pieces) {
        QStringList longer;
        const qsizetype readings = result.size() * piece.size() > maxSpellings ? 1 : piece.size();
        for (const QString& start : std::as_const(result)) {
            for (qsizetype i = 0; i < readings; ++i) {
                const QString& reading = piece[i];
                const QString spelt = start + (initials ? reading.left(1) : reading);
                if (!longer.contains(spelt)) {
                    longer << spelt;
                }
            }
        }
        result = std::move(longer);
    }
    return result;
}

QString digitsOf(const QString& telephone) {
    QString digits;
    for (const QChar c : telephone) {
        if (c.isDigit()) {
            digits += c;
        }
    }
    return digits;
}

} // namespace

QString searchForm(QStringView text) {
    QString form;
    form.reserve(text.size());
    for (const QChar c : text) {
        if (!c.isSpace() && c != u'-' && c != partSeparator) {
            form += c;
        }
    }
    return form.toLower();
}

QString sortKey(const QString& name) {
    QStringList syllables;
    for (const QStringList& piece : pieces(name)) {
        syllables << piece.first();
    }
    return syllables.join(u' ') + partSeparator + name;
}

QString searchKeys(const QString& name, std::span<const QString> telephones, const QString& email,
                   const QString& employer) {
    const std::vector<QStringList> spelt = pieces(name);
    QStringList parts{searchForm(name)};
    for (const QString& spelling : spellings(spelt, false) + spellings(spelt, true)) {
        if (!parts.contains(spelling)) {
            parts << spelling;
        }
    }
    for (const QString& telephone : telephones) {
        parts << digitsOf(telephone);
    }
    parts << searchForm(email) << searchForm(employer);
    parts.removeAll(QString());
    return parts.join(partSeparator);
}

void defineSearchFunctions(db::Connection& connection) {
    connection.defineFunction(
        "yanshu_sort", 1, [](std::span<const QString> arguments) { return sortKey(arguments[0]); });
    // The name, five telephones, the e-mail address and the employer.
    connection.defineFunction("yanshu_keys", 8, [](std::span<const QString> arguments) {
        return searchKeys(arguments[0], arguments.subspan(1, 5), arguments[6], arguments[7]);
    });
}

} // namespace contacts
