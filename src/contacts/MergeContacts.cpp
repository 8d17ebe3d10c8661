#include "MergeContacts.h"

#include "ContactColumns.h"
#include "Extras.h"

#include "platform/db/Transaction.h"

#include <algorithm>
#include <iterator>

namespace contacts {

namespace {

const QString& valueOf(const StoredContact& stored, std::size_t field) {
    return stored.contact.fields[field];
}

// A value the merged card does not take, as 其他信息 keeps it: a number or
// an id as its kind of line, anything else under its caption.
Extra keptValue(std::size_t field, const QString& value) {
    struct Kept {
        Field field;
        QStringView name;
        QStringView params;
    };
    static constexpr Kept kinds[] = {
        {Field::Mobile, u"TEL", u"TYPE=cell"},
        {Field::HomePhone, u"TEL", u"TYPE=home,voice"},
        {Field::WorkPhone, u"TEL", u"TYPE=work,voice"},
        {Field::Fax, u"TEL", u"TYPE=fax"},
        {Field::WorkFax, u"TEL", u"TYPE=work,fax"},
        {Field::Pager, u"TEL", u"TYPE=pager"},
        {Field::Email, u"EMAIL", u"TYPE=internet"},
        {Field::Qq, u"X-QQ", u""},
        {Field::Icq, u"X-ICQ", u""},
        {Field::Msn, u"X-MSN", u""},
        {Field::WebPage, u"URL", u""},
    };
    for (const Kept& kind : kinds) {
        if (std::size_t(kind.field) == field) {
            return {{}, kind.name.toString(), kind.params.toString(), escapedValue(value)};
        }
    }
    return labelledNote(textColumns[field].caption.trimmed().toString(), value);
}

bool holdsAll(const StoredContact& holder, const StoredContact& other) {
    for (std::size_t f = 0; f < std::size_t(fieldCount); ++f) {
        if (!valueOf(other, f).isEmpty() && valueOf(other, f) != valueOf(holder, f)) {
            return false;
        }
    }
    return std::ranges::all_of(other.contact.extras, [&](const Extra& extra) {
        return std::ranges::find(holder.contact.extras, extra) != holder.contact.extras.end();
    });
}

} // namespace

bool differs(const std::vector<StoredContact>& group, Field field) {
    const QString* first = nullptr;
    for (const StoredContact& stored : group) {
        const QString& value = valueOf(stored, std::size_t(field));
        if (value.isEmpty()) {
            continue;
        }
        if (first && *first != value) {
            return true;
        }
        first = &value;
    }
    return false;
}

Choices defaultChoices(const std::vector<StoredContact>& group) {
    Choices choices;
    for (std::size_t f = 0; f < std::size_t(fieldCount); ++f) {
        int chosen = -1;
        for (std::size_t i = 0; i < group.size(); ++i) {
            // REV is ISO 8601 in UTC, which sorts as it runs.
            if (!valueOf(group[i], f).isEmpty() &&
                (chosen < 0 || group[i].contact.rev > group[std::size_t(chosen)].contact.rev)) {
                chosen = int(i);
            }
        }
        choices[f] = chosen;
    }
    return choices;
}

Contact mergedContact(const std::vector<StoredContact>& group, const Choices& choices) {
    Contact merged = group.front().contact;
    merged.rev.clear(); // changed now
    std::vector<Extra> kept;
    for (std::size_t f = 0; f < std::size_t(fieldCount); ++f) {
        merged.fields[f] = choices[f] < 0 ? QString() : valueOf(group[std::size_t(choices[f])], f);
        for (const StoredContact& stored : group) {
            const QString& value = valueOf(stored, f);
            const Extra line = keptValue(f, value);
            if (!value.isEmpty() && value != merged.fields[f] &&
                std::ranges::find(kept, line) == kept.end()) {
                kept.push_back(line);
            }
        }
    }
    for (auto stored = std::next(group.begin()); stored != group.end(); ++stored) {
        for (const Extra& extra : stored->contact.extras) {
            if (std::ranges::find(merged.extras, extra) == merged.extras.end()) {
                merged.extras.push_back(extra);
            }
        }
    }
    for (Extra& line : kept) {
        if (std::ranges::find(merged.extras, line) == merged.extras.end()) {
            merged.extras.push_back(std::move(line));
        }
    }
    return merged;
}

std::optional<std::size_t> holderOfAll(const std::vector<StoredContact>& group) {
    for (std::size_t i = 0; i < group.size(); ++i) {
        if (std::ranges::all_of(
                group, [&](const StoredContact& other) { return holdsAll(group[i], other); })) {
            return i;
        }
    }
    return std::nullopt;
}

Merged merge(db::Connection& connection, Book& book, const std::vector<StoredContact>& group,
             const Contact& merged) {
    db::Transaction transaction(connection);
    Merged done{group.front(), {}};
    book.replace(group.front().row, merged, Book::Extras::Replace);
    for (auto other = std::next(group.begin()); other != group.end(); ++other) {
        book.remove(other->row);
        done.removed.push_back(other->contact.uid);
    }
    transaction.commit();
    return done;
}

std::vector<qint64> unmerge(db::Connection& connection, Book& book, const Merged& merged) {
    db::Transaction transaction(connection);
    std::vector<qint64> rows{merged.before.row};
    book.replace(merged.before.row, merged.before.contact, Book::Extras::Replace);
    for (const QString& uid : merged.removed) {
        if (const std::optional<qint64> row = book.putBack(uid)) {
            rows.push_back(*row);
        }
    }
    transaction.commit();
    return rows;
}

} // namespace contacts
