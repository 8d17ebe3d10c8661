#include "BenchData.h"

#include "account/UserStore.h"
#include "contacts/Book.h"
#include "contacts/ContactColumns.h"
#include "contacts/Schema.h"
#include "platform/db/Connection.h"
#include "platform/db/Statement.h"

#include <QFile>
#include <QStringList>

#include <sqlite3.h>

#include <algorithm>

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

// Birth dates over the whole year, one in ten a lunar one.
QString birthText(int i) {
    if (i % 10 == 0) {
        return QStringLiteral("农历19%1年%2月%3")
            .arg(50 + i % 50)
            .arg(1 + i / 10 % 12)
            .arg(1 + i / 120 % 30);
    }
    return QStringLiteral("19%1-%2-%3")
        .arg(50 + i % 50)
        .arg(1 + i % 12, 2, 10, QChar(u'0'))
        .arg(1 + i / 12 % 28, 2, 10, QChar(u'0'));
}

// Fills the table in one batch, with card-like texts of typical length.
void generateContacts(db::Connection& connection, int count) {
    contacts::Book book(connection);
    contacts::Book::Batch batch(book);
    for (int i = 0; i < count; ++i) {
        const QStringList values{
            contactName(i, count),
            i % 2 ? QStringLiteral("男") : QStringLiteral("女"),
            birthText(i),
            QString(),
            QString::number(100000 + i),
            QString::number(200000000 + i),
            QStringLiteral("user%1@example.com").arg(i),
            QStringLiteral("user%1@example.com").arg(i),
            QStringLiteral("010-%1").arg(60000000 + i),
            QStringLiteral("010-%1").arg(80000000 + i),
            QStringLiteral("139%1").arg(10000000 + quint32(i) * 7919u % 90000000u),
            QString(),
            QStringLiteral("100001"),
            QStringLiteral("北京市东城区示例胡同%1号").arg(i % 300),
            QStringLiteral("100010"),
            QStringLiteral("示例%1有限公司").arg(i % 2000),
            QStringLiteral("北京市朝阳区样板路%1号").arg(i % 500),
            QStringLiteral("工程师"),
            QString(),
            QStringLiteral("https://example.com/%1").arg(i),
            i % 10 ? QString() : QStringLiteral("备注：每年春节寄贺卡。"),
        };
        contacts::Contact contact;
        contact.id = i + 1;
        contact.uid = QStringLiteral("bench-%1").arg(i);
        std::copy(values.begin(), values.end(), contact.fields.begin());
        book.add(contact);
    }
    batch.commit();
}

QList<int> countsFrom(int argc, char* argv[], const QList<int>& otherwise) {
    QList<int> counts;
    for (int i = 1; i < argc; ++i) {
        counts << QByteArray(argv[i]).toInt();
    }
    return counts.isEmpty() ? otherwise : counts;
}

} // namespace bench
