#include "Program.h"

#include "platform/db/ConnectionString.h"
#include "platform/db/Recordset.h"
#include "platform/ui/StatusBar.h"
#include "platform/ui/Twips.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

using platform::DesktopProgram;
using ui::Answer;

namespace {

const QString info = QStringLiteral("提示信息");
const QString quitQuestion = QStringLiteral("是否真的要退出？");
const QString mediaPresent = QStringLiteral("status cdaudio media present");

} // namespace

class ToolbarTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestServices> s;
    std::unique_ptr<app::Forms> forms;

    test::ScriptedMessageBox& box() { return s->messageBox; }
    app::MDI_OK_Controls& main() { return forms->MDI_OK.controls(); }
    contacts::F_EDIT_Controls& card() { return forms->F_EDIT.controls(); }
    QString shownName() { return static_cast<QLineEdit*>(card().data[0])->text(); }
    QToolButton* toolButton(int index) {
        return qobject_cast<QToolButton*>(main().Toolbar1->widgetForAction(main().button(index)));
    }
    void click(int index) { QTest::mouseClick(toolButton(index), Qt::LeftButton); }
    void logIn() { test::logIn(*forms, box()); }
    int storedContacts() {
        db::Connection c;
        c.open(db::connectionString(s->folder.databasePath()));
        db::Recordset rows;
        rows.openTable(c, QStringLiteral("yanshu"));
        return static_cast<int>(rows.recordCount());
    }
    // F1 travels as a posted key press: it arrives once the loop runs.
    QWidget* helpAfterEvents() {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return forms->help.window();
    }
    void activateMainWindow() {
        QWidget* window = forms->MDI_OK.window();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
    }

