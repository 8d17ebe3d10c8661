#pragma once

#include "platform/db/Connection.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace ui {
class ProgressService;
}

namespace app {

// Whether the book changed in this run, by whichever connection, and a
// backup of it then on the way out.
class SessionBackup {
public:
    // From the login on; an unreadable file simply is not watched.
    void start(const QString& databaseFile);
    // When the book changed since start, the backup that holds it (the
    // newest one already may), else nothing;
    // throws DbError when it cannot be made or is cancelled. Watching ends.
    std::optional<QString> finish(const QDateTime& now, ui::ProgressService& progress);

private:
    qint64 dataVersion() const;

    db::Connection watch_;
    qint64 startVersion_ = 0;
};

} // namespace app
