#include "SessionBackup.h"

#include "contacts/Backups.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DbError.h"
#include "platform/db/Statement.h"
#include "platform/ui/Progress.h"

#include <functional>

namespace app {

// The engine counts, per connection, the commits of every other
// connection to the file: a changed number means something was written.
qint64 SessionBackup::dataVersion() const {
    db::Statement version(watch_, QStringLiteral("PRAGMA data_version"));
    return version.step() ? version.integer(0) : 0;
}

void SessionBackup::start(const QString& databaseFile) {
    try {
        watch_.open(db::connectionString(databaseFile));
        startVersion_ = dataVersion();
    } catch (const db::DbError& e) {
        watch_.close();
        qWarning("%s", qUtf8Printable(e.detail()));
    }
}

std::optional<QString> SessionBackup::finish(const QDateTime& now, ui::ProgressService& progress) {
    if (!watch_.isOpen()) {
        return std::nullopt;
    }
    const bool changed = dataVersion() != startVersion_;
    const QString file = watch_.path();
    watch_.close();
    if (!changed) {
        return std::nullopt;
    }
    ui::ProgressScope copying(progress, QStringLiteral("正在备份通讯录……"));
    return contacts::takeBackup(file, now, std::ref(copying)).path;
}

} // namespace app
