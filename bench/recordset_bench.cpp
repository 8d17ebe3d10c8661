// Opens a record set over 100,000 generated contacts and compares it with a
// bare SQLite loop over the same table: time and memory.
//
//   make bench            (or: build/bin/recordset_bench [contacts])

#include "BenchData.h"

#include "contacts/ContactColumns.h"
#include "contacts/ContactStore.h"
#include "contacts/Schema.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/Recordset.h"
#include "platform/db/Transaction.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <sqlite3.h>

#include <optional>

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    QTextStream out(stdout);
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-XXXXXX")); // on disk
    bench::makeDatabase(dir.path(), count);
    db::Connection connection;
    connection.open(db::connectionString(dir.path()));
    out << "contacts: " << count
        << ", file: " << QFileInfo(dir.filePath(QStringLiteral("MY.mdb"))).size() / 1024
        << " KiB\n";

    QElapsedTimer timer;
    timer.start();
    const qint64 bytes = bench::bareRead(dir.filePath(QStringLiteral("MY.mdb")));
    out << "bare SELECT * loop:      " << timer.elapsed() << " ms (" << bytes / 1024
        << " KiB of text)\n";

    const long rssBefore = bench::statusKb("VmRSS:");
    timer.restart();
    db::Recordset rs;
    rs.openTable(connection, QStringLiteral("yanshu"));
    const qint64 openMs = timer.elapsed();
    const long rssAfter = bench::statusKb("VmRSS:");
    out << "Recordset::open:         " << openMs << " ms, " << rs.recordCount() << " rows, +"
        << (rssAfter - rssBefore) / 1024 << " MiB resident (peak "
        << bench::statusKb("VmHWM:") / 1024 << " MiB)\n";

    timer.restart();
    qint64 chars = 0;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        for (const auto& c : contacts::contactColumns) {
            chars += rs.text(c.column).size();
        }
    }
    out << "browse all, 22 columns:  " << timer.elapsed() << " ms (" << chars << " chars)\n";

    timer.restart();
    rs.openTable(connection, QStringLiteral("yanshu"), QStringLiteral("GR_XM = ?"),
                 {QStringLiteral("王测试%1").arg(count / 2 / 10 * 10)});
    out << "find by name:            " << timer.elapsed() << " ms, " << rs.recordCount()
        << " found\n";

    // An import's writes: every add durable on its own, or one batch.
    const auto adds = [&](int n, bool batched) {
        contacts::ContactStore store;
        store.findByName(connection, QStringLiteral("没有此人"));
        std::optional<db::Transaction> batch;
        if (batched) {
            batch.emplace(connection);
        }
        timer.restart();
        for (int i = 0; i < n; ++i) {
            contacts::Contact c;
            c.id = i;
            c.fields[0] = QStringLiteral("导入%1").arg(i);
            store.add(c);
        }
        if (batch) {
            batch->commit();
        }
        return timer.elapsed();
    };
    out << "10,000 adds, one batch:  " << adds(10000, true) << " ms\n";
    out << "10,000 adds, one each:   " << adds(10000, false) << " ms\n";
    return 0;
}
