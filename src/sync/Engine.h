#pragma once

#include "CardDav.h"
#include "SyncStore.h"

#include "interchange/VCard.h"

#include <QDateTime>
#include <QStringList>

#include <functional>
#include <optional>

namespace db {
class Connection;
}
namespace contacts {
class Book;
struct Contact;
class BookChanges;
struct StoredContact;
} // namespace contacts

namespace carddav {

// What a sync did, here and on the server.
struct SyncReport {
    int added = 0;   // here: contacts new from the server
    int updated = 0; // here: contacts the server's cards changed
    int deleted = 0; // here: contacts deleted on the server
    int conflicts = 0;
    int uploaded = 0; // cards written to the server
    int removed = 0;  // cards deleted on the server
    int requests = 0;
    QStringList notes; // what the user should know, one line each

    // 新增 n，更新 n，删除 n，冲突 n
    QString summary() const;
};

// Two-way sync of the book with the account's address book (SyncStore):
//   1. The server's changes since the last sync (all of its cards when it
//      has no token, forgot it, or cannot say what changed) are read and
//      brought into the book, merged field by field with what changed here
//      since the two last agreed; then the sync token is kept, all in one
//      transaction.
//   2. What changed here goes up: new contacts as new cards, changed ones
//      only over the version last seen (If-Match); a card changed on the
//      server meanwhile (412) is read, merged and written again. Deletions
//      here delete the server's card unless it was changed there: an edit
//      on either side keeps the contact over a deletion on the other.
// Interrupted anywhere, the next sync finds what was written but not
// recorded by its UID, and neither duplicates nor loses anything.
// Throws DavError, or DbError from the book.
class SyncEngine {
public:
    // Asked before a sync deletes more than half of the contacts on one
    // side: the number it would delete and how many there are; false stops
    // the sync, with nothing changed.
    using Confirm = std::function<bool(qint64 deleting, qint64 of)>;
    using Now = std::function<QDateTime()>;

    SyncEngine(db::Connection& book, CardDavClient& dav, Confirm confirm = {},
               contacts::BookChanges* changes = nullptr, Now now = &QDateTime::currentDateTimeUtc);
    SyncReport run();

    // Cards read at a time.
    static constexpr int readBatch = 100;

private:
    struct Remote;
    Remote readRemote(Account& account);
    void bringIn(const Remote& remote, Account& account, SyncReport& report);
    void sendOut(const Account& account, SyncReport& report);
    // Brings a card read from the server into the book.
    void take(contacts::Book& book, const RemoteCard& card, SyncReport& report);
    // Merges the server's card into the book's contact from what they last
    // agreed on, writing the row if it changes; the columns both changed.
    QStringList mergeInto(contacts::Book& book, contacts::StoredContact& local,
                          const std::optional<CardState>& state, const contacts::Contact& theirs,
                          SyncReport& report);
    // Writes a contact of the book to the server, merging as needed.
    void upload(contacts::Book& book, const Account& account, contacts::StoredContact local,
                std::optional<CardState> state, SyncReport& report);

    // The vCard version the server takes, asked before the first write.
    interchange::VCardVersion versionOf(const Account& account);

    db::Connection& connection_;
    CardDavClient& dav_;
    Confirm confirm_;
    contacts::BookChanges* changes_;
    Now now_;
    SyncStore store_;
    std::optional<interchange::VCardVersion> version_;
};

} // namespace carddav
