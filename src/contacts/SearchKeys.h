#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <span>

namespace db {
class Connection;
}

namespace contacts {

// What the contact list finds people by, and the order it shows them in.
// Each contact has rows in two tables, kept up to date by yanshu's
// triggers, which call the functions defineSearchFunctions gives a
// connection: a connection without them cannot change yanshu, so neither
// goes stale.
//
// yanshu_rank holds the name's ranked keys, each a tier's letter and a
// text that typed text is sought at the start of, in the list's order:
//   a  the name as read: 张三 is "zhang 张san 三", 曾晓明 "zeng 曾xiao 晓ming 明",
//      a Latin name its letters. Typed text is read the same way, so that
//      张 and zh both find 张三, the exact name first; with nothing typed,
//      these are the whole list, in the order of the names' pinyin.
//   b  the name's pinyin in the common readings of its characters, then a
//      blank and the name: "zhangsan 张三" (曾晓明 gives zengxiaoming and
//      cengxiaoming)
//   c  the pinyin in readings found only in the old dictionaries: 方 fang as
//      wang, 英 ying as yang
//   d  the initials: zs
// yanshu_find holds the keys everything else is found by, anywhere in them.

// The form typed text and keys are compared in: letters in lower case,
// blanks and dashes dropped ("Zhang S" → "zhangs", "138-0013" → "1380013").
QString searchForm(QStringView text);

// Where a contact of this name stands in the whole list: its key of tier a.
QString listKey(const QString& name);

// Every ranked key of a name, tier by tier. Each is taken from the first few
// dozen characters of the name, and a name with many polyphonic characters
// has no more than a few of each tier.
QStringList rankKeys(const QString& name);

// Everything else a contact is found by, one part after another: the name
// and the two characters from each of its Han characters, its pinyin, the
// digits of each telephone, the e-mail address and the employer, and the
// telephones, e-mail addresses and ids among the contact's extras (the first
// maxKeyedExtras of extraSearchTexts, already in search form). Each is taken
// from the first few dozen characters of its text, so that the keys have a
// fixed ceiling whatever the texts hold.
inline constexpr int maxKeyedExtras = 16;
QString searchKeys(const QString& name, std::span<const QString> telephones, const QString& email,
                   const QString& employer, const QStringList& extras = {});

// The tiers of the list, in the order it shows them; a contact is shown
// once, in the first tier that finds it.
enum class Tier { Name, Pinyin, RarePinyin, Initials, Anywhere };
inline constexpr int tierCount = 5;

// What a typed text is sought as.
class Sought {
public:
    explicit Sought(const QString& typed);

    bool everyone() const { return form_.isEmpty(); }
    // The start of the ranked keys of a tier that the text finds; empty for
    // a tier where it finds nobody (and for Anywhere).
    const QString& prefix(Tier tier) const { return prefixes_[int(tier)]; }
    // What is sought anywhere in the keys of yanshu_find: the text (as much
    // of it as the keys hold of a text); one or two characters only at the
    // start of a part, since they would be in nearly everyone's keys
    // anywhere ("zs" is in "lizsa@…").
    const QString& anywhere() const { return anywhere_; }
    // The key by which a contact of this name is found ahead of any other of
    // its keys: the least of the first tier that finds it; empty when the
    // text finds none of its ranked keys.
    QString bestKey(const QString& name) const;

private:
    QString form_;
    QString prefixes_[tierCount];
    QString anywhere_;
};

void defineSearchFunctions(db::Connection& connection);

// Contacts added from now on are indexed by their trigrams only when
// catchUpSearchIndex comes, all in one statement; in a transaction that
// ends with it.
void deferSearchIndex(db::Connection& connection);
// Indexes those, asking `keepGoing` as it goes: false stops it, and
// nothing is written. It leaves a temporary table as large as the keys it
// wrote, for Connection::discardTemporaries once the transaction has ended.
bool catchUpSearchIndex(db::Connection& connection, const std::function<bool()>& keepGoing = {});

// The page cache, in KiB, for the steps of a large write that would
// otherwise hold the whole cache at once: a sort's runs, a commit.
inline constexpr int smallCacheKiB = 2048;

// After many contacts have been written at once: the index of trigrams is
// merged now, a bounded piece at a time, asking `keepGoing` between pieces
// (false stops it), rather than by each of the next writes the user makes.
// A few writes need no tidying.
inline constexpr int manyWrites = 1000;
bool tidySearchIndex(db::Connection& connection, const std::function<bool()>& keepGoing = {});

} // namespace contacts