private slots:
    void init() { test::setUp(s, forms, QStringLiteral("(1, '甲', '010-1'), (2, '乙', '010-2')")); }
    void cleanup() { test::tearDown(s, forms); }

    void elevenCaptionedPicturesThatWaitForTheLogin() {
        test::start(*forms);
        auto& m = main();
        // The designs' captions and tool tips, which the user reads.
        const QStringList captions = {"新联系人|添加新联系人",
                                      "后退|向前移动一个记录",
                                      "前进|向后移动一个记录",
                                      "查询|查询联系人信息",
                                      "删除|删除当前联系人",
                                      "修改|修改当前联系人信息",
                                      "关于..|关于通讯录",
                                      "帮助|通讯录帮助",
                                      "退出|退出通讯录",
                                      "日历|日历本",
                                      "检测光驱|检查光驱里是否有光盘"};
        QCOMPARE(m.Toolbar1->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        for (int i = 1; i <= 11; ++i) {
            QAction* b = m.button(i);
            QVERIFY(toolButton(i));
            QCOMPARE(b->text() + u'|' + b->toolTip(), captions[i - 1]);
            // Drawn from vectors: as sharp on a screen of twice the density.
            QCOMPARE(b->icon().pixmap(QSize(32, 32), 2.0).size(), QSize(64, 64));
        }
        QCOMPARE(m.button(12), nullptr);
        QCOMPARE(m.Toolbar1->y(), m.menuBar->height());
        QCOMPARE(m.Toolbar1->width(), forms->MDI_OK.client()->width());

        // Before the login no button answers a click.
        QVERIFY(!m.Toolbar1->isEnabled());
        for (int i : {1, 7, 9, 10, 11}) {
            click(i);
        }
        // Nor does the pop-up's disc test, which would bring up the card.
        main().item("MnuCdRom")->trigger();
        QVERIFY(!forms->F_GY.isLoaded() && !forms->frmcalendar.isLoaded());
        QVERIFY(!forms->F_EDIT.isLoaded() && s->cdrom.commands.isEmpty());

        box().expect(QStringLiteral("今天是星期一，又是新的一周，开始工作。"),
                     QStringLiteral("雁书簿"));
        QLineEdit* password = forms->F_DL.controls().txtPassword;
        password->setText(QStringLiteral("123456"));
        QTest::keyClick(password, Qt::Key_Return);
        QVERIFY(m.Toolbar1->isEnabled());
        // An index outside the toolbar does nothing.
        const QString caption = forms->F_EDIT.caption();
        for (int index : {0, 12, -1}) {
            forms->MDI_OK.Toolbar1_ButtonClick(index);
        }
        QCOMPARE(forms->F_EDIT.caption(), caption);
        QCOMPARE(shownName(), QStringLiteral("甲"));
        QVERIFY(s->cdrom.commands.isEmpty());
        click(10);
        QVERIFY(forms->frmcalendar.isLoaded());
        click(7);
        QVERIFY(forms->F_GY.isLoaded());
    }

    void theAddButtonLocksTheFindBoxAndTheModifyButtonKeepsTheContact() {
        logIn();
        auto& c = card();
        click(1);
        QCOMPARE(forms->F_EDIT.caption(), QStringLiteral("添加联系人"));
        QCOMPARE(shownName(), QString());
        QVERIFY(!c.Text_Cs->isEnabled());
        QVERIFY(c.TGR_BZ->isEnabled() && c.Command1->isEnabled() && !c.Command3->isEnabled());
        // The menu's add leaves the find box as it was.
        c.Command2->click();
        QVERIFY(c.Text_Cs->isEnabled());
        main().item("EDIT_1")->trigger();
        QVERIFY(c.Text_Cs->isEnabled());

        c.Command2->click();
        click(6);
        QCOMPARE(forms->F_EDIT.caption(), QStringLiteral("修改联系人"));
        QCOMPARE(shownName(), QStringLiteral("甲"));
        QVERIFY(c.TGR_BZ->isEnabled() && c.data[0]->isEnabled() && c.Command3->isEnabled());
        QVERIFY(!c.Command1->isEnabled() && c.Text_Cs->isEnabled());
    }

    void theStepButtonsBringTheCardBackThenMoveAndFindAndDeleteAreTheCardsOwn() {
        logIn();
        click(3);
        QCOMPARE(shownName(), QStringLiteral("乙"));
        click(2);
        QCOMPARE(shownName(), QStringLiteral("甲"));

        forms->F_EDIT.unload();
        click(3);
        QVERIFY(forms->F_EDIT.window()->isVisible());
        QCOMPARE(shownName(), QStringLiteral("乙"));
        forms->F_EDIT.unload();
        box().expect(QStringLiteral("已经是第一个记录了!"), info);
        click(2);
        QVERIFY(forms->F_EDIT.window()->isVisible());
        QCOMPARE(shownName(), QStringLiteral("甲"));

        // Find and delete are the card's own.
        card().Text_Cs->setText(QStringLiteral("乙"));
        click(4);
        QCOMPARE(shownName(), QStringLiteral("乙"));
        QVERIFY(card().Command4->isVisible());
        box().expect(QStringLiteral("是否删除该条记录?不能恢复永久删除"), QStringLiteral("雁书簿"),
                     Answer::Yes);
        box().expect(QStringLiteral("没有可用记录了"), info);
        click(5);
        QCOMPARE(storedContacts(), 1);
    }

    // A file comes in, with a report, and the
    // card shows the book again; a cancelled import stores nothing; the
    // book goes out in the type chosen in the dialog. Each dialog opens in
    // the folder of the file chosen last.
    void contactsComeInFromAFileAndGoOutToOne() {
        logIn();
        const QString title = QStringLiteral("导入联系人");

        s->fileDialog.answers = {QStringLiteral(SAMPLES_DIR "/google.csv")};
        s->progress.cancelAtStep = 1;
        box().expect(QStringLiteral("已取消导入“google.csv”，通讯录没有改动。\n"), title);
        main().item("FILE_IMP")->trigger();
        QCOMPARE(storedContacts(), 2);
        QCOMPARE(s->fileDialog.startedAt, QDir::homePath());

        s->fileDialog.answers = {QStringLiteral(SAMPLES_DIR "/excel-gbk.csv")};
        s->progress.cancelAtStep = -1;
        box().expect(
            QStringLiteral("导入“excel-gbk.csv”：新增 3 人，更新 0 人，未变 0 人，跳过 0 项。\n"),
            title);
        click(3); // on to 乙, whom the reopened card leaves for the first
        main().item("FILE_IMP")->trigger();
        QCOMPARE(storedContacts(), 5);
        QVERIFY(!s->progress.running);
        QCOMPARE(shownName(), QStringLiteral("甲"));
        main().item("VIEW_1")->trigger();
        for (int i = 0; i < 4; ++i) {
            click(3);
        }
        QCOMPARE(shownName(), QStringLiteral("林峰"));

        const QString out = s->folder.path() + QStringLiteral("/通讯录");
        s->fileDialog.answers = {ui::FileChoice(out, 5)}; // CSV in GBK
        box().expect(
            QStringLiteral("已把 5 位联系人导出到“%1.csv”。").arg(QDir::toNativeSeparators(out)),
            QStringLiteral("导出联系人"));
        main().item("FILE_EXP")->trigger();
        QCOMPARE(s->fileDialog.offered.size(), 6);
        QCOMPARE(s->fileDialog.startedAt,
                 QFileInfo(QStringLiteral(SAMPLES_DIR "/通讯录.vcf")).absoluteFilePath());
        QVERIFY(test::fileBytes(out + QStringLiteral(".csv")).contains("\xCE\xE2\x88\xD2")); // 吴堃
        main().item("FILE_IMP")->trigger(); // and cancelled
        QCOMPARE(s->fileDialog.startedAt, s->folder.path());
        QCOMPARE(box().problems(), QStringList());
    }

    void exitClosesTheTwoNumberTablesBeforeItAsks() {
        logIn();
        for (ui::Form* window : std::initializer_list<ui::Form*>{
                 &forms->F_FB, &forms->F_QJHM, &forms->F_FBGJ, &forms->frmcalendar}) {
            window->show();
        }
        box().onShow = [this](const ui::Message&) {
            QVERIFY(!forms->F_FB.isLoaded() && !forms->F_QJHM.isLoaded());
            QVERIFY(forms->F_FBGJ.isLoaded() && forms->frmcalendar.isLoaded());
        };
        box().expect(quitQuestion, QStringLiteral("提示"), Answer::No);
        click(9);
        QVERIFY(forms->F_FBGJ.isLoaded() && forms->frmcalendar.isLoaded());
        box().onShow = nullptr;
        box().expect(quitQuestion, QStringLiteral("提示"), Answer::Yes);
        click(9);
        QVERIFY(!forms->MDI_OK.isLoaded() && !forms->F_FBGJ.isLoaded());
        QVERIFY(!forms->frmcalendar.isLoaded());
    }

    void theDriveAnswersOnTheCardAndComplainsOnlyWhenItFails() {
        logIn();
        const QString open = QStringLiteral("set cdaudio door open");
        const QString closed = QStringLiteral("set cdaudio door closed");
        QLabel* answer = card().Label22;
        s->cdrom.replies[open] = {0, {}};
        main().item("MnuOpenCdrom")->trigger(); // no message
        box().expect(QStringLiteral("光驱可能有问题，请检查后重试！"), QStringLiteral("错误"));
        main().item("MnucloseCdrom")->trigger();
        QCOMPARE(box().shown.last().icon, ui::Icon::Critical);
        QCOMPARE(answer->text(), QStringLiteral("..........."));

        s->cdrom.replies[mediaPresent] = {0, QStringLiteral("true")};
        click(11);
        QCOMPARE(answer->text(), QStringLiteral("光驱中有碟片！"));
        QVERIFY(answer->width() >= answer->sizeHint().width()); // shown whole
        s->cdrom.replies.clear();                               // no drive
        main().item("MnuCdRom")->trigger();
        QCOMPARE(answer->text(), QStringLiteral("光驱中未装入碟片！"));
        QCOMPARE(answer->palette().color(QPalette::WindowText), QColor(0, 0, 0));
        QCOMPARE(s->cdrom.commands, QStringList({open, closed, mediaPresent, mediaPresent}));
    }

    void eachUtilityStartsItsProgramAndAFailureNamesWhatWasTried() {
        logIn();
        const std::pair<const char*, DesktopProgram> items[] = {
            {"MYPLAY", DesktopProgram::MediaPlayer},
            {"MYJSQ", DesktopProgram::Calculator},
            {"MYBOOK", DesktopProgram::TextEditor},
            {"MYIT", DesktopProgram::SystemInformation},
        };
        for (const auto& [name, program] : items) {
            main().item(name)->trigger();
            QCOMPARE(s->programs.requested.back(), program);
        }
        QCOMPARE(s->programs.requested.size(), std::size_t(4));

        const QString caption = forms->F_EDIT.caption();
        s->programs.answer = {
            false, {}, {QStringLiteral("gnome-calculator"), QStringLiteral("xcalc")}};
        box().expect(
            QStringLiteral("没有找到可以打开“我的记算器”的程序。已查找：gnome-calculator、xcalc。"),
            QStringLiteral("系统提示"));
        main().item("MYJSQ")->trigger();
        s->programs.answer = {
            false, QStringLiteral("vlc"), {QStringLiteral("totem"), QStringLiteral("vlc")}};
        box().expect(QStringLiteral("“我的媒体播放机”没有启动：vlc 启动失败。"),
                     QStringLiteral("系统提示"));
        main().item("MYPLAY")->trigger();
        QCOMPARE(forms->F_EDIT.caption(), caption);
        QCOMPARE(shownName(), QStringLiteral("甲"));
    }

    void theClockTicksOnTheToolbarAndTheStatusBarFollowsKeysAndDate() {
        test::start(*forms);
        auto& m = main();
        // The clock ticks each second at the right of the toolbar.
        QVERIFY(m.Timer1->isActive());
        QCOMPARE(m.Timer1->interval(), 1000);
        QCOMPARE(m.Label1->parentWidget(), m.Toolbar1);
        QVERIFY(m.Label1->isVisible());
        QVERIFY(m.Label1->geometry().right() > m.Toolbar1->width() * 3 / 4);
        QVERIFY2(m.Label1->text().contains(QStringLiteral("9:30:00")),
                 qPrintable(m.Label1->text()));

        ui::StatusBar* bar = m.StatusBar1;
        QCOMPARE(bar->height(), ui::px(315));
        QCOMPARE(bar->y() + bar->height(), forms->MDI_OK.client()->height());
        QCOMPARE(bar->panel(7), nullptr);
        QCOMPARE(bar->panel(6)->text(),
                 QLocale::system().toString(QDate(2026, 12, 7), QLocale::ShortFormat));
        for (int i : {3, 4, 5}) {
            QVERIFY(!bar->panel(i)->isEnabled());
        }
        // The bar looks for itself.
        s->keyboard.keys.capsLock = true;
        QTRY_VERIFY(bar->panel(4)->isEnabled());
        QVERIFY(!bar->panel(3)->isEnabled() && !bar->panel(5)->isEnabled());
        s->keyboard.keys = {true, false, true};
        QTRY_VERIFY(bar->panel(3)->isEnabled() && bar->panel(5)->isEnabled());
        QVERIFY(!bar->panel(4)->isEnabled());

        s->clock.time = QDateTime(QDate(2026, 12, 7), QTime(23, 59, 59));
        bar->refresh();
        QCOMPARE(bar->panel(6)->text(),
                 QLocale::system().toString(QDate(2026, 12, 7), QLocale::ShortFormat));
        s->clock.time = QDateTime(QDate(2026, 12, 8), QTime(0, 0, 0));
        QTRY_COMPARE(bar->panel(6)->text(),
                     QLocale::system().toString(QDate(2026, 12, 8), QLocale::ShortFormat));

        s->clock.time = QDateTime(QDate(2026, 12, 7), QTime(9, 5, 3));
        forms->MDI_OK.Timer1_Timer();
        QVERIFY2(m.Label1->text().contains(QStringLiteral("9:05:03")),
                 qPrintable(m.Label1->text()));
        // The time keeps its colour on the unavailable toolbar.
        QVERIFY(!m.Label1->isEnabled());
        const QColor ink = m.Label1->palette().color(QPalette::Active, QPalette::WindowText);
        const QImage drawn = m.Label1->grab().toImage();
        int inked = 0;
        for (int y = 0; y < drawn.height(); ++y) {
            for (int x = 0; x < drawn.width(); ++x) {
                inked += drawn.pixelColor(x, y) == ink;
            }
        }
        QVERIFY2(inked > 20, qPrintable(QString::number(inked)));
    }

    void f1FromTheKeyboardOrAnyHelpCommandOpensOneHelpAtTheWindowsPage() {
        logIn();
        activateMainWindow();
        card().Text_Cs->setFocus();
        QTest::keyClick(card().Text_Cs, Qt::Key_F1);
        QVERIFY(forms->help.window());
        QTextBrowser* page = forms->help.page();
        QCOMPARE(page->source().fileName(), QStringLiteral("F_EDIT.html"));
        QVERIFY(page->toPlainText().contains(QStringLiteral("联系人")));
        // Dressed by the pages' shared style sheet.
        QTextBlock heading = page->document()->begin();
        while (heading.isValid() && heading.blockFormat().headingLevel() != 1) {
            heading = heading.next();
        }
        QVERIFY(heading.isValid());
        QCOMPARE(heading.begin().fragment().charFormat().foreground().color(), QColor(0x1a4d80));
        // Links lead on, and the bar's 目录 goes to the first page.
        page->setSource(QUrl(QStringLiteral("qrc:/help/utilities.html#cdrom")));
        const auto bar = forms->help.window()->findChild<QToolBar*>()->actions();
        QCOMPARE(bar.size(), 3);
        QVERIFY(bar[0]->isEnabled() && !bar[1]->isEnabled());
        bar[2]->trigger();
        QCOMPARE(page->source().fileName(), QStringLiteral("index.html"));
        bar[0]->trigger();
        QCOMPARE(page->source().fileName(), QStringLiteral("utilities.html"));
        forms->help.close();
        QVERIFY(!forms->help.window());

        activateMainWindow();
        main().item("HELP_2")->trigger();
        QVERIFY(!forms->help.window()); // not before the key press is taken
        QWidget* help = helpAfterEvents();
        QVERIFY(help && help->isVisible());
        // From the menu the card is the active window inside the main one.
        QCOMPARE(forms->help.page()->source().fileName(), QStringLiteral("F_EDIT.html"));
        forms->help.close();

        activateMainWindow();
        main().item("Mnuhelp")->trigger();
        help = helpAfterEvents();
        QVERIFY(help && help->isVisible());
        const QPointer<QWidget> first = help;
        // A second F1 only brings the open help forward, even from the task bar.
        help->showMinimized();
        activateMainWindow();
        click(8);
        QCOMPARE(helpAfterEvents(), first.data());
        QVERIFY(!help->isMinimized());
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.begin(), windows.end(),
                               [](QWidget* w) { return w->objectName() == u"Help"; }),
                 1);
        // Quitting closes it with the rest.
        main().item("Mnuexit")->trigger();
        QVERIFY(!forms->help.window());
    }

    void everyWindowHasAPageAndEveryLinkLands() {
        QCOMPARE(ui::Help::pageOf(QStringLiteral("nothing")),
                 QStringLiteral("qrc:/help/index.html"));
        for (ui::Form* form : std::initializer_list<ui::Form*>{
                 &forms->MDI_OK, &forms->F_EDIT, &forms->F_DL, &forms->DYGE, &forms->YANSHUALL,
                 &forms->F_XGYH, &forms->frmcalendar, &forms->F_QJHM, &forms->F_FB, &forms->F_FBYB,
                 &forms->F_FBYB1, &forms->F_FBGJ, &forms->F_GY, &forms->F_LIST, &forms->F_QTXX,
                 &forms->F_BF, &forms->F_TB, &forms->F_TBJL}) {
            QCOMPARE(ui::Help::pageOf(form->name()),
                     QStringLiteral("qrc:/help/%1.html").arg(form->name()));
        }
        const QDir folder(QStringLiteral(":/help"));
        const auto read = [&](const QString& name) {
            QFile f(folder.filePath(name));
            return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
        };
        const QRegularExpression href(QStringLiteral("href=\"([^\"]*)\""));
        int links = 0;
        // The pages speak to users of the installed program, not to its builders.
        const QRegularExpression building(QStringLiteral("\\bmake\\b|\\bbuild/|cmake"));
        for (const QString& page : folder.entryList({QStringLiteral("*.html")})) {
            const QString text = read(page);
            QVERIFY2(!text.contains(building), qPrintable(page));
            for (const auto& match : href.globalMatch(text)) {
                const QString target = match.captured(1);
                const QString file = target.section(u'#', 0, 0);
                const QString anchor = target.section(u'#', 1);
                const QString pageText = file.isEmpty() ? text : read(file);
                QVERIFY2(!pageText.isEmpty(), qPrintable(page + QStringLiteral(" → ") + target));
                if (!anchor.isEmpty()) {
                    QVERIFY2(pageText.contains(QStringLiteral("name=\"%1\"").arg(anchor)) ||
                                 pageText.contains(QStringLiteral("id=\"%1\"").arg(anchor)),
                             qPrintable(page + QStringLiteral(" → ") + target));
                }
                ++links;
            }
        }
        QVERIFY(links > 100);
    }
};

int runToolbarTests(int argc, char* argv[]) {
    ToolbarTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_toolbar.moc"
