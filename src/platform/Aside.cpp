#include "Aside.h"

#include "WorkerThread.h"

#include <QThread>

namespace platform {

Aside::Aside(Work work, QObject* parent)
    : QObject(parent)
    , work_(std::move(work)) {}

Aside::~Aside() {
    if (thread_) {
        cancel();
        thread_->wait();
    }
}

void Aside::start() {
    if (running_) {
        return;
    }
    if (thread_) {
        thread_->wait(); // done with its work: finished() has come
    }
    running_ = true;
    cancelled_ = false;
    thread_ = workerThread([this] {
        work_(cancelled_);
        // Told on this object's own thread, once the work is done with it;
        // from then on it may start again, though the thread is still ending.
        QMetaObject::invokeMethod(
            this,
            [this] {
                running_ = false;
                emit finished();
            },
            Qt::QueuedConnection);
    });
    thread_->start();
}

} // namespace platform
