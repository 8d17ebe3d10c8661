#pragma once

#include "platform/Progress.h"

#include <QString>

#include <vector>

namespace db {
class Connection;
}

namespace contacts {

// What makes contacts probably one person, strongest first. A mobile
// number, an e-mail address, a QQ number or a WeChat id is someone's own;
// a name, or its reading, is only a hint, which takes a second value the
// contacts share. A telephone, fax or address shared alone proves nothing:
// an office has many people.
enum class Evidence { Mobile, Email, Qq, WeChat, Name, Reading };

// Contacts (their rows in yanshu) that are probably one person, by the
// strongest evidence found between any two of them.
struct DuplicateGroup {
    std::vector<qint64> rows; // ascending: the first is the oldest
    Evidence evidence;
    QString reason; // 手机号相同：13800138000
};

// A value held by more contacts than this is no one's own (a shared
// mailbox, a company's switchboard typed as a mobile) and pairs nobody.
inline constexpr int maxSharing = 20;

// The book's groups of probable duplicates, strongest evidence first.
// Reads the whole book into temporary tables: `progress` hears how far it
// has come and can stop it (the work then fails as interrupted).
std::vector<DuplicateGroup> findDuplicates(db::Connection& connection,
                                           const platform::Progress& progress = {});

// The digits of a mobile number as it is dialled at home: +86, 0086 and
// blanks dropped; empty when too short to be one.
QString mobileDigits(QStringView number);

} // namespace contacts
