#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace legacy {

// The most memory the reading process may take: far more than any real
// address book needs; a loop in libmdb reaches it in a few seconds.
constexpr qint64 readerMemoryLimitMiB = 256;

// What the process reading an old Access file tells the program, one
// message at a time through a pipe.
struct Message {
    enum Kind : quint8 {
        Tables,     // the file's tables, in `names`
        Head,       // a table begins: its columns in `names`, its header's row count
        Row,        // one row's values, nothing for NULL
        Unreadable, // a row that could not be read, and `why`
        End,        // the table has no more rows
        Failed,     // the file or table could not be read, and `why`
    };
    Kind kind = End;
    QStringList names;
    qint64 count = 0;
    std::vector<std::optional<QString>> row;
    QString why;
};

Message message(Message::Kind kind, QStringList names = {}, qint64 count = 0, QString why = {});

using MessageSink = std::function<void(const Message&)>;

// The message as bytes: its length, then its fields.
QByteArray encode(const Message& message);

// Takes whole messages off the bytes as they come. Throws DbError on bytes
// that are no message or one longer than `limit`.
class MessageReader {
public:
    explicit MessageReader(qsizetype limit)
        : limit_(limit) {}
    void append(const QByteArray& bytes);
    std::optional<Message> take();

private:
    qsizetype limit_;
    QByteArray bytes_;
    qsizetype at_ = 0; // where the next message begins
};

// The one message for an old file that cannot be read.
[[noreturn]] void damaged(const QString& path, const QString& why);

} // namespace legacy
