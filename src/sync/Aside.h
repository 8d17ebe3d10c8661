#pragma once

#include "Engine.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

namespace carddav {

// Work that waits on a server, on a thread of its own, so that the windows
// go on meanwhile. finished() comes once, on the thread that made it. The
// work sees `cancelled` set by cancel(): an exchange with the server then
// ends at once (HTTP made with it fails).
class Aside : public QObject {
    Q_OBJECT
public:
    using Work = std::function<void(const std::atomic_bool& cancelled)>;
    explicit Aside(Work work, QObject* parent = nullptr);
    // Cancels work still running and waits for it to end.
    ~Aside() override;

    void start();
    void cancel() { cancelled_ = true; }
    bool running() const;

signals:
    void finished();

private:
    Work work_;
    std::atomic_bool cancelled_ = false;
    std::unique_ptr<QThread> thread_;
};

// A sync of the book in `databaseFile` with its account, as work aside:
// its own connection to the book and its own HTTP. `report` gets what it
// did, or `failure` a sentence for the user (nothing half done is kept).
// `confirm` is asked on the work's thread.
Aside::Work syncWork(const QString& databaseFile, const Credentials& credentials,
                     const SyncEngine::Confirm& confirm, SyncReport& report, QString& failure);

} // namespace carddav
