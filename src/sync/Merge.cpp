#include "Merge.h"

#include "contacts/ContactColumns.h"
#include "contacts/Extras.h"
#include "interchange/Mapping.h"
#include "interchange/VCard.h"

#include <algorithm>

namespace carddav {

QByteArray cardText(const contacts::Contact& contact) {
    contacts::Contact timeless = contact;
    timeless.rev.clear();
    timeless.id = 0;
    return interchange::writeVCard(timeless, interchange::VCardVersion::V40);
}

std::optional<contacts::Contact> contactOfCard(const QByteArray& card) {
    interchange::VCardReader reader{QByteArrayView(card)};
    const auto items = reader.next();
    if (!items) {
        return std::nullopt;
    }
    const interchange::Entry entry = interchange::toEntry(items->second);
    return contacts::Contact{0, entry.fields, entry.uid, entry.rev, entry.extras};
}

QByteArray cardFor(const contacts::Contact& contact, const QByteArray& server,
                   interchange::VCardVersion version) {
    QByteArray plain = interchange::writeVCard(contact, version);
    if (server.isEmpty()) {
        return plain;
    }
    interchange::VCardReader reader{QByteArrayView(server)};
    const auto items = reader.next();
    if (!items) {
        return plain;
    }
    QByteArray kept = interchange::writeVCard(contact, version, "UTF-8",
                                              interchange::columnOrigins(items->second));
    // A line that took its column by its place among the others (a number
    // of no kind) could read into another now: then the plain card.
    const std::optional<contacts::Contact> back = contactOfCard(kept);
    return back && cardText(*back) == cardText(contact) ? kept : plain;
}

interchange::VCardVersion versionFor(const QStringList& versions) {
    return versions.contains(QLatin1String("4.0")) && !versions.contains(QLatin1String("3.0"))
               ? interchange::VCardVersion::V40
               : interchange::VCardVersion::V30;
}

namespace {

bool contains(const std::vector<contacts::Extra>& extras, const contacts::Extra& extra) {
    return std::ranges::find(extras, extra) != extras.end();
}

} // namespace

Merged merge(const std::optional<contacts::Contact>& base, const contacts::Contact& ours,
             const contacts::Contact& theirs) {
    Merged merged{ours, {}};
    std::vector<contacts::Extra> notes;
    for (int i = 0; i < contacts::fieldCount; ++i) {
        const auto f = std::size_t(i);
        const QString& mine = ours.fields[f];
        const QString& other = theirs.fields[f];
        if (mine == other) {
            continue;
        }
        // Met for the first time, a side's empty column gives way.
        const bool theirsWins = base ? mine == base->fields[f] : mine.isEmpty();
        const bool oursStands = base ? other == base->fields[f] : other.isEmpty();
        if (theirsWins) {
            merged.contact.fields[f] = other;
        } else if (!oursStands && !other.isEmpty()) {
            const QString caption = contacts::textColumns[f].caption.trimmed().toString();
            merged.conflicts << caption;
            notes.push_back({{},
                             QStringLiteral("NOTE"),
                             QStringLiteral("X-LABEL=") +
                                 contacts::escapedValue(QStringLiteral("服务器上的") + caption),
                             contacts::escapedValue(other)});
        }
    }
    // Extras: ours, less those the server let go, plus those it added.
    const std::vector<contacts::Extra> none;
    const std::vector<contacts::Extra>& before = base ? base->extras : none;
    std::vector<contacts::Extra>& extras = merged.contact.extras;
    std::erase_if(extras, [&](const contacts::Extra& e) {
        return contains(before, e) && !contains(theirs.extras, e);
    });
    for (const contacts::Extra& e : theirs.extras) {
        if (!contains(before, e) && !contains(ours.extras, e)) {
            extras.push_back(e);
        }
    }
    for (const contacts::Extra& note : notes) {
        if (!contains(extras, note)) {
            extras.push_back(note);
        }
    }
    return merged;
}

} // namespace carddav
