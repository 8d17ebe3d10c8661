#include "Dav.h"

#include <QXmlStreamReader>

#include <algorithm>

namespace carddav {

int statusOfLine(QStringView line) {
    const QList<QStringView> words = line.trimmed().split(u' ', Qt::SkipEmptyParts);
    return words.size() >= 2 ? words[1].toInt() : 0;
}

namespace {

bool ours(QStringView ns) {
    return ns == QLatin1String(davNs) || ns == QLatin1String(cardDavNs) ||
           ns == QLatin1String("http://calendarserver.org/ns/");
}

class Reader {
public:
    explicit Reader(const QByteArray& xml)
        : xml_(xml) {}

    Multistatus read() {
        Multistatus result;
        if (!xml_.readNextStartElement() || !isDav(u"multistatus")) {
            fail();
            throw DavParseError("the answer is no multistatus");
        }
        while (xml_.readNextStartElement()) {
            if (isDav(u"response")) {
                result.resources << response();
            } else if (isDav(u"sync-token")) {
                result.syncToken = xml_.readElementText().trimmed();
            } else {
                xml_.skipCurrentElement();
            }
        }
        fail();
        return result;
    }

private:
    bool isDav(QStringView name) const {
        return xml_.namespaceUri() == QLatin1String(davNs) && xml_.name() == name;
    }

    void fail() {
        if (xml_.hasError() && xml_.error() != QXmlStreamReader::PrematureEndOfDocumentError) {
            throw DavParseError(xml_.errorString().toStdString());
        }
        if (xml_.hasError()) {
            throw DavParseError("the answer ends too soon");
        }
    }

    DavResource response() {
        DavResource resource;
        while (xml_.readNextStartElement()) {
            if (isDav(u"href")) {
                resource.href = xml_.readElementText().trimmed();
            } else if (isDav(u"status")) {
                resource.status = statusOfLine(xml_.readElementText());
            } else if (isDav(u"propstat")) {
                propstat(resource);
            } else {
                xml_.skipCurrentElement();
            }
        }
        return resource;
    }

    void propstat(DavResource& resource) {
        QList<DavProperty> props;
        int status = 0;
        while (xml_.readNextStartElement()) {
            if (isDav(u"prop")) {
                prop(props);
            } else if (isDav(u"status")) {
                status = statusOfLine(xml_.readElementText());
            } else {
                xml_.skipCurrentElement();
            }
        }
        if (status / 100 == 2) {
            resource.properties << props;
        }
    }

    // Each property: its text, its hrefs and the names of its children.
    void prop(QList<DavProperty>& props) {
        while (xml_.readNextStartElement()) {
            if (!ours(xml_.namespaceUri())) {
                xml_.skipCurrentElement();
                continue;
            }
            DavProperty property{xml_.name().toString(), {}, {}, {}, {}};
            // Everything inside, however deep (a report's name in
            // supported-report-set is three levels down).
            for (int depth = 1; depth > 0 && !xml_.atEnd();) {
                switch (xml_.readNext()) {
                case QXmlStreamReader::EndElement:
                    --depth;
                    break;
                case QXmlStreamReader::Characters:
                    property.text += xml_.text();
                    break;
                case QXmlStreamReader::StartElement:
                    if (isDav(u"href")) {
                        property.hrefs << xml_.readElementText().trimmed();
                    } else {
                        property.kinds << xml_.name().toString();
                        addressDataType(property);
                        ++depth;
                    }
                    break;
                default:
                    break;
                }
            }
            props << std::move(property);
        }
    }

    // RFC 6352: the type and version unsaid are text/vcard and 3.0.
    void addressDataType(DavProperty& property) const {
        if (xml_.namespaceUri() != QLatin1String(cardDavNs) ||
            xml_.name() != QLatin1String("address-data-type")) {
            return;
        }
        const QXmlStreamAttributes attributes = xml_.attributes();
        const QStringView type = attributes.value(QLatin1String("content-type"));
        if (type.isEmpty() ||
            type.trimmed().compare(QLatin1String("text/vcard"), Qt::CaseInsensitive) == 0) {
            const QStringView version = attributes.value(QLatin1String("version")).trimmed();
            property.vcardVersions
                << (version.isEmpty() ? QStringLiteral("3.0") : version.toString());
        }
    }

    QXmlStreamReader xml_;
};

} // namespace

const DavProperty* DavResource::property(QStringView name) const {
    const auto found = std::ranges::find(properties, name, &DavProperty::name);
    return found == properties.end() ? nullptr : &*found;
}

QString DavResource::text(QStringView name) const {
    const DavProperty* found = property(name);
    return found ? found->text : QString();
}

QStringList DavResource::hrefs(QStringView name) const {
    const DavProperty* found = property(name);
    return found ? found->hrefs : QStringList();
}

QStringList DavResource::kinds(QStringView name) const {
    const DavProperty* found = property(name);
    return found ? found->kinds : QStringList();
}

Multistatus parseMultistatus(const QByteArray& xml) {
    return Reader(xml).read();
}

} // namespace carddav
