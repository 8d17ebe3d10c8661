#include "AccessFile.h"

#include "ReaderStream.h"

#include "platform/db/DbError.h"
#include "platform/text/CodePage.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace legacy {

namespace {

constexpr int offsetMask = 0x1fff; // a row's start without its flags
constexpr int deletedRow = 0x4000;

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

int int16At(const unsigned char* bytes, qsizetype at) {
    return bytes[at] | bytes[at + 1] << 8;
}

quint32 int32At(const unsigned char* bytes, qsizetype at) {
    return quint32(int16At(bytes, at)) | quint32(int16At(bytes, at + 2)) << 16;
}

// The bytes a fixed-size value needs; 0 for a type read some other way.
int fixedSize(int type) {
    switch (type) {
    case MDB_BYTE:
        return 1;
    case MDB_INT:
        return 2;
    case MDB_LONGINT:
    case MDB_COMPLEX:
    case MDB_FLOAT:
        return 4;
    case MDB_DOUBLE:
    case MDB_DATETIME:
    case MDB_MONEY:
        return 8;
    case MDB_REPID:
        return 16;
    case MDB_NUMERIC:
        return 17;
    default:
        return 0;
    }
}

// Whether libmdb can walk the table's page map: every page it names must
// be in the file, as libmdb ends the process when one is not.
bool usableMap(const MdbTableDef& table, qint64 pages) {
    const unsigned char* map = table.usage_map;
    if (!map || table.map_sz < 1) {
        return false;
    }
    if (map[0] == 0) {
        return table.map_sz >= 5 && int32At(map, 1) < pages;
    }
    if (map[0] == 1) {
        for (size_t at = 1; at + 4 <= table.map_sz; at += 4) {
            if (int32At(map, qsizetype(at)) >= pages) {
                return false;
            }
        }
    }
    return true;
}

// A catalog entry's properties as libmdb parses them: blocks of names and
// of values, each record long enough to move on by, none past its block.
// libmdb loops for ever on a record of length 0.
bool wellFormedProperties(const QByteArray& bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    if (size == 0) {
        return true; // libmdb finds no format in it and goes on
    }
    if (size < 4 || (!bytes.startsWith(QByteArrayView("KKD\0", 4)) &&
                     !bytes.startsWith(QByteArrayView("MR2\0", 4)))) {
        return false;
    }
    for (qsizetype at = 4; at < size;) {
        if (at + 6 > size) {
            return false;
        }
        const quint32 length = int32At(b, at);
        if (length < 6 || length > quint32(size - at)) {
            return false;
        }
        const qsizetype end = at + qsizetype(length);
        const int type = int16At(b, at + 4);
        qsizetype p = at + 6;
        if (type == 0x80) { // names: a length and the name's bytes
            while (p < end) {
                if (p + 2 > end || (p += 2 + int16At(b, p)) > end) {
                    return false;
                }
            }
        } else if (type <= 2) { // values: a header, then records of 8 bytes and the value
            if (p + 6 > end || (p += 6 + int16At(b, p + 4)) > end) {
                return false;
            }
            while (p < end) {
                if (p + 8 > end) {
                    return false;
                }
                const int record = int16At(b, p);
                if (record < 8 + int16At(b, p + 6) || p + record > end) {
                    return false;
                }
                p += record;
            }
        }
        at = end;
    }
    return true;
}

} // namespace

AccessFile::AccessFile(const QString& path)
    : handle_(mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS))
    , path_(path) {
    if (!handle_) {
        damaged(path, QStringLiteral("mdb_open failed"));
    }
    try {
        pages_ = QFileInfo(path).size() / handle_->fmt->pg_size;
        checkCatalog();
    } catch (...) {
        mdb_close(handle_);
        throw;
    }
    GPtrArray* catalog = mdb_read_catalog(handle_, MDB_TABLE);
    if (!catalog) {
        mdb_close(handle_);
        damaged(path, QStringLiteral("mdb_read_catalog failed"));
    }
    for (guint i = 0; i < catalog->len; ++i) {
        const auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
        if (entry->object_type == MDB_TABLE) {
            tables_ << QString::fromUtf8(entry->object_name);
        }
    }
}

AccessFile::~AccessFile() {
    mdb_close(handle_);
}

