#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <vector>

namespace contacts {

// The 21 texts of a contact in the column table's order, GR_XM to GR_BZ.
enum class Field {
    Name,
    Sex,
    Birth,
    Pager,
    Icq,
    Qq,
    Msn,
    Email,
    HomePhone,
    WorkPhone,
    Mobile,
    Fax,
    HomePostcode,
    HomeAddress,
    WorkPostcode,
    Employer,
    WorkAddress,
    JobTitle,
    WorkFax,
    WebPage,
    Notes,
};
inline constexpr int fieldCount = 21;

// A property of a contact that no column holds (a second mobile, a WeChat
// id, a nickname), kept whole as a vCard writes it so that it goes back
// out as it came in.
struct Extra {
    QString group;  // "item1": ties it to its label (X-ABLabel); mostly none
    QString name;   // TEL, NICKNAME, X-WECHAT … in upper case
    QString params; // "TYPE=cell,voice;PREF=1": no ENCODING or CHARSET
    QString value;  // escaped as vCard 4.0 writes it ("a\,b", "\n")

    bool operator==(const Extra&) const = default;
};

// One contact card: its number and its texts, with the identity and time
// of change the store keeps for it.
struct Contact {
    qint64 id = 0;
    std::array<QString, fieldCount> fields;
    QString uid;               // made on insert, kept for good
    QString rev;               // UTC time of the last change, ISO 8601
    std::vector<Extra> extras; // where a writer or reader deals in them

    QString& operator[](Field f) { return fields[std::size_t(f)]; }
    const QString& operator[](Field f) const { return fields[std::size_t(f)]; }
};

} // namespace contacts
