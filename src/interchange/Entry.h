#pragma once

#include "contacts/Contact.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace interchange {

using contacts::Field;
using contacts::fieldCount;

// One piece of contact data as exchange files hold it, in vCard's terms
// whatever the file's format: a CSV column or two become one item too.
struct Item {
    QString name;        // FN, N, TEL, EMAIL, ADR … in upper case
    QStringList types;   // lower case: cell, home, work, fax, pager, voice …
    QStringList parts;   // the value, by component for N, ADR and ORG
    QString label;       // a CSV row's own name for its kind (a custom label)
    QString service;     // the network of an IMPP value: qq, icq, msn …
    bool binary = false; // a picture, sound or key, whose data is not taken
    // As a vCard wrote it, to be kept whole where no column takes it: its
    // group, its parameters ("TYPE=cell;PREF=1") and its value escaped as
    // 4.0 escapes; none for a CSV cell.
    QString group;
    QString params;
    QString raw;

    QString value() const { return parts.value(0); }
    bool hasType(QStringView type) const { return types.contains(type); }
};

// The lines of a file read otherwise than it says, in ascending order: as
// GBK where the value or the rest of the file is UTF-8, or with bytes no
// character set reads.
struct Decoding {
    std::vector<int> gbk;
    std::vector<int> refused;

    // Those up to the line, which are taken away.
    Decoding takeUpTo(int line) {
        Decoding taken;
        for (auto [from, to] : {std::pair{&gbk, &taken.gbk}, {&refused, &taken.refused}}) {
            const auto end = std::upper_bound(from->begin(), from->end(), line);
            to->assign(from->begin(), end);
            from->erase(from->begin(), end);
        }
        return taken;
    }
};

// A contact read from a file, ready to be stored.
struct Entry {
    std::array<QString, fieldCount> fields;
    QString uid;
    QString rev;                         // ISO 8601 UTC with milliseconds, or empty
    std::vector<contacts::Extra> extras; // data no column holds, in the file's order
    QStringList notTaken;                // binary data left out (photos), by name
    int line = 0;                        // where it starts in the file, from 1
    Decoding decoding;

    QString& operator[](Field f) { return fields[std::size_t(f)]; }
    const QString& operator[](Field f) const { return fields[std::size_t(f)]; }
};

// The property a column was read from, with the lines of its group that
// say more of it (an iPhone's label), as the card had them.
struct Origin {
    QString value; // what it gave the column
    std::vector<contacts::Extra> lines;
    int order = 0; // the property's place in the card
};
using Origins = std::array<std::optional<Origin>, fieldCount>;

// What could not be read, and where.
struct ReadError {
    int line;
    QString reason;
};

// The first `kept` of those, in the order read, and how many more there
// were: a file of nothing but faults takes no more memory than a good one.
class ReadErrors {
public:
    static constexpr std::size_t kept = 1000;

    void add(int line, QString reason) {
        if (list_.size() < kept) {
            list_.push_back({line, std::move(reason)});
        } else {
            ++more_;
        }
    }
    const std::vector<ReadError>& list() const { return list_; }
    qint64 more() const { return more_; }
    bool empty() const { return list_.empty(); }

private:
    std::vector<ReadError> list_;
    qint64 more_ = 0;
};

} // namespace interchange
