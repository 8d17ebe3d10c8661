#include "ReaderStream.h"

#include "platform/db/DbError.h"

#include <QDataStream>
#include <QDir>

namespace legacy {

namespace {

constexpr auto version = QDataStream::Qt_6_0;
constexpr qsizetype lengthSize = 4;

[[noreturn]] void garbled(const QString& why) {
    throw db::DbError(QStringLiteral("读取旧版数据库的程序送来了无法理解的内容。"), why, 0,
                      db::DbErrorKind::Other);
}

} // namespace

Message message(Message::Kind kind, QStringList names, qint64 count, QString why) {
    Message m;
    m.kind = kind;
    m.names = std::move(names);
    m.count = count;
    m.why = std::move(why);
    return m;
}

QByteArray encode(const Message& message) {
    QByteArray bytes(lengthSize, '\0');
    QDataStream out(&bytes, QIODevice::WriteOnly | QIODevice::Append);
    out.setVersion(version);
    out << quint8(message.kind) << message.names << message.count << quint32(message.row.size());
    for (const std::optional<QString>& value : message.row) {
        out << bool(value);
        if (value) {
            out << *value;
        }
    }
    out << message.why;
    const quint32 length = quint32(bytes.size() - lengthSize);
    for (int i = 0; i < lengthSize; ++i) {
        bytes[i] = char(length >> (8 * i));
    }
    return bytes;
}

void MessageReader::append(const QByteArray& bytes) {
    if (at_ > 0 && at_ >= bytes_.size() / 2) {
        bytes_.remove(0, at_); // what was read before goes, now and then
        at_ = 0;
    }
    bytes_ += bytes;
}

std::optional<Message> MessageReader::take() {
    if (bytes_.size() - at_ < lengthSize) {
        return std::nullopt;
    }
    quint32 length = 0;
    for (int i = 0; i < lengthSize; ++i) {
        length |= quint32(quint8(bytes_[at_ + i])) << (8 * i);
    }
    if (qint64(length) > limit_) {
        garbled(QStringLiteral("message of %1 bytes").arg(length));
    }
    if (bytes_.size() - at_ - lengthSize < qsizetype(length)) {
        return std::nullopt;
    }
    QDataStream in(bytes_.mid(at_ + lengthSize, length));
    in.setVersion(version);
    at_ += lengthSize + length;
    Message message;
    quint8 kind = 0;
    quint32 values = 0;
    in >> kind >> message.names >> message.count >> values;
    if (kind > Message::Failed || values > length) {
        garbled(QStringLiteral("message of kind %1 with %2 values").arg(kind).arg(values));
    }
    message.kind = Message::Kind(kind);
    message.row.resize(values);
    for (std::optional<QString>& value : message.row) {
        bool present = false;
        in >> present;
        if (present) {
            in >> value.emplace();
        }
    }
    in >> message.why;
    if (in.status() != QDataStream::Ok || !in.atEnd()) {
        garbled(QStringLiteral("message of kind %1 cut short").arg(kind));
    }
    return message;
}

void damaged(const QString& path, const QString& why) {
    throw db::DbError(QStringLiteral("无法读取旧版数据库“%1”：文件已损坏或不是 Access 数据库。")
                          .arg(QDir::toNativeSeparators(path)),
                      why, 0, db::DbErrorKind::Corrupt);
}

} // namespace legacy
