#include "NewBook.h"

#include "UserStore.h"

#include "contacts/Schema.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace account {

void createBook(const QString& file, const QString& userName, const QString& password,
                const std::function<void(db::Connection&)>& fill) {
    const QFileInfo info(file);
    if (!QDir().mkpath(info.absolutePath())) {
        throw db::FileError(db::FileFailure::MakeFolder, info.absolutePath(),
                            QStringLiteral("mkpath failed"));
    }
    db::Connection connection;
    connection.create(file); // refuses a file that exists
    try {
        contacts::createSchema(connection);
        UserStore::add(connection, userName, password);
        if (fill) {
            fill(connection);
        }
    } catch (...) {
        connection.close();
        QFile::remove(file);
        throw;
    }
}

} // namespace account
