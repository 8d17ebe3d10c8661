#pragma once

#include "Entry.h"

#include <QStringView>

#include <array>
#include <vector>

namespace interchange {

// How a column of the card travels in a vCard: the property it is written
// as, with its types, and for an address the component it fills.
struct FieldMapping {
    Field field;
    QStringView property; // FN, GENDER, TEL … (GENDER is X-GENDER before 4.0)
    QStringView types;    // comma separated, lower case
    int part = -1;        // ADR: 2 the street, 5 the postal code
};

// Every column, in the column table's order.
extern const std::array<FieldMapping, fieldCount> fieldMappings;

// The ADR components.
enum AdrPart { PoBox, Extended, Street, Locality, Region, PostalCode, Country, AdrParts };

// Makes a contact of the items of one card or row. Each item goes to its
// column while that is free; the rest become extras, kept whole, or, for
// pictures and sounds, notTaken.
Entry toEntry(const std::vector<Item>& items);

// Where each column of a card came from, to be written back in its place.
Origins columnOrigins(const std::vector<Item>& items);

// The name a card's structured name gives: 张三, but John Smith.
QString nameOfParts(const QStringList& n);

// A time stamp of any of the forms vCards use (20240101T000000Z,
// 2024-01-01T00:00:00Z, with a zone or fractions) as this program keeps
// REV: ISO 8601 UTC with milliseconds. Empty when it is no time.
QString normalizedRev(QStringView text);

// A birth date as a file gives it: a full date in the ISO form
// yyyy-MM-dd, anything else as it stands.
QString birthFromFile(QStringView text);

// Whether the text holds a Han character (the naming order follows).
bool hasHan(QStringView text);

} // namespace interchange
