// Opens a record set over generated contacts (100,000 unless told how many)
// and compares it with a bare SQLite loop over the same table: time and
// memory for what the program does with it.
//
//   make bench            (or: build/bin/recordset_bench [contacts])

#include "BenchData.h"

#include "contacts/ContactColumns.h"
#include "contacts/ContactStore.h"
#include "contacts/Schema.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/Recordset.h"
#include "platform/db/Statement.h"
#include "platform/db/Transaction.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <sqlite3.h>

#include <algorithm>
#include <optional>

namespace {

double msSince(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

// bench::bareRead, making each value a QString as every reader of the set gets it.
qint64 bareTexts(const QString& path) {
    sqlite3* handle = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &handle, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(handle, "SELECT * FROM yanshu", -1, &select, nullptr);
    qint64 chars = 0;
    while (sqlite3_step(select) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(select); ++c) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(select, c));
            chars += QString::fromUtf8(text, sqlite3_column_bytes(select, c)).size();
        }
    }
    sqlite3_finalize(select);
    sqlite3_close(handle);
    return chars;
}

// Everything a card shows of the current row.
qint64 readCurrent(const db::Recordset& rs) {
    qint64 chars = 0;
    for (const auto& c : contacts::contactColumns) {
        chars += rs.text(c.column).size();
    }
    return chars;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    QTextStream out(stdout);
    out.setRealNumberNotation(QTextStream::FixedNotation);
    out.setRealNumberPrecision(1);
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-XXXXXX")); // on disk
    QElapsedTimer timer;
    timer.start();
    bench::makeDatabase(dir.path(), count);
    db::Connection connection;
    contacts::openDatabase(connection,
                           db::connectionString(dir.filePath(QStringLiteral("MY.mdb"))));
    out << "contacts: " << count
        << ", file: " << QFileInfo(dir.filePath(QStringLiteral("MY.mdb"))).size() / 1024
        << " KiB, made in " << timer.elapsed() / 1000 << " s\n";

    timer.restart();
    const qint64 bytes = bench::bareRead(dir.filePath(QStringLiteral("MY.mdb")));
    out << "bare SELECT * loop:         " << msSince(timer) << " ms (" << bytes / 1024
        << " KiB of text)\n";
    timer.restart();
    const qint64 bareChars = bareTexts(dir.filePath(QStringLiteral("MY.mdb")));
    out << "the same, making QStrings:  " << msSince(timer) << " ms (" << bareChars << " chars)\n";

    const long rssBefore = bench::residentKb();
    const long peakBefore = bench::peakKb();
    timer.restart();
    db::Recordset rs;
    rs.openTable(connection, QStringLiteral("yanshu"));
    const qint64 first = readCurrent(rs);
    out << "open + first row:           " << msSince(timer) << " ms (" << first << " chars)\n";

    timer.restart();
    const qsizetype rows = rs.recordCount();
    out << "recordCount:                " << msSince(timer) << " ms, " << rows << " rows\n";

    const int steps = std::min(count - 1, 10000); // from the first row, never past the last
    timer.restart();
    for (int i = 0; i < steps; ++i) {
        rs.moveNext();
        readCurrent(rs);
    }
    out << "next step and its row:      " << msSince(timer) * 1000 / steps << " µs (mean of "
        << steps << ")\n";

    timer.restart();
    qint64 chars = 0;
    for (qsizetype row = 0; row < rows; ++row) {
        for (int c = 0; c < int(rs.columns().size()); ++c) {
            chars += rs.textAt(row, c).size();
        }
    }
    out << "textAt, every row in order: " << msSince(timer) << " ms (" << chars << " chars, "
        << rs.columns().size() << " columns)\n";
    out << "memory: +" << (bench::residentKb() - rssBefore) / 1024 << " MiB resident, peak "
        << bench::peakKb() / 1024 << " MiB (before the set " << peakBefore / 1024 << " MiB)\n";

    // The contact list shows a card by its rowid: in a set just opened, far
    // past what it has listed; then at the other end.
    db::Statement last(connection, QStringLiteral("SELECT max(_rowid_) FROM yanshu"));
    last.step();
    timer.restart();
    rs.openTable(connection, QStringLiteral("yanshu"));
    const bool found = rs.moveToRow(last.integer(0));
    out << "open + moveToRow(last):     " << msSince(timer) << " ms" << (found ? "" : " (missed)")
        << "\n";
    timer.restart();
    rs.moveToRow(1);
    out << "moveToRow(first) after:     " << msSince(timer) * 1000 << " µs\n";
    timer.restart();
    rs.openTable(connection, QStringLiteral("yanshu"));
    rs.moveLast();
    out << "open + moveLast:            " << msSince(timer) << " ms\n";

    db::Statement middle(connection, QStringLiteral("SELECT GR_XM FROM yanshu WHERE _rowid_ = ?"));
    middle.bind(1, count / 2);
    const QString name = middle.step() ? middle.value(0).toString() : QString();
    timer.restart();
    rs.openTable(connection, QStringLiteral("yanshu"), QStringLiteral("GR_XM = ?"), {name});
    out << "find by name:               " << msSince(timer) << " ms, " << rs.recordCount()
        << " found\n";
    rs.close();

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
    out << "10,000 adds, one batch:     " << adds(10000, true) << " ms\n";
    out << "10,000 adds, one each:      " << adds(10000, false) << " ms\n";
    return 0;
}
