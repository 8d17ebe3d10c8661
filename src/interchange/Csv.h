#pragma once

#include "Entry.h"

#include <QByteArray>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace contacts {
struct Contact;
}

namespace interchange {

// The text of a CSV file: UTF-8 with or without its mark, else GBK (what
// Excel and WPS save on a Chinese system). In a file that holds both, each
// cell is read on its own. Converted in pieces, after each of which `step`
// hears how many bytes are done and may stop it.
struct CsvText {
    QString text;
    Decoding decoding;
};
std::optional<CsvText> csvText(QByteArrayView bytes, const std::function<bool(qint64)>& step = {});

// Reads RFC 4180 rows: fields split by commas, quoted ones holding commas,
// doubled quotes and line breaks; rows end with CR LF or LF. A row whose
// quote runs on past any real field is left out, and its line and the
// reason kept in errors().
class CsvReader {
public:
    explicit CsvReader(QString text);

    // The next row and the line it begins on; nothing at the end.
    std::optional<std::pair<int, QStringList>> next();
    qsizetype position() const { return position_; }
    qsizetype size() const { return text_.size(); }
    const std::vector<ReadError>& errors() const { return errors_; }

private:
    void skipRow(int first, qsizetype start);

    QString text_;
    qsizetype position_ = 0;
    int line_ = 1;
    std::vector<ReadError> errors_;
};

// The columns of a file by its header row: this program's own (the card's
// captions), and those of Google Contacts and of Outlook by their names.
class CsvColumns {
public:
    explicit CsvColumns(const QStringList& header);
    Entry entry(const QStringList& row) const;
    // Whether any column is one of the known sets'.
    bool recognized() const { return recognized_; }

private:
    struct Column {
        QString group;    // columns of one group make one item
        QString property; // its vCard property
        QStringList types;
        int part = 0; // the component the value fills
        enum Role { Value, Types, Service, Formatted, Labels } role = Value;
    };
    std::vector<Column> columns_;
    bool recognized_ = false;
};

// This program's own header, and one contact as a row of it.
QStringList csvHeader();
QStringList csvRow(const contacts::Contact& contact);
// A row as the file holds it, with CR LF at its end.
QString csvLine(const QStringList& fields);

} // namespace interchange
