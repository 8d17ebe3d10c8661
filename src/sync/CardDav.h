#pragma once

#include "Auth.h"
#include "Dav.h"

#include "platform/net/Http.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <stdexcept>

namespace carddav {

// Why a CardDAV exchange failed, with a sentence for the user.
class DavError : public std::runtime_error {
public:
    enum class Kind {
        Network,      // no answer (the sentence says why)
        Credentials,  // the server refused the user name or password
        Insecure,     // it asks for a password in the clear
        NotFound,     // no such resource or address book
        Changed,      // 412: the resource is not as the request assumed
        InvalidToken, // the sync token is expired or unknown
        Unsupported,  // the server does not do what was asked
        Server,       // any other answer
        Cancelled,
    };
    DavError(Kind kind, const QString& userMessage, const QString& detail = {})
        : std::runtime_error(detail.toStdString())
        , kind_(kind)
        , userMessage_(userMessage) {}
    Kind kind() const { return kind_; }
    const QString& userMessage() const { return userMessage_; }

private:
    Kind kind_;
    QString userMessage_;
};

struct AddressBook {
    QUrl url;
    QString name; // its display name, else the last part of its path
};

// A card on the server: where, its version (ETag), and its text when read.
struct RemoteCard {
    QUrl url;
    QByteArray etag;
    QByteArray data;
};

// What changed in an address book since a sync token.
struct Changes {
    QList<RemoteCard> changed; // url and etag only
    QList<QUrl> removed;
    QString token;
    bool more = false; // the server gave part of them (507): ask again with token
};

// The requests of a CardDAV client (RFC 6352, 6578, 6764), one at a time
// over `http`, answering the server's challenges with the credentials.
// Every failure throws DavError.
class CardDavClient {
public:
    CardDavClient(net::Http& http, Credentials credentials);

    // The user's address books, found from a server's address (the
    // address book itself, the user's principal, or just the host, through
    // /.well-known/carddav).
    QList<AddressBook> addressBooks(const QUrl& server);
    // Makes an address book of that name under the user's; its address.
    QUrl makeAddressBook(const QUrl& server, const QString& name);

    // Whether the address book answers sync-collection reports.
    bool canSyncCollection(const QUrl& book);
    // The vCard versions the address book says it takes; none if it does
    // not say (then 3.0, which every CardDAV server takes).
    QStringList vcardVersions(const QUrl& book);
    // The changes since `token` (none: everything), by sync-collection.
    Changes changesSince(const QUrl& book, const QString& token);
    // Every card's url and ETag, for servers without sync-collection.
    QList<RemoteCard> listCards(const QUrl& book);
    // The cards at those addresses (fewer if some are gone).
    QList<RemoteCard> readCards(const QUrl& book, const QList<QUrl>& cards);

    // Writes a card: a new one only if none is there (an ETag of none),
    // else only if it still has `etag`. Its new ETag, if the server says.
    // Changed when the server's card is not as assumed.
    QByteArray putCard(const QUrl& card, const QByteArray& data, const QByteArray& etag);
    // Deletes a card if it still has `etag`; one already gone is no error.
    void deleteCard(const QUrl& card, const QByteArray& etag);

    // Requests sent so far.
    int requests() const { return requests_; }

private:
    net::Response exchange(QByteArray method, const QUrl& url, net::Headers headers,
                           const QByteArray& body);
    net::Response davRequest(const QByteArray& method, const QUrl& url, const QByteArray& depth,
                             const QByteArray& body);
    Multistatus multistatus(const QByteArray& method, const QUrl& url, const QByteArray& depth,
                            const QByteArray& body);
    QUrl principalOf(const QUrl& server);
    QUrl homeOf(const QUrl& principal);
    [[noreturn]] void failed(const net::Response& response, const QUrl& url);

    net::Http& http_;
    Authorizer authorizer_;
    int requests_ = 0;
};

} // namespace carddav
