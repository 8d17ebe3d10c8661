#pragma once

namespace db {

class Connection;

// A batch of writes as one transaction, one sync to disk: committed by
// commit(), rolled back if the object goes without it (an exception).
// Inside another transaction it is a savepoint of it: its writes are
// undone alone, and reach the file when the outer one commits.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();

private:
    Connection& connection_;
    bool open_ = true;
    bool nested_ = false;
};

} // namespace db
