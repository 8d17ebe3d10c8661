#include "SearchKeys.h"

#include "platform/db/Connection.h"
#include "platform/db/Statement.h"
#include "platform/text/Pinyin.h"

#include <QStringList>

namespace contacts {

namespace {

// Parts of the keys are kept apart by a character nobody types, so that a
// search never matches across two of them. Each part begins with two: a
// text of one or two characters is sought at the start of a part, and with
// them it is long enough for the index of trigrams.
constexpr QChar partSeparator = u'\x1f';
const QString partStart = QString(2, partSeparator);

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
    const QString written = searchForm(name);
    QStringList parts{written};
    // 三 and 三丰 are found in 张三丰: each tail of the name from a Han character.
    for (qsizetype i = 1; i < written.size(); ++i) {
        if (!text::readings(written[i].unicode()).isEmpty()) {
            parts << written.mid(i);
        }
    }
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
    return partStart + parts.join(partStart);
}

QString searchNeedle(const QString& typed) {
    const QString form = searchForm(typed);
    return form.size() == 1 || form.size() == 2 ? partStart + form : form;
}

void defineSearchFunctions(db::Connection& connection) {
    connection.defineFunction(
        "yanshu_sort", 1, [](std::span<const QString> arguments) { return sortKey(arguments[0]); });
    // The name, five telephones, the e-mail address and the employer.
    connection.defineFunction("yanshu_keys", 8, [](std::span<const QString> arguments) {
        return searchKeys(arguments[0], arguments.subspan(1, 5), arguments[6], arguments[7]);
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
