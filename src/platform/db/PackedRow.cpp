#include "PackedRow.h"

#include "DbError.h"

#include <QVarLengthArray>

#include <sqlite3.h>

#include <cstring>
#include <limits>

namespace db {

namespace {

constexpr std::size_t offsetSize = sizeof(std::uint32_t);

} // namespace

namespace {

PackedRow::Kind kindOf(sqlite3_stmt* statement, int column) {
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
        return PackedRow::Integer;
    case SQLITE_FLOAT:
        return PackedRow::Real;
    case SQLITE_TEXT:
        return PackedRow::Text;
    case SQLITE_BLOB:
        return PackedRow::Blob;
    default:
        return PackedRow::Null;
    }
}

std::size_t sizeOf(sqlite3_stmt* statement, int column, PackedRow::Kind kind) {
    switch (kind) {
    case PackedRow::Integer:
        return sizeof(std::int64_t);
    case PackedRow::Real:
        return sizeof(double);
    case PackedRow::Text:
        sqlite3_column_text(statement, column); // the UTF-8 form, as it is stored
        return std::size_t(sqlite3_column_bytes(statement, column));
    case PackedRow::Blob:
        sqlite3_column_blob(statement, column);
        return std::size_t(sqlite3_column_bytes(statement, column));
    case PackedRow::Null:
        break;
    }
    return 0;
}

void copyCell(sqlite3_stmt* statement, int column, PackedRow::Kind kind, char* out,
              std::size_t size) {
    switch (kind) {
    case PackedRow::Integer: {
        const std::int64_t v = sqlite3_column_int64(statement, column);
        std::memcpy(out, &v, sizeof v);
        break;
    }
    case PackedRow::Real: {
        const double v = sqlite3_column_double(statement, column);
        std::memcpy(out, &v, sizeof v);
        break;
    }
    case PackedRow::Text:
        std::memcpy(out, sqlite3_column_text(statement, column), size);
        break;
    case PackedRow::Blob:
        if (size > 0) {
            std::memcpy(out, sqlite3_column_blob(statement, column), size);
        }
        break;
    case PackedRow::Null:
        break;
    }
}

} // namespace

// Sizes first, then one allocation for the whole row; the cells' kinds and
// sizes wait on the stack in between.
PackedRow PackedRow::fromStatement(sqlite3_stmt* statement, int first, int count) {
    QVarLengthArray<Kind, 64> kinds(count);
    QVarLengthArray<std::uint32_t, 64> sizes(count);
    std::size_t payload = 0;
    for (int i = 0; i < count; ++i) {
        kinds[i] = kindOf(statement, first + i);
        const std::size_t size = sizeOf(statement, first + i, kinds[i]);
        payload += size;
        sizes[i] = std::uint32_t(size);
    }
    if (payload > std::numeric_limits<std::uint32_t>::max()) {
        throw DbError(QStringLiteral("这条记录太大，无法读取。"),
                      QStringLiteral("row of more than 4 GiB"));
    }

    PackedRow row;
    row.count_ = count;
    const std::size_t header = count * (offsetSize + 1);
    row.data_ = std::make_unique_for_overwrite<char[]>(header + payload);
    char* base = row.data_.get();
    char* bytes = base + header;
    std::uint32_t end = 0;
    for (int i = 0; i < count; ++i) {
        copyCell(statement, first + i, kinds[i], bytes + end, sizes[i]);
        end += sizes[i];
        std::memcpy(base + i * offsetSize, &end, offsetSize);
        base[count * offsetSize + i] = char(kinds[i]);
    }
    return row;
}

PackedRow::Cell PackedRow::cell(int column) const {
    const char* base = data_.get();
    std::uint32_t end = 0;
    std::uint32_t begin = 0;
    std::memcpy(&end, base + column * offsetSize, offsetSize);
    if (column > 0) {
        std::memcpy(&begin, base + (column - 1) * offsetSize, offsetSize);
    }
    const auto kind = static_cast<Kind>(base[count_ * offsetSize + column]);
    const char* payload = base + count_ * (offsetSize + 1);
    return {kind, payload + begin, end - begin};
}

QVariant PackedRow::value(int column) const {
    const Cell c = cell(column);
    switch (c.kind) {
    case Integer: {
        qint64 v = 0;
        std::memcpy(&v, c.bytes, sizeof v);
        return QVariant::fromValue(v);
    }
    case Real: {
        double v = 0;
        std::memcpy(&v, c.bytes, sizeof v);
        return v;
    }
    case Text:
        return QString::fromUtf8(c.bytes, c.size);
    case Blob:
        return QByteArray(c.bytes, c.size);
    case Null:
        break;
    }
    return {};
}

QString PackedRow::text(int column) const {
    const Cell c = cell(column);
    switch (c.kind) {
    case Text:
        return QString::fromUtf8(c.bytes, c.size);
    case Null:
        return QStringLiteral("");
    default:
        return value(column).toString();
    }
}

} // namespace db
