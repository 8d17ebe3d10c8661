#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

struct S_MdbTableDef;

namespace legacy {

// One table of an Access file, row by row in the order the file keeps.
class AccessTable {
public:
    ~AccessTable();
    AccessTable(const AccessTable&) = delete;
    AccessTable& operator=(const AccessTable&) = delete;

    const QStringList& columns() const { return columns_; }
    // As the table's own header counts them.
    qint64 rowCount() const;
    // The next row's values in column order, nothing for NULL; false at the
    // end. Throws DbError when a value's pages cannot be read.
    bool next(std::vector<std::optional<QString>>& row);

private:
    friend class AccessFile;
    AccessTable(void* handle, S_MdbTableDef* table, QString path);
    std::optional<QString> value(int column, const void* field) const;
    QByteArray memo(const void* field) const;

    void* handle_; // MdbHandle, owned by the file
    S_MdbTableDef* table_;
    QString path_;
    QStringList columns_;
};

// An old Access file (Jet 3 or 4, Access 97 to 2003, or ACE of 2007 on),
// opened read only through libmdb. Text is decoded here from the stored
// bytes, so that NULL and empty text stay apart and characters outside the
// BMP come through, which libmdb's own strings lose.
class AccessFile {
public:
    // Throws DbError when the file is no Access file or cannot be read.
    explicit AccessFile(const QString& path);
    ~AccessFile();
    AccessFile(const AccessFile&) = delete;
    AccessFile& operator=(const AccessFile&) = delete;

    bool hasTable(const QString& name) const;
    // Throws DbError when there is no such table.
    std::unique_ptr<AccessTable> table(const QString& name);

private:
    void* handle_; // MdbHandle
    QString path_;
    QStringList tables_;
};

} // namespace legacy
