#pragma once

#include "platform/Progress.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <span>

struct sqlite3;

namespace db {

// A file's name as SQLite takes it: UTF-8 on Windows, whatever the code
// page; elsewhere the bytes the system's calls take.
QByteArray sqliteFileName(const QString& path);

// One open database file. Opening never creates a file: MY.mdb must exist.
class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the file named by the connection string's Data Source; throws
    // DbError when it is missing, unreadable, locked, corrupt or no database.
    void open(const QString& connectionString);
    void close();
    bool isOpen() const { return handle_ != nullptr; }

    // Makes a new, empty database file and opens it; refuses an existing file.
    void create(const QString& path);

    // Runs statements that return no rows (schema set-up).
    void execute(const QString& sql);
    // The row the last INSERT on this connection made.
    qint64 lastInsertedRow() const;

    const QString& path() const { return path_; }

    // A text function of ours that this connection's SQL (and the tables'
    // triggers) can call. It must give the same text for the same
    // arguments; NULL arguments arrive as empty texts.
    using TextFunction = std::function<QString(std::span<const QString> arguments)>;
    void defineFunction(const char* name, int argumentCount, TextFunction function);

    // Asked every so often while a statement runs: false interrupts it, and
    // it fails as interrupted (DbErrorKind::Interrupted). Empty: never asked.
    void setProgressHandler(std::function<bool()> handler);

    // The connection asks `keepGoing` while statements run, for as long as
    // this lives, and then what it asked before; an empty one leaves it
    // asking that.
    class Asking {
    public:
        Asking(Connection& connection, std::function<bool()> keepGoing)
            : connection_(connection)
            , previous_(connection.progress_) {
            if (keepGoing) {
                connection.setProgressHandler(std::move(keepGoing));
            }
        }
        ~Asking() { connection_.setProgressHandler(std::move(previous_)); }
        Asking(const Asking&) = delete;
        Asking& operator=(const Asking&) = delete;

    private:
        Connection& connection_;
        std::function<bool()> previous_;
    };

    // Runs once, just before the first statement that writes is stepped
    // (a Statement that is not read-only): what must happen only when the
    // file is about to change, such as its backup. Its exception stops
    // that statement. Empty: nothing runs.
    void beforeFirstWrite(std::function<void()> action);

    // Writes to these tables are refused as they are prepared, unless an
    // OwnedWrites of this connection lives: the tables' one owner holds
    // one around its own writes, and nobody else can write them. Triggers
    // the owner's writes fire are its own. Lasts until the file is closed.
    void reserveWrites(const QStringList& tables);
    class OwnedWrites {
    public:
        explicit OwnedWrites(Connection& connection)
            : connection_(connection) {
            ++connection_.owned_;
        }
        ~OwnedWrites() { --connection_.owned_; }
        OwnedWrites(const OwnedWrites&) = delete;
        OwnedWrites& operator=(const OwnedWrites&) = delete;

    private:
        Connection& connection_;
    };

    // Whether a transaction is open on this connection.
    bool inTransaction() const;

    // Has the system put on disk what the connection has written to its file
    // so far, a transaction's uncommitted pages too (the journal keeps them
    // undoable): the commit of a large one then has little left to wait
    // for. Any failure is left for the commit to report.
    void writeBack();
    // Writes the pages changed in the connection's cache to its file, as
    // the commit would; a failure too is left for the commit.
    void flushCache();
    // `keepGoing` (none: go on) that also writes back every 100 ms, for
    // the statements of a large transaction to ask.
    std::function<bool()> writingBack(std::function<bool()> keepGoing);

    // Drops every temporary table at once, with the file that holds them:
    // DROP TABLE would free a large one page by page, in one step that
    // nothing interrupts. Outside a transaction only. Temporary tables
    // are then kept in files.
    void discardTemporaries();

    // Turns the engine's last error on this connection into a DbError.
    [[noreturn]] void fail(int code, const QString& context) const;

private:
    friend class Statement;
    friend void copyDatabase(Connection& from, const QString& toPath,
                             const platform::Progress& progress);
    friend void copyDatabaseInto(const QString& fromPath, Connection& to,
                                 const platform::Progress& progress);
    sqlite3* handle() const { return handle_; }

    void openPath(const QString& path);
    static int authorize(void* self, int action, const char* table, const char*, const char*,
                         const char* trigger);

    sqlite3* handle_ = nullptr;
    QString path_;
    std::function<bool()> progress_;
    mutable std::function<void()> beforeWrite_; // Statement runs it
    QStringList reserved_;
    int owned_ = 0;
};

// What Connection::writeBack does, for a handle of the engine's own.
void writeBack(sqlite3* handle);

} // namespace db