// Reads the catalog table's rows the careful way first: its names must fit
// libmdb's buffer, its properties must parse.
void AccessFile::checkCatalog() {
    MdbCatalogEntry entry{}; // as mdb_read_catalog makes it up
    entry.mdb = handle_;
    entry.object_type = MDB_TABLE;
    entry.table_pg = 2;
    qstrcpy(entry.object_name, "MSysObjects");
    const std::unique_ptr<AccessTable> objects = open(&entry, QStringLiteral("MSysObjects"));
    // libmdb copies the numbers and the name into buffers of their own size
    // as text, and reads the properties as a long binary value whatever the
    // column's type: each column must be of the type it takes it for.
    const auto column = [&](const char* wanted, bool (*fits)(int type)) {
        const auto index = objects->columns().indexOf(QLatin1String(wanted));
        if (index < 0) {
            damaged(path_, QStringLiteral("目录表缺少 %1 一栏").arg(QLatin1String(wanted)));
        }
        if (!fits(objects->columnType(int(index)))) {
            damaged(path_, QStringLiteral("目录表的 %1 一栏类型不对").arg(QLatin1String(wanted)));
        }
        return index;
    };
    const auto number = [](int type) { return type == MDB_BOOL || fixedSize(type) > 0; };
    column("Id", number);
    column("Type", number);
    column("Flags", number);
    const auto name = column("Name", [](int type) { return type == MDB_TEXT; });
    const auto properties = column("LvProp", [](int type) { return type == MDB_OLE; });
    const bool jet3 = IS_JET3(handle_);
    try {
        while (objects->nextFields()) {
            const MdbField& n = objects->fields_[std::size_t(name)];
            const qsizetype nameBytes =
                jet3 ? 3 * n.siz : objects->value(int(name)).value_or(QString()).toUtf8().size();
            if (!n.is_null && nameBytes >= MDB_MAX_OBJ_NAME) {
                damaged(path_, QStringLiteral("目录中的名称太长"));
            }
            const MdbField& p = objects->fields_[std::size_t(properties)];
            if (!p.is_null &&
                !wellFormedProperties(objects->longValue(p, AccessTable::Extent::Whole))) {
                damaged(path_, QStringLiteral("目录中的属性已损坏"));
            }
        }
    } catch (const db::DbError& e) {
        damaged(path_, e.detail()); // whatever it was, the file as a whole is damaged
    }
}

bool AccessFile::hasTable(const QString& name) const {
    return tables_.contains(name, Qt::CaseInsensitive);
}

std::unique_ptr<AccessTable> AccessFile::table(const QString& name) {
    const auto stored = std::find_if(tables_.cbegin(), tables_.cend(), [&](const QString& t) {
        return t.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (stored == tables_.cend()) {
        damaged(path_, QStringLiteral("no table %1").arg(name));
    }
    MdbCatalogEntry* entry = mdb_get_catalogentry_by_name(handle_, stored->toUtf8().constData());
    if (!entry) {
        damaged(path_, QStringLiteral("no table %1").arg(name));
    }
    return open(entry, name);
}

std::unique_ptr<AccessTable> AccessFile::open(MdbCatalogEntry* entry, const QString& name) {
    MdbTableDef* table = mdb_read_table(entry);
    if (!table || !mdb_read_columns(table) || !usableMap(*table, pages_)) {
        if (table) {
            mdb_free_tabledef(table);
        }
        damaged(path_, QStringLiteral("table %1 unreadable").arg(name));
    }
    mdb_rewind_table(table);
    return std::unique_ptr<AccessTable>(new AccessTable(handle_, table, path_, pages_));
}

AccessTable::AccessTable(MdbHandle* handle, MdbTableDef* table, QString path, qint64 pages)
    : handle_(handle)
    , table_(table)
    , path_(std::move(path))
    , pages_(pages) {
    for (guint i = 0; i < table->num_cols; ++i) {
        const auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        columns_ << QString::fromUtf8(column->name);
    }
}

AccessTable::~AccessTable() {
    mdb_free_tabledef(table_);
}

int AccessTable::columnType(int index) const {
    return static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, index))->col_type;
}

qint64 AccessTable::rowCount() const {
    return table_->num_rows;
}

void AccessTable::rowUnreadable(const QString& why) const {
    throw db::DbError(QStringLiteral("旧版数据库“%1”中有一行读不出来。").arg(path_), why, 0,
                      db::DbErrorKind::Corrupt);
}

