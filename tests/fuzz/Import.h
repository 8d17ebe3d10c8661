#pragma once

// What an import does with what a reader gives, short of the database.

#include "contacts/SearchKeys.h"
#include "interchange/Mapping.h"

#include <cstdlib>

// A contact as the import stores it, with the list's keys the book's
// triggers make of it.
inline void makeStored(const interchange::Entry& entry) {
    using interchange::Field;
    const auto fields = interchange::storedFields(entry);
    const auto at = [&](Field field) { return fields[std::size_t(field)]; };
    const QString telephones[] = {at(Field::Mobile), at(Field::HomePhone), at(Field::WorkPhone),
                                  at(Field::Fax), at(Field::WorkFax)};
    contacts::sortKey(at(Field::Name));
    contacts::searchKeys(at(Field::Name), telephones, at(Field::Email), at(Field::Employer));
}

// The reader's position, which the import shows as its progress: it only
// moves on, and never past the end.
class Progress {
public:
    explicit Progress(qsizetype end)
        : end_(end) {}
    void at(qsizetype position) {
        if (position < position_ || position > end_) {
            std::abort();
        }
        position_ = position;
    }

private:
    qsizetype end_;
    qsizetype position_ = 0;
};
