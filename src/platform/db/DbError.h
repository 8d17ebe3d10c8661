#pragma once

#include <QString>

#include <exception>
#include <string>

namespace db {

// What went wrong, so that a caller can offer a way out (an import for an
// old Access file, a second try for a locked one).
enum class DbErrorKind {
    Other,
    Missing,       // no such file
    NotOurs,       // some other program's file, or lacking our tables
    OldAccessFile, // the old Windows program's Access file
    Locked,        // another program holds it
    ReadOnly,
    Corrupt,
    NewerVersion, // made by a newer 雁书簿
    Constraint,   // the database refused the values
    DiskFull,
    Io,
    Interrupted, // the user cancelled the work
};

// The one error every database failure becomes: a Chinese sentence for the
// user and the technical detail (engine message, SQL) for whoever debugs it.
class DbError : public std::exception {
public:
    DbError(QString userMessage, QString detail, int engineCode = 0,
            DbErrorKind kind = DbErrorKind::Other);

    // Work asked of a connection or table that is not open.
    static DbError notOpen(const QString& detail);
    // Builds the user's sentence from an SQLite result code.
    static DbError fromEngine(int engineCode, const QString& engineMessage, const QString& file,
                              const QString& context);

    const QString& userMessage() const { return userMessage_; }
    const QString& detail() const { return detail_; }
    int engineCode() const { return engineCode_; }
    DbErrorKind kind() const { return kind_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    QString userMessage_;
    QString detail_;
    int engineCode_;
    DbErrorKind kind_;
    std::string what_;
};

// What went wrong with a file the program reads or writes beside the
// database (an import, an export, a folder): a DbError, so that one catch
// and one message box serve both.
enum class FileFailure {
    Open,
    Read,
    Write,
    DiskFull,
    MakeFolder,
    MakeBackupFolder,
};

class FileError : public DbError {
public:
    // `path` names the file or folder in the user's sentence; `detail` is
    // the system's own text.
    FileError(FileFailure failure, const QString& path, const QString& detail);
};

} // namespace db
