#include "Termination.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

int wakeFds[2] = {-1, -1};

// All a signal handler may safely do: write one byte. A second request
// finds the default action again and ends the program at once.
void wake(int) {
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFds[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

void onTerminationRequest(std::function<void()> handler) {
    if (wakeFds[0] < 0 &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, wakeFds) != 0) {
        return; // the default action stays: the program is simply ended
    }
    auto* notifier =
        new QSocketNotifier(wakeFds[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [handler = std::move(handler)] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(wakeFds[1], &byte, 1);
        handler();
    });
    struct sigaction action = {};
    action.sa_handler = wake;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

} // namespace platform
