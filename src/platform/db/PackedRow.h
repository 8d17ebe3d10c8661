#pragma once

#include <QString>
#include <QVariant>

#include <cstdint>
#include <memory>

struct sqlite3_stmt;

namespace db {

// One snapshot row in a single allocation: the cells' end offsets, their
// storage classes, then the raw bytes (UTF-8 text, 8-byte numbers, blobs).
// Text is decoded only when a cell is read, so a large snapshot stays small.
class PackedRow {
public:
    PackedRow() = default;

    // Copies columns [first, first + count) of the statement's current row.
    static PackedRow fromStatement(sqlite3_stmt* statement, int first, int count);

    QVariant value(int column) const;
    // NULL reads as the empty string, numbers as their decimal text.
    QString text(int column) const;

    enum Kind : std::uint8_t { Null, Integer, Real, Text, Blob };

private:
    struct Cell {
        Kind kind;
        const char* bytes;
        std::uint32_t size;
    };
    Cell cell(int column) const;

    std::unique_ptr<char[]> data_;
    int count_ = 0;
};

} // namespace db
