#include "Termination.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <windows.h>

namespace platform {

namespace {

// The end of the Windows session: WM_ENDSESSION reaches every top-level
// window, and the process may be ended as soon as it is answered, so the
// handler runs before that.
class EndSessionFilter : public QAbstractNativeEventFilter {
public:
    explicit EndSessionFilter(std::function<void()> handler)
        : handler_(std::move(handler)) {}

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        const auto* msg = static_cast<const MSG*>(message);
        if (type == "windows_generic_MSG" && msg->message == WM_ENDSESSION && msg->wParam &&
            !done_) {
            done_ = true;
            handler_();
        }
        return false;
    }

private:
    std::function<void()> handler_;
    bool done_ = false;
};

// Ctrl+C, Ctrl+Break and the console's close box come on a thread of the
// system's: the handler is posted to the user-interface thread. For a close,
// a log-off or a shut-down the system ends the process as soon as this
// returns, so it waits: the program's own exit ends it first.
std::function<void()>* consoleHandler = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { (*consoleHandler)(); }, Qt::QueuedConnection);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        Sleep(INFINITE);
    }
    return TRUE;
}

} // namespace

void onTerminationRequest(std::function<void()> handler) {
    auto* app = QCoreApplication::instance();
    app->installNativeEventFilter(new EndSessionFilter(handler));
    consoleHandler = new std::function<void()>(std::move(handler));
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

} // namespace platform
