#include "SyncWork.h"

#include "contacts/Schema.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DbError.h"
#include "platform/net/Http.h"

namespace carddav {

platform::Aside::Work syncWork(const QString& databaseFile, const Credentials& credentials,
                               const SyncEngine::Confirm& confirm, SyncReport& report,
                               QString& failure) {
    return [=, &report, &failure](const std::atomic_bool& cancelled) {
        try {
            db::Connection connection;
            contacts::openDatabase(connection, db::connectionString(databaseFile));
            const std::unique_ptr<net::Http> http = net::systemHttp(&cancelled);
            CardDavClient dav(*http, credentials);
            report = SyncEngine(connection, dav, confirm).run();
        } catch (const DavError& e) {
            failure = e.userMessage();
        } catch (const db::DbError& e) {
            failure = e.userMessage();
        } catch (const std::exception& e) {
            failure = QStringLiteral("同步时出错：%1").arg(QString::fromUtf8(e.what()));
        }
    };
}

} // namespace carddav
