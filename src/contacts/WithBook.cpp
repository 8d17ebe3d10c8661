#include "WithBook.h"

#include "Schema.h"

#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/ui/Guard.h"

namespace contacts {

bool withBook(const platform::Services& services, const std::function<void(db::Connection&)>& use) {
    return ui::guarded(services.messageBox, [&] {
        db::Connection connection;
        openDatabase(connection, db::connectionString(services.databaseFile));
        use(connection);
    });
}

} // namespace contacts
