// Opens a record set over 100,000 generated contacts and compares it with a
// bare SQLite loop over the same table: time and memory.
//
//   make bench            (or: build/bin/recordset_bench [contacts])

#include "contacts/ContactColumns.h"
#include "contacts/Schema.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/Recordset.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <sqlite3.h>

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

// Fills the table in one transaction, with card-like texts of typical length.
void generate(db::Connection& connection, int count) {
    connection.execute(QStringLiteral("BEGIN"));
    sqlite3_stmt* insert = nullptr;
    QString sql = QStringLiteral("INSERT INTO yanshu (Id");
    for (const auto& c : contacts::textColumns) {
        sql += QStringLiteral(", ") + c.column.toString();
    }
    sql += QStringLiteral(") VALUES (?") + QStringLiteral(", ?").repeated(21) + u')';
    sqlite3_prepare_v2(connection.handle(), sql.toUtf8().constData(), -1, &insert, nullptr);
    const QStringList surnames = QStringLiteral("王 李 张 刘 陈 杨 赵 黄 周 吴").split(' ');
    for (int i = 0; i < count; ++i) {
        QList<QByteArray> values{
            (surnames[i % surnames.size()] + QStringLiteral("测试%1").arg(i)).toUtf8(),
            i % 2 ? "男" : "女",
            QByteArray("19") + QByteArray::number(50 + i % 50) + "-01-01",
            "",
            QByteArray::number(100000 + i),
            QByteArray::number(200000000 + i),
            "user" + QByteArray::number(i) + "@example.com",
            "user" + QByteArray::number(i) + "@example.com",
            "010-" + QByteArray::number(60000000 + i),
            "010-" + QByteArray::number(80000000 + i),
            "139" + QByteArray::number(10000000 + i),
            "",
            "100001",
            QStringLiteral("北京市东城区示例胡同%1号").arg(i % 300).toUtf8(),
            "100010",
            QStringLiteral("示例有限公司").toUtf8(),
            QStringLiteral("北京市朝阳区样板路%1号").arg(i % 500).toUtf8(),
            QStringLiteral("工程师").toUtf8(),
            "",
            "https://example.com/" + QByteArray::number(i),
            i % 10 ? QByteArray() : QStringLiteral("备注：每年春节寄贺卡。").toUtf8(),
        };
        sqlite3_bind_int(insert, 1, i + 1);
        for (int c = 0; c < values.size(); ++c) {
            sqlite3_bind_text(insert, c + 2, values[c].constData(), int(values[c].size()),
                              SQLITE_TRANSIENT);
        }
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    connection.execute(QStringLiteral("COMMIT"));
}

// What a plain program does: step through the rows and read every column.
qint64 bareLoop(db::Connection& connection) {
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(connection.handle(), "SELECT * FROM yanshu", -1, &select, nullptr);
    qint64 bytes = 0;
    while (sqlite3_step(select) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(select); ++c) {
            sqlite3_column_text(select, c);
            bytes += sqlite3_column_bytes(select, c);
        }
    }
    sqlite3_finalize(select);
    return bytes;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    QTextStream out(stdout);
    QTemporaryDir dir;
    db::Connection connection;
    connection.create(dir.filePath(QStringLiteral("MY.mdb")));
    contacts::createSchema(connection);
    generate(connection, count);
    connection.close();
    connection.open(db::connectionString(dir.path()));
    out << "contacts: " << count
        << ", file: " << QFileInfo(dir.filePath(QStringLiteral("MY.mdb"))).size() / 1024
        << " KiB\n";

    QElapsedTimer timer;
    timer.start();
    const qint64 bytes = bareLoop(connection);
    out << "bare SELECT * loop:      " << timer.elapsed() << " ms (" << bytes / 1024
        << " KiB of text)\n";

    const long rssBefore = statusKb("VmRSS:");
    timer.restart();
    db::Recordset rs;
    rs.open(connection, QStringLiteral("select * from yanshu"));
    const qint64 openMs = timer.elapsed();
    const long rssAfter = statusKb("VmRSS:");
    out << "Recordset::open:         " << openMs << " ms, " << rs.recordCount() << " rows, +"
        << (rssAfter - rssBefore) / 1024 << " MiB resident (peak " << statusKb("VmHWM:") / 1024
        << " MiB)\n";

    timer.restart();
    qint64 chars = 0;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        for (const auto& c : contacts::contactColumns) {
            chars += rs.text(c.column).size();
        }
    }
    out << "browse all, 22 columns:  " << timer.elapsed() << " ms (" << chars << " chars)\n";

    timer.restart();
    rs.open(QStringLiteral("select * from yanshu where GR_XM = ?"),
            {QStringLiteral("王测试%1").arg(count / 2 / 10 * 10)});
    out << "find by name:            " << timer.elapsed() << " ms, " << rs.recordCount()
        << " found\n";
    return 0;
}
