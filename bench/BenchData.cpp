#include "BenchData.h"

#include "account/UserStore.h"
#include "contacts/ContactColumns.h"
#include "contacts/Schema.h"
#include "contacts/SearchKeys.h"
#include "platform/db/Connection.h"
#include "platform/db/Statement.h"
#include "platform/db/Transaction.h"

#include <QFile>
#include <QStringList>

#include <sqlite3.h>

#ifdef Q_OS_WIN
#include <windows.h>
// after windows.h, whose types it needs
#include <psapi.h>
#endif

namespace bench {

void makeDatabase(const QString& folder, int count) {
    db::Connection connection;
    connection.create(folder + QStringLiteral("/MY.mdb"));
    contacts::createSchema(connection);
    account::UserStore::add(connection, QStringLiteral("admin"), QStringLiteral("123456"));
    generateContacts(connection, count);
}

qint64 bareRead(const QString& path) {
    sqlite3* handle = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &handle, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(handle, "SELECT * FROM yanshu", -1, &select, nullptr);
    qint64 bytes = 0;
    while (sqlite3_step(select) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(select); ++c) {
            sqlite3_column_text(select, c);
            bytes += sqlite3_column_bytes(select, c);
        }
    }
    sqlite3_finalize(select);
    sqlite3_close(handle);
    return bytes;
}

#ifdef Q_OS_WIN
namespace {
PROCESS_MEMORY_COUNTERS counters() {
    PROCESS_MEMORY_COUNTERS c{};
    GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof c);
    return c;
}
} // namespace

long residentKb() {
    return long(counters().WorkingSetSize / 1024);
}

long peakKb() {
    return long(counters().PeakWorkingSetSize / 1024);
}

void resetPeak() {}
#else
namespace {
long statusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}
} // namespace

long residentKb() {
    return statusKb("VmRSS:");
}

long peakKb() {
    return statusKb("VmHWM:");
}

void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) {
        clear.write("5");
    }
}
#endif

QString contactName(int i, int count) {
    if (i >= count - 3) {
        return QStringLiteral("重名");
    }
    static const QString surnames = QStringLiteral("王李张刘陈杨赵黄周吴徐孙胡朱高林何郭马罗曾单");
    static const QString given =
        QStringLiteral("伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀霞平刚桂英华玉兰萍红建文辉力");
    // A fixed scramble of i, so that neighbours in the table differ.
    const auto mixed = quint32(i) * 2654435761u;
    QString name = surnames[int(mixed % quint32(surnames.size()))];
    name += given[int(mixed / 31 % quint32(given.size()))];
    if (mixed / 997 % 5 != 0) {
        name += given[int(mixed / 7919 % quint32(given.size()))];
    }
    return name;
}

// Fills the table in one transaction, with card-like texts of typical length.
void generateContacts(db::Connection& connection, int count) {
    db::Transaction batch(connection);
    QString sql = QStringLiteral("INSERT INTO yanshu (Id, UID");
    for (const auto& c : contacts::textColumns) {
        sql += QStringLiteral(", ") + c.column.toString();
    }
    sql += QStringLiteral(") VALUES (?, ?") + QStringLiteral(", ?").repeated(21) + u')';
    db::Statement insert(connection, sql);
    for (int i = 0; i < count; ++i) {
        QList<QByteArray> values{
            contactName(i, count).toUtf8(),
            i % 2 ? "男" : "女",
            QByteArray("19") + QByteArray::number(50 + i % 50) + "-01-01",
            "",
            QByteArray::number(100000 + i),
            QByteArray::number(200000000 + i),
            "user" + QByteArray::number(i) + "@example.com",
            "user" + QByteArray::number(i) + "@example.com",
            "010-" + QByteArray::number(60000000 + i),
            "010-" + QByteArray::number(80000000 + i),
            "139" + QByteArray::number(10000000 + quint32(i) * 7919u % 90000000u),
            "",
            "100001",
            QStringLiteral("北京市东城区示例胡同%1号").arg(i % 300).toUtf8(),
            "100010",
            QStringLiteral("示例%1有限公司").arg(i % 2000).toUtf8(),
            QStringLiteral("北京市朝阳区样板路%1号").arg(i % 500).toUtf8(),
            QStringLiteral("工程师").toUtf8(),
            "",
            "https://example.com/" + QByteArray::number(i),
            i % 10 ? QByteArray() : QStringLiteral("备注：每年春节寄贺卡。").toUtf8(),
        };
        insert.reset();
        insert.bind(1, i + 1);
        insert.bind(2, QStringLiteral("bench-%1").arg(i));
        for (int c = 0; c < values.size(); ++c) {
            insert.bind(c + 3, QString::fromUtf8(values[c]));
        }
        insert.run();
    }
    contacts::tidySearchIndex(connection);
    batch.commit();
}

} // namespace bench
