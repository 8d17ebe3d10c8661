// Opens a book of the tables' version 2 (before UIDs' tombstones, extras
// and the list's search tables), which brings it up to the current
// version: the time, the longest wait between two progress calls (how long
// the window would be frozen) and how many waits were over 50 ms.
//
//   build/bin/upgrade_bench [contacts ...]   (1,000,000 unless given)

#include "BenchData.h"

#include "contacts/Schema.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

// What version 2 had: the contacts with their UIDs, and the users.
void makeVersion2(const QString& path) {
    db::Connection book;
    book.open(db::connectionString(path));
    book.execute(QStringLiteral(
        "DROP TRIGGER yanshu_deleted_back; DROP TRIGGER yanshu_find_insert;"
        "DROP TRIGGER yanshu_find_update; DROP TRIGGER yanshu_rank_update;"
        "DROP TRIGGER yanshu_rank_insert;"
        "DROP TRIGGER yanshu_find_delete; DROP TABLE yanshu_grams; DROP TABLE yanshu_find; DROP "
        "TABLE yanshu_rank;"
        "DROP TABLE yanshu_deleted; DROP TABLE yanshu_extra; DROP TABLE yanshu_unindexed;"
        "PRAGMA user_version = 2; VACUUM;"));
}

void run(QTextStream& out, int count) {
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-XXXXXX")); // on disk
    const QString path = dir.filePath(QStringLiteral("MY.mdb"));
    // BOOK_BENCH_FOLDER: a book book_bench made, copied rather than made again.
    const QString made = qEnvironmentVariable("BOOK_BENCH_FOLDER") + QStringLiteral("/MY.mdb");
    if (!qEnvironmentVariableIsSet("BOOK_BENCH_FOLDER") || !QFile::copy(made, path)) {
        bench::makeDatabase(dir.path(), count);
    }
    makeVersion2(path);
    const qint64 size = QFileInfo(path).size();
    QElapsedTimer total;
    QElapsedTimer gap;
    qint64 longest = 0;
    int overLimit = 0;
    const auto waited = [&](qint64 ms) {
        longest = std::max(longest, ms);
        overLimit += ms > 50;
    };
    total.start();
    gap.start();
    db::Connection book;
    contacts::openDatabase(book, db::connectionString(path), [&](qint64, qint64) {
        waited(gap.restart());
        return true;
    });
    waited(gap.elapsed());
    out << "contacts: " << count << ", version 2 book " << size / (1 << 20) << " MiB: upgraded in "
        << total.elapsed() << " ms, longest wait " << longest << " ms, " << overLimit
        << " waits over 50 ms; " << QFileInfo(path).size() / (1 << 20) << " MiB after\n";
    out.flush();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    for (const int count : bench::countsFrom(argc, argv, {1000000})) {
        run(out, count);
    }
}
