#pragma once

#include <QString>

#include <array>
#include <cstddef>

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

// One contact card: its number and its texts, with the identity and time
// of change the store keeps for it.
struct Contact {
    qint64 id = 0;
    std::array<QString, fieldCount> fields;
    QString uid; // made on insert, kept for good
    QString rev; // UTC time of the last change, ISO 8601

    QString& operator[](Field f) { return fields[std::size_t(f)]; }
    const QString& operator[](Field f) const { return fields[std::size_t(f)]; }
};

} // namespace contacts
