#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace carddav {

// The namespaces of the properties a CardDAV client asks for.
inline constexpr char davNs[] = "DAV:";
inline constexpr char cardDavNs[] = "urn:ietf:params:xml:ns:carddav";

// One <response> of a multistatus: a resource and the properties found
// for it (those of status 200; the others are missing).
struct DavResource {
    QString href;                 // as the server wrote it, percent-decoding left to the caller
    int status = 0;               // the response's own status (a removal reports 404), else 0
    QHash<QString, QString> text; // a property's text, by local name
    QHash<QString, QStringList> hrefs; // the <href>s inside a property
    QHash<QString, QStringList> kinds; // the names of the elements inside (resourcetype)
};

struct Multistatus {
    QList<DavResource> resources;
    QString syncToken; // a sync-collection report's new token
};

class DavParseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads a 207 answer. Elements of other namespaces, and anything too deep
// or too large, are passed over; a body that is no XML throws.
Multistatus parseMultistatus(const QByteArray& xml);

// The status code of an HTTP status line ("HTTP/1.1 404 Not Found"), 0
// when there is none.
int statusOfLine(QStringView line);

} // namespace carddav
