#pragma once

// What an import does with what a reader gives, short of the database.

#include "contacts/Extras.h"
#include "contacts/SearchKeys.h"
#include "interchange/Mapping.h"
#include "interchange/VCard.h"

#include <cstdlib>

// A contact as the import stores it, with the list's keys the book's
// triggers make of it and its extras as 其他信息 shows them. Written back
// as a card of each version, it reads again as one card: nothing kept
// makes a card or a broken line of its own.
inline void makeStored(const interchange::Entry& entry) {
    using interchange::Field;
    const auto at = [&](Field field) { return entry[field]; };
    const QString telephones[] = {at(Field::Mobile), at(Field::HomePhone), at(Field::WorkPhone),
                                  at(Field::Fax), at(Field::WorkFax)};
    QString lines;
    for (const contacts::Extra& extra : entry.extras) {
        lines += extra.name + u':' + extra.value + u'\n';
        contacts::extraText(extra);
    }
    contacts::extraLabels(entry.extras);
    contacts::rankKeys(at(Field::Name));
    contacts::searchKeys(at(Field::Name), telephones, at(Field::Email), at(Field::Employer),
                         contacts::extraSearchTexts(lines));
    const contacts::Contact contact{0, entry.fields, entry.uid, {}, entry.extras};
    for (const auto version : {interchange::VCardVersion::V30, interchange::VCardVersion::V21}) {
        const QByteArray card = interchange::writeVCard(contact, version);
        interchange::VCardReader again(card);
        if (!again.next() || again.next() || !again.errors().empty()) {
            std::abort();
        }
    }
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
