#pragma once

#include <QString>

namespace db {
class Connection;
}

namespace bench {

// Makes folder/MY.mdb holding that many generated contacts.
void makeDatabase(const QString& folder, int count);

// Fills yanshu with generated contacts of card-like size, in one transaction.
// Contact i is named <surname>测试<i>; the last three share the name 重名.
void generateContacts(db::Connection& connection, int count);

// What a plain program does: steps through SELECT * and reads every column
// as text, on a connection of its own. Returns the bytes of text read.
qint64 bareRead(const QString& path);

// A figure of /proc/self/status in KiB, such as "VmRSS:" or "VmHWM:".
long statusKb(const char* field);

} // namespace bench
