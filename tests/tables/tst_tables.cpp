#include "Program.h"

#include "platform/ui/Fonts.h"
#include "platform/ui/Twips.h"
#include "tables/WindowAnimation.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QtTest>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using tables::Animation;
using tables::animationSteps;

namespace {

const char* const tableFiles[] = {"F_FB", "F_QJHM", "F_FBYB", "F_FBYB1", "F_FBGJ"};

QByteArray committed(const QString& name) {
    return test::fileBytes(QStringLiteral(PROJECT_DIR "/resources/tables/") + name +
                           QStringLiteral(".txt"));
}

// The text's lines, split at CR LF; empty when any line end is not CR LF
// or the text does not end with one.
QStringList lines(const QString& name) {
    const QString text = QString::fromUtf8(committed(name));
    if (!text.endsWith(u"\r\n") || text.count(u'\n') != text.count(QStringLiteral("\r\n")) ||
        text.count(u'\r') != text.count(u'\n')) {
        return {};
    }
    QStringList result = text.split(QStringLiteral("\r\n"));
    result.removeLast();
    return result;
}

// Columns counted independently of the program: the GBK width, two for
// each Chinese character or full-width sign.
int columns(const QString& text) {
    int n = 0;
    for (const QChar c : text) {
        n += c.unicode() >= 0x2E80 ? 2 : 1;
    }
    return n;
}

// Windows opened from the menus, each with the item that opens it.
const std::pair<const char*, tables::ReferenceTable app::Forms::*> tableWindows[] = {
    {"FB_1", &app::Forms::F_QJHM},    {"FB_2", &app::Forms::F_FB},
    {"F_FByh", &app::Forms::F_FBYB},  {"F_FByh1", &app::Forms::F_FBYB1},
    {"F_FBGJd", &app::Forms::F_FBGJ},
};

// Records the order in which windows close.
class CloseLog final : public QObject {
public:
    QStringList closed;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close) {
            closed << watched->objectName();
        }
        return false;
    }
};

} // namespace

class TablesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestServices> s;
    std::unique_ptr<app::Forms> forms;

    void trigger(const char* item) { forms->MDI_OK.controls().item(item)->trigger(); }
    // The windows now on screen report their closing to log.
    static void watch(CloseLog& log) {
        log.closed.clear();
        for (QWidget* w : QApplication::topLevelWidgets()) {
            w->installEventFilter(&log);
        }
    }

