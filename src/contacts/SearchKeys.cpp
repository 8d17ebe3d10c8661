#include "SearchKeys.h"

#include "Extras.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Statement.h"
#include "platform/text/Pinyin.h"

#include <QScopeGuard>
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
// past this many of a tier, or past this many characters of them together,
// the later characters count with their usual reading.
constexpr qsizetype maxSpellings = 8;
constexpr qsizetype maxSpelt = 1024;

// The first characters of the text; one outside the BMP is kept whole.
QString leading(QStringView text, qsizetype length = keyedLength) {
    if (text.size() > length) {
        text = text.first(text[length - 1].isHighSurrogate() ? length + 1 : length);
    }
    return text.toString();
}

QChar tierLetter(Tier tier) {
    return QChar(u'a' + int(tier));
}

// A Han character with its readings, the usual one first and the common
// ones before the rare; or a run of other letters and digits, which is its
// own only reading.
struct Piece {
    QString written;
    QStringList readings;
    qsizetype common = 1;
    bool han = false;
};

// A name's first character, or two, read as a surname: 单 as shan first.
void readAsSurname(std::vector<Piece>& pieces, const QStringList& syllables) {
    for (qsizetype i = 0; i < syllables.size() && std::size_t(i) < pieces.size(); ++i) {
        Piece& piece = pieces[std::size_t(i)];
        const qsizetype at = piece.readings.indexOf(syllables[i]);
        if (at >= 0) {
            piece.readings.removeAt(at);
        }
        piece.readings.prepend(syllables[i]);
        if (at < 0 || at >= piece.common) {
            ++piece.common;
        }
    }
}

// A name as it is spelt, piece by piece; blanks and dots between the words
// of a name end a run.
std::vector<Piece> pieces(QStringView name) {
    std::vector<Piece> result;
    QString run;
    const auto endRun = [&] {
        if (!run.isEmpty()) {
            result.push_back({run, {run}});
            run.clear();
        }
    };
    for (const char32_t c : name.toUcs4()) {
        QStringList readings = text::readings(c);
        if (!readings.isEmpty()) {
            endRun();
            result.push_back(
                {QString::fromUcs4(&c, 1), std::move(readings), text::commonReadings(c), true});
        } else if (QChar::isLetterOrNumber(c)) {
            run += searchForm(QString::fromUcs4(&c, 1));
        } else {
            endRun();
        }
    }
    endRun();
    if (!result.empty() && result.front().han) {
        const text::Surname surname = text::surnameOf(name);
        if (surname.length > 0) {
            readAsSurname(result, surname.syllables);
        }
    }
    return result;
}

bool anyHan(const std::vector<Piece>& pieces) {
    return std::ranges::any_of(pieces, &Piece::han);
}

// What a piece is spelt with: its common readings, its rare ones, or the
// first letters of its common ones.
enum class Spelling { Common, All, Initials };

// Every way of spelling the pieces, without repeats, no more than `most`.
QStringList spellings(const std::vector<Piece>& pieces, Spelling how, qsizetype most) {
    const auto readingsOf = [how](const Piece& piece) {
        return how == Spelling::All ? piece.readings.size() : piece.common;
    };
    qsizetype longest = 0; // the most one spelling can take
    for (const Piece& piece : pieces) {
        longest += how == Spelling::Initials
                       ? 1
                       : std::ranges::max(piece.readings, {}, &QString::size).size();
    }
    most = std::clamp(maxSpelt / std::max(longest, qsizetype(1)), qsizetype(1), most);
    QStringList result{QString()};
    for (const Piece& piece : pieces) {
        QStringList longer;
        const qsizetype readings = result.size() * readingsOf(piece) > most ? 1 : readingsOf(piece);
        for (const QString& start : std::as_const(result)) {
            for (qsizetype i = 0; i < readings; ++i) {
                const QString& reading = piece.readings[i];
                const QString spelt =
                    start + (how == Spelling::Initials ? reading.left(1) : reading);
                if (!longer.contains(spelt)) {
                    longer << spelt;
                }
            }
        }
        result = std::move(longer);
    }
    return result;
}

