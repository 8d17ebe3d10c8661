#include "Files.h"
#include "Program.h"

#include "app/Forms.h"
#include "contacts/Schema.h"
#include "platform/db/ConnectionString.h"
#include "platform/ui/Fonts.h"
#include "reports/Layout.h"
#include "reports/Paint.h"

#include <QAction>
#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPrinter>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

using namespace reports;

namespace {

// Draws 宋体 in this face until the guard goes.
[[nodiscard]] auto drawingWith(const QString& face) {
    QFont::removeSubstitutions(QStringLiteral("宋体"));
    QFont::insertSubstitution(QStringLiteral("宋体"), face);
    return qScopeGuard([] {
        QFont::removeSubstitutions(QStringLiteral("宋体"));
        ui::installFontSubstitutes();
    });
}

// Rows held in memory, for laying out without a database.
class Rows final : public ReportRows {
public:
    explicit Rows(qsizetype count, QString notes = {}, std::map<QString, QString> values = {})
        : count_(count)
        , notes_(std::move(notes))
        , values_(std::move(values)) {}
    qsizetype count() const override { return count_; }
    QString text(qsizetype row, QStringView column) const override {
        if (column == u"GR_BZ") {
            return notes_;
        }
        const auto value = values_.find(column.toString());
        return value != values_.end() ? value->second : column.toString() + QString::number(row);
    }

private:
    qsizetype count_;
    QString notes_;
    std::map<QString, QString> values_;
};

QList<std::pair<BandIndex, int>> bandsOf(const Page& page) {
    QList<std::pair<BandIndex, int>> bands;
    for (const PlacedBand& b : page.bands) {
        bands.append({b.band, b.top});
    }
    return bands;
}

QString pdfText(const QString& path, const QStringList& options = {}) {
    return QString::fromUtf8(
        test::toolOutput(QStringLiteral("pdftotext"), options, path, {QStringLiteral("-")}));
}

int pdfPages(const QString& path) {
    const QString info = QString::fromUtf8(test::toolOutput(QStringLiteral("pdfinfo"), {}, path));
    static const QRegularExpression pages(QStringLiteral("Pages:\\s+(\\d+)"));
    return pages.match(info).captured(1).toInt();
}

} // namespace

class ReportTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestServices> s;
    std::unique_ptr<app::Forms> forms;
    db::Connection other;

    test::ScriptedMessageBox& box() { return s->messageBox; }
    void seed(const QString& values) {
        other.execute(QStringLiteral("INSERT INTO yanshu (Id, GR_XM, GR_DH, GR_YDH, GR_DHW, GR_BB, "
                                     "GR_BZ) VALUES ") +
                      values);
    }
    void print(const char* item) { forms->MDI_OK.controls().item(item)->trigger(); }
    qsizetype rowsOf(const DataReport& report) { return report.dataSource()->count(); }