private slots:
    void init() { test::setUp(s, forms); }
    void cleanup() { test::tearDown(s, forms); }

    void theTextsAreMadeFromTheFacts() {
        QTemporaryDir out;
        QProcess generator;
        generator.start(QStringLiteral(YANSHUBU_TABLES_EXE),
                        {QStringLiteral(PROJECT_DIR "/resources/data"), out.path()});
        QVERIFY(generator.waitForFinished(30000));
        QCOMPARE(generator.exitCode(), 0);
        for (const char* name : tableFiles) {
            QCOMPARE(
                test::fileBytes(out.filePath(QString::fromLatin1(name) + QStringLiteral(".txt"))),
                committed(name));
            QVERIFY2(!lines(name).isEmpty(), name); // CR LF throughout, and at the end
        }
        QProcess usage;
        usage.start(QStringLiteral(YANSHUBU_TABLES_EXE), {});
        QVERIFY(usage.waitForFinished(30000));
        QCOMPARE(usage.exitCode(), 2);
    }

    void serviceNumbersStandOneToALineWithBlankLinesBetween() {
        const QStringList all = lines("F_FB");
        QCOMPARE(all.size(), 41);
        static const QRegularExpression entry(
            QStringLiteral("^(\\d{3,4}|16900 ) \\S+\\((免|收)\\S*费\\)$"));
        for (qsizetype i = 0; i < all.size(); ++i) {
            QVERIFY2(i % 2 ? all[i].isEmpty() : entry.match(all[i]).hasMatch(), qPrintable(all[i]));
        }
        QCOMPARE(all.first(), QStringLiteral("108 国际长途对方付费业务(免市话费)"));
        QVERIFY(all.contains(QStringLiteral("16900  互联网服务(收费)"))); // two blanks, as ever
        QCOMPARE(all.last(), QStringLiteral("1860 移动客服(免费)"));
    }

    void areaCodes() {
        const QStringList all = lines("F_QJHM");
        QCOMPARE(all.size(), 337);
        static const QRegularExpression entry(QStringLiteral("^(\\S+)( +)(0\\d{2,4})$"));
        for (const QString& line : all) {
            const QRegularExpressionMatch m = entry.match(line);
            QVERIFY2(m.hasMatch(), qPrintable(line));
            const int name = columns(m.captured(1));
            // Padded to 13 columns; a longer name is followed by one blank.
            QVERIFY2(name + m.capturedLength(2) == 13 || (name >= 13 && m.capturedLength(2) == 1),
                     qPrintable(line));
        }
        QVERIFY(all.first().startsWith(QStringLiteral("阿坝藏族羌族自治州 0837")));
        QCOMPARE(all.last(), QStringLiteral("遵义市       0852"));
        QVERIFY(all.contains(QStringLiteral("香港         00852")));
        // No county-level city and no name that has gone.
        QVERIFY(!all.join(u'\n').contains(QStringLiteral("二连浩特市")));
        QVERIFY(!all.join(u'\n').contains(QStringLiteral("思茅市")));
    }

    void postcodes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("sections");
        QTest::addColumn<QStringList>("emptyAfter");
        QTest::addColumn<QString>("last");
        QTest::newRow("F_FBYB") << "F_FBYB"
                                << QStringList{"北京市", "上海市", "天津市", "重庆市", "内蒙古",
                                               "河北",   "辽宁",   "吉林",   "黑龙江", "江苏",
                                               "安徽",   "山东",   "浙江",   "江西",   "福建",
                                               "湖南",   "湖北",   "河南",   "广东"}
                                << QStringList{"北京市", "上海市"} << "罗定市云浮527200";
        QTest::newRow("F_FBYB1") << "F_FBYB1"
                                 << QStringList{"广西", "贵州", "四川", "云南", "陕西", "甘肃",
                                                "宁夏", "青海", "新疆", "西藏", "海南", "山西"}
                                 << QStringList{"青海"} << "汾阳市吕梁032200";
    }
    void postcodes() {
        QFETCH(QString, name);
        QFETCH(QStringList, sections);
        QFETCH(QStringList, emptyAfter);
        QFETCH(QString, last);
        const QStringList all = lines(name);
        static const QRegularExpression entry(QStringLiteral("^\\p{Han}+\\d{6}$"));
        const QString heading = QStringLiteral("市县名称  所属地区  邮政编码");
        QStringList found;
        for (qsizetype i = 0; i < all.size(); ++i) {
            if (all[i] == heading) {
                QVERIFY(i >= 2 && i + 1 < all.size());
                QCOMPARE(all[i - 1], QStringLiteral(" "));
                QCOMPARE(all[i + 1], QStringLiteral(" "));
                found << all[i - 2];
                // Only the sections named end in an empty line.
                if (i >= 3 && all[i - 3].isEmpty()) {
                    QVERIFY2(emptyAfter.contains(found.value(found.size() - 2)),
                             qPrintable(all[i - 2]));
                }
            } else if (all[i] != u" " && !all[i].isEmpty() &&
                       !(i + 2 < all.size() && all[i + 2] == heading)) {
                QVERIFY2(entry.match(all[i]).hasMatch(), qPrintable(all[i]));
            }
        }
        QCOMPARE(found, sections);
        for (const QString& section : emptyAfter) {
            const qsizetype at = found.indexOf(section);
            QVERIFY(at >= 0);
            const qsizetype next = at + 1 < found.size()
                                       ? all.indexOf(found[at + 1], all.indexOf(heading))
                                       : all.size();
            QVERIFY2(next > 0 && all[next - 1].isEmpty(), qPrintable(section));
        }
        QCOMPARE(all.last(), last);
        if (name == u"F_FBYB") {
            QVERIFY(all.contains(QStringLiteral("通州区北京101149")));
            QVERIFY(all.contains(QStringLiteral("东莞市东莞523000"))); // a city without counties
        } else {
            QVERIFY(all.contains(QStringLiteral("五指山市海南572200"))); // under the province
        }
    }

    void diallingCodes() {
        const QStringList all = lines("F_FBGJ");
        QCOMPARE(all.mid(0, 4),
                 (QStringList{"国际直拨电话区号", "     ", " 国家或地区代  码         ", " "}));
        QCOMPARE(all.mid(all.size() - 7),
                 (QStringList{" ", "海事卫星系统", " ", "Atlantic大西洋871", "Pacific太平洋872",
                              "Indian印度洋873", " "}));
        const QStringList entries = all.mid(4, all.size() - 11);
        QCOMPARE(entries.size(), 245);
        static const QRegularExpression entry(
            QStringLiteral("^\\p{Latin}[^\\p{Han}]*\\p{Han}\\D*\\d{1,3}$"));
        for (const QString& line : entries) {
            QVERIFY2(entry.match(line).hasMatch(), qPrintable(line));
        }
        QCOMPARE(entries.first(), QStringLiteral("Afghanistan阿富汗93"));
        QCOMPARE(entries.last(), QStringLiteral("Zimbabwe津巴布韦263"));
    }

    void tableWindowsOpenAtTheirPlaceWithTheirText() {
        for (const auto& [item, member] : tableWindows) {
            trigger(item);
            tables::ReferenceTable& form = (*forms).*member;
            QVERIFY2(form.isLoaded(), item);
            QWidget* window = form.window();
            QVERIFY(!window->parentWidget()); // on the desktop, not in the main window
            QPlainTextEdit* box = form.controls().text;
            QCOMPARE(ui::twipsGeometry(box), form.design().boxTwips);
            // One paragraph per line of the text: CR LF is one line break.
            const QString text = lines(form.name()).join(u'\n') + u'\n';
            QCOMPARE(box->toPlainText(), text);
            const QRect first = window->geometry();
            QCOMPARE(window->pos(), QPoint(ui::px(2000), ui::px(400)));
            // 5100 x 5700 outside; offscreen there is no frame, so the
            // client area is that less the frame the designs were drawn with.
            QCOMPARE(window->size(), QSize(ui::px(5100) - 8, ui::px(5700) - 20));

            // Moved, resized and typed into: chosen again, it comes forward as it is.
            window->setGeometry(10, 10, 100, 100);
            box->setPlainText(QStringLiteral("typed"));
            trigger(item);
            QCOMPARE(box->toPlainText(), QStringLiteral("typed"));
            // Closed and opened again: the design's place, size and text.
            window->close();
            QVERIFY(!form.isLoaded());
            trigger(item);
            QCOMPARE(form.window()->geometry(), first);
            QCOMPARE(form.controls().text->toPlainText(), text);
        }
    }

    void quittingClosesTheWindowsInOrder() {
        for (const char* item :
             {"FB_2", "F_FBGJd", "HELP_1", "F_FByh", "F_FBrl", "F_FByh1", "FB_1"}) {
            trigger(item);
        }
        CloseLog log;
        watch(log);
        s->messageBox.expect(QStringLiteral("是否真的要退出？"), QStringLiteral("提示"),
                             ui::Answer::Yes);
        trigger("FILE_E");
        QCOMPARE(log.closed, (QStringList{"frmcalendar", "F_QJHM", "F_FBYB1", "F_FBYB", "F_FBGJ",
                                          "F_FB", "F_GY", "MDI_OK"}));

        // The main window's own closing closes them after its child windows.
        for (const char* item : {"F_FBGJd", "MnuGy", "FB_1"}) {
            trigger(item);
        }
        watch(log);
        trigger("Mnuexit");
        QCOMPARE(log.closed, (QStringList{"F_QJHM", "F_FBGJ", "F_GY", "MDI_OK"}));
    }

    void explodingAndImplodingMirrorEachOtherWithinThe16BitLimits() {
        const QRect window(186, 186, 401, 201);
        const std::vector<QRect> explode = ::animationSteps(window, 5000, Animation::Explode);
        const std::vector<QRect> implode = ::animationSteps(window, 5000, Animation::Implode);
        QCOMPARE(explode.size(), std::size_t(5000));
        QCOMPARE(explode.back(), window);
        QCOMPARE(implode.front(), window);
        // Step i grows from the centre: x, width.
        for (const auto& [i, x, width] :
             {std::tuple{1, 386, 0}, {2500, 286, 200}, {5000, 186, 401}}) {
            QCOMPARE(explode[std::size_t(i - 1)].x(), x);
            QCOMPARE(explode[std::size_t(i - 1)].width(), width);
            QCOMPARE(implode[std::size_t(5000 - i)], explode[std::size_t(i - 1)]);
        }
        QVERIFY(::animationSteps(window, 0, Animation::Explode).empty());
        QVERIFY(::animationSteps(window, -5, Animation::Implode).empty());
        QCOMPARE(::animationSteps(window, 1, Animation::Explode), (std::vector<QRect>{window}));
        // Coordinates up to the 16-bit limits animate; beyond them nothing is drawn.
        QCOMPARE(::animationSteps(QRect(32000, -32768, 767, 100), 8000, Animation::Implode).front(),
                 QRect(32000, -32768, 767, 100));
        QVERIFY(::animationSteps(QRect(32000, 0, 768, 100), 10, Animation::Explode).empty());
        QVERIFY(::animationSteps(QRect(-32769, 0, 10, 10), 10, Animation::Explode).empty());
#ifdef Q_OS_WIN
        // Windows' own Rectangle, at twice the scale: filled, outlined in
        // black, the far corners just outside.
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), 120, -80, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC dc = CreateCompatibleDC(nullptr);
        const HGDIOBJ before = SelectObject(dc, bitmap);
        PatBlt(dc, 0, 0, 120, 80, WHITENESS);
        const std::vector<QRect> steps =
            ::animationSteps(QRect(10, 10, 40, 20), 3, Animation::Implode);
        tables::drawSteps(dc, steps, 0, steps.size(), QColor(0x12, 0x34, 0x56), 2.0);
        const auto at = [dc](int x, int y) { return GetPixel(dc, x, y); };
        QCOMPARE(at(20, 30), RGB(0, 0, 0));
        QCOMPARE(at(99, 59), RGB(0, 0, 0));
        QCOMPARE(at(60, 25), RGB(0x12, 0x34, 0x56));
        QCOMPARE(at(19, 30), RGB(255, 255, 255));
        QCOMPARE(at(100, 30), RGB(255, 255, 255));
        SelectObject(dc, before);
        DeleteDC(dc);
        DeleteObject(bitmap);
