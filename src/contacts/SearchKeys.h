#pragma once

#include <QString>

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
// the name itself, so that 李 comes before 林 and 张三 next to 章三.
QString sortKey(const QString& name);

// Everything a contact is found by, one part after another: the name, each
// of its pinyin spellings in full and in initials (every reading of every
// character: 曾 gives zeng and ceng), the digits of each telephone, the
// e-mail address and the employer.
QString searchKeys(const QString& name, std::span<const QString> telephones, const QString& email,
                   const QString& employer);

void defineSearchFunctions(db::Connection& connection);

} // namespace contacts
