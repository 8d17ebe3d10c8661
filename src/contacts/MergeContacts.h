#pragma once

#include "Book.h"
#include "Contact.h"

#include <array>
#include <optional>
#include <vector>

namespace contacts {

// Contacts that are one person made one: the oldest (the first of the
// group, by row) keeps its UID and number, so that a sync and the next
// import see a change, not a new person; the others go as deletions do,
// tombstone and kept card, so that a sync deletes them too.

// For each field, the contact of the group the merged card takes it from;
// -1 where none has a value.
using Choices = std::array<int, fieldCount>;

// Where the contacts agree, or only one has a value, that one; where they
// differ, the most recently changed of those that have one.
Choices defaultChoices(const std::vector<StoredContact>& group);
// Whether contacts of the group hold different values in the field.
bool differs(const std::vector<StoredContact>& group, Field field);

// The merged card: each field as chosen, every other contact's extras
// that the card lacks, and each value not chosen kept in 其他信息, so that
// nothing any of them held is lost.
Contact mergedContact(const std::vector<StoredContact>& group, const Choices& choices);

// The contact of the group that holds every value and extra the others
// hold, where there is one: merging into it needs no choice.
std::optional<std::size_t> holderOfAll(const std::vector<StoredContact>& group);

// What a merge changed, to undo it whole.
struct Merged {
    StoredContact before; // the oldest as it was
    std::vector<QString> removed;
};
// Writes the merged card over the oldest and deletes the others, in one
// transaction.
Merged merge(db::Connection& connection, Book& book, const std::vector<StoredContact>& group,
             const Contact& merged);
// Puts the group back as it was before the merge; the rows it now has, the
// oldest's first (the others come back in rows of their own).
std::vector<qint64> unmerge(db::Connection& connection, Book& book, const Merged& merged);

} // namespace contacts