bool AccessTable::next(std::vector<std::optional<QString>>& row) {
    if (!nextFields()) {
        return false;
    }
    row.assign(columns_.size(), std::nullopt);
    for (int column = 0; column < int(row.size()); ++column) {
        row[column] = value(column);
    }
    return true;
}

// The rows of the table's data pages in turn, as libmdb's own fetch walks
// them, but a row it cannot read is reported instead of passed over.
bool AccessTable::nextFields() {
    while (true) {
        if (!started_ || rowOnPage_ >= rowsOnPage_) {
            if (!nextPage()) {
                return false;
            }
            continue;
        }
        const int index = rowOnPage_++;
        int start = 0;
        size_t size = 0;
        if (mdb_find_row(handle_, index, &start, &size) != 0) {
            rowUnreadable(QStringLiteral("第 %1 页第 %2 行的位置不在页内")
                              .arg(table_->cur_phys_pg)
                              .arg(index));
        }
        if (start & deletedRow) {
            continue; // deleted; libmdb passes over it too
        }
        crack(start & offsetMask, size);
        return true;
    }
}

bool AccessTable::nextPage() {
    started_ = true;
    rowOnPage_ = 0;
    rowsOnPage_ = 0;
    if (!mdb_read_next_dpg(table_)) {
        return false;
    }
    const int offset = handle_->fmt->row_count_offset;
    const int rows = int16At(handle_->pg_buf, offset);
    if (offset + 2 + 2 * rows > handle_->fmt->pg_size) {
        rowUnreadable(
            QStringLiteral("第 %1 页记着 %2 行，页内放不下").arg(table_->cur_phys_pg).arg(rows));
    }
    rowsOnPage_ = rows;
    return true;
}

// libmdb's mdb_crack_row checks the row's layout against the page, not
// against the row itself, and returns the stored column count however far
// it runs past the table's: the row must hold its column count, null mask
// and table of variable columns, and every field must lie inside it.
void AccessTable::crack(int start, size_t size) {
    const auto unfit = [&](const QString& what) {
        rowUnreadable(QStringLiteral("第 %1 页第 %2 行%3")
                          .arg(table_->cur_phys_pg)
                          .arg(rowOnPage_ - 1)
                          .arg(what));
    };
    const unsigned char* page = handle_->pg_buf;
    const bool jet3 = IS_JET3(handle_);
    const int countSize = jet3 ? 1 : 2;
    const int end = start + int(size) - 1;
    if (int(size) < countSize + 1 || end >= handle_->fmt->pg_size) {
        unfit(QStringLiteral("的长度不对"));
    }
    const int stored = jet3 ? page[start] : int16At(page, start);
    const int maskSize = (stored + 7) / 8;
    int lowest = end - maskSize + 1; // the lowest byte the layout uses from the end
    if (stored > MDB_MAX_COLS || lowest < start + countSize) {
        unfit(QStringLiteral("记着 %1 栏，与表不符").arg(stored));
    }
    if (table_->num_var_cols > 0) {
        const int variable = jet3 ? page[end - maskSize] : int16At(page, end - maskSize - 1);
        const int jumps = jet3 ? (int(size) - 1) / 256 : 0;
        lowest -= jet3 ? 1 + jumps + variable + 1 : 2 + 2 * (variable + 1);
        if (variable > stored || lowest < start + countSize) {
            unfit(QStringLiteral("的可变长度栏表与表不符"));
        }
    }
    fields_.assign(table_->num_cols, MdbField{});
    if (mdb_crack_row(table_, start, size, fields_.data()) < 0) {
        unfit(QStringLiteral("无法拆分"));
    }
    for (const MdbField& field : fields_) {
        if (!field.is_null && (field.siz < 0 || field.start < start + countSize ||
                               field.start + field.siz > end + 1)) {
            unfit(QStringLiteral("的内容超出了这一行"));
        }
    }
}

