#include "SyncStore.h"

#include "platform/db/Connection.h"
#include "platform/db/Statement.h"
#include "platform/db/Transaction.h"

namespace carddav {

namespace {

CardState stateOf(const db::Statement& row) {
    return {row.text(0),
            QUrl(row.text(1)),
            row.text(2).toUtf8(),
            row.value(3).toByteArray(),
            row.value(4).toByteArray(),
            row.text(5)};
}

constexpr char stateColumns[] = "SELECT UID, href, etag, agreed, card, rev FROM yanshu_sync ";

} // namespace

QString passwordKey(const Account& account) {
    return QStringLiteral("carddav:%1@%2").arg(account.user, account.server.toString());
}

SyncStore::SyncStore(db::Connection& connection)
    : connection_(connection) {
    connection_.execute(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS yanshu_sync_account (one INTEGER PRIMARY KEY CHECK (one = 1), "
        "server TEXT NOT NULL, book TEXT NOT NULL, user TEXT NOT NULL, "
        "token TEXT NOT NULL DEFAULT '', synced TEXT NOT NULL DEFAULT '', "
        "automatic INTEGER NOT NULL DEFAULT 0);"
        "CREATE TABLE IF NOT EXISTS yanshu_sync_log (at TEXT NOT NULL, said TEXT NOT NULL);"
        "CREATE TABLE IF NOT EXISTS yanshu_sync (UID TEXT PRIMARY KEY, "
        "href TEXT NOT NULL UNIQUE, etag TEXT NOT NULL DEFAULT '', agreed BLOB NOT NULL, "
        "card BLOB NOT NULL DEFAULT x'', rev TEXT NOT NULL DEFAULT '')"));
    // Books that synced before states kept the time of change: checked in
    // full once, as their contacts are found unchanged.
    db::Statement hasRev(connection_, QStringLiteral("SELECT 1 FROM pragma_table_info("
                                                     "'yanshu_sync') WHERE name = 'rev'"));
    if (!hasRev.step()) {
        connection_.execute(
            QStringLiteral("ALTER TABLE yanshu_sync ADD COLUMN rev TEXT NOT NULL DEFAULT ''"));
    }
}

std::optional<Account> SyncStore::account() {
    return accountOf(connection_);
}

std::optional<Account> SyncStore::accountOf(db::Connection& connection) {
    db::Statement made(connection, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = "
                                                  "'table' AND name = 'yanshu_sync_account'"));
    if (!made.step()) {
        return std::nullopt;
    }
    db::Statement read(connection, QStringLiteral("SELECT server, book, user, token, synced, "
                                                  "automatic FROM yanshu_sync_account"));
    if (!read.step()) {
        return std::nullopt;
    }
    return Account{QUrl(read.text(0)), QUrl(read.text(1)), read.text(2),
                   read.text(3),       read.text(4),       read.integer(5) != 0};
}

void SyncStore::setAccount(const Account& account) {
    db::Transaction transaction(connection_);
    const std::optional<Account> before = this->account();
    if (!before || before->server != account.server || before->book != account.book) {
        connection_.execute(QStringLiteral("DELETE FROM yanshu_sync"));
    }
    db::Statement write(connection_, QStringLiteral("INSERT OR REPLACE INTO yanshu_sync_account "
                                                    "VALUES (1, ?, ?, ?, ?, ?, ?)"));
    const bool same = before && before->server == account.server && before->book == account.book;
    write.bind(1, account.server.toString());
    write.bind(2, account.book.toString());
    write.bind(3, account.user);
    write.bind(4, same ? account.token : QString());
    write.bind(5, same ? account.synced : QString());
    write.bind(6, qint64(account.automatic));
    write.run();
    transaction.commit();
}

void SyncStore::setProgress(const QString& token, const QString& synced) {
    db::Statement write(connection_,
                        QStringLiteral("UPDATE yanshu_sync_account SET token = ?, synced = ?"));
    write.bind(1, token);
    write.bind(2, synced);
    write.run();
}

std::optional<CardState> SyncStore::byUid(const QString& uid) {
    db::Statement read(connection_, QLatin1String(stateColumns) + QStringLiteral("WHERE UID = ?"));
    read.bind(1, uid);
    return read.step() ? std::optional(stateOf(read)) : std::nullopt;
}

std::optional<CardState> SyncStore::byUrl(const QUrl& url) {
    db::Statement read(connection_, QLatin1String(stateColumns) + QStringLiteral("WHERE href = ?"));
    read.bind(1, url.toString());
    return read.step() ? std::optional(stateOf(read)) : std::nullopt;
}

QList<QUrl> SyncStore::urls() {
    db::Statement read(connection_, QStringLiteral("SELECT href FROM yanshu_sync"));
    QList<QUrl> urls;
    while (read.step()) {
        urls << QUrl(read.text(0));
    }
    return urls;
}

qint64 SyncStore::count() {
    db::Statement read(connection_, QStringLiteral("SELECT count(*) FROM yanshu_sync"));
    return read.step() ? read.integer(0) : 0;
}

void SyncStore::put(const CardState& state) {
    // A card at that address under another UID is that card no more.
    db::Statement write(connection_, QStringLiteral("INSERT OR REPLACE INTO yanshu_sync "
                                                    "VALUES (?, ?, ?, ?, ?, ?)"));
    write.bind(1, state.uid);
    write.bind(2, state.url.toString());
    write.bind(3, QString::fromUtf8(state.etag));
    write.bind(4, state.agreed);
    write.bind(5, state.card);
    write.bind(6, state.rev);
    write.run();
}

QStringList SyncStore::toCheck(const QString& since) {
    db::Statement read(connection_,
                       QStringLiteral("SELECT y.UID FROM yanshu AS y LEFT JOIN yanshu_sync AS s "
                                      "ON s.UID = y.UID WHERE s.UID IS NULL OR s.rev IS NOT "
                                      "y.REV OR y.REV >= ?"));
    read.bind(1, since);
    QStringList uids;
    while (read.step()) {
        uids << read.text(0);
    }
    return uids;
}

void SyncStore::setRev(const QString& uid, const QString& rev) {
    db::Statement write(connection_,
                        QStringLiteral("UPDATE yanshu_sync SET rev = ? WHERE UID = ?"));
    write.bindAll({rev, uid});
    write.run();
}

void SyncStore::addToLog(const SyncLogEntry& entry) {
    db::Transaction transaction(connection_);
    db::Statement write(connection_, QStringLiteral("INSERT INTO yanshu_sync_log VALUES (?, ?)"));
    write.bind(1, entry.at.toUTC().toString(Qt::ISODateWithMs));
    write.bind(2, entry.said);
    write.run();
    db::Statement trim(connection_, QStringLiteral("DELETE FROM yanshu_sync_log WHERE rowid <= "
                                                   "(SELECT max(rowid) FROM yanshu_sync_log) - ?"));
    trim.bind(1, qint64(logKept));
    trim.run();
    transaction.commit();
}

QList<SyncLogEntry> SyncStore::log() {
    db::Statement read(connection_,
                       QStringLiteral("SELECT at, said FROM yanshu_sync_log ORDER BY rowid DESC"));
    QList<SyncLogEntry> entries;
    while (read.step()) {
        entries.append({QDateTime::fromString(read.text(0), Qt::ISODateWithMs), read.text(1)});
    }
    return entries;
}

void SyncStore::drop(const QString& uid) {
    db::Statement write(connection_, QStringLiteral("DELETE FROM yanshu_sync WHERE UID = ?"));
    write.bind(1, uid);
    write.run();
}

} // namespace carddav
