#include "Backups.h"

#include "ContactColumns.h"
#include "Schema.h"

#include "platform/db/Backup.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DbError.h"
#include "platform/db/FileReplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <optional>
#include <tuple>

namespace contacts {

namespace {

constexpr std::size_t newestKept = 10;
constexpr int monthsKept = 12;

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString stemOf(const QString& databaseFile) {
    return QFileInfo(databaseFile).completeBaseName();
}

// <stem>-YYYY-MM-DD-HHMMSS.mdb, or with "-2", "-3"… for later ones of the
// same second; `ending` follows that name.
QRegularExpression namePattern(const QString& stem, const QString& ending = {}) {
    return QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(stem) +
                              QStringLiteral("-(\\d{4})-(\\d{2})-(\\d{2})-(\\d{2})(\\d{2})(\\d{2})"
                                             "(?:-([2-9]|[1-9]\\d+))?\\.mdb") +
                              ending + u'$');
}

// What a copy cut short leaves beside the backups: its file and its journal.
const QString partialEnding = QStringLiteral("\\.partial(?:-journal)?");
const QString journalSuffix = QStringLiteral("-journal");
// A copy under way holds the engine's lock on its file, but not yet in its
// first moment, and a byte copy never does: younger leftovers may be live.
constexpr int leftoverAgeSecs = 5 * 60;

struct Found {
    Backup backup;
    int number; // 1 for the first of its second
};

std::vector<Found> findBackups(const QString& databaseFile) {
    const QRegularExpression pattern = namePattern(stemOf(databaseFile));
    std::vector<Found> found;
    const QDir folder(backupFolder(databaseFile));
    for (const QFileInfo& info : folder.entryInfoList(QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch match = pattern.match(info.fileName());
        if (!match.hasMatch()) {
            continue;
        }
        const auto part = [&](int n) { return match.captured(n).toInt(); };
        const QDate date(part(1), part(2), part(3));
        const QTime time(part(4), part(5), part(6));
        if (!date.isValid() || !time.isValid()) {
            continue; // not a name takeBackup gives
        }
        found.push_back({{info.absoluteFilePath(), QDateTime(date, time), info.size()},
                         match.captured(7).isEmpty() ? 1 : part(7)});
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return std::tie(b.backup.taken, b.number) < std::tie(a.backup.taken, a.number);
    });
    return found;
}

// A name for a backup taken now that no file has yet; the folder is made.
QString newBackupPath(const QString& databaseFile, const QDateTime& now) {
    const QString folder = backupFolder(databaseFile);
    if (!QDir().mkpath(folder)) {
        throw db::FileError(db::FileFailure::MakeBackupFolder, folder,
                            QStringLiteral("cannot make folder"));
    }
    const QString base =
        QDir(folder).filePath(stemOf(databaseFile) + u'-' +
                              QLocale::c().toString(now.toLocalTime(), u"yyyy-MM-dd-HHmmss"));
    QString path = base + QStringLiteral(".mdb");
    for (int n = 2; QFileInfo::exists(path); ++n) {
        path = base + QStringLiteral("-%1.mdb").arg(n);
    }
    return path;
}

// The newest backup, when it holds the same database as the file.
std::optional<QString> newestIfSame(const QString& databaseFile,
                                    const platform::Progress& progress) {
    const std::vector<Found> found = findBackups(databaseFile);
    if (!found.empty() && db::sameDatabase(databaseFile, found.front().backup.path, progress)) {
        return found.front().backup.path;
    }
    return std::nullopt;
}

KeptBackup takeUnpruned(db::Connection& source, const QDateTime& now,
                        const platform::Progress& progress) {
    if (std::optional<QString> newest = newestIfSame(source.path(), progress)) {
        return {*newest, false};
    }
    const QString path = newBackupPath(source.path(), now);
    db::copyDatabase(source, path, progress);
    return {path, true};
}

void removeLeftovers(const QString& databaseFile) {
    const QRegularExpression pattern = namePattern(stemOf(databaseFile), partialEnding);
    const QDateTime stale = QDateTime::currentDateTimeUtc().addSecs(-leftoverAgeSecs);
    const QDir folder(backupFolder(databaseFile));
    for (const QFileInfo& info : folder.entryInfoList(QDir::Files | QDir::Hidden)) {
        if (!pattern.match(info.fileName()).hasMatch() || info.lastModified().toUTC() > stale) {
            continue;
        }
        QString partial = info.absoluteFilePath();
        if (partial.endsWith(journalSuffix)) {
            partial.chop(journalSuffix.size());
            if (QFileInfo::exists(partial)) {
                continue; // goes with its file
            }
        }
        db::removeUnlessInUse(partial);
    }
}

// A file no connection reads, kept as it is under a backup's name.
QString copyBytes(const QString& databaseFile, const QDateTime& now) {
    const QString path = newBackupPath(databaseFile, now);
    const QString partial = path + QStringLiteral(".partial");
    QFile::remove(partial);
    QFile source(databaseFile);
    QFile copy(partial);
    const bool copied = source.copy(partial) && copy.open(QIODevice::ReadWrite) &&
                        db::syncToDisk(copy) && (copy.close(), db::replaceFile(partial, path));
    if (!copied) {
        QFile::remove(partial);
        throw db::DbError(
            QStringLiteral("无法把数据库文件“%1”保存到备份文件夹。").arg(native(databaseFile)),
            source.errorString() + QStringLiteral(": ") + path, 0, db::DbErrorKind::Io);
    }
    return path;
}

// Errors that say the file cannot be read as a database at all.
bool unreadable(db::DbErrorKind kind) {
    return kind == db::DbErrorKind::Corrupt || kind == db::DbErrorKind::NotOurs ||
           kind == db::DbErrorKind::OldAccessFile;
}

QStringList lowercased(QStringList names) {
    for (QString& name : names) {
        name = name.toLower();
    }
    return names;
}

// The findings of checkBook, and the kind of error they make of a restore.
QStringList examine(const QString& file, db::DbErrorKind& kind) {
    kind = db::DbErrorKind::NotOurs;
    try {
        const db::ReadOnlyDatabase book(file);
        const QStringList damage = book.column(QStringLiteral("PRAGMA integrity_check"));
        if (damage != QStringList{QStringLiteral("ok")}) {
            kind = db::DbErrorKind::Corrupt;
            return {QStringLiteral("文件“%1”已损坏：完整性检查发现 %2 处问题，第一处是“%3”。")
                        .arg(native(file))
                        .arg(damage.size())
                        .arg(damage.value(0))};
        }
        const int version = book.column(QStringLiteral("PRAGMA user_version")).value(0).toInt();
        if (version > schemaVersion) {
            kind = db::DbErrorKind::NewerVersion;
            return {QStringLiteral("文件“%1”是较新版本的雁书簿建立的，这个版本不能使用它。")
                        .arg(native(file))};
        }
        if (version < 1) {
            return {QStringLiteral("文件“%1”不是雁书簿的数据库文件。").arg(native(file))};
        }
        QStringList contactNames;
        for (const ContactColumn& c : contactColumns) {
            contactNames << c.column.toString();
        }
        if (version >= 2) {
            contactNames << QStringLiteral("UID") << QStringLiteral("REV");
        }
        std::vector<std::pair<QString, QStringList>> wanted{
            {QStringLiteral("yanshu"), contactNames},
            {QStringLiteral("mab"), {QStringLiteral("YHM"), QStringLiteral("YHMA")}},
        };
        if (version >= 6) {
            wanted.push_back(
                {QStringLiteral("yanshu_find"), {QStringLiteral("row"), QStringLiteral("keys")}});
            wanted.push_back(
                {QStringLiteral("yanshu_rank"), {QStringLiteral("key"), QStringLiteral("row")}});
            if (version >= 7) {
                wanted.push_back({QStringLiteral("yanshu_unindexed"), {QStringLiteral("above")}});
            }
        } else if (version >= 3) {
            wanted.push_back(
                {QStringLiteral("yanshu_find"),
                 {QStringLiteral("sort"), QStringLiteral("row"), QStringLiteral("keys")}});
        }
        const QStringList tables = lowercased(
            book.column(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")));
        QStringList findings;
        for (const auto& [table, columns] : wanted) {
            if (!tables.contains(table)) {
                findings << QStringLiteral("数据库中缺少表 %1。").arg(table);
                continue;
            }
            const QStringList present = lowercased(
                book.column(QStringLiteral("SELECT name FROM pragma_table_info('%1')").arg(table)));
            QStringList missing;
            for (const QString& column : columns) {
                if (!present.contains(column.toLower())) {
                    missing << column;
                }
            }
            if (!missing.isEmpty()) {
                findings << QStringLiteral("表 %1 缺少列 %2。").arg(table, missing.join(u'、'));
            }
        }
        return findings;
    } catch (const db::DbError& e) {
        kind = e.kind();
        return {e.userMessage()};
    }
}

} // namespace

QString backupFolder(const QString& databaseFile) {
    return QDir(QFileInfo(databaseFile).absolutePath()).filePath(QStringLiteral("backups"));
}

std::vector<Backup> listBackups(const QString& databaseFile) {
    std::vector<Backup> backups;
    for (Found& f : findBackups(databaseFile)) {
        backups.push_back(std::move(f.backup));
    }
    return backups;
}

KeptBackup takeBackup(db::Connection& source, const QDateTime& now,
                      const platform::Progress& progress) {
    const KeptBackup kept = takeUnpruned(source, now, progress);
    pruneBackups(source.path(), now);
    return kept;
}

KeptBackup takeBackup(const QString& databaseFile, const QDateTime& now,
                      const platform::Progress& progress) {
    db::Connection source;
    source.open(db::connectionString(databaseFile));
    return takeBackup(source, now, progress);
}

void pruneBackups(const QString& databaseFile, const QDateTime& now) {
    const std::vector<Backup> backups = listBackups(databaseFile); // newest first
    std::vector<bool> keep(backups.size(), false);
    std::fill_n(keep.begin(), std::min(newestKept, backups.size()), true);
    const QDate today = now.toLocalTime().date();
    const QDate thisMonth(today.year(), today.month(), 1);
    for (int m = 0; m < monthsKept; ++m) {
        const QDate month = thisMonth.addMonths(-m);
        for (std::size_t i = backups.size(); i-- > 0;) {
            const QDate day = backups[i].taken.date();
            if (day.year() == month.year() && day.month() == month.month()) {
                keep[i] = true; // the oldest of the month
                break;
            }
        }
    }
    for (std::size_t i = 0; i < backups.size(); ++i) {
        if (!keep[i]) {
            QFile::remove(backups[i].path); // one left over goes the next time
        }
    }
    removeLeftovers(databaseFile);
}

qint64 contactsIn(const QString& backupFile) {
    try {
        const db::ReadOnlyDatabase backup(backupFile);
        return backup.column(QStringLiteral("SELECT count(*) FROM yanshu")).value(0).toLongLong();
    } catch (const db::DbError&) {
        return -1;
    }
}

QStringList checkBook(const QString& file) {
    db::DbErrorKind kind;
    return examine(file, kind);
}

QString restoreBackup(const QString& databaseFile, const QString& backupFile, const QDateTime& now,
                      const platform::Progress& progress) {
    db::DbErrorKind kind;
    const QStringList findings = examine(backupFile, kind);
    if (!findings.isEmpty()) {
        throw db::DbError(QStringLiteral("不能用备份“%1”恢复数据库：").arg(native(backupFile)) +
                              findings.join(QString()),
                          QStringLiteral("check of ") + backupFile, 0, kind);
    }
    if (QFileInfo(backupFile).canonicalFilePath() == QFileInfo(databaseFile).canonicalFilePath()) {
        throw db::DbError(
            QStringLiteral("“%1”就是当前的数据库文件，不能用它恢复自己。").arg(native(backupFile)),
            QStringLiteral("restore of a file onto itself: ") + backupFile);
    }
    // Pruned only once restored: a new backup could otherwise push out the
    // very one being restored.
    QString kept;
    db::Connection book;
    try {
        book.open(db::connectionString(databaseFile));
        kept = takeUnpruned(book, now, progress).path;
    } catch (const db::DbError& e) {
        if (!unreadable(e.kind())) {
            throw;
        }
        book.close();
        kept = copyBytes(databaseFile, now);
    }
    if (book.isOpen()) {
        db::copyDatabaseInto(backupFile, book, progress);
    } else {
        // Nothing reads the old file: the backup takes its place whole, and
        // the old file's journal, which would be played into it, goes first.
        QFile::remove(databaseFile + QStringLiteral("-journal"));
        db::copyDatabase(backupFile, databaseFile, progress);
    }
    pruneBackups(databaseFile, now);
    return kept;
}

} // namespace contacts
