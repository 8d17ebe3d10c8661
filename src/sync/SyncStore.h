#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace db {
class Connection;
}

namespace carddav {

// The address book a book syncs with, and how far it has read it.
struct Account {
    QUrl server; // as the user gave it
    QUrl book;   // the address book chosen on it
    QString user;
    QString token;          // the server's sync token after the last sync; empty: read everything
    QString synced;         // when the last sync ended (ISO 8601 UTC); empty: never
    bool automatic = false; // synced at login and at exit too
};

// A sync as the log keeps it: when it ended, and what it said.
struct SyncLogEntry {
    QDateTime at;
    QString said;
};

// Where the system's password store keeps the account's password.
QString passwordKey(const Account& account);

// What a contact and its card on the server last agreed on: where the
// card is, its version (ETag) and the card as both had it, in the form
// cardText gives (no REV), which a three-way merge starts from. `card` is
// that version as the server has it, for a card another client wrote;
// empty for one this program wrote its own way. `rev` is the contact's
// time of change (REV) when it was as `agreed` says; empty if unknown.
struct CardState {
    QString uid;
    QUrl url;
    QByteArray etag;
    QByteArray agreed;
    QByteArray card;
    QString rev;
};

// The one writer of the sync's tables (yanshu_sync_account and
// yanshu_sync), made in the book's file on first use; the contacts stay
// the Book's.
class SyncStore {
public:
    explicit SyncStore(db::Connection& connection);

    std::optional<Account> account();
    // The book's account, if it has one, read without making the tables:
    // a book that never synced stays as it is.
    static std::optional<Account> accountOf(db::Connection& connection);
    // Another address book (or server) starts again from nothing.
    void setAccount(const Account& account);
    void setProgress(const QString& token, const QString& synced);

    std::optional<CardState> byUid(const QString& uid);
    std::optional<CardState> byUrl(const QUrl& url);
    // The addresses of every card the book knows, and how many there are.
    QList<QUrl> urls();
    qint64 count();
    void put(const CardState& state);
    void drop(const QString& uid);
    // The UIDs of the contacts that may differ from what they last agreed:
    // new ones, ones whose time of change is not the agreed one's, and ones
    // changed at or after `since` (times of change can repeat).
    QStringList toCheck(const QString& since);
    // The contact of the UID is as agreed at this time of change.
    void setRev(const QString& uid, const QString& rev);

    // The last syncs, the newest first; the log keeps logKept.
    static constexpr int logKept = 100;
    void addToLog(const SyncLogEntry& entry);
    QList<SyncLogEntry> log();

private:
    db::Connection& connection_;
};

} // namespace carddav
