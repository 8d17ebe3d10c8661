// Exports generated contacts as vCard 4.0 and CSV and imports them into an
// empty book, then again into the full one: time, peak memory, and the
// longest gap between two progress calls (how long the window would wait).
//
//   make bench            (or: build/bin/interchange_bench [contacts ...])

#include "BenchData.h"

#include "contacts/Schema.h"
#include "interchange/Exchange.h"
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

using interchange::ExportFormat;

// Peak memory counts from here on.
void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) {
        clear.write("5");
    }
}

struct Watch {
    QElapsedTimer total;
    QElapsedTimer gap;
    qint64 longestGap = 0;
    Watch() {
        resetPeak();
        total.start();
        gap.start();
    }
    platform::Progress progress() {
        return [this](qint64, qint64) {
            longestGap = std::max(longestGap, gap.restart());
            return true;
        };
    }
    QString figures() {
        longestGap = std::max(longestGap, gap.elapsed());
        return QStringLiteral("%1 ms, peak %2 MiB, longest wait %3 ms")
            .arg(total.elapsed(), 6)
            .arg(bench::statusKb("VmHWM:") / 1024, 4)
            .arg(longestGap);
    }
};

void run(QTextStream& out, int count) {
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-XXXXXX")); // on disk
    bench::makeDatabase(dir.path(), count);
    db::Connection source;
    source.open(db::connectionString(dir.filePath(QStringLiteral("MY.mdb"))));
    out << "contacts: " << count << '\n';
    for (const auto& [format, name] :
         {std::pair{ExportFormat::VCard40, "vcf"}, std::pair{ExportFormat::Csv, "csv"}}) {
        const QString file = dir.filePath(QStringLiteral("all.") + QLatin1String(name));
        {
            Watch w;
            interchange::exportFile(source, file, format, "UTF-8", w.progress());
            out << "  export " << name << ":       " << w.figures() << ", "
                << QFileInfo(file).size() / 1024 << " KiB\n";
        }
        QTemporaryDir target(QDir::currentPath() + QStringLiteral("/bench-XXXXXX"));
        db::Connection book;
        book.create(target.filePath(QStringLiteral("MY.mdb")));
        contacts::createSchema(book);
        for (const char* pass : {"import", "again "}) {
            Watch w;
            const auto report = interchange::importFile(book, file, w.progress());
            out << "  " << pass << ' ' << name << ":       " << w.figures() << " (added "
                << report.added << ", unchanged " << report.unchanged << ")\n";
        }
        out.flush();
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QList<int> counts{10000, 100000};
    if (argc > 1) {
        counts.clear();
        for (int i = 1; i < argc; ++i) {
            counts << QByteArray(argv[i]).toInt();
        }
    }
    for (const int count : counts) {
        run(out, count);
    }
}
