#pragma once

#include "Engine.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QThread;

namespace carddav {

// A sync of the book in `databaseFile` with its account, on a thread of
// its own (its own connection to the book and its own HTTP), so that the
// windows go on while it waits for the server. `confirm` is asked on that
// thread. finished() comes once, on the thread that made the job, with the
// report, or a sentence for the user when the sync failed or was
// cancelled (nothing it had not finished is kept).
class SyncJob : public QObject {
    Q_OBJECT
public:
    SyncJob(QString databaseFile, Credentials credentials, SyncEngine::Confirm confirm = {},
            QObject* parent = nullptr);
    // Cancels a sync still running and waits for it to end.
    ~SyncJob() override;

    void start();
    // Stops at the next exchange with the server.
    void cancel() { cancelled_ = true; }
    bool running() const;

signals:
    void finished(const carddav::SyncReport& report, const QString& failure);

private:
    QString databaseFile_;
    Credentials credentials_;
    SyncEngine::Confirm confirm_;
    std::atomic_bool cancelled_ = false;
    QThread* thread_ = nullptr;
};

} // namespace carddav
