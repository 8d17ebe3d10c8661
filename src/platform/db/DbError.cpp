#include "DbError.h"

#include <QDir>

#include <sqlite3.h>

namespace db {

DbError::DbError(QString userMessage, QString detail, int engineCode, DbErrorKind kind)
    : userMessage_(std::move(userMessage))
    , detail_(std::move(detail))
    , engineCode_(engineCode)
    , kind_(kind)
    , what_((userMessage_ + QStringLiteral(" (") + detail_ + QStringLiteral(")")).toStdString()) {}

namespace {

DbErrorKind kindOf(int primaryCode) {
    switch (primaryCode) {
    case SQLITE_NOTADB:
        return DbErrorKind::NotOurs;
    case SQLITE_CORRUPT:
        return DbErrorKind::Corrupt;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return DbErrorKind::Locked;
    case SQLITE_READONLY:
        return DbErrorKind::ReadOnly;
    case SQLITE_FULL:
        return DbErrorKind::DiskFull;
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_IOERR:
        return DbErrorKind::Io;
    case SQLITE_CONSTRAINT:
    case SQLITE_MISMATCH:
    case SQLITE_TOOBIG:
        return DbErrorKind::Constraint;
    default:
        return DbErrorKind::Other;
    }
}

QString sentenceFor(int primaryCode, const QString& file) {
    const QString name = QDir::toNativeSeparators(file);
    switch (primaryCode) {
    case SQLITE_NOTADB:
        return QStringLiteral("文件“%1”不是雁书簿的数据库文件。").arg(name);
    case SQLITE_CORRUPT:
        return QStringLiteral("数据库文件“%1”已损坏，无法读取。").arg(name);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("数据库文件“%1”正被其他程序使用，请稍后再试。").arg(name);
    case SQLITE_READONLY:
        return QStringLiteral("数据库文件“%1”是只读的，无法保存更改。").arg(name);
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("无法打开数据库文件“%1”。").arg(name);
    case SQLITE_FULL:
        return QStringLiteral("磁盘已满，无法保存对“%1”的更改。").arg(name);
    case SQLITE_IOERR:
        return QStringLiteral("读写数据库文件“%1”时出错。").arg(name);
    case SQLITE_CONSTRAINT:
    case SQLITE_MISMATCH:
    case SQLITE_TOOBIG:
        return QStringLiteral("数据库拒绝保存这些内容。");
    default:
        return QStringLiteral("数据库操作失败。");
    }
}

} // namespace

DbError DbError::fromEngine(int engineCode, const QString& engineMessage, const QString& file,
                            const QString& context) {
    QString message = sentenceFor(engineCode & 0xff, file);
    DbErrorKind kind = kindOf(engineCode & 0xff);
    // A missing table usually means the file belongs to some other program.
    if ((engineCode & 0xff) == SQLITE_ERROR && engineMessage.startsWith(u"no such table")) {
        message = QStringLiteral("数据库文件“%1”中缺少所需的表，它可能不是雁书簿的数据库。")
                      .arg(QDir::toNativeSeparators(file));
        kind = DbErrorKind::NotOurs;
    }
    const QString detail =
        QStringLiteral("SQLite %1: %2; %3").arg(engineCode).arg(engineMessage, context);
    return DbError(message, detail, engineCode, kind);
}

} // namespace db
