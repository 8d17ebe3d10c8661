#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>

struct sqlite3_stmt;

namespace db {

class Connection;

// One prepared SQL statement on a connection, finalized with the object.
// Values are bound, never pasted into the text.
class Statement {
public:
    // Throws DbError when the connection is closed or the text does not
    // prepare.
    Statement(const Connection& connection, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Binds the '?' parameters in order: null, whole numbers, reals, bytes
    // as blobs, anything else as text.
    void bind(int index, const QVariant& value);
    void bindAll(const QVariantList& values);
    // Steps once; true while a row is available. Throws DbError on failure.
    bool step();
    // Runs the statement to its end, for one that returns no rows.
    void run();
    // Makes the statement ready to bind and run again.
    void reset();

    int columnCount() const;
    QString columnName(int column) const;
    qint64 integer(int column) const;
    QVariant value(int column) const;
    // The column as text, whatever its type; NULL is empty.
    QString text(int column) const;

    sqlite3_stmt* get() const { return stmt_; }

private:
    [[noreturn]] void fail(int code) const;

    const Connection& connection_;
    QString sql_;
    sqlite3_stmt* stmt_ = nullptr;
};

} // namespace db
