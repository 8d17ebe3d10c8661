#pragma once

#include "Entry.h"
#include "Pieces.h"

#include <QByteArray>
#include <QStringList>

#include <optional>
#include <vector>

namespace contacts {
struct Contact;
}

namespace interchange {

// Whether the file, where it stands, begins with UTF-8's byte-order mark,
// which is then passed.
bool skipByteOrderMark(QIODevice& device);

// Reads RFC 4180 rows of a file a piece at a time: fields split by commas,
// quoted ones holding commas, doubled quotes and line breaks; rows end
// with CR LF or LF. The text is UTF-8 (with or without its mark), else GBK
// (what Excel and WPS save on a Chinese system); in a file that holds both,
// each cell is read on its own. A row whose quote runs on past any real
// field, or that is longer than any real row, is left out, and its line
// and the reason kept in errors().
class CsvReader {
public:
    // From where the file stands, after any mark (`marked`); `mixed` is how
    // its text stands to UTF-8.
    CsvReader(QIODevice& device, const text::MixedText& mixed, bool marked,
              qsizetype pieceSize = Pieces::pieceSize);

    // The next row and the line it begins on; nothing at the end.
    std::optional<std::pair<int, QStringList>> next();
    // How much of the file is read.
    qint64 position() const { return pieces_.done(); }
    const ReadErrors& errors() const { return errors_; }
    // The lines read otherwise than the file says, up to the line, which
    // are taken away.
    Decoding decodedUpTo(int line) { return decoding_.takeUpTo(line); }

private:
    bool more();
    QString decoded(QByteArrayView piece);
    void skipRow(int first, const QString& reason);

    Pieces pieces_;
    text::MixedText mixed_;
    QByteArrayView named_; // the set the file names by its mark
    bool oneSet_;
    int decodedLine_ = 1; // of the text decoded so far
    Decoding decoding_;
    QString text_;           // decoded, from the start of the row being read
    qsizetype rowStart_ = 0; // in text_
    qsizetype position_ = 0; // in text_
    int line_ = 1;
    ReadErrors errors_;
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
