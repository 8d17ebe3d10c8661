#pragma once

#include "platform/Services.h"

#include <functional>

namespace db {
class Connection;
}

namespace contacts {

// Opens the book for `use` on a connection of its own; a failure is shown,
// and false.
bool withBook(const platform::Services& services, const std::function<void(db::Connection&)>& use);

} // namespace contacts
