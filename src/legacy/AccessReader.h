#pragma once

#include "ReaderStream.h"

#include <QProcess>

#include <functional>

namespace legacy {

// An old Access file read in a process of its own (yanshubu-access-reader),
// which sends the rows through a pipe. libmdb, made for the job, trusts the
// file: a damaged one can crash it, loop for ever or eat memory without
// end. Here that ends the reading process, capped in memory and in the time
// it may go without a word, and its warnings go nowhere: the program says
// the file is damaged and goes on.
class AccessReader {
public:
    using Row = std::vector<std::optional<QString>>;
    using KeepWaiting = std::function<bool()>;
    enum class Next { Row, Unreadable, End };

    // Starts reading `tables`, in this order, of those the file has. While
    // it waits for the reader it calls keepWaiting, at least every 50 ms;
    // false stops the reading and leaves it cancelled. Throws DbError when
    // the file cannot be read.
    AccessReader(const QString& path, const QStringList& tables, KeepWaiting keepWaiting = {});
    ~AccessReader();
    AccessReader(const AccessReader&) = delete;
    AccessReader& operator=(const AccessReader&) = delete;

    bool cancelled() const { return cancelled_; }
    bool hasTable(const QString& name) const;
    // Moves on to the next table asked for that the file has: its columns,
    // and in rowCount the rows its header counts.
    QStringList table(qint64& rowCount);
    // The table's next row; Unreadable with why for a row that could not be
    // read, which is passed over; End after the last and when cancelled.
    Next next(Row& row, QString& why);

private:
    std::optional<Message> receive();
    void stop();
    [[noreturn]] void fail(const QString& why);

    QString path_;
    KeepWaiting keepWaiting_;
    QProcess process_;
    MessageReader messages_;
    QStringList tables_;
    bool cancelled_ = false;
};

} // namespace legacy
