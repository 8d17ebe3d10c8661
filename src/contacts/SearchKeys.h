#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <span>

namespace db {
class Connection;
}

namespace contacts {

// What the contact list finds people by. Every contact has a row in
// yanshu_find, kept up to date by the table's triggers, which call the
// functions defineSearchFunctions gives a connection: a connection
// without them cannot change yanshu, so the keys never go stale.

// The form typed text and keys are compared in: letters in lower case,
// blanks and dashes dropped ("Zhang S" → "zhangs", "138-0013" → "1380013").
QString searchForm(QStringView text);

// The list's order: the name's usual pinyin, syllable by syllable, then
// the name itself, so that 李 comes before 林 and 张三 next to 章三. Only
// the first few dozen characters of a name count.
QString sortKey(const QString& name);

// Everything a contact is found by, one part after another: the name and
// the two characters from each of its Han characters, each of its pinyin
// spellings in full and in initials (every reading of every character: 曾
// gives zeng and ceng), the digits of each telephone, the e-mail address
// and the employer, and the telephones, e-mail addresses and ids among
// the contact's extras (the first maxKeyedExtras of extraSearchTexts,
// already in search form). Each is taken
// from the first few dozen characters of its text, so that the keys have a
// fixed ceiling whatever the texts hold.
inline constexpr int maxKeyedExtras = 16;
QString searchKeys(const QString& name, std::span<const QString> telephones, const QString& email,
                   const QString& employer, const QStringList& extras = {});

// What the keys are searched for: the typed text in search form (as much
// of it as the keys hold of a text), anywhere in a part; one or two
// characters only at the start of a part, since they would be in nearly
// everyone's keys anywhere ("zs" is 张三's initials but not in "lizsa@…").
QString searchNeedle(const QString& typed);

void defineSearchFunctions(db::Connection& connection);

// After many contacts have been written at once: the index of trigrams is
// merged now, a bounded piece at a time, asking `keepGoing` between pieces
// (false stops it), rather than by each of the next writes the user makes.
// A few writes need no tidying.
inline constexpr int manyWrites = 1000;
bool tidySearchIndex(db::Connection& connection, const std::function<bool()>& keepGoing = {});

} // namespace contacts
