#pragma once

#include <QString>

#include <exception>
#include <string>

namespace db {

// The one error every database failure becomes: a Chinese sentence for the
// user and the technical detail (engine message, SQL) for whoever debugs it.
class DbError : public std::exception {
public:
    DbError(QString userMessage, QString detail, int engineCode = 0);

    // Builds the user's sentence from an SQLite result code.
    static DbError fromEngine(int engineCode, const QString& engineMessage, const QString& file,
                              const QString& context);

    const QString& userMessage() const { return userMessage_; }
    const QString& detail() const { return detail_; }
    int engineCode() const { return engineCode_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    QString userMessage_;
    QString detail_;
    int engineCode_;
    std::string what_;
};

} // namespace db
