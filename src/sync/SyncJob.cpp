#include "SyncJob.h"

#include "contacts/Schema.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DbError.h"
#include "platform/net/Http.h"

#include <QThread>

namespace carddav {

SyncJob::SyncJob(QString databaseFile, Credentials credentials, SyncEngine::Confirm confirm,
                 QObject* parent)
    : QObject(parent)
    , databaseFile_(std::move(databaseFile))
    , credentials_(std::move(credentials))
    , confirm_(std::move(confirm)) {}

SyncJob::~SyncJob() {
    if (thread_) {
        cancel();
        thread_->wait();
    }
}

bool SyncJob::running() const {
    return thread_ && !thread_->isFinished();
}

void SyncJob::start() {
    if (running()) {
        return;
    }
    cancelled_ = false;
    delete thread_;
    thread_ = QThread::create([this] {
        SyncReport report;
        QString failure;
        try {
            db::Connection connection;
            contacts::openDatabase(connection, db::connectionString(databaseFile_));
            const std::unique_ptr<net::Http> http = net::systemHttp(&cancelled_);
            CardDavClient dav(*http, credentials_);
            report = SyncEngine(connection, dav, confirm_).run();
        } catch (const DavError& e) {
            failure = e.userMessage();
        } catch (const db::DbError& e) {
            failure = e.userMessage();
        } catch (const std::exception& e) {
            failure = QStringLiteral("同步时出错：%1").arg(QString::fromUtf8(e.what()));
        }
        // Told on the job's own thread, once this one is done with it.
        QMetaObject::invokeMethod(
            this, [this, report, failure] { emit finished(report, failure); },
            Qt::QueuedConnection);
    });
    thread_->start();
}

} // namespace carddav
