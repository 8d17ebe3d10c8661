#include "ConnectionString.h"

#include <QDir>
#include <QFileInfo>

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

// The folder and the name stand apart by a backslash, as the strings have
// always written it; dataSource takes the last one for the separator.
QString build(const QString& databaseFile, const QString& tail) {
    const QFileInfo info(databaseFile);
    const QString file = info.absolutePath() + u'\\' + info.fileName();
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + quotedIfNeeded(file) +
           tail;
}

// The value of a keyword in "key=value;key=value"; values may be quoted,
// segments without '=' are passed over.
QString valueOf(const QString& text, QStringView wantedKey) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype semi = text.indexOf(u';', i);
        const qsizetype eq = text.indexOf(u'=', i);
        if (eq < 0) {
            return {};
        }
        if (semi >= 0 && semi < eq) {
            i = semi + 1; // a segment without a keyword
            continue;
        }
        const QString key = text.mid(i, eq - i).trimmed();
        qsizetype j = eq + 1;
        while (j < n && text[j] == u' ') {
            ++j;
        }
        QString value;
        if (j < n && text[j] == u'"') {
            for (++j; j < n; ++j) {
                if (text[j] == u'"') {
                    if (j + 1 < n && text[j + 1] == u'"') {
                        value += u'"';
                        ++j;
                        continue;
                    }
                    ++j;
                    break;
                }
                value += text[j];
            }
            const qsizetype end = text.indexOf(u';', j);
            i = end < 0 ? n : end + 1;
        } else {
            const qsizetype end = text.indexOf(u';', j);
            value = text.mid(j, (end < 0 ? n : end) - j).trimmed();
            i = end < 0 ? n : end + 1;
        }
        if (key.compare(wantedKey, Qt::CaseInsensitive) == 0) {
            return value;
        }
    }
    return {};
}

} // namespace

QString connectionString(const QString& databaseFile) {
    return build(databaseFile, QStringLiteral(";Persist Security Info=False"));
}

QString accountConnectionString(const QString& databaseFile) {
    return build(databaseFile, QStringLiteral(";PeRsist Security Info=False"));
}

QString dataSource(const QString& connectionString) {
    QString path = valueOf(connectionString, u"Data Source");
#ifdef Q_OS_WIN
    path = QDir::fromNativeSeparators(path);
#else
    // The strings put a backslash before the file name on every platform;
    // any other backslash is part of a folder's name here.
    const qsizetype last = path.lastIndexOf(u'\\');
    if (last >= 0) {
        path[last] = u'/';
    }
#endif
    return QDir::cleanPath(path);
}

} // namespace db
