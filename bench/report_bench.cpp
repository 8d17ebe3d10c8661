// Times the printed reports over generated contacts: laying out and
// exporting as PDF the telephone list and the cards, and the preview's
// first page, beside a bare SQLite read of the same rows.
//
//   make bench            (or: QT_QPA_PLATFORM=offscreen build/bin/report_bench [contacts...])

#include "BenchData.h"

#include "app/Forms.h"
#include "platform/ui/Fonts.h"
#include "reports/Paint.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

QTextStream out(stdout);

void measure(const char* what, const reports::ReportDefinition& report,
             const reports::ReportRows& rows, const QString& pdf, bool exportToo) {
    QElapsedTimer timer;
    timer.start();
    reports::Layout layout(report, rows);
    layout.finish();
    out << "  " << what << " layout:     " << timer.elapsed() << " ms, " << layout.pages().size()
        << " pages\n";
    if (exportToo) {
        timer.restart();
        reports::exportPdf(pdf, report, rows);
        out << "  " << what << " PDF:        " << timer.elapsed() << " ms, "
            << QFile(pdf).size() / 1024 << " KiB\n";
    }
    out.flush();
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ui::installFontSubstitutes();
    QList<int> counts;
    for (int i = 1; i < argc; ++i) {
        counts << QByteArray(argv[i]).toInt();
    }
    if (counts.isEmpty()) {
        counts = {10000, 100000};
    }
    for (const int count : counts) {
        QTemporaryDir dir;
        bench::makeDatabase(dir.path(), count);
        const bench::BenchServices doubles(dir.path());
        const platform::Services& services = doubles.services;
        app::Forms forms(services);
        out << count << " contacts:\n";
        QElapsedTimer timer;
        timer.start();
        bench::bareRead(dir.filePath(QStringLiteral("MY.mdb")));
        out << "  bare SQLite read:        " << timer.elapsed() << " ms\n";

        // From the menu to the preview's first page: the rows are read, page 1 is laid out.
        timer.restart();
        forms.MDI_OK.controls().item("PRINT_2")->trigger();
        out << "  PRINT_2 to first page:   " << timer.elapsed() << " ms\n";
        timer.restart();
        forms.MDI_OK.controls().item("PRINT_3")->trigger();
        out << "  PRINT_3 to first page:   " << timer.elapsed() << " ms\n";

        const reports::ReportRows& rows = *forms.YANSHUALL.dataSource();
        measure("list ", reports::YANSHUALL(), rows, dir.filePath(QStringLiteral("list.pdf")),
                true);
        measure("cards", reports::DYGE(), rows, dir.filePath(QStringLiteral("cards.pdf")),
                count <= 10000);
        out << "  peak memory:             " << bench::statusKb("VmHWM:") / 1024 << " MiB\n";
        out.flush();
    }
    return 0;
}
