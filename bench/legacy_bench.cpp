// Converts the shared 20,000-contact Access file into a new book: time and
// peak memory, of the program and of the process that reads the old file.
// Skips, saying so, when the file is not there.
//
//   make bench            (or: build/bin/legacy_bench [OLD.mdb])

#include "BenchData.h"

#include "contacts/Schema.h"
#include "legacy/Conversion.h"
#include "platform/db/Connection.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    const QString old = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                 : QStringLiteral(LEGACY_FIXTURES "/legacy-20k.mdb");
    if (!QFileInfo::exists(old)) {
        out << "legacy_bench: skipped, " << old << " is not there\n";
        return 0;
    }
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-XXXXXX")); // on disk
    db::Connection book;
    book.create(dir.filePath(QStringLiteral("MY.mdb")));
    contacts::createSchema(book);
    QElapsedTimer timer;
    qint64 longestGap = 0;
    QElapsedTimer gap;
    timer.start();
    gap.start();
    const legacy::ConversionReport report = legacy::convert(old, book, [&](qint64, qint64) {
        longestGap = std::max(longestGap, gap.restart());
        return true;
    });
    longestGap = std::max(longestGap, gap.elapsed());
    rusage reader{};
    getrusage(RUSAGE_CHILDREN, &reader);
    out << "converted " << report.contactsWritten << " contacts and " << report.usersWritten
        << " users in " << timer.elapsed() << " ms, peak " << bench::peakKb() / 1024
        << " MiB (reader " << reader.ru_maxrss / 1024 << " MiB), longest wait " << longestGap
        << " ms\n";
}