// The key of tier a: each Han character after its usual reading and a
// blank, so that the keys sort by the reading first, li before lin, and
// typed pinyin finds them up to the end of a syllable.
QString readAloud(const std::vector<Piece>& pieces) {
    QString key;
    for (const Piece& piece : pieces) {
        key += piece.han ? piece.readings.first() + u' ' + piece.written : piece.written;
    }
    return key;
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

QString listKey(const QString& name) {
    return tierLetter(Tier::Name) + readAloud(pieces(leading(name)));
}

QStringList rankKeys(const QString& name) {
    const QString start = leading(name);
    const std::vector<Piece> spelt = pieces(start);
    QStringList keys{tierLetter(Tier::Name) + readAloud(spelt)};
    // Names of one spelling alike are listed by the characters after it.
    const QString after = u' ' + searchForm(start);
    // The rarer tiers leave that to the order the contacts were added in,
    // which keeps the book small.
    const auto add = [&](Tier tier, const QStringList& texts) {
        for (const QString& text : texts) {
            keys << tierLetter(tier) + text + (tier == Tier::Pinyin ? after : QString());
        }
    };
    if (anyHan(spelt)) {
        const QStringList common = spellings(spelt, Spelling::Common, maxSpellings);
        add(Tier::Pinyin, common);
        QStringList rare = spellings(spelt, Spelling::All, maxSpellings + common.size());
        rare.removeIf([&](const QString& spelling) { return common.contains(spelling); });
        add(Tier::RarePinyin, rare);
    }
    if (spelt.size() > 1) {
        add(Tier::Initials, spellings(spelt, Spelling::Initials, maxSpellings));
    }
    return keys;
}

QString searchKeys(const QString& name, std::span<const QString> telephones, const QString& email,
                   const QString& employer, const QStringList& extras) {
    const std::vector<Piece> spelt = pieces(leading(name));
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
    if (anyHan(spelt)) {
        parts << spellings(spelt, Spelling::Common, maxSpellings);
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

Sought::Sought(const QString& typed)
    : form_(leading(searchForm(typed))) {
    if (form_.isEmpty()) {
        prefixes_[int(Tier::Name)] = tierLetter(Tier::Name);
        return;
    }
    // Typed text the keys of tier a cannot hold (only dots, say) finds no
    // names there, not all of them.
    const QString read = readAloud(pieces(form_));
    if (!read.isEmpty()) {
        prefixes_[int(Tier::Name)] = tierLetter(Tier::Name) + read;
    }
    for (const Tier tier : {Tier::Pinyin, Tier::RarePinyin, Tier::Initials}) {
        prefixes_[int(tier)] = tierLetter(tier) + form_;
    }
    // A text longer than the keys hold of a name is sought by its start.
    anywhere_ = form_.size() <= 2 ? partStart + form_ : form_;
}

QString Sought::bestKey(const QString& name) const {
    const QStringList keys = rankKeys(name);
    QString best;
    for (const QString& key : keys) {
        const QString& start = prefixes_[key.front().unicode() - u'a'];
        // The tier's letter comes first: the least key is of the first tier.
        if (!start.isEmpty() && key.startsWith(start) && (best.isEmpty() || key < best)) {
            best = key;
        }
    }
    return best;
}

namespace {

// Texts as a JSON array, written here: it is made for every contact an
// import or an upgrade writes.
QString jsonArray(const QStringList& texts) {
    QString out(u'[');
    for (const QString& text : texts) {
        out += out.size() > 1 ? QStringLiteral(",\"") : QStringLiteral("\"");
        for (const QChar c : text) {
            if (c == u'"' || c == u'\\') {
                out += u'\\';
                out += c;
            } else if (c.unicode() < 0x20) {
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            } else {
                out += c;
            }
        }
        out += u'"';
    }
    return out + u']';
}

} // namespace

void defineSearchFunctions(db::Connection& connection) {
    // The name's ranked keys, as a JSON array for json_each.
    connection.defineFunction("yanshu_rank", 1, [](std::span<const QString> arguments) {
        return jsonArray(rankKeys(arguments[0]));
    });
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
                                                   "VALUES ('merge', 16)"));
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

void deferSearchIndex(db::Connection& connection) {
    // A statement of its own: it may be the first write, which the book's
    // backup comes before.
    db::Statement(connection, QStringLiteral("INSERT INTO yanshu_unindexed "
                                             "SELECT coalesce(max(rowid), 0) FROM yanshu"))
        .run();
}

namespace {

// The trigrams of the rows past the mark, 2000 rows a statement: FTS5
// writes what a statement gave it as the statement ends, and merges in
// proportion, in one step that nothing can interrupt; one statement for
// all would write and merge a segment of a MiB at a time.
void addGrams(db::Connection& connection) {
    constexpr int rows = 2000;
    db::Statement mark(connection, QStringLiteral("SELECT max(above) FROM yanshu_unindexed"));
    db::Statement next(connection,
                       QStringLiteral("SELECT coalesce((SELECT row FROM yanshu_find WHERE row > ?1 "
                                      "ORDER BY row LIMIT 1 OFFSET %1), max(row)) FROM yanshu_find")
                           .arg(rows - 1));
    db::Statement grams(connection, QStringLiteral("INSERT INTO yanshu_grams (rowid, keys) "
                                                   "SELECT row, keys FROM yanshu_find "
                                                   "WHERE row > ? AND row <= ?"));
    qint64 from = mark.step() ? mark.integer(0) : 0;
    // Segments are merged 16 at a time rather than 4 while these go in,
    // which merges each trigram about half as often; a crisis merge (all
    // of a level in one step) only past 64. The merges of the commit bring
    // the levels back to the usual few segments.
    const auto settings = [&](int automerge, int crisismerge) {
        connection.execute(
            QStringLiteral(
                "INSERT INTO yanshu_grams (yanshu_grams, rank) VALUES ('automerge', %1);"
                "INSERT INTO yanshu_grams (yanshu_grams, rank) VALUES ('crisismerge', %2)")
                .arg(automerge)
                .arg(crisismerge));
    };
    settings(16, 64);
    const auto usual = qScopeGuard([&] {
        try {
            settings(4, 16);
        } catch (const db::DbError&) {
            // the transaction is undone, and these with it
        }
    });
    for (;;) {
        next.reset();
        next.bind(1, from);
        const qint64 to = next.step() ? next.integer(0) : from;
        if (to <= from) {
            return;
        }
        grams.reset();
        grams.bind(1, from);
        grams.bind(2, to);
        grams.run();
        from = to;
    }
}

} // namespace

bool catchUpSearchIndex(db::Connection& connection, const std::function<bool()>& keepGoing) {
    // The sort below writes its runs to files in pieces the size of the
    // page cache, each sorted in one step that nothing can interrupt: a
    // small cache for it keeps each step short. A helper thread sorts
    // while the next run is read.
    db::Statement settings(connection, QStringLiteral("SELECT cache_size, threads "
                                                      "FROM pragma_cache_size, pragma_threads"));
    const qint64 cache = settings.step() ? settings.integer(0) : -2000;
    const qint64 threads = settings.integer(1);
    settings.reset();
    const auto restore = qScopeGuard([&] {
        try {
            connection.execute(QStringLiteral("PRAGMA cache_size = %1; PRAGMA threads = %2")
                                   .arg(cache)
                                   .arg(threads));
        } catch (const db::DbError&) {
            // the connection is going anyway
        }
    });
    try {
        const db::Connection::Asking asking(connection, keepGoing);
        // In order: each page of the keys is then written once. The sort
        // goes to files, not memory, however many they are. Copied whole
        // into an empty table, the sorted keys fill its pages, as VACUUM
        // fills them; written in order they would leave an eighth of each
        // empty. Into a table that has keys, the copy writes them in order.
        connection.execute(
            QStringLiteral(
                "PRAGMA temp_store = 1; PRAGMA threads = 1; PRAGMA cache_size = -%1;"
                "DROP TABLE IF EXISTS temp.yanshu_rank_new;"
                "CREATE TEMP TABLE yanshu_rank_new (key TEXT NOT NULL, row INTEGER NOT NULL, "
                "PRIMARY KEY (key, row)) WITHOUT ROWID;"
                "INSERT INTO yanshu_rank_new SELECT j.value, y.rowid "
                "FROM yanshu AS y, json_each(yanshu_rank(y.GR_XM)) AS j "
                "WHERE y.rowid > (SELECT max(above) FROM yanshu_unindexed) ORDER BY 1, 2;"
                "INSERT INTO main.yanshu_rank SELECT * FROM temp.yanshu_rank_new;"
                "PRAGMA cache_size = %2; PRAGMA threads = %3;")
                .arg(smallCacheKiB)
                .arg(cache)
                .arg(threads));
        addGrams(connection);
        connection.execute(QStringLiteral("DELETE FROM yanshu_unindexed"));
    } catch (const db::DbError& e) {
        if (e.kind() == db::DbErrorKind::Interrupted) {
            return false;
        }
        throw;
    }
    return true;
}

} // namespace contacts
