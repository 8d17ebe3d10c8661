#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace carddav {

// The namespaces of the properties a CardDAV client asks for.
inline constexpr char davNs[] = "DAV:";
inline constexpr char cardDavNs[] = "urn:ietf:params:xml:ns:carddav";

// A property found: its local name, its text, the <href>s inside it and
// the names of the other elements inside (resourcetype); for
// supported-address-data, the vCard versions its address-data-types name.
struct DavProperty {
    QString name;
    QString text;
    QStringList hrefs;
    QStringList kinds;
    QStringList vcardVersions;
};

// One <response> of a multistatus: a resource and the properties found
// for it (those of status 200; the others are missing). A listing has
// one for each card: a list, as hashes would cost kilobytes each.
struct DavResource {
    QString href;   // as the server wrote it, percent-decoding left to the caller
    int status = 0; // the response's own status (a removal reports 404), else 0
    QList<DavProperty> properties;

    const DavProperty* property(QStringView name) const;
    bool has(QStringView name) const { return property(name) != nullptr; }
    QString text(QStringView name) const;
    QStringList hrefs(QStringView name) const;
    QStringList kinds(QStringView name) const;
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