#endif
    }

    void theAboutBoxShowsItsBoxedTextWholeAndClosesByClickOrEnter() {
        trigger("HELP_1");
        tables::F_GY& box = forms->F_GY;
        QVERIFY(box.isLoaded());
        QWidget* window = box.window();
        QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(window->geometry(), QRect(ui::px(2500), ui::px(3000), ui::px(6015), ui::px(3015)));
        auto& c = box.controls();
        QVERIFY(!c.Picture1->pixmap().isNull() && !c.Command1->icon().isNull());
        const QStringList block = c.T_GY->toPlainText().split(u'\n');
        QCOMPARE(block.size(), 10); // nine lines, each ended
        QVERIFY(block.last().isEmpty());
        const QString rule = QStringLiteral("  ") + QString(40, u'-');
        QCOMPARE(block[0], rule);
        QCOMPARE(block[5], rule);
        QCOMPARE(block[8], rule);
        // The framed lines line up in GBK columns.
        for (int line = 1; line <= 4; ++line) {
            QVERIFY2(block[line].startsWith(QStringLiteral("  | ")) && block[line].endsWith(u'|'),
                     qPrintable(block[line]));
            QCOMPARE(columns(block[line]), 42);
        }
        QVERIFY(block[1].contains(QStringLiteral("雁书簿")));
        QVERIFY(block[7].startsWith(QString(21, u' ') + QStringLiteral("yanshubu")));
        // All nine lines are on view, each on one line of the box.
        QPlainTextEdit* text = c.T_GY;
        QCOMPARE(text->document()->lineCount(), 10);
        QTextCursor end(text->document()->findBlockByNumber(8));
        end.movePosition(QTextCursor::EndOfBlock);
        QVERIFY(text->cursorRect(end).bottom() < text->viewport()->height());

        // Chosen again while open: only brought forward.
        trigger("MnuGy");
        QCOMPARE(box.window(), window);
        QTest::mouseClick(c.Command1, Qt::LeftButton);
        QVERIFY(!box.isLoaded());
        trigger("MnuGy");
        QTest::keyClick(box.controls().Command1, Qt::Key_Return);
        QVERIFY(!box.isLoaded());
    }
};

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    ui::installFontSubstitutes();
    TablesTest tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_tables.moc"
