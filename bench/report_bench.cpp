// Times the printed reports over generated contacts: laying out the
// telephone list and the cards, exporting them as PDF and going to the last
// card through their windows, and the preview's first page, beside a bare
// SQLite read of the same rows. For the work through the windows it gives
// the longest wait between two calls of the progress, which is when the
// windows process their events.
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

// The program's own progress, timed between its calls.
class TimedProgress final : public ui::ProgressService {
public:
    void start(const QString& text) override {
        inner_.start(text);
        steps = 0;
        longestNs = 0;
        since_.start();
    }
    bool advance(qint64 done, qint64 total) override {
        lap();
        ++steps;
        const bool going = inner_.advance(done, total);
        since_.start();
        return going;
    }
    void finish() override {
        lap();
        inner_.finish();
    }
    int steps = 0;
    // The longest of: from start to the first step, between steps, from the last to finish.
    qint64 longestNs = 0;

private:
    void lap() { longestNs = std::max(longestNs, since_.nsecsElapsed()); }
    ui::QtProgress inner_;
    QElapsedTimer since_;
};

// Answers every save dialog with one path.
class SaveAs final : public ui::FileDialogService {
public:
    std::optional<ui::FileChoice> saveFileName(const QString&, const QString&,
                                               const QStringList&) override {
        return ui::FileChoice{path};
    }
    std::optional<QString> openFileName(const QString&, const QString&,
                                        const QStringList&) override {
        return std::nullopt;
    }
    QString path;
};

QString longest(const TimedProgress& progress) {
    return QString::number(progress.longestNs / 1e6, 'f', 1) + QStringLiteral(" ms");
}

std::size_t layOut(const char* what, const reports::ReportDefinition& report,
                   const reports::ReportRows& rows) {
    QElapsedTimer timer;
    timer.start();
    reports::Layout layout(report, rows);
    layout.finish();
    out << "  " << what << " layout:     " << timer.elapsed() << " ms, " << layout.pages().size()
        << " pages\n";
    out.flush();
    return layout.pages().size();
}

// On A4, as the layout above.
void exportPdf(const char* what, std::size_t pages, reports::DataReport& report, SaveAs& files,
               const TimedProgress& progress, const QString& path) {
    files.path = path;
    QElapsedTimer timer;
    timer.start();
    report.cmdPdf_Click();
    out << "  " << what << " PDF:        " << timer.elapsed() << " ms, " << pages << " pages, "
        << QFile(path).size() / 1024 << " KiB; " << progress.steps << " steps, longest "
        << longest(progress) << "\n";
    out.flush();
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ui::installFontSubstitutes();
    for (const int count : bench::countsFrom(argc, argv, {10000, 100000})) {
        QTemporaryDir dir;
        bench::makeDatabase(dir.path(), count);
        bench::BenchServices doubles(dir.path());
        SaveAs files;
        TimedProgress progress;
        const platform::Services services{doubles.messageBox,
                                          doubles.inputBox,
                                          files,
                                          progress,
                                          doubles.clock,
                                          doubles.instance,
                                          doubles.programs,
                                          doubles.cdrom,
                                          doubles.keyboard,
                                          doubles.secrets,
                                          doubles.services.databaseFile};
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

        // The cards' last page: every card laid out, the list's preview going on meanwhile.
        timer.restart();
        forms.DYGE.cmdLast_Click();
        out << "  cards to last page:      " << timer.elapsed() << " ms, page "
            << forms.DYGE.currentPage() + 1 << "; " << progress.steps << " steps, longest "
            << longest(progress) << "\n";

        const reports::ReportRows& rows = *forms.YANSHUALL.dataSource();
        const std::size_t listPages = layOut("list ", reports::YANSHUALL(), rows);
        const std::size_t cardPages = layOut("cards", reports::DYGE(), rows);
        exportPdf("list ", listPages, forms.YANSHUALL, files, progress,
                  dir.filePath(QStringLiteral("list.pdf")));
        if (count <= 10000) {
            exportPdf("cards", cardPages, forms.DYGE, files, progress,
                      dir.filePath(QStringLiteral("cards.pdf")));
        }
        out << "  peak memory:             " << bench::peakKb() / 1024 << " MiB\n";
        out.flush();
    }
    return 0;
}
