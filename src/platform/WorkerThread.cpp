#include "WorkerThread.h"

#include <QtGlobal>

namespace platform {

#ifdef Q_OS_WIN
namespace {

// Before main: Qt decides on the JIT when it compiles its first pattern,
// which it may do while it makes the application object.
const bool interpreted = qputenv("QT_ENABLE_REGEXP_JIT", "0");

} // namespace
#endif

std::unique_ptr<QThread> workerThread(std::function<void()> work) {
    return std::unique_ptr<QThread>(QThread::create(std::move(work)));
}

} // namespace platform
