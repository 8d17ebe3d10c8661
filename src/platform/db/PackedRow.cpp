#include "PackedRow.h"

#include "DbError.h"

#include <sqlite3.h>

#include <cstring>
#include <limits>
#include <vector>

namespace db {

namespace {

constexpr std::size_t offsetSize = sizeof(std::uint32_t);

} // namespace

PackedRow PackedRow::fromStatement(sqlite3_stmt* statement, int first, int count) {
    std::vector<Kind> kinds(count);
    std::vector<std::uint32_t> ends(count);
    std::size_t payload = 0;
    for (int i = 0; i < count; ++i) {
        const int c = first + i;
        switch (sqlite3_column_type(statement, c)) {
        case SQLITE_INTEGER:
            kinds[i] = Integer;
            payload += sizeof(std::int64_t);
            break;
        case SQLITE_FLOAT:
            kinds[i] = Real;
            payload += sizeof(double);
            break;
        case SQLITE_TEXT:
            kinds[i] = Text;
            sqlite3_column_text(statement, c);
            payload += std::size_t(sqlite3_column_bytes(statement, c));
            break;
        case SQLITE_BLOB:
            kinds[i] = Blob;
            sqlite3_column_blob(statement, c);
            payload += std::size_t(sqlite3_column_bytes(statement, c));
            break;
        default:
            kinds[i] = Null;
            break;
        }
        if (payload > std::numeric_limits<std::uint32_t>::max()) {
            throw DbError(QStringLiteral("这条记录太大，无法读取。"),
                          QStringLiteral("row of more than 4 GiB"));
        }
        ends[i] = std::uint32_t(payload);
    }

    PackedRow row;
    row.count_ = count;
    const std::size_t header = count * (offsetSize + 1);
    row.data_ = std::make_unique<char[]>(header + payload);
    char* out = row.data_.get();
    std::memcpy(out, ends.data(), count * offsetSize);
    std::memcpy(out + count * offsetSize, kinds.data(), count);
    char* bytes = out + header;
    for (int i = 0; i < count; ++i) {
        const int c = first + i;
        const std::uint32_t begin = i == 0 ? 0 : ends[i - 1];
        switch (kinds[i]) {
        case Integer: {
            const std::int64_t v = sqlite3_column_int64(statement, c);
            std::memcpy(bytes + begin, &v, sizeof v);
            break;
        }
        case Real: {
            const double v = sqlite3_column_double(statement, c);
            std::memcpy(bytes + begin, &v, sizeof v);
            break;
        }
        case Text:
            std::memcpy(bytes + begin, sqlite3_column_text(statement, c), ends[i] - begin);
            break;
        case Blob:
            if (ends[i] > begin) {
                std::memcpy(bytes + begin, sqlite3_column_blob(statement, c), ends[i] - begin);
            }
            break;
        case Null:
            break;
        }
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