private slots:
    void init() {
        test::setUp(s, forms);
        contacts::openDatabase(other, db::connectionString(s->folder.databasePath()));
        other.reserveWrites({}); // the test's rows go in as plain SQL
    }
    void cleanup() {
        other.close();
        test::tearDown(s, forms);
    }

    // --- layout --------------------------------------------------------------

    void bandsFollowEachOtherInTheirOrder() {
        const Rows rows(2);
        Layout layout(YANSHUALL(), rows);
        layout.finish();
        QCOMPARE(layout.pages().size(), 1u);
        const int header = layout.height(ReportHeader);
        const int pageHeader = header + layout.height(PageHeader);
        const int row = layout.height(Detail);
        const QList<std::pair<BandIndex, int>> expected{{ReportHeader, 0},
                                                        {PageHeader, header},
                                                        {Detail, pageHeader},
                                                        {Detail, pageHeader + row},
                                                        {ReportFooter, pageHeader + 2 * row}};
        QCOMPARE(bandsOf(layout.pages()[0]), expected);
        QCOMPARE(layout.pages()[0].bands[3].row, 1);
        // A4 less the margins less the page footer.
        QCOMPARE(layout.footerTop(), 16838 - 2 * 1440 - layout.height(PageFooter));
        // The cards hold their lines as designed; the list's rows make room for theirs.
        const Layout cards(DYGE(), rows);
        QCOMPARE(cards.height(ReportHeader), 570);
        QCOMPARE(cards.height(Detail), 7935);
        for (int band = 0; band < bandCount; ++band) {
            QVERIFY(layout.height(BandIndex(band)) >= YANSHUALL().bands[std::size_t(band)].height);
        }
    }

    void aBandThatDoesNotFitStartsANewPageWithItsHeader() {
        const Rows none(0);
        const Layout empty(YANSHUALL(), none);
        const int row = empty.height(Detail);
        const int onFirst =
            (empty.footerTop() - empty.height(ReportHeader) - empty.height(PageHeader)) / row;
        const int onLater = (empty.footerTop() - empty.height(PageHeader)) / row;

        const Rows rows(onFirst + 1);
        Layout layout(YANSHUALL(), rows);
        layout.finish();
        QCOMPARE(layout.pages().size(), 2u);
        const Page& second = layout.pages()[1];
        QCOMPARE(bandsOf(second).first(), std::make_pair(PageHeader, 0));
        QCOMPARE(second.bands[1].row, onFirst);
        QCOMPARE(second.bands[1].top, empty.height(PageHeader));

        // 10,000 rows: every page but the last one full, the report footer after the last row.
        const Rows many(10000);
        Layout list(YANSHUALL(), many);
        QVERIFY(list.extendTo(0) && !list.complete()); // the first page before the rest
        list.finish();
        qsizetype next = 0;
        for (const Page& page : list.pages()) {
            QVERIFY(page.bands.back().top + page.bands.back().height <= list.footerTop());
            int rowsHere = 0;
            for (const PlacedBand& b : page.bands) {
                if (b.band == Detail) {
                    QCOMPARE(b.row, next++);
                    ++rowsHere;
                }
            }
            if (&page != &list.pages().back() && next < 10000) {
                QCOMPARE(rowsHere, &page == &list.pages().front() ? onFirst : onLater);
            }
        }
        QCOMPARE(next, 10000);
        QCOMPARE(list.pages().back().bands.back().band, ReportFooter);
    }

    void theNotesGrowTheirCardAndALongNoteGoesOnOverPages() {
        const QString note =
            QStringLiteral("大学同学，每年春节寄贺卡，喜欢围棋和昆曲。").repeated(15);
        const Rows rows(2, note);
        Layout cards(DYGE(), rows);
        cards.finish();
        const WrappedText wrapped = cards.growingText(0);
        const int grown = int(std::ceil(wrapped.lines.size() * wrapped.lineHeight)) - 2265;
        QVERIFY(grown > 0);
        const PlacedBand& first = cards.pages()[0].bands[2];
        QCOMPARE(first.band, Detail);
        QCOMPARE(first.height, 7935 + grown);
        // The second card no longer fits beside the first one.
        QCOMPARE(cards.pages()[1].bands[1].row, 1);

        const Rows huge(1, QStringLiteral("很长的备注，").repeated(3000));
        Layout split(DYGE(), huge);
        split.finish();
        QVERIFY(split.pages().size() >= 3);
        int lines = 0;
        for (const Page& page : split.pages()) {
            for (const PlacedBand& b : page.bands) {
                QVERIFY(b.top + b.height <= split.footerTop());
                if (b.band == Detail) {
                    QCOMPARE(b.firstLine, lines); // every line once, in order
                    lines += b.lineCount;
                }
            }
        }
        QCOMPARE(lines, int(split.growingText(0).lines.size()));
    }

    // What is printed, in each face 宋体 may be answered by: every text whole,
    // on lines as high as its font's, no rule through it; a value too wide for
    // its box shrunk, then wrapped; the PDF's text holding every character.
    void textStandsClearOfTheRulesAndIsShownWhole_data() {
        QTest::addColumn<QString>("face");
        for (const char* face : {"AR PL UMing CN", "Noto Serif CJK SC"}) {
            QTest::newRow(face) << QString::fromLatin1(face);
        }
    }

    void textStandsClearOfTheRulesAndIsShownWhole() {
        QFETCH(QString, face);
        if (!QFontDatabase::hasFamily(face)) {
            QSKIP("face not installed");
        }
        const auto restore = drawingWith(face);
        const std::map<QString, QString> values{
            {"GR_XM", "欧阳明远"},
            {"GR_ML", "mingyuan@163.com"},
            {"GR_MSN", "mingyuan_ouyang@hotmail.com"},
            {"GR_DW", QStringLiteral("北京市海淀区中关村南大街甲十八号北京国际大厦").repeated(3)},
            {"GR_DH", "010-12345678-8001"},
            {"GR_BB", QStringLiteral("寻呼台").repeated(12)}};
        const Rows rows(60, QStringLiteral("备注一行\n第二行"), values);
        int wrapped = 0;
        for (const ReportDefinition* report : {&DYGE(), &YANSHUALL()}) {
            Layout layout(*report, rows);
            layout.finish();
            QCOMPARE(QFontInfo(reportFont(report->font)).family(), face);
            for (qsizetype page = 0; page < qsizetype(layout.pages().size()); ++page) {
                const PageItems items = layout.items(page);
                QVERIFY(!items.lines.empty());
                for (const TextItem& text : items.texts) {
                    const QFontMetricsF metrics(text.font);
                    const std::size_t lines = text.text.lines.size();
                    QVERIFY(text.font.pixelSize() >= smallestText);
                    QVERIFY(text.rect.height() >= lines * metrics.height() - 0.01);
                    QVERIFY(text.rect.top() >= 0 &&
                            text.rect.bottom() <= layout.footerTop() + layout.height(PageFooter));
                    QString shown;
                    for (const auto& [start, length] : text.text.lines) {
                        const QString line = text.text.text.mid(start, length);
                        QVERIFY2(metrics.horizontalAdvance(line.trimmed()) <=
                                     text.rect.width() + 0.5,
                                 qPrintable(line));
                        shown += line;
                    }
                    wrapped += lines > 1;
                    for (const auto& [column, value] : values) {
                        if (value.startsWith(shown) || shown.startsWith(value)) {
                            QCOMPARE(shown, value); // whole, not cut at its box
                        }
                    }
                    for (const QLineF& line : items.lines) {
                        const QRectF stroke =
                            QRectF(line.p1(), line.p2())
                                .normalized()
                                .adjusted(-penWidth / 2, -penWidth / 2, penWidth / 2, penWidth / 2);
                        QVERIFY2(!stroke.intersects(text.rect), qPrintable(text.text.text));
                    }
                }
            }
        }
        QVERIFY(wrapped >= 60 * 2); // the long employer on every card, the pager in every row

        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("cards.pdf"));
        QVERIFY(exportPdf(pdf, DYGE(), Rows(1, {}, values)) == Painted::Done);
        const QString text = pdfText(pdf, {"-raw"});
        for (const QString& value : {values.at("GR_ML"), values.at("GR_MSN"), values.at("GR_DH")}) {
            QVERIFY2(text.contains(value), qPrintable(value));
        }
    }

    // --- the print commands ----------------------------------------------------

    void printOneFindsEveryCardOfTheName() {
        seed(QStringLiteral("(1, '王芳', '', '', '', '', ''), (2, '李雷', '', '', '', '', ''), "
                            "(3, '王芳', '', '', '', '', ''), (4, 'O''Neil', '', '', '', '', '')"));
        s->inputBox.answers = {QStringLiteral("王芳")};
        print("PRINT_1");
        QCOMPARE(s->inputBox.prompts, QStringList{"请输入要打印人的姓名:"});
        QVERIFY(forms->DYGE.window()->isVisible());
        QCOMPARE(forms->DYGE.caption(), QStringLiteral("打印个人信息"));
        QCOMPARE(rowsOf(forms->DYGE), 2);
        QCOMPARE(forms->DYGE.dataSource()->text(1, u"Id"), QStringLiteral("3"));
        QCOMPARE(forms->DYGE.layout()->pages().size(), 2u);

        s->inputBox.answers = {QStringLiteral("o'neil")};
        print("PRINT_1");
        QCOMPARE(rowsOf(forms->DYGE), 1);
        QCOMPARE(forms->DYGE.currentPage(), 0);

        // The shared report takes the later command's rows, in the same window.
        QWidget* window = forms->DYGE.window();
        print("PRINT_3");
        QCOMPARE(rowsOf(forms->DYGE), 4);
        QCOMPARE(forms->DYGE.window(), window);
    }

    void noMatchAndCancelShowTheMessageAndNoReport() {
        seed(QStringLiteral("(1, '王芳', '', '', '', '', '')"));
        s->inputBox.answers = {QStringLiteral("王"), std::nullopt};
        box().expect(QStringLiteral("对不起，没有此人的记录！"), QStringLiteral("提示"));
        print("PRINT_1");
        box().expect(QStringLiteral("对不起，没有此人的记录！"), QStringLiteral("提示"));
        print("PRINT_1");
        QVERIFY(!forms->DYGE.isLoaded());
    }

    void anEmptyTableStopsTheCardsButNotTheList() {
        box().expect(QStringLiteral("对不起，没有此人的记录！"), QStringLiteral("提示"));
        print("PRINT_3");
        QVERIFY(!forms->DYGE.isLoaded());
        print("PRINT_2");
        QVERIFY(forms->YANSHUALL.window()->isVisible());
        QCOMPARE(forms->YANSHUALL.caption(), QStringLiteral("雁书簿-2003"));
        QCOMPARE(rowsOf(forms->YANSHUALL), 0);
        const std::vector<Page>& pages = forms->YANSHUALL.layout()->pages();
        QCOMPARE(pages.size(), 1u);
        QCOMPARE(bandsOf(pages[0]).size(), 3); // headers and report footer only
    }

    // The preview opens within the screen's free area, with the whole
    // toolbar and a whole page; the page follows the window's size.
    void thePreviewShowsAWholePageAndItsToolbar() {
        print("PRINT_2");
        QWidget* window = forms->YANSHUALL.window();
        const auto* bar = window->findChild<QToolBar*>(QStringLiteral("Toolbar1"));
        const auto* scroller = window->findChild<QScrollArea*>(QStringLiteral("scroller"));
        // Empty when the page shows whole and fills the view's width or height.
        const auto pageCut = [scroller] {
            const QSize page = scroller->widget()->size();
            const QSize view = scroller->viewport()->size();
            const bool whole = page.width() <= view.width() && page.height() <= view.height();
            const bool fills =
                page.width() >= view.width() - 1 || page.height() >= view.height() - 1;
            return whole && fills ? QString()
                                  : QStringLiteral("%1×%2 in %3×%4")
                                        .arg(page.width())
                                        .arg(page.height())
                                        .arg(view.width())
                                        .arg(view.height());
        };
        QTRY_VERIFY(bar->width() >= bar->sizeHint().width());
        QTRY_COMPARE(pageCut(), QString());
        QVERIFY(window->screen()->availableGeometry().contains(window->frameGeometry()));
        window->showNormal();
        window->resize(700, 300);
        QTRY_COMPARE(pageCut(), QString());
    }

    // --- PDF -------------------------------------------------------------------

    // Names of characters each face also maps a Kangxi or supplementary
    // radical to: the text layer holds them as typed, not as the radicals.
    void sharedGlyphsKeepTheirCharactersInThePdf_data() {
        textStandsClearOfTheRulesAndIsShownWhole_data();
    }

    void sharedGlyphsKeepTheirCharactersInThePdf() {
        QFETCH(QString, face);
        if (!QFontDatabase::hasFamily(face)) {
            QSKIP("face not installed");
        }
        const auto restore = drawingWith(face);
        QCOMPARE(QFontInfo(reportFont(YANSHUALL().font)).family(), face);
        const QStringList expected{"张玉桂", "龙", "手机", "立", "雨", "文", "子"};
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("list.pdf"));
        QVERIFY(exportPdf(pdf, YANSHUALL(),
                          Rows(1, {},
                               {{"GR_XM", expected[0]},
                                {"GR_DH", expected[1]},
                                {"GR_YDH", expected[2]},
                                {"GR_DHW", expected[3] + ' ' + expected[4]},
                                {"GR_BB", expected[5] + ' ' + expected[6]}})) == Painted::Done);
        const QString text = pdfText(pdf);
        for (const QString& value : expected) {
            QVERIFY2(text.contains(value), qPrintable(text));
        }
        for (const char32_t c : text.toUcs4()) {
            QVERIFY2(c < 0x2E80 || c > 0x2FDF, qPrintable(text));
        }
    }

    void theListAndTheCardsExportAsSearchableText() {
        seed(QStringLiteral(
            "(1, '林晓燕', '010-12345678', '13800000001', '010-87654321', "
            "'95566', '第一行\r\n第二行'), (2, '张伟', '021-1111', '', '', '', '')"));
        QTemporaryDir dir;
        const QString list = dir.filePath(QStringLiteral("电话薄.pdf"));
        s->fileDialog.answers = {list};
        print("PRINT_2");
        box().expect(QStringLiteral("报表已导出到“%1”。").arg(QDir::toNativeSeparators(list)),
                     QStringLiteral("提示"));
        forms->YANSHUALL.cmdPdf_Click();
        QCOMPARE(pdfPages(list), 1);
        const QString text = pdfText(list);
        for (const char* expected :
             {"雁书簿", "姓名", "住宅电话", "手机", "单位电话", "传呼机", "林晓燕", "张伟",
              "010-12345678", "13800000001", "010-87654321", "95566", "021-1111", "制作:"}) {
            QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
        }

        // A page per card; the footer on each page.
        const QString cards = dir.filePath(QStringLiteral("cards"));
        s->fileDialog.answers = {cards};
        print("PRINT_3");
        box().expect(QStringLiteral("报表已导出到“%1.pdf”。").arg(QDir::toNativeSeparators(cards)),
                     QStringLiteral("提示"));
        forms->DYGE.cmdPdf_Click();
        QCOMPARE(pdfPages(cards + QStringLiteral(".pdf")), 2);
        for (int page = 1; page <= 2; ++page) {
            const QString one = pdfText(cards + QStringLiteral(".pdf"),
                                        {"-f", QString::number(page), "-l", QString::number(page)});
            QVERIFY(one.contains(QStringLiteral("联系人个人信息")) == (page == 1));
            QVERIFY(one.contains(QStringLiteral("备注")) && one.contains(QStringLiteral("雁书簿")));
        }
        QVERIFY(pdfText(cards + QStringLiteral(".pdf")).contains(QStringLiteral("第二行")));

        // A folder that does not exist: said so, nothing written.
        const QString nowhere = dir.filePath(QStringLiteral("没有/x.pdf"));
        s->fileDialog.answers = {nowhere};
        box().expect(QStringLiteral("无法写入文件“%1”，报表没有导出。")
                         .arg(QDir::toNativeSeparators(nowhere)),
                     QStringLiteral("提示"));
        forms->DYGE.cmdPdf_Click();
        QVERIFY(!QFile::exists(nowhere));
    }

    // Going to the end and exporting run a step at a time; 取消 leaves the
    // preview on its page and any file as it was, and nothing says done.
    void longWorkGoesInStepsAndCancelUndoesIt() {
        other.execute(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
            "INSERT INTO yanshu (Id, GR_XM, GR_DH) SELECT i, '联系人' || i, '010-' || i FROM n"));
        print("PRINT_2");
        DataReport& list = forms->YANSHUALL;
        auto* tmrLayout = list.window()->findChild<QTimer*>(QStringLiteral("tmrLayout"));
        QVERIFY(!list.layout()->complete() && tmrLayout->isActive());
        test::ScriptedProgress& progress = s->progress;
        progress.cancelAtStep = 1;
        list.cmdLast_Click();
        QCOMPARE(list.currentPage(), 0);
        QVERIFY(!list.layout()->complete() && tmrLayout->isActive());
        progress.cancelAtStep = -1;
        list.cmdLast_Click();
        const int pages = int(list.layout()->pages().size());
        QVERIFY(pages > 5);
        QCOMPARE(list.currentPage(), pages - 1);
        QCOMPARE(progress.texts, QStringList(2, QStringLiteral("正在排版报表……")));

        QTemporaryDir dir;
        const QString kept = dir.filePath(QStringLiteral("电话薄.pdf"));
        QFile old(kept);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("earlier") == 7);
        old.close();
        s->fileDialog.answers = {kept, dir.filePath(QStringLiteral("新"))};
        for (int i = 0; i < 2; ++i) {
            progress.steps = 0;
            progress.cancelAtStep = 3;
            list.cmdPdf_Click();
            QCOMPARE(progress.steps, 3);
            QVERIFY(!progress.running);
        }
        QCOMPARE(test::fileBytes(kept), QByteArray("earlier"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"电话薄.pdf"});

        // A step a page.
        progress.steps = 0;
        progress.cancelAtStep = -1;
        s->fileDialog.answers = {kept};
        box().expect(QStringLiteral("报表已导出到“%1”。").arg(QDir::toNativeSeparators(kept)),
                     QStringLiteral("提示"));
        list.cmdPdf_Click();
        QCOMPARE(progress.steps, pages);
        QCOMPARE(pdfPages(kept), pages);
        QVERIFY(pdfText(kept).contains(QStringLiteral("联系人300")));
        QCOMPARE(progress.texts.last(), QStringLiteral("正在导出报表……"));
        QVERIFY(!progress.running);

        // Printed to a file, which Qt writes as it goes: nothing of it stays.
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString printed = dir.filePath(QStringLiteral("打印.pdf"));
        printer.setOutputFileName(printed);
        int steps = 0;
        QCOMPARE(reports::print(printer, YANSHUALL(), *list.dataSource(),
                                [&](qint64, qint64) { return ++steps < 2; }),
                 Painted::Cancelled);
        QCOMPARE(steps, 2);
        QVERIFY(!QFile::exists(printed));
    }
};

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    ui::installFontSubstitutes();
    ReportTest tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_reports.moc"
