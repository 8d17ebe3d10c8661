#pragma once

namespace db {
class Connection;
}

namespace bench {

// Fills yanshu with generated contacts of card-like size, in one transaction.
// Contact i is named <surname>测试<i>; the last three share the name 重名.
void generateContacts(db::Connection& connection, int count);

// A figure of /proc/self/status in KiB, such as "VmRSS:" or "VmHWM:".
long statusKb(const char* field);

} // namespace bench
