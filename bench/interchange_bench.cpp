// Exports generated contacts as vCard 4.0 and CSV and imports them into an
// empty book, then again into the full one: time, peak memory, and the
// longest gap between two progress calls (how long the window would wait).
// Then imports files shaped like those that once cost the square of their
// size, at two sizes: their time and memory per MiB of file stay the same.
//
//   make bench   (or: build/bin/interchange_bench [contacts ...] [--shapes MiB ...])

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
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

using interchange::ExportFormat;

// Peak memory counts from here on, from what is in use now.
void resetPeak() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
    bench::resetPeak();
}

struct Watch {
    QElapsedTimer total;
    QElapsedTimer gap;
    qint64 longestGap = 0;
    int longGaps = 0; // over 50 ms
    long startKb = 0;
    Watch() {
        resetPeak();
        startKb = bench::residentKb();
        total.start();
        gap.start();
    }
    // Milliseconds and MiB the peak grew by, each per MiB of the file.
    QString perMib(qint64 bytes) const {
        const double mib = double(bytes) / (1 << 20);
        return QStringLiteral("%1 s and %2 MiB per MiB")
            .arg(double(total.elapsed()) / 1000 / mib, 0, 'f', 3)
            .arg(double(bench::peakKb() - startKb) / 1024 / mib, 0, 'f', 1);
    }
    platform::Progress progress() {
        return [this](qint64, qint64) {
            waited(gap.restart());
            return true;
        };
    }
    void waited(qint64 ms) {
        longestGap = std::max(longestGap, ms);
        longGaps += ms > 50;
    }
    QString figures() {
        waited(gap.elapsed());
        return QStringLiteral("%1 ms, peak %2 MiB, longest wait %3 ms (%4 over 50 ms)")
            .arg(total.elapsed(), 6)
            .arg(bench::peakKb() / 1024, 4)
            .arg(longestGap)
            .arg(longGaps);
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
        if (format == ExportFormat::Csv) {
            // The same rows into a table of text columns, by SQLite's own shell.
            QElapsedTimer time;
            time.start();
            const int status = QProcess::execute(
                QStringLiteral("sqlite3"), {target.filePath(QStringLiteral("plain.db")),
                                            QStringLiteral(".import --csv %1 yanshu").arg(file)});
            out << "  sqlite3 .import csv: " << qSetFieldWidth(6) << time.elapsed()
                << qSetFieldWidth(0) << " ms (exit " << status << ")\n";
        }
        for (const char* pass : {"import", "again "}) {
            Watch w;
            const auto report = interchange::importFile(book, file, w.progress());
            out << "  " << pass << ' ' << name << ":       " << w.figures() << " (added "
                << report.added << ", unchanged " << report.unchanged << ")\n";
        }
        out.flush();
    }
}

// A file that once cost the square of its size: its start, a piece
// repeated until the size is reached, and its end. Some are imported once
// before: it is the second import that merges.
struct Shape {
    const char* name;
    const char* suffix;
    QByteArray head;
    QByteArray (*piece)(const QByteArray& i);
    QByteArray tail;
    bool again;
};

const Shape shapes[] = {
    {"long name", "vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:",
     [](const QByteArray&) { return QByteArray("张"); }, "\r\nEND:VCARD\r\n", false},
    {"groups", "vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Many Groups\r\n",
     [](const QByteArray& i) {
         return "item" + i + ".TEL:+86 139" + i + "\r\nitem" + i + ".X-ABLabel:label" + i + "\r\n";
     },
     "END:VCARD\r\n", false},
    {"properties", "vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:props\r\nFN:Many Props\r\n",
     [](const QByteArray& i) { return "TEL;TYPE=CELL:+86 138" + i + "\r\n"; }, "END:VCARD\r\n",
     true},
    {"open quote", "csv", "姓名,移动电话,电子邮件\r\n\"张三,13800000000,z@example.org\r\n",
     [](const QByteArray& i) { return "李四" + i + ",139" + i + ",l" + i + "@example.org\r\n"; },
     "", false},
};

void runShapes(QTextStream& out, const QList<int>& sizes) {
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-XXXXXX"));
    out << "files that once cost the square of their size:\n";
    for (const Shape& shape : shapes) {
        for (const int megabytes : sizes) {
            QByteArray data = shape.head;
            for (int i = 0; data.size() < qint64(megabytes) << 20; ++i) {
                data += shape.piece(QByteArray::number(i));
            }
            data += shape.tail;
            const QString file =
                dir.filePath(QStringLiteral("shape.") + QLatin1String(shape.suffix));
            QFile f(file);
            if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size()) {
                qFatal("cannot write %s", qPrintable(file));
            }
            f.close();
            const QString bookFile = dir.filePath(QStringLiteral("MY.mdb"));
            QFile::remove(bookFile);
            db::Connection book;
            book.create(bookFile);
            contacts::createSchema(book);
            if (shape.again) {
                interchange::importFile(book, file);
            }
            Watch w;
            interchange::importFile(book, file, w.progress());
            out << "  " << qSetFieldWidth(10) << Qt::left << shape.name << qSetFieldWidth(0) << ' '
                << megabytes << " MiB: " << w.figures() << "; " << w.perMib(data.size()) << '\n';
            out.flush();
        }
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QList<int> counts{10000, 100000};
    QList<int> sizes{1, 4};
    if (argc > 1) {
        counts.clear();
        sizes.clear();
        QList<int>* into = &counts;
        for (int i = 1; i < argc; ++i) {
            if (QByteArray(argv[i]) == "--shapes") {
                into = &sizes;
            } else {
                *into << QByteArray(argv[i]).toInt();
            }
        }
    }
    for (const int count : counts) {
        run(out, count);
    }
    runShapes(out, sizes);
}
