#include "Transaction.h"

#include "Connection.h"
#include "DbError.h"

namespace db {

Transaction::Transaction(Connection& connection)
    : connection_(connection)
    , nested_(connection.inTransaction()) {
    if (nested_) {
        connection_.execute(QStringLiteral("SAVEPOINT nested"));
        return;
    }
    // Immediate: the write lock is taken now, not at the first write, so a
    // batch never fails half-way for want of it.
    connection_.execute(QStringLiteral("BEGIN IMMEDIATE"));
}

Transaction::~Transaction() {
    if (open_ && nested_) {
        try {
            connection_.execute(QStringLiteral("ROLLBACK TO nested; RELEASE nested"));
        } catch (const DbError&) {
            // the outer transaction has ended with the failure
        }
        return;
    }
    if (open_) {
        try {
            connection_.execute(QStringLiteral("ROLLBACK"));
        } catch (const DbError&) {
            // the engine has rolled back already (a failed commit, a closed file)
        }
        // A write that failed half-way, on a full disk, leaves the grown file
        // and its journal for the next reader to play back: this one reads
        // now, so that the file is as it was before the caller goes on.
        try {
            connection_.execute(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        } catch (const DbError&) {
            // a closed or unreadable file: its next open plays the journal back
        }
    }
}

void Transaction::commit() {
    connection_.execute(nested_ ? QStringLiteral("RELEASE nested") : QStringLiteral("COMMIT"));
    open_ = false;
}

} // namespace db
