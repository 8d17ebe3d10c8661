#pragma once

#include <QThread>

#include <functional>
#include <memory>

namespace platform {

// A thread for work beside the windows, not yet started. On Windows, Qt
// keeps PCRE's JIT stack for a thread in a thread_local, which MinGW's
// runtime frees out of order when the thread ends, damaging the heap (the
// process then hangs or crashes at its exit). A program that links this
// therefore runs regular expressions without the JIT there, on every thread.
std::unique_ptr<QThread> workerThread(std::function<void()> work);

} // namespace platform
