#pragma once

#include "Entry.h"

#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <deque>
#include <exception>
#include <functional>
#include <memory>
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
    // Waits until `ready` holds, looking again now and then: a wake-up
    // lost by a thread library (MinGW's under Wine has been seen to) only
    // delays it.
    template <class Ready> void waitFor(Ready ready);

    Reader reader_;
    QMutex mutex_;
    QWaitCondition changed_;
    std::deque<std::deque<Read>> ready_; // in pieces, each handed over at once
    std::deque<Read> taken_;
    bool ended_ = false;
    bool stopped_ = false;
    std::exception_ptr failure_;
    std::unique_ptr<QThread> thread_;
};

} // namespace interchange
