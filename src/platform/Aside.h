#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

namespace platform {

// Work beside the windows, on a thread of its own, so that they go on
// meanwhile. finished() comes once, on the thread that made it. The work
// sees `cancelled` set by cancel() and should end soon after.
class Aside : public QObject {
    Q_OBJECT
public:
    using Work = std::function<void(const std::atomic_bool& cancelled)>;
    explicit Aside(Work work, QObject* parent = nullptr);
    // Cancels work still running and waits for it to end.
    ~Aside() override;

    void start();
    void cancel() { cancelled_ = true; }
    // From start() until finished() has come.
    bool running() const { return running_; }

signals:
    void finished();

private:
    Work work_;
    std::atomic_bool cancelled_ = false;
    bool running_ = false; // on the thread that made it
    std::unique_ptr<QThread> thread_;
};

} // namespace platform
