#include "ConnectionString.h"

#include <QDir>

namespace db {

namespace {

// A value holding ';' or '"', or starting or ending with a blank, would be
// cut short by the keyword parser; such a folder is written in quotes (an
// embedded quote doubled), as the connection-string syntax allows.
QString quotedIfNeeded(const QString& value) {
    const bool plain = !value.contains(u';') && !value.contains(u'"') && value == value.trimmed();
    if (plain) {
        return value;
    }
    QString doubled = value;
    doubled.replace(u'"', QStringLiteral("\"\""));
    return u'"' + doubled + u'"';
}

QString build(const QString& programFolder, const QString& tail) {
    const QString file = programFolder + QStringLiteral("\\MY.mdb");
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + quotedIfNeeded(file) +
           tail;
}

// Splits "key=value;key=value" honouring double-quoted values.
QString valueOf(const QString& text, QStringView wantedKey) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype eq = text.indexOf(u'=', i);
        if (eq < 0) {
            return {};
        }
        const QString key = text.mid(i, eq - i).trimmed();
        qsizetype j = eq + 1;
        while (j < n && text[j] == u' ') {
            ++j;
        }
        QString value;
        if (j < n && text[j] == u'"') {
            ++j;
            while (j < n) {
                if (text[j] == u'"') {
                    if (j + 1 < n && text[j + 1] == u'"') {
                        value += u'"';
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                value += text[j++];
            }
            const qsizetype semi = text.indexOf(u';', j);
            i = semi < 0 ? n : semi + 1;
        } else {
            const qsizetype semi = text.indexOf(u';', j);
            const qsizetype end = semi < 0 ? n : semi;
            value = text.mid(j, end - j).trimmed();
            i = end + 1;
        }
        if (key.compare(wantedKey, Qt::CaseInsensitive) == 0) {
            return value;
        }
    }
    return {};
}

} // namespace

QString connectionString(const QString& programFolder) {
    return build(programFolder, QStringLiteral(";Persist Security Info=False"));
}

QString accountConnectionString(const QString& programFolder) {
    return build(programFolder, QStringLiteral(";PeRsist Security Info=False"));
}

QString dataSource(const QString& connectionString) {
    QString path = valueOf(connectionString, u"Data Source");
    // The strings are written with a backslash before MY.mdb on every platform.
    path.replace(u'\\', u'/');
    return QDir::cleanPath(path);
}

} // namespace db
