#include "ReadAhead.h"

#include "platform/WorkerThread.h"

namespace interchange {

namespace {

// A piece is handed over at so many entries or so many bytes of the file,
// and so many wait at most: what is read ahead stays a few MiB.
constexpr std::size_t pieceEntries = 64;
constexpr qint64 pieceBytes = qint64(1) << 20;
constexpr std::size_t waitingPieces = 4;

} // namespace

template <class Ready> void ReadAhead::waitFor(Ready ready) {
    while (!ready()) {
        changed_.wait(&mutex_, QDeadlineTimer(100));
    }
}

ReadAhead::ReadAhead(Reader reader)
    : reader_(std::move(reader))
    , thread_(platform::workerThread([this] { run(); })) {
    thread_->start();
}

ReadAhead::~ReadAhead() {
    {
        const QMutexLocker lock(&mutex_);
        stopped_ = true;
    }
    changed_.wakeAll();
    thread_->wait();
}

void ReadAhead::run() {
    try {
        std::deque<Read> piece;
        qint64 pieceStart = 0;
        for (;;) {
            std::optional<Read> read = reader_();
            const bool last = !read;
            if (read) {
                piece.push_back(std::move(*read));
            }
            if (!last && piece.size() < pieceEntries &&
                piece.back().position - pieceStart < pieceBytes) {
                continue;
            }
            pieceStart = piece.empty() ? pieceStart : piece.back().position;
            QMutexLocker lock(&mutex_);
            waitFor([&] { return stopped_ || ready_.size() < waitingPieces; });
            if (stopped_) {
                return;
            }
            ready_.push_back(std::exchange(piece, {}));
            ended_ = last;
            lock.unlock();
            changed_.wakeAll();
            if (last) {
                return;
            }
        }
    } catch (...) {
        {
            const QMutexLocker lock(&mutex_);
            failure_ = std::current_exception();
        }
        changed_.wakeAll();
    }
}

std::optional<ReadAhead::Read> ReadAhead::next() {
    while (taken_.empty()) {
        QMutexLocker lock(&mutex_);
        waitFor([&] { return !ready_.empty() || ended_ || failure_; });
        if (!ready_.empty()) {
            taken_ = std::move(ready_.front());
            ready_.pop_front();
            lock.unlock();
            changed_.wakeAll();
        } else if (failure_) {
            std::rethrow_exception(failure_);
        } else {
            return std::nullopt;
        }
    }
    Read read = std::move(taken_.front());
    taken_.pop_front();
    return read;
}

} // namespace interchange
