#include "Engine.h"

#include "Merge.h"

#include "contacts/Backups.h"
#include "contacts/Book.h"
#include "interchange/VCard.h"
#include "platform/db/Connection.h"
#include "platform/db/Statement.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSet>
#include <QUuid>

namespace carddav {

QString SyncReport::summary() const {
    return QStringLiteral("新增 %1，更新 %2，删除 %3，冲突 %4")
        .arg(added)
        .arg(updated)
        .arg(deleted)
        .arg(conflicts);
}

struct SyncEngine::Remote {
    QList<RemoteCard> changed; // address and version only
    QList<QUrl> removed;
    QString token;
};

namespace {

// Where a new contact's card goes: its UID where that makes a safe name,
// else a hash of it.
QUrl cardUrl(const QUrl& book, const QString& uid) {
    static const QRegularExpression safe(QStringLiteral("^[A-Za-z0-9._-]{1,100}$"));
    const QString name =
        safe.match(uid).hasMatch()
            ? uid
            : QString::fromLatin1(
                  QCryptographicHash::hash(uid.toUtf8(), QCryptographicHash::Sha1).toHex());
    QUrl folder = book;
    if (!folder.path().endsWith(u'/')) {
        folder.setPath(folder.path() + u'/');
    }
    return folder.resolved(QUrl(name + QStringLiteral(".vcf")));
}

bool sameContent(const contacts::Contact& a, const contacts::Contact& b) {
    return a.fields == b.fields && a.extras == b.extras;
}

// The contact of that UID with its extras, if the book has it.
std::optional<contacts::StoredContact> withExtras(contacts::Book& book, const QString& uid) {
    std::optional<contacts::StoredContact> found = book.byUid(uid);
    if (found) {
        found->contact.extras = book.extrasOf(uid);
    }
    return found;
}

QString nameOf(const contacts::Contact& contact) {
    const QString& name = contact[contacts::Field::Name];
    return name.isEmpty() ? QStringLiteral("（无名）") : name;
}

} // namespace

SyncEngine::SyncEngine(db::Connection& book, CardDavClient& dav, Confirm confirm,
                       contacts::BookChanges* changes, Now now)
    : connection_(book)
    , dav_(dav)
    , confirm_(std::move(confirm))
    , changes_(changes)
    , now_(std::move(now))
    , store_(book) {}

SyncReport SyncEngine::run() {
    std::optional<Account> account = store_.account();
    if (!account) {
        throw DavError(DavError::Kind::NotFound, QStringLiteral("还没有设置同步账户。"));
    }
    // Rows another program wrote have no UID yet: a card needs one.
    contacts::Book(connection_, changes_, now_).identifyAll();
    SyncReport report;
    const Remote remote = readRemote(*account);
    bringIn(remote, *account, report);
    sendOut(*account, report);
    store_.setProgress(remote.token, contacts::Book::revOf(now_()));
    report.requests = dav_.requests();
    return report;
}

SyncEngine::Remote SyncEngine::readRemote(Account& account) {
    Remote remote;
    const auto collect = [&](const QString& from) {
        remote = {};
        for (QString token = from;;) {
            const Changes changes = dav_.changesSince(account.book, token);
            remote.changed << changes.changed;
            remote.removed << changes.removed;
            remote.token = changes.token;
            // More to read only while the server moves on.
            if (!changes.more || changes.token.isEmpty() || changes.token == token) {
                return;
            }
            token = changes.token;
        }
    };
    if (!account.token.isEmpty()) {
        try {
            collect(account.token);
            return remote;
        } catch (const DavError& e) {
            if (e.kind() != DavError::Kind::InvalidToken) {
                throw;
            }
        }
    }
    // Everything, by sync-collection or else by the listing of ETags.
    try {
        collect({});
    } catch (const DavError& e) {
        if (e.kind() != DavError::Kind::Unsupported) {
            throw;
        }
        remote = {};
        remote.changed = dav_.listCards(account.book);
    }
    // Cards the book knew that the server no longer has are gone.
    QSet<QString> listed;
    for (const RemoteCard& card : remote.changed) {
        listed << card.url.toString();
    }
    for (const QUrl& url : store_.urls()) {
        if (!listed.contains(url.toString())) {
            remote.removed << url;
        }
    }
    return remote;
}

void SyncEngine::bringIn(const Remote& remote, Account& account, SyncReport& report) {
    contacts::Book book(connection_, changes_, now_);
    QList<QUrl> toRead;
    for (const RemoteCard& card : remote.changed) {
        const std::optional<CardState> state = store_.byUrl(card.url);
        if (!state || card.etag.isEmpty() || state->etag != card.etag) {
            toRead << card.url;
        }
    }
    // Deleted there: gone here too, unless changed here since.
    struct Gone {
        QString uid;
        std::optional<contacts::StoredContact> contact;
        bool changedHere = false;
    };
    std::vector<Gone> gone;
    qint64 deleting = 0;
    for (const QUrl& url : remote.removed) {
        const std::optional<CardState> state = store_.byUrl(url);
        if (state) {
            Gone g{state->uid, withExtras(book, state->uid)};
            if (g.contact) {
                g.changedHere = cardText(g.contact->contact) != state->agreed;
                deleting += !g.changedHere;
            }
            gone.push_back(std::move(g));
        }
    }
    db::Statement count(connection_, QStringLiteral("SELECT count(*) FROM yanshu"));
    const qint64 contacts = count.step() ? count.integer(0) : 0;
    if (deleting * 2 > contacts && confirm_ && !confirm_(deleting, contacts)) {
        throw DavError(DavError::Kind::Cancelled,
                       QStringLiteral("同步已取消，没有删除任何联系人。"));
    }
    if (account.synced.isEmpty() || deleting > 0) {
        contacts::takeBackup(connection_, now_().toLocalTime());
    }

    contacts::Book::Batch batch(book);
    for (const Gone& g : gone) {
        store_.drop(g.uid);
        if (!g.contact) {
            continue; // deleted on both sides
        }
        if (g.changedHere) {
            // Offered back: with no state it goes up as a new card.
            report.notes << QStringLiteral(
                                "“%1”在服务器上已被删除，但在本机修改过，已保留并重新上传。")
                                .arg(nameOf(g.contact->contact));
        } else {
            book.remove(g.contact->row);
            ++report.deleted;
        }
    }
    for (qsizetype i = 0; i < toRead.size(); i += readBatch) {
        for (const RemoteCard& card : dav_.readCards(account.book, toRead.mid(i, readBatch))) {
            take(book, card, report);
        }
    }
    store_.setProgress(remote.token, account.synced);
    batch.commit();
}

void SyncEngine::take(contacts::Book& book, const RemoteCard& card, SyncReport& report) {
    std::optional<contacts::Contact> theirs = contactOfCard(card.data);
    if (!theirs) {
        report.notes
            << QStringLiteral("服务器上的“%1”不是联系人名片，已跳过。").arg(card.url.fileName());
        return;
    }
    std::optional<CardState> state = store_.byUrl(card.url);
    if (theirs->uid.isEmpty()) {
        theirs->uid = state ? state->uid : contacts::Book::newUid();
    }
    if (state && state->uid != theirs->uid) {
        state.reset(); // another card now lives at that address
    }
    std::optional<contacts::StoredContact> local = withExtras(book, theirs->uid);
    CardState agreed{theirs->uid, card.url, card.etag, cardText(*theirs), card.data, {}};
    if (!local) {
        const bool deletedHere = state.has_value();
        if (deletedHere) {
            report.notes << QStringLiteral("“%1”在本机已删除，但在服务器上修改过，已恢复。")
                                .arg(nameOf(*theirs));
        }
        theirs->rev = book.stamp();
        book.add(*theirs);
        ++report.added;
        agreed.rev = theirs->rev;
        store_.put(agreed);
        return;
    }
    for (const QString& caption : mergeInto(book, *local, state, *theirs, report)) {
        report.notes << QStringLiteral("“%1”的%2在本机和服务器上都改过：保留了本机的，"
                                       "服务器上的记在“其他信息”里。")
                            .arg(nameOf(local->contact), caption);
    }
    // What stays of the book's own changes goes up next.
    if (cardText(local->contact) == agreed.agreed) {
        agreed.rev = local->contact.rev;
    }
    store_.put(agreed);
}

QStringList SyncEngine::mergeInto(contacts::Book& book, contacts::StoredContact& local,
                                  const std::optional<CardState>& state,
                                  const contacts::Contact& theirs, SyncReport& report) {
    const std::optional<contacts::Contact> base =
        state ? contactOfCard(state->agreed) : std::nullopt;
    Merged merged = merge(base, local.contact, theirs);
    if (!sameContent(merged.contact, local.contact)) {
        merged.contact.rev = book.stamp();
        book.replace(local.row, merged.contact, contacts::Book::Extras::Replace);
        ++report.updated;
        local.contact.fields = merged.contact.fields;
        local.contact.extras = merged.contact.extras;
        local.contact.rev = merged.contact.rev;
    }
    report.conflicts += int(merged.conflicts.size());
    return merged.conflicts;
}

void SyncEngine::sendOut(const Account& account, SyncReport& report) {
    contacts::Book book(connection_, changes_, now_);
    // Deleted here: cards the book knew of whose contacts are gone.
    QList<CardState> deleted;
    {
        db::Statement gone(connection_,
                           QStringLiteral("SELECT s.UID FROM yanshu_sync AS s WHERE NOT EXISTS "
                                          "(SELECT 1 FROM yanshu WHERE UID = s.UID)"));
        while (gone.step()) {
            deleted << *store_.byUid(gone.text(0));
        }
    }
    const qint64 cards = store_.count();
    if (!deleted.isEmpty()) {
        if (deleted.size() * 2 > cards && confirm_ && !confirm_(deleted.size(), cards)) {
            throw DavError(DavError::Kind::Cancelled,
                           QStringLiteral("同步已取消，服务器上的联系人一个也没有删除。"));
        }
        contacts::takeBackup(connection_, now_().toLocalTime());
    }
    for (const CardState& state : deleted) {
        try {
            dav_.deleteCard(state.url, state.etag);
            store_.drop(state.uid);
            ++report.removed;
        } catch (const DavError& e) {
            if (e.kind() != DavError::Kind::Changed) {
                throw;
            }
            // Changed there since: the edit wins, and the contact comes back.
            const QList<RemoteCard> read = dav_.readCards(account.book, {state.url});
            store_.drop(state.uid);
            for (const RemoteCard& card : read) {
                take(book, card, report);
            }
        }
    }
    // New and changed here, listed first: a merge may write the table.
    for (const QString& uid : store_.toCheck(account.synced)) {
        const std::optional<contacts::StoredContact> local = withExtras(book, uid);
        if (!local) {
            continue;
        }
        const std::optional<CardState> state = store_.byUid(uid);
        if (!state || state->agreed != cardText(local->contact)) {
            upload(book, account, *local, state, report);
        } else if (state->rev != local->contact.rev) {
            store_.setRev(uid, local->contact.rev);
        }
    }
}

interchange::VCardVersion SyncEngine::versionOf(const Account& account) {
    if (!version_) {
        version_ = versionFor(dav_.vcardVersions(account.book));
    }
    return *version_;
}

void SyncEngine::upload(contacts::Book& book, const Account& account, contacts::StoredContact local,
                        std::optional<CardState> state, SyncReport& report) {
    QUrl url = state ? state->url : cardUrl(account.book, local.contact.uid);
    QByteArray etag = state ? state->etag : QByteArray();
    // Each try either writes, or learns the server's card and merges it:
    // a few are enough unless the card changes as fast as it is read.
    for (int attempt = 0; attempt < 4; ++attempt) {
        try {
            const QByteArray server = state ? state->card : QByteArray();
            const QByteArray data = cardFor(local.contact, server, versionOf(account));
            QByteArray written = dav_.putCard(url, data, etag);
            if (written.isEmpty()) {
                // No strong ETag: its version is read back.
                const QList<RemoteCard> read = dav_.readCards(account.book, {url});
                written = read.isEmpty() ? QByteArray() : read.front().etag;
            }
            // Another client's card stays as it is written now.
            store_.put({local.contact.uid, url, written, cardText(local.contact),
                        server.isEmpty() ? QByteArray() : data, local.contact.rev});
            ++report.uploaded;
            return;
        } catch (const DavError& e) {
            if (e.kind() != DavError::Kind::Changed) {
                throw;
            }
        }
        const QList<RemoteCard> read = dav_.readCards(account.book, {url});
        const std::optional<contacts::Contact> theirs =
            read.isEmpty() ? std::nullopt : contactOfCard(read.front().data);
        if (!theirs || (theirs->uid != local.contact.uid && !theirs->uid.isEmpty())) {
            // Deleted there meanwhile (offered back as new), or the address
            // belongs to another card: a name of its own.
            if (read.isEmpty() && !etag.isEmpty()) {
                report.notes << QStringLiteral(
                                    "“%1”在服务器上已被删除，但在本机修改过，已重新上传。")
                                    .arg(nameOf(local.contact));
            } else if (!read.isEmpty()) {
                url = cardUrl(account.book, QUuid::createUuid().toString(QUuid::WithoutBraces));
            }
            etag.clear();
            state.reset();
            continue;
        }
        // The server's card changed (or a write of ours went through
        // unrecorded): merged, and written over that version.
        etag = read.front().etag;
        mergeInto(book, local, state, *theirs, report);
        CardState theirsAgreed{local.contact.uid, url, etag, cardText(*theirs),
                               read.front().data, {}};
        if (theirsAgreed.agreed == cardText(local.contact)) {
            theirsAgreed.rev = local.contact.rev;
            store_.put(theirsAgreed);
            return;
        }
        state = theirsAgreed;
    }
    throw DavError(DavError::Kind::Server,
                   QStringLiteral("“%1”在服务器上不断被修改，这次没有同步，下次再试。")
                       .arg(nameOf(local.contact)));
}

} // namespace carddav
