#pragma once

namespace db {
class Connection;
}

// A handful of made-up contacts to try the program with.
void addDemoContacts(db::Connection& connection);
