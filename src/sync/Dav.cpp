#include "Dav.h"

#include <QXmlStreamReader>

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

// The properties of one <prop>, into `into` once their <status> says 200.
struct Props {
    QHash<QString, QString> text;
    QHash<QString, QStringList> hrefs;
    QHash<QString, QStringList> kinds;
};

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
        Props props;
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
            resource.text.insert(props.text);
            resource.hrefs.insert(props.hrefs);
            resource.kinds.insert(props.kinds);
        }
    }

    // Each property: its text, its hrefs and the names of its children.
    void prop(Props& props) {
        while (xml_.readNextStartElement()) {
            if (!ours(xml_.namespaceUri())) {
                xml_.skipCurrentElement();
                continue;
            }
            const QString name = xml_.name().toString();
            QString text;
            QStringList hrefs;
            QStringList kinds;
            // Everything inside, however deep (a report's name in
            // supported-report-set is three levels down).
            for (int depth = 1; depth > 0 && !xml_.atEnd();) {
                switch (xml_.readNext()) {
                case QXmlStreamReader::EndElement:
                    --depth;
                    break;
                case QXmlStreamReader::Characters:
                    text += xml_.text();
                    break;
                case QXmlStreamReader::StartElement:
                    if (isDav(u"href")) {
                        hrefs << xml_.readElementText().trimmed();
                    } else {
                        kinds << xml_.name().toString();
                        ++depth;
                    }
                    break;
                default:
                    break;
                }
            }
            props.text.insert(name, text);
            props.hrefs.insert(name, hrefs);
            props.kinds.insert(name, kinds);
        }
    }

    QXmlStreamReader xml_;
};

} // namespace

Multistatus parseMultistatus(const QByteArray& xml) {
    return Reader(xml).read();
}

} // namespace carddav
