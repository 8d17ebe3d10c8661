#include "AccessFile.h"

#include "platform/db/DbError.h"
#include "platform/text/CodePage.h"

#include <QDir>
#include <QFile>

#include <mdbtools.h>

namespace legacy {

namespace {

constexpr int offsetMask = 0x1fff; // a row's start without its flags
constexpr int deletedRow = 0x4000;

MdbHandle* mdb(void* handle) {
    return static_cast<MdbHandle*>(handle);
}

[[noreturn]] void unreadable(const QString& path, const QString& why) {
    throw db::DbError(QStringLiteral("无法读取旧版数据库“%1”：文件已损坏或不是 Access 数据库。")
                          .arg(QDir::toNativeSeparators(path)),
                      why, 0, db::DbErrorKind::Corrupt);
}

// Jet 4 text: UTF-16LE, or its compressed form, which begins FF FE and in
// which each 00 byte switches between one-byte and two-byte units.
QString jet4Text(const unsigned char* bytes, qsizetype size) {
    if (size >= 2 && bytes[0] == 0xff && bytes[1] == 0xfe) {
        QString text;
        text.reserve(size);
        bool compressed = true;
        for (qsizetype i = 2; i < size;) {
            if (bytes[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                text += QChar(bytes[i++]);
            } else if (i + 1 < size) {
                text += QChar(char16_t(bytes[i] | bytes[i + 1] << 8));
                i += 2;
            } else {
                break;
            }
        }
        return text;
    }
    QString text(size / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < size / 2; ++i) {
        text[i] = QChar(char16_t(bytes[2 * i] | bytes[2 * i + 1] << 8));
    }
    return text;
}

} // namespace

AccessFile::AccessFile(const QString& path)
    : handle_(mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS))
    , path_(path) {
    if (!handle_) {
        unreadable(path, QStringLiteral("mdb_open failed"));
    }
    GPtrArray* catalog = mdb_read_catalog(mdb(handle_), MDB_TABLE);
    if (!catalog) {
        mdb_close(mdb(handle_));
        unreadable(path, QStringLiteral("mdb_read_catalog failed"));
    }
    for (guint i = 0; i < catalog->len; ++i) {
        const auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
        if (entry->object_type == MDB_TABLE) {
            tables_ << QString::fromUtf8(entry->object_name);
        }
    }
}

AccessFile::~AccessFile() {
    mdb_close(mdb(handle_));
}

bool AccessFile::hasTable(const QString& name) const {
    return tables_.contains(name, Qt::CaseInsensitive);
}

std::unique_ptr<AccessTable> AccessFile::table(const QString& name) {
    const auto stored = std::find_if(tables_.cbegin(), tables_.cend(), [&](const QString& t) {
        return t.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (stored == tables_.cend()) {
        unreadable(path_, QStringLiteral("no table %1").arg(name));
    }
    QByteArray utf8 = stored->toUtf8();
    MdbTableDef* table = mdb_read_table_by_name(mdb(handle_), utf8.data(), MDB_TABLE);
    if (!table || !mdb_read_columns(table)) {
        if (table) {
            mdb_free_tabledef(table);
        }
        unreadable(path_, QStringLiteral("table %1 unreadable").arg(name));
    }
    mdb_rewind_table(table);
    return std::unique_ptr<AccessTable>(new AccessTable(handle_, table, path_));
}

AccessTable::AccessTable(void* handle, S_MdbTableDef* table, QString path)
    : handle_(handle)
    , table_(table)
    , path_(std::move(path)) {
    for (guint i = 0; i < table->num_cols; ++i) {
        const auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        columns_ << QString::fromUtf8(column->name);
    }
}

AccessTable::~AccessTable() {
    mdb_free_tabledef(table_);
}

qint64 AccessTable::rowCount() const {
    return table_->num_rows;
}

bool AccessTable::next(std::vector<std::optional<QString>>& row) {
    MdbHandle* h = mdb(handle_);
    if (!mdb_fetch_row(table_)) {
        return false;
    }
    // The row just read is still on the page buffer: crack it again for the
    // null flags and the stored bytes.
    int start = 0;
    size_t size = 0;
    if (mdb_find_row(h, int(table_->cur_row) - 1, &start, &size) != 0 || (start & deletedRow)) {
        unreadable(path_, QStringLiteral("row %1 lost").arg(table_->cur_row));
    }
    std::vector<MdbField> fields(table_->num_cols);
    const int count = mdb_crack_row(table_, start & offsetMask, size, fields.data());
    row.assign(columns_.size(), std::nullopt);
    for (int i = 0; i < count; ++i) {
        const int column = fields[i].colnum;
        if (column >= 0 && column < int(row.size())) {
            row[column] = value(column, &fields[i]);
        }
    }
    return true;
}

std::optional<QString> AccessTable::value(int index, const void* f) const {
    const auto& field = *static_cast<const MdbField*>(f);
    if (field.is_null) {
        return std::nullopt;
    }
    MdbHandle* h = mdb(handle_);
    const auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, index));
    const bool jet3 = h->f->jet_version == MDB_VER_JET3;
    const auto text = [&](const unsigned char* bytes, qsizetype size) {
        return jet3 ? text::decode(QByteArrayView(bytes, size), "GBK").value_or(QString())
                    : jet4Text(bytes, size);
    };
    if (column->col_type == MDB_TEXT) {
        return text(h->pg_buf + field.start, field.siz);
    }
    if (column->col_type == MDB_MEMO) {
        const QByteArray bytes = memo(&field);
        return text(reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
    }
    char* shown = mdb_col_to_string(h, h->pg_buf, field.start, column->col_type, field.siz);
    const QString result = QString::fromUtf8(shown);
    g_free(shown);
    return result;
}

// A memo's bytes: in the row itself, on one page of their own, or on a
// chain of pages, each beginning with the place of the next.
QByteArray AccessTable::memo(const void* f) const {
    const auto& field = *static_cast<const MdbField*>(f);
    if (field.siz < MDB_MEMO_OVERHEAD) {
        return {};
    }
    MdbHandle* h = mdb(handle_);
    unsigned char* header = h->pg_buf + field.start;
    const quint32 word = quint32(mdb_get_int32(header, 0));
    const qsizetype length = qsizetype(word & 0x3fffffff);
    if (word & 0x80000000) {
        return QByteArray(reinterpret_cast<const char*>(header) + MDB_MEMO_OVERHEAD,
                          std::min<qsizetype>(length, field.siz - MDB_MEMO_OVERHEAD));
    }
    QByteArray bytes;
    int place = int(mdb_get_int32(header, 4));
    const bool onePage = word & 0x40000000;
    for (int pages = 0; place != 0 && bytes.size() < length; ++pages) {
        void* page = nullptr;
        int start = 0;
        size_t size = 0;
        if (pages > 100000 || mdb_find_pg_row(h, place, &page, &start, &size) != 0) {
            unreadable(path_, QStringLiteral("memo page %1 unreadable").arg(place));
        }
        const char* row = static_cast<const char*>(page) + (start & offsetMask);
        if (onePage) {
            bytes.append(row, qsizetype(size));
            break;
        }
        if (size < 4) {
            unreadable(path_, QStringLiteral("memo page %1 too short").arg(place));
        }
        place = int(mdb_get_int32(const_cast<char*>(row), 0));
        bytes.append(row + 4, qsizetype(size) - 4);
    }
    bytes.truncate(length);
    return bytes;
}

} // namespace legacy
