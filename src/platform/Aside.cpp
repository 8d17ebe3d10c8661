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

bool Aside::running() const {
    return thread_ && !thread_->isFinished();
}

void Aside::start() {
    if (running()) {
        return;
    }
    cancelled_ = false;
    thread_ = workerThread([this] {
        work_(cancelled_);
        // Told on this object's own thread, once the work is done with it.
        QMetaObject::invokeMethod(this, &Aside::finished, Qt::QueuedConnection);
    });
    thread_->start();
}

} // namespace platform
