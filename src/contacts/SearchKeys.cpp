#include "SearchKeys.h"

#include "Extras.h"

#include "platform/db/Connection.h"
#include "platform/db/Statement.h"
#include "platform/text/Pinyin.h"

#include <QStringList>

#include <algorithm>
#include <stdexcept>

namespace contacts {

namespace {

// Parts of the keys are kept apart by a character nobody types, so that a
// search never matches across two of them. Each part begins with two: a
// text of one or two characters is sought at the start of a part, and with
// them it is long enough for the index of trigrams.
constexpr QChar partSeparator = u'\x1f';
const QString partStart = QString(2, partSeparator);

// A contact is found by the first characters of each text: the keys, and
// the list's order, come from no more of a name, telephone, e-mail address
// or employer than this, so that a contact's keys stay small (some
// thousands of characters) whatever the length of its texts.
constexpr qsizetype keyedLength = 64;

// A name with many polyphonic characters would have hundreds of spellings;
// past this many, or past this many characters of them together, the later
// characters count with their usual reading.
constexpr qsizetype maxSpellings = 32;
constexpr qsizetype maxSpelt = 2048;

// The first characters of the text; one outside the BMP is kept whole.
QString leading(QStringView text, qsizetype length = keyedLength) {
    if (text.size() > length) {
        text = text.first(text[length - 1].isHighSurrogate() ? length + 1 : length);
    }
    return text.toString();
}

// A name as it is spelt, piece by piece: the readings of a Han character,
// or a run of other letters and digits, which spells itself.
std::vector<QStringList> pieces(QStringView name) {
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
    qsizetype longest = 0; // the most one spelling can take
    for (const QStringList& piece : pieces) {
        const auto size = [](const QString& reading) { return reading.size(); };
        longest += initials ? 1 : std::ranges::max(piece, {}, size).size();
    }
    const qsizetype most =
        std::clamp(maxSpelt / std::max(longest, qsizetype(1)), qsizetype(1), maxSpellings);
    QStringList result{QString()};
    for (const QStringList& piece : pieces) {
        QStringList longer;
        const qsizetype readings = result.size() * piece.size() > most ? 1 : piece.size();
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
    const QString start = leading(name);
    QStringList syllables;
    for (const QStringList& piece : pieces(start)) {
        syllables << piece.first();
    }
    return syllables.join(u' ') + partSeparator + start;
}

QString searchKeys(const QString& name, std::span<const QString> telephones, const QString& email,
                   const QString& employer, const QStringList& extras) {
    const std::vector<QStringList> spelt = pieces(leading(name));
    const QString written = leading(searchForm(name));
    QStringList parts{written};
    // 三 and 三丰 are found in 张三丰: one or two characters are sought at
    // the start of a part, so each Han character begins one, with the
    // character after it. Longer texts are sought anywhere in the name.
    for (qsizetype i = 1; i < written.size(); ++i) {
        if (!text::readings(written[i].unicode()).isEmpty()) {
            parts << leading(QStringView(written).sliced(i), 2);
        }
    }
    for (const QString& spelling : spellings(spelt, false) + spellings(spelt, true)) {
        if (!parts.contains(spelling)) {
            parts << spelling;
        }
    }
    for (const QString& telephone : telephones) {
        parts << leading(digitsOf(telephone));
    }
    parts << leading(searchForm(email)) << leading(searchForm(employer));
    for (const QString& extra : extras.first(std::min<qsizetype>(extras.size(), maxKeyedExtras))) {
        parts << leading(extra);
    }
    parts.removeAll(QString());
    return partStart + parts.join(partStart);
}

QString searchNeedle(const QString& typed) {
    // A text longer than the keys hold of a name is sought by its start.
    const QString form = leading(searchForm(typed));
    return form.size() == 1 || form.size() == 2 ? partStart + form : form;
}

void defineSearchFunctions(db::Connection& connection) {
    connection.defineFunction(
        "yanshu_sort", 1, [](std::span<const QString> arguments) { return sortKey(arguments[0]); });
    // The name, five telephones, the e-mail address and the employer; the
    // extras' lines after them, from the tables' version 5.
    connection.defineFunction("yanshu_keys", -1, [](std::span<const QString> arguments) {
        if (arguments.size() < 8) {
            throw std::invalid_argument("yanshu_keys takes 8 or 9 arguments");
        }
        return searchKeys(arguments[0], arguments.subspan(1, 5), arguments[6], arguments[7],
                          arguments.size() > 8 ? extraSearchTexts(arguments[8]) : QStringList());
    });
}

bool tidySearchIndex(db::Connection& connection, const std::function<bool()>& keepGoing) {
    db::Statement merge(connection, QStringLiteral("INSERT INTO yanshu_grams (yanshu_grams, rank) "
                                                   "VALUES ('merge', 256)"));
    db::Statement changes(connection, QStringLiteral("SELECT total_changes()"));
    const auto changed = [&] {
        changes.reset();
        return changes.step() ? changes.integer(0) : 0;
    };
    // The command itself counts as one change: a merge that changes no
    // more has found nothing left to merge.
    for (qint64 before = changed();; before = changed()) {
        merge.reset();
        merge.run();
        if (changed() - before < 2) {
            return true;
        }
        if (keepGoing && !keepGoing()) {
            return false;
        }
    }
}

} // namespace contacts
