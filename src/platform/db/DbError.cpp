#include "DbError.h"

#include <QDir>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <utility>

namespace db {

DbError::DbError(QString userMessage, QString detail, int engineCode, DbErrorKind kind)
    : userMessage_(std::move(userMessage))
    , detail_(std::move(detail))
    , engineCode_(engineCode)
    , kind_(kind)
    , what_((userMessage_ + QStringLiteral(" (") + detail_ + QStringLiteral(")")).toStdString()) {}

DbError DbError::notOpen(const QString& detail) {
    return DbError(QStringLiteral("数据库没有打开。"), detail);
}

namespace {

// The sentences of file failures ("%1" is the file or folder).
struct FileSentence {
    FileFailure failure;
    DbErrorKind kind;
    const char16_t* sentence;
};

constexpr FileSentence fileSentences[] = {
    {FileFailure::Open, DbErrorKind::Io, u"无法打开文件“%1”。"},
    {FileFailure::Read, DbErrorKind::Io, u"无法读取文件“%1”。"},
    {FileFailure::Write, DbErrorKind::Io, u"无法写入文件“%1”。"},
    {FileFailure::DiskFull, DbErrorKind::DiskFull, u"磁盘已满，无法写入文件“%1”。"},
    {FileFailure::MakeFolder, DbErrorKind::Io, u"无法建立文件夹“%1”。"},
    {FileFailure::MakeBackupFolder, DbErrorKind::Io, u"无法建立备份文件夹“%1”。"},
};

const FileSentence& sentenceOf(FileFailure failure) {
    return *std::find_if(std::begin(fileSentences), std::end(fileSentences),
                         [failure](const FileSentence& s) { return s.failure == failure; });
}

} // namespace

FileError::FileError(FileFailure failure, const QString& path, const QString& detail)
    : DbError(QString::fromUtf16(sentenceOf(failure).sentence).arg(QDir::toNativeSeparators(path)),
              detail + QStringLiteral(": ") + path, 0, sentenceOf(failure).kind) {}

namespace {

// What an engine result code means to the user: its kind and the sentence
// for it ("%1" is the file).
struct Meaning {
    std::array<int, 3> codes; // unused places stay 0, which is no error
    DbErrorKind kind;
    const char16_t* sentence;
};

const Meaning meanings[] = {
    {{SQLITE_NOTADB}, DbErrorKind::NotOurs, u"文件“%1”不是雁书簿的数据库文件。"},
    {{SQLITE_CORRUPT}, DbErrorKind::Corrupt, u"数据库文件“%1”已损坏，无法读取。"},
    {{SQLITE_BUSY, SQLITE_LOCKED},
     DbErrorKind::Locked,
     u"数据库文件“%1”正被其他程序使用，请稍后再试。"},
    {{SQLITE_READONLY}, DbErrorKind::ReadOnly, u"数据库文件“%1”是只读的，无法保存更改。"},
    {{SQLITE_CANTOPEN, SQLITE_PERM}, DbErrorKind::Io, u"无法打开数据库文件“%1”。"},
    // Only a fault of the program's own: a write to a table that has an owner.
    {{SQLITE_AUTH}, DbErrorKind::Other, u"程序出错，对“%1”的这次写入被拒绝，没有保存任何更改。"},
    {{SQLITE_FULL}, DbErrorKind::DiskFull, u"磁盘已满，无法保存对“%1”的更改。"},
    {{SQLITE_IOERR}, DbErrorKind::Io, u"读写数据库文件“%1”时出错。"},
    {{SQLITE_CONSTRAINT, SQLITE_MISMATCH, SQLITE_TOOBIG},
     DbErrorKind::Constraint,
     u"数据库拒绝保存这些内容。"},
    {{SQLITE_INTERRUPT}, DbErrorKind::Interrupted, u"操作已取消，“%1”没有改动。"},
};

std::pair<DbErrorKind, QString> meaningOf(int primaryCode, const QString& file) {
    for (const Meaning& m : meanings) {
        if (primaryCode != SQLITE_OK &&
            std::find(m.codes.begin(), m.codes.end(), primaryCode) != m.codes.end()) {
            QString sentence = QString::fromUtf16(m.sentence);
            if (sentence.contains(u"%1")) {
                sentence = sentence.arg(QDir::toNativeSeparators(file));
            }
            return {m.kind, sentence};
        }
    }
    return {DbErrorKind::Other, QStringLiteral("数据库操作失败。")};
}

} // namespace

DbError DbError::fromEngine(int engineCode, const QString& engineMessage, const QString& file,
                            const QString& context) {
    auto [kind, message] = meaningOf(engineCode & 0xff, file);
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
