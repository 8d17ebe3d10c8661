#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

#include "ReaderStream.h"

#include <mdbtools.h>

namespace legacy {

// One table of an Access file, row by row in the order the file keeps.
// Every row is checked before a byte of it is used: a row whose stored
// layout does not fit in its bytes, or a memo whose pages loop or run out,
// is reported, never read past or filled in.
class AccessTable {
public:
    ~AccessTable();
    AccessTable(const AccessTable&) = delete;
    AccessTable& operator=(const AccessTable&) = delete;

    const QStringList& columns() const { return columns_; }
    // As the table's own header counts them.
    qint64 rowCount() const;
    // The next row's values in column order, nothing for NULL; false at the
    // end. Throws DbError, and moves past the row, when it cannot be read.
    bool next(std::vector<std::optional<QString>>& row);

private:
    friend class AccessFile;
    AccessTable(MdbHandle* handle, MdbTableDef* table, QString path, qint64 pages);
    // Moves to the next row and cracks it into fields_; false at the end.
    bool nextFields();
    bool nextPage();
    void crack(int start, size_t size);
    std::optional<QString> value(int column) const;
    int columnType(int index) const;
    enum class Extent { Stated, Whole };
    QByteArray longValue(const MdbField& field, Extent extent) const;
    [[noreturn]] void rowUnreadable(const QString& why) const;

    MdbHandle* handle_; // owned by the file
    MdbTableDef* table_;
    QString path_;
    qint64 pages_; // in the file
    QStringList columns_;
    std::vector<MdbField> fields_;
    int rowsOnPage_ = 0;
    int rowOnPage_ = 0;
    bool started_ = false;
};

// An old Access file (Jet 3 or 4, Access 97 to 2003, or ACE of 2007 on),
// opened read only through libmdb. Text is decoded here from the stored
// bytes, so that NULL and empty text stay apart and characters outside the
// BMP come through, which libmdb's own strings lose. The catalog's rows and
// properties are checked before libmdb reads them, as libmdb does not
// check them itself.
class AccessFile {
public:
    // Throws DbError when the file is no Access file or cannot be read.
    explicit AccessFile(const QString& path);
    ~AccessFile();
    AccessFile(const AccessFile&) = delete;
    AccessFile& operator=(const AccessFile&) = delete;

    const QStringList& tables() const { return tables_; }
    bool hasTable(const QString& name) const;
    // Throws DbError when there is no such table or it cannot be read.
    std::unique_ptr<AccessTable> table(const QString& name);

private:
    std::unique_ptr<AccessTable> open(MdbCatalogEntry* entry, const QString& name);
    void checkCatalog();

    MdbHandle* handle_;
    QString path_;
    qint64 pages_ = 0;
    QStringList tables_;
};

// What the reading process does: reads the wanted tables (all when none
// is named) of the file, in that order, and hands each step to `out`; a
// row it cannot read is reported and passed over, a file or table it cannot
// read ends the reading with a message saying why.
void readTables(const QString& path, const QStringList& wanted, const MessageSink& out);

} // namespace legacy
