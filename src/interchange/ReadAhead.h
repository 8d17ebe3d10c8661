#pragma once

#include "Entry.h"

#include <QThread>

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace interchange {

// The entries of a file read on a thread of their own, a little ahead of
// the import, which meanwhile stores those before them: on two cores an
// import takes the longer of reading and storing rather than their sum.
// What the thread reads stays its own until next() has said the end, or
// this is gone.
class ReadAhead {
public:
    struct Read {
        Entry entry;
        qint64 position; // how much of the file was read for it
    };
    // Gives the next entry, or nothing at the end; may throw.
    using Reader = std::function<std::optional<Read>()>;

    explicit ReadAhead(Reader reader);
    ~ReadAhead(); // stops the thread, and waits for it
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next entry, or nothing at the end; the reader's exception is
    // thrown here.
    std::optional<Read> next();

private:
    void run();

    Reader reader_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::deque<Read>> ready_; // in pieces, each handed over at once
    std::deque<Read> taken_;
    bool ended_ = false;
    bool stopped_ = false;
    std::exception_ptr failure_;
    std::unique_ptr<QThread> thread_;
};

} // namespace interchange
