#pragma once

#include "contacts/Contact.h"
#include "interchange/VCard.h"

#include <QByteArray>
#include <QStringList>

#include <optional>

namespace carddav {

// A contact as a card both sides compare: vCard 4.0 without its time of
// change, which every write stamps anew.
QByteArray cardText(const contacts::Contact& contact);
// The contact a card on the server holds; none if it is no card.
std::optional<contacts::Contact> contactOfCard(const QByteArray& card);
// The card to write for the contact over the server's version `server`
// (empty if none or this program's own): a vCard of that version, each
// column that still holds what the server's card gave it written as the
// server had it (its group, its label, its parameters), where the card
// then reads back the same.
QByteArray cardFor(const contacts::Contact& contact, const QByteArray& server,
                   interchange::VCardVersion version = interchange::VCardVersion::V30);

// The version to write to a server that says it takes these (none: it
// does not say): 3.0, which phones read best, unless it names 4.0 only.
interchange::VCardVersion versionFor(const QStringList& versions);

struct Merged {
    contacts::Contact contact;
    QStringList conflicts; // the captions of the columns both changed
};

// What the book's contact (`ours`) and the server's card (`theirs`) make
// together, from what they last agreed on (`base`; none when they meet
// for the first time). A column only one side changed takes that side's
// value. Where both changed it differently, the book's stays and the
// server's is kept beside it, as a note labelled 服务器上的<caption>.
// Extras one side added are added, those one side removed go.
Merged merge(const std::optional<contacts::Contact>& base, const contacts::Contact& ours,
             const contacts::Contact& theirs);

} // namespace carddav
