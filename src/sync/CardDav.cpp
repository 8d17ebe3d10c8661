#include "CardDav.h"

#include <QUuid>
#include <QXmlStreamWriter>

#include <functional>

namespace carddav {

namespace {

constexpr int maxRedirects = 5;
constexpr int maxChallenges = 3;
constexpr int maxResets = 3;

// A request body: the root element in its namespace, then what `content`
// writes. Texts go through the writer, which escapes them.
QByteArray xmlBody(const char* ns, const QString& root,
                   const std::function<void(QXmlStreamWriter&)>& content) {
    QByteArray body;
    QXmlStreamWriter xml(&body);
    xml.writeStartDocument();
    xml.writeNamespace(QLatin1String(davNs), QStringLiteral("d"));
    xml.writeNamespace(QLatin1String(cardDavNs), QStringLiteral("c"));
    xml.writeStartElement(QLatin1String(ns), root);
    content(xml);
    xml.writeEndElement();
    xml.writeEndDocument();
    return body;
}

// <prop> with empty elements of those names, DAV: unless "c:" says CardDAV.
void writeProp(QXmlStreamWriter& xml, const QStringList& names) {
    xml.writeStartElement(QLatin1String(davNs), QStringLiteral("prop"));
    for (const QString& name : names) {
        if (name.startsWith(QLatin1String("c:"))) {
            xml.writeEmptyElement(QLatin1String(cardDavNs), name.sliced(2));
        } else {
            xml.writeEmptyElement(QLatin1String(davNs), name);
        }
    }
    xml.writeEndElement();
}

QByteArray propfind(const QStringList& names) {
    return xmlBody(davNs, QStringLiteral("propfind"),
                   [&](QXmlStreamWriter& xml) { writeProp(xml, names); });
}

QUrl resolved(const QUrl& base, const QString& href) {
    return base.resolved(QUrl::fromEncoded(href.toUtf8()));
}

// Whether two addresses name the same collection, a final slash aside.
bool sameCollection(const QUrl& a, const QUrl& b) {
    const auto path = [](const QUrl& url) {
        QString p = url.path(QUrl::FullyDecoded);
        while (p.endsWith(u'/')) {
            p.chop(1);
        }
        return p;
    };
    return a.host() == b.host() && a.port() == b.port() && path(a) == path(b);
}

// An ETag as sent back in If-Match: a strong one only; a weak one (W/) or
// none means the card must be read back to know its version.
QByteArray strongEtag(const QByteArray& etag) {
    const QByteArray trimmed = etag.trimmed();
    return trimmed.startsWith("W/") ? QByteArray() : trimmed;
}

QString lastPart(const QUrl& url) {
    const QStringList parts = url.path(QUrl::FullyDecoded).split(u'/', Qt::SkipEmptyParts);
    return parts.isEmpty() ? url.host() : parts.back();
}

// A 207's body, or the server's fault.
Multistatus readMultistatus(const net::Response& response, const QUrl& url) {
    try {
        return parseMultistatus(response.body);
    } catch (const DavParseError& e) {
        throw DavError(DavError::Kind::Server,
                       QStringLiteral("服务器“%1”的回答无法读懂。").arg(url.host()),
                       QString::fromUtf8(e.what()));
    }
}

} // namespace

CardDavClient::CardDavClient(net::Http& http, Credentials credentials)
    : http_(http)
    , authorizer_(std::move(credentials)) {}

net::Response CardDavClient::exchange(QByteArray method, const QUrl& url, net::Headers headers,
                                      const QByteArray& body) {
    int resets = 0;
    for (int challenge = 0;; ++challenge) {
        net::Request request{method, url, headers, body};
        const QByteArray answer = authorizer_.authorization(method, url);
        if (!answer.isEmpty()) {
            request.headers.append({"Authorization", answer});
        }
        ++requests_;
        net::Response response = http_.send(request);
        // A server that refuses a request before reading its body (401)
        // may close the connection under it: sent again, it is answered.
        // Writes say which version they replace, so one sent twice is safe.
        // Still cut off, a request without a body learns whether the server
        // refuses the credentials.
        if (response.status == 0 && response.failure == net::Failure::Reset) {
            if (resets++ < maxResets) {
                --challenge;
                continue;
            }
            net::Request probe{"OPTIONS", url, {}, {}};
            if (const QByteArray probing = authorizer_.authorization("OPTIONS", url);
                !probing.isEmpty()) {
                probe.headers.append({"Authorization", probing});
            }
            ++requests_;
            if (const net::Response probed = http_.send(probe); probed.status == 401) {
                response = probed;
            }
        }
        if (response.status == 0) {
            throw DavError(response.failure == net::Failure::Cancelled ? DavError::Kind::Cancelled
                                                                       : DavError::Kind::Network,
                           response.error, url.toString());
        }
        if (response.status != 401) {
            return response;
        }
        const QString host = url.host();
        switch (authorizer_.challenged(response.headerValues("WWW-Authenticate"), url)) {
        case Authorizer::Outcome::Answered:
            if (challenge < maxChallenges) {
                continue;
            }
            [[fallthrough]];
        case Authorizer::Outcome::Refused:
            throw DavError(DavError::Kind::Credentials,
                           QStringLiteral("服务器“%1”不接受这个用户名或密码。").arg(host));
        case Authorizer::Outcome::Insecure:
            throw DavError(DavError::Kind::Insecure,
                           QStringLiteral("服务器“%1”要求以明文发送密码。为了密码的安全，"
                                          "请使用 https:// 开头的地址。")
                               .arg(host));
        case Authorizer::Outcome::Unsupported:
            break;
        }
        throw DavError(DavError::Kind::Unsupported,
                       QStringLiteral("服务器“%1”要求的登录方式本程序不支持。").arg(host),
                       QString::fromUtf8(response.header("WWW-Authenticate")));
    }
}

net::Response CardDavClient::davRequest(const QByteArray& method, const QUrl& url,
                                        const QByteArray& depth, const QByteArray& body) {
    net::Headers headers{{"Content-Type", "application/xml; charset=utf-8"}};
    if (!depth.isEmpty()) {
        headers.append({"Depth", depth});
    }
    return exchange(method, url, headers, body);
}

Multistatus CardDavClient::multistatus(const QByteArray& method, const QUrl& url,
                                       const QByteArray& depth, const QByteArray& body) {
    const net::Response response = davRequest(method, url, depth, body);
    if (response.status != 207) {
        failed(response, url);
    }
    return readMultistatus(response, url);
}

void CardDavClient::failed(const net::Response& response, const QUrl& url) {
    const QString host = url.host();
    const QString detail = QStringLiteral("%1 %2").arg(response.status).arg(url.toString());
    switch (response.status) {
    case 404:
    case 410:
        throw DavError(DavError::Kind::NotFound,
                       QStringLiteral("服务器“%1”上没有“%2”。").arg(host, url.path()), detail);
    case 412:
        throw DavError(DavError::Kind::Changed,
                       QStringLiteral("服务器“%1”上的联系人已被别处修改。").arg(host), detail);
    case 403:
        throw DavError(DavError::Kind::Credentials,
                       QStringLiteral("服务器“%1”不允许这个用户访问“%2”。").arg(host, url.path()),
                       detail);
    default:
        throw DavError(DavError::Kind::Server,
                       QStringLiteral("服务器“%1”回答错误 %2。").arg(host).arg(response.status),
                       detail);
    }
}

QUrl CardDavClient::principalOf(const QUrl& server) {
    const QByteArray body = propfind({QStringLiteral("current-user-principal")});
    // The address given first; then where the server says CardDAV lives,
    // following its redirects.
    QList<QUrl> tries{server};
    QUrl wellKnown = server;
    wellKnown.setPath(QStringLiteral("/.well-known/carddav"));
    tries << wellKnown;
    for (QUrl url : tries) {
        for (int redirect = 0; redirect <= maxRedirects; ++redirect) {
            const net::Response response = davRequest("PROPFIND", url, "0", body);
            if (response.status / 100 == 3 && !response.header("Location").isEmpty()) {
                url = url.resolved(QUrl::fromEncoded(response.header("Location")));
                continue;
            }
            if (response.status == 207) {
                try {
                    for (const DavResource& resource : parseMultistatus(response.body).resources) {
                        const QStringList hrefs = resource.hrefs(u"current-user-principal");
                        if (!hrefs.isEmpty()) {
                            return resolved(url, hrefs.front());
                        }
                    }
                } catch (const DavParseError&) {
                    // try the next address
                }
            }
            break;
        }
    }
    throw DavError(DavError::Kind::NotFound,
                   QStringLiteral("在“%1”找不到通讯录服务（CardDAV）。请检查服务器地址。")
                       .arg(server.toString()));
}

QUrl CardDavClient::homeOf(const QUrl& principal) {
    const Multistatus found = multistatus("PROPFIND", principal, "0",
                                          propfind({QStringLiteral("c:addressbook-home-set")}));
    for (const DavResource& resource : found.resources) {
        const QStringList hrefs = resource.hrefs(u"addressbook-home-set");
        if (!hrefs.isEmpty()) {
            return resolved(principal, hrefs.front());
        }
    }
    throw DavError(DavError::Kind::NotFound,
                   QStringLiteral("服务器“%1”没有这个用户的通讯录。").arg(principal.host()));
}

QList<AddressBook> CardDavClient::addressBooks(const QUrl& server) {
    const QStringList names{QStringLiteral("resourcetype"), QStringLiteral("displayname")};
    const auto booksIn = [](const QUrl& base, const Multistatus& found) {
        QList<AddressBook> books;
        for (const DavResource& resource : found.resources) {
            if (resource.kinds(u"resourcetype").contains(QLatin1String("addressbook"))) {
                const QUrl url = resolved(base, resource.href);
                const QString name = resource.text(u"displayname").trimmed();
                books.append({url, name.isEmpty() ? lastPart(url) : name});
            }
        }
        return books;
    };
    // An address book's own address is one of the user's.
    try {
        const QList<AddressBook> itself =
            booksIn(server, multistatus("PROPFIND", server, "0", propfind(names)));
        if (!itself.isEmpty()) {
            return itself;
        }
    } catch (const DavError& e) {
        if (e.kind() != DavError::Kind::NotFound && e.kind() != DavError::Kind::Server) {
            throw;
        }
    }
    const QUrl home = homeOf(principalOf(server));
    return booksIn(home, multistatus("PROPFIND", home, "1", propfind(names)));
}

QUrl CardDavClient::makeAddressBook(const QUrl& server, const QString& name) {
    QUrl home = homeOf(principalOf(server));
    if (!home.path().endsWith(u'/')) {
        home.setPath(home.path() + u'/');
    }
    const QUrl book =
        home.resolved(QUrl(QUuid::createUuid().toString(QUuid::WithoutBraces) + u'/'));
    const QByteArray body = xmlBody(davNs, QStringLiteral("mkcol"), [&](QXmlStreamWriter& xml) {
        xml.writeStartElement(QLatin1String(davNs), QStringLiteral("set"));
        xml.writeStartElement(QLatin1String(davNs), QStringLiteral("prop"));
        xml.writeStartElement(QLatin1String(davNs), QStringLiteral("resourcetype"));
        xml.writeEmptyElement(QLatin1String(davNs), QStringLiteral("collection"));
        xml.writeEmptyElement(QLatin1String(cardDavNs), QStringLiteral("addressbook"));
        xml.writeEndElement();
        xml.writeTextElement(QLatin1String(davNs), QStringLiteral("displayname"), name);
        xml.writeEndElement();
        xml.writeEndElement();
    });
    const net::Response response = davRequest("MKCOL", book, {}, body);
    if (response.status != 201) {
        failed(response, book);
    }
    return book;
}

bool CardDavClient::canSyncCollection(const QUrl& book) {
    const Multistatus found =
        multistatus("PROPFIND", book, "0", propfind({QStringLiteral("supported-report-set")}));
    for (const DavResource& resource : found.resources) {
        if (resource.kinds(u"supported-report-set").contains(QLatin1String("sync-collection"))) {
            return true;
        }
    }
    return false;
}

QStringList CardDavClient::vcardVersions(const QUrl& book) {
    const Multistatus found =
        multistatus("PROPFIND", book, "0", propfind({QStringLiteral("c:supported-address-data")}));
    for (const DavResource& resource : found.resources) {
        if (const DavProperty* data = resource.property(u"supported-address-data")) {
            return data->vcardVersions;
        }
    }
    return {};
}

Changes CardDavClient::changesSince(const QUrl& book, const QString& token) {
    const QByteArray body =
        xmlBody(davNs, QStringLiteral("sync-collection"), [&](QXmlStreamWriter& xml) {
            xml.writeTextElement(QLatin1String(davNs), QStringLiteral("sync-token"), token);
            xml.writeTextElement(QLatin1String(davNs), QStringLiteral("sync-level"),
                                 QStringLiteral("1"));
            writeProp(xml, {QStringLiteral("getetag")});
        });
    const net::Response response = davRequest("REPORT", book, "0", body);
    if (response.status != 207) {
        // RFC 6578 says 403 or 409 with valid-sync-token; some servers say 400.
        const bool invalid =
            response.body.contains("valid-sync-token") ||
            (!token.isEmpty() && (response.status == 400 || response.status == 409 ||
                                  response.status == 403 || response.status == 410));
        if (invalid) {
            throw DavError(DavError::Kind::InvalidToken,
                           QStringLiteral("服务器“%1”已不认得上次同步的记号。").arg(book.host()),
                           QString::number(response.status));
        }
        if (token.isEmpty() && response.status != 404 && response.status != 401) {
            throw DavError(DavError::Kind::Unsupported,
                           QStringLiteral("服务器“%1”不支持增量同步。").arg(book.host()),
                           QString::number(response.status));
        }
        failed(response, book);
    }
    const Multistatus found = readMultistatus(response, book);
    Changes changes;
    changes.token = found.syncToken;
    for (const DavResource& resource : found.resources) {
        const QUrl url = resolved(book, resource.href);
        if (sameCollection(url, book)) {
            changes.more = changes.more || resource.status == 507;
        } else if (resource.status == 404) {
            changes.removed << url;
        } else if (resource.has(u"getetag")) {
            changes.changed.append({url, resource.text(u"getetag").trimmed().toUtf8(), {}});
        }
    }
    return changes;
}

QList<RemoteCard> CardDavClient::listCards(const QUrl& book) {
    const Multistatus found =
        multistatus("PROPFIND", book, "1",
                    propfind({QStringLiteral("resourcetype"), QStringLiteral("getetag")}));
    QList<RemoteCard> cards;
    for (const DavResource& resource : found.resources) {
        const QUrl url = resolved(book, resource.href);
        if (!sameCollection(url, book) &&
            !resource.kinds(u"resourcetype").contains(QLatin1String("collection"))) {
            cards.append({url, resource.text(u"getetag").trimmed().toUtf8(), {}});
        }
    }
    return cards;
}

QList<RemoteCard> CardDavClient::readCards(const QUrl& book, const QList<QUrl>& cards) {
    const QByteArray body =
        xmlBody(cardDavNs, QStringLiteral("addressbook-multiget"), [&](QXmlStreamWriter& xml) {
            writeProp(xml, {QStringLiteral("getetag"), QStringLiteral("c:address-data")});
            for (const QUrl& card : cards) {
                xml.writeTextElement(QLatin1String(davNs), QStringLiteral("href"),
                                     QString::fromLatin1(card.toEncoded(QUrl::RemoveScheme |
                                                                        QUrl::RemoveAuthority)));
            }
        });
    QList<RemoteCard> read;
    for (const DavResource& resource : multistatus("REPORT", book, "1", body).resources) {
        if (resource.has(u"address-data")) {
            read.append({resolved(book, resource.href),
                         resource.text(u"getetag").trimmed().toUtf8(),
                         resource.text(u"address-data").toUtf8()});
        }
    }
    return read;
}

QByteArray CardDavClient::putCard(const QUrl& card, const QByteArray& data,
                                  const QByteArray& etag) {
    net::Headers headers{{"Content-Type", "text/vcard; charset=utf-8"}};
    headers.append(etag.isEmpty() ? std::pair<QByteArray, QByteArray>{"If-None-Match", "*"}
                                  : std::pair<QByteArray, QByteArray>{"If-Match", etag});
    const net::Response response = exchange("PUT", card, headers, data);
    if (response.status / 100 != 2) {
        failed(response, card);
    }
    return strongEtag(response.header("ETag"));
}

void CardDavClient::deleteCard(const QUrl& card, const QByteArray& etag) {
    net::Headers headers;
    if (!etag.isEmpty()) {
        headers.append({"If-Match", etag});
    }
    const net::Response response = exchange("DELETE", card, headers, {});
    if (response.status / 100 != 2 && response.status != 404 && response.status != 410) {
        failed(response, card);
    }
}

} // namespace carddav