std::optional<QString> AccessTable::value(int index) const {
    const MdbField& field = fields_[std::size_t(index)];
    if (field.is_null) {
        return std::nullopt;
    }
    MdbHandle* h = handle_;
    const int type = columnType(index);
    const auto text = [&](const unsigned char* bytes, qsizetype size) {
        return IS_JET3(h) ? text::decode(QByteArrayView(bytes, size), "GBK").value_or(QString())
                          : jet4Text(bytes, size);
    };
    if (type == MDB_TEXT) {
        return text(h->pg_buf + field.start, field.siz);
    }
    if (type == MDB_MEMO) {
        const QByteArray bytes = longValue(field, Extent::Stated);
        return text(reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
    }
    const int needed = fixedSize(type);
    if (needed == 0 || field.siz < needed) {
        return std::nullopt; // binary and OLE objects are no contact's text
    }
    char* shown = mdb_col_to_string(h, h->pg_buf, field.start, type, field.siz);
    const QString result = QString::fromUtf8(shown);
    g_free(shown);
    return result;
}

// A long value's bytes: in the row itself, on one page of their own, or on
// a chain of pages, each beginning with the place of the next. A place
// packs the page number and, in its low byte, the row on that page. As a
// value they are the length the field states; whole, they are every byte
// of the row or the chain, which is what libmdb's own reader hands on. It
// takes the header from the field's place even when the field is shorter.
QByteArray AccessTable::longValue(const MdbField& field, Extent extent) const {
    const bool whole = extent == Extent::Whole;
    MdbHandle* h = handle_;
    if (field.siz < MDB_MEMO_OVERHEAD) {
        if (!whole) {
            return {};
        }
        if (field.start + MDB_MEMO_OVERHEAD > h->fmt->pg_size) {
            rowUnreadable(QStringLiteral("备注的开头超出了这一页"));
        }
    }
    const unsigned char* header = h->pg_buf + field.start;
    const quint32 word = int32At(header, 0);
    const qsizetype length = qsizetype(word & 0x3fffffff);
    if (word & 0x80000000) {
        const qsizetype inRow = qMax(field.siz - MDB_MEMO_OVERHEAD, 0);
        if (length > inRow && !whole) {
            rowUnreadable(QStringLiteral("备注比它所在的一行还长"));
        }
        return QByteArray(reinterpret_cast<const char*>(header) + MDB_MEMO_OVERHEAD,
                          whole ? inRow : length);
    }
    const bool onePage = word & 0x40000000;
    if (whole && !onePage && (word & 0xf0000000) != 0) {
        return {}; // flags libmdb does not know: it reads nothing
    }
    const auto where = [](quint32 place) {
        return QStringLiteral("第 %1 页第 %2 行").arg(place >> 8).arg(place & 0xff);
    };
    QByteArray bytes;
    QSet<quint32> seen;
    quint32 place = int32At(header, 4);
    while ((whole || bytes.size() < length) && place != 0) {
        if (seen.contains(place)) {
            rowUnreadable(
                QStringLiteral("备注的%1出现了两次，页面的链接绕成了圈").arg(where(place)));
        }
        seen.insert(place);
        void* page = nullptr;
        int start = 0;
        size_t size = 0;
        if (mdb_find_pg_row(h, int(place), &page, &start, &size) != 0 ||
            (start & offsetMask) + size > size_t(h->fmt->pg_size)) {
            rowUnreadable(QStringLiteral("备注的%1读不出来").arg(where(place)));
        }
        const char* row = static_cast<const char*>(page) + (start & offsetMask);
        if (onePage) {
            bytes.append(row, qsizetype(size));
            break;
        }
        if (size < 4) {
            rowUnreadable(QStringLiteral("备注的%1太短").arg(where(place)));
        }
        place = int32At(reinterpret_cast<const unsigned char*>(row), 0);
        bytes.append(row + 4, qsizetype(size) - 4);
    }
    if (whole) {
        return bytes;
    }
    if (bytes.size() < length) {
        rowUnreadable(
            QStringLiteral("备注记着 %1 字节，页面里只有 %2 字节").arg(length).arg(bytes.size()));
    }
    bytes.truncate(length);
    return bytes;
}

void readTables(const QString& path, const QStringList& wanted, const MessageSink& out) {
    try {
        AccessFile file(path);
        out(message(Message::Tables, file.tables()));
        for (const QString& name : wanted.isEmpty() ? file.tables() : wanted) {
            if (!file.hasTable(name)) {
                continue;
            }
            const std::unique_ptr<AccessTable> table = file.table(name);
            out(message(Message::Head, table->columns(), table->rowCount()));
            Message row = message(Message::Row);
            while (true) {
                try {
                    if (!table->next(row.row)) {
                        break;
                    }
                    out(row);
                } catch (const db::DbError& e) {
                    out(message(Message::Unreadable, {}, 0, e.detail()));
                }
            }
            out(message(Message::End));
        }
    } catch (const db::DbError& e) {
        out(message(Message::Failed, {}, 0, e.detail()));
    }
}

} // namespace legacy
