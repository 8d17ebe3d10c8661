#include "Program.h"

#include "account/UserStore.h"
#include "contacts/Schema.h"
#include "contacts/SearchKeys.h"
#include "platform/db/ConnectionString.h"
#include "platform/ui/Twips.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>
#include <QtTest>

using ui::Answer;

namespace {

const QString systemTitle = QStringLiteral("系统提示");
const QString wrong = QStringLiteral("您输入的信息不正确！");
const QString monday = QStringLiteral("今天是星期一，又是新的一周，开始工作。");
const QString quitQuestion = QStringLiteral("是否真的要退出？");

} // namespace

class LoginTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestServices> s;
    std::unique_ptr<app::Forms> forms;

    test::ScriptedMessageBox& box() { return s->messageBox; }
    app::MDI_OK_Controls& main() { return forms->MDI_OK.controls(); }
    app::F_DL_Controls& dialog() { return forms->F_DL.controls(); }
    QAction* item(const char* name) { return main().item(name); }

    QList<QMenu*> topMenus() {
        auto& m = main();
        return {m.FILE_F, m.EDIT_E, m.VIEW_V, m.HELP_H, m.FB_F};
    }
    bool menusEnabled() {
        const QList<QMenu*> menus = topMenus();
        const bool first = menus.first()->menuAction()->isEnabled();
        for (QMenu* menu : menus) {
            if (menu->menuAction()->isEnabled() != first) {
                return false;
            }
        }
        return first;
    }
    void start() { test::start(*forms); }
    void enter(const QString& name, const QString& password) {
        dialog().txtUserName->setText(name);
        dialog().txtPassword->setText(password);
        QTest::keyClick(dialog().txtPassword, Qt::Key_Return);
    }
    void logIn() { test::logIn(*forms, box()); }
    void refused(const QString& name, const QString& password) {
        box().expect(wrong, systemTitle);
        enter(name, password);
        QVERIFY2(forms->F_DL.isLoaded(), qPrintable(name + u'/' + password));
        QCOMPARE(dialog().txtUserName->text(), QStringLiteral("请重新输入用户名！"));
        QCOMPARE(dialog().txtPassword->text(), QStringLiteral("请重新输入密码！"));
        QVERIFY(!menusEnabled());
    }
    // The user table anew; each row's SQL literals, NULL among them.
    void users(const QStringList& rows) {
        db::Connection c;
        c.open(db::connectionString(s->folder.databasePath()));
        c.execute(QStringLiteral("DELETE FROM mab"));
        for (const QString& row : rows) {
            c.execute(QStringLiteral("INSERT INTO mab (YHM, YHMA) VALUES (%1)").arg(row));
        }
    }
    // Nothing of the program is on screen any more, so it ends.
    bool programEnded() {
        for (const QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible()) {
                return false;
            }
        }
        return !forms->MDI_OK.isLoaded() && !forms->F_DL.isLoaded() && !forms->F_EDIT.isLoaded();
    }
    // What opening an old program's file asks.
    QString oldFileQuestion() const {
        return QStringLiteral("文件“%1”是旧版程序的 Access 数据库，雁书簿不能直接打开它。\n\n"
                              "是否把旧版通讯录转换为新格式？")
            .arg(QDir::toNativeSeparators(s->folder.databasePath()));
    }
    QMdiSubWindow* frameOf(ui::Form& form) { return qobject_cast<QMdiSubWindow*>(form.window()); }
    QLineEdit* cardBox(const char* name) {
        return forms->F_EDIT.client()->findChild<QLineEdit*>(QLatin1String(name));
    }

private slots:
    void init() { test::setUp(s, forms, QStringLiteral("(1, '甲', ''), (2, '乙', '')")); }
    void cleanup() { test::tearDown(s, forms); }

    void theMainWindowHoldsTheDialogWithItsMenusOff() {
        start();
        auto& m = main();
        QCOMPARE(forms->MDI_OK.caption(), QStringLiteral("雁书簿"));
        QVERIFY(forms->MDI_OK.window()->isMaximized());
        QCOMPARE(m.MDIClient->background().color(), QColor(Qt::white));
        QVERIFY(!menusEnabled());
        QVERIFY(!m.Toolbar1->isEnabled());
        QStringList bar;
        for (QAction* a : m.menuBar->actions()) {
            bar << a->text();
        }
        QCOMPARE(bar, QStringList({"文件(&F)", "编辑(&E)", "查看(&V) ", "帮助(&H)", "附表(&L)"}));
        QCOMPARE(item("VIEW_2")->text(), QStringLiteral("查找联系人 "));
        // The design's three, then 其他信息, 生日提醒 and 名片二维码.
        QCOMPARE(m.VIEW_V->actions(),
                 (QList<QAction*>{item("VIEW_1"), item("VIEW_2"), item("VIEW_3"), item("VIEW_4"),
                                  item("VIEW_SR"), item("VIEW_QR")}));
        QCOMPARE(item("VIEW_3")->text(), QStringLiteral("联系人列表"));
        QCOMPARE(item("VIEW_4")->text(), QStringLiteral("其他信息..."));
        QCOMPARE(item("VIEW_SR")->text(), QStringLiteral("生日提醒..."));
        QStringList file;
        for (QAction* a : m.FILE_F->actions()) {
            file << (a->isSeparator() ? QStringLiteral("-") : a->text());
        }
        // The later items go after the design's, before the line above 退出, which stays last.
        QCOMPARE(file, QStringList({"修改用户信息", "-", "打印通讯录", "-", "导入联系人...",
                                    "导出联系人...", "备份与恢复...", "同步设置...", "立即同步",
                                    "同步记录...", "-", "退出(&X)"}));
        QCOMPARE(m.EDIT_E->actions().mid(3), (QList<QAction*>{item("EDIT_UNDO"), item("EDIT_CF")}));
        QCOMPARE(item("EDIT_UNDO")->text(), QStringLiteral("撤销删除"));
        QCOMPARE(item("EDIT_CF")->text(), QStringLiteral("查找重复联系人..."));
        QCOMPARE(item("FILE_4")->menu()->actions().size(), 3);
        QCOMPARE(m.menuedit->actions().size(), 10);
        QList<QMenu*> menus = topMenus() << m.menuedit;
        for (int i = 0; i < menus.size(); ++i) {
            for (QAction* a : menus[i]->actions()) {
                const QKeySequence key = a->objectName() == u"VIEW_3"
                                             ? QKeySequence(Qt::CTRL | Qt::Key_F)
                                         : a->objectName() == u"EDIT_UNDO" ? QKeySequence::Undo
                                                                           : QKeySequence();
                QVERIFY2(a->shortcut() == key, qPrintable(a->objectName()));
                if (a->menu()) {
                    menus << a->menu();
                }
            }
        }
        QCOMPARE(menus.size(), 8); // with 打印通讯录 and 实用工具

        QMdiSubWindow* frame = frameOf(forms->F_DL);
        QVERIFY(frame && m.MDIClient->subWindowList().contains(frame));
        QCOMPARE(forms->F_DL.caption(), QStringLiteral("登录"));
        QCOMPARE(forms->F_DL.client()->size(), QSize(250, 103));
        QCOMPARE(frame->pos(), QPoint(160, 120));
        QVERIFY(!(frame->windowFlags() & Qt::WindowMaximizeButtonHint));
        auto& d = dialog();
        QCOMPARE(d.txtUserName->text(), QStringLiteral("admin"));
        QCOMPARE(d.txtPassword->text(), QStringLiteral("**********"));
        QCOMPARE(d.txtPassword->echoMode(), QLineEdit::Password);
        QCOMPARE(d.lblLabels[0]->buddy(), d.txtUserName);
        QCOMPARE(d.lblLabels[1]->buddy(), d.txtPassword);
        QCOMPARE(ui::twipsGeometry(d.cmdCancel), QRect(2100, 1020, 1140, 390));
        QCOMPARE(test::tabOrder(d.txtUserName, 5),
                 (QStringList{"txtUserName", "txtPassword", "cmdOK", "cmdCancel"}));
        QVERIFY(d.cmdOK->isDefault());
        // The labels' letters move the focus to their boxes.
        QTRY_COMPARE(QApplication::focusWidget(), d.txtUserName);
        QTest::keyClick(d.txtUserName, Qt::Key_P, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), d.txtPassword);
        QTest::keyClick(d.txtPassword, Qt::Key_U, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), d.txtUserName);
    }

    void theRightButtonPopsUpTheMenuBeforeLogin() {
        start();
        QWidget* viewport = main().MDIClient->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(700, 500));
        QVERIFY(!main().menuedit->isVisible());
        QTest::mousePress(viewport, Qt::RightButton, {}, QPoint(700, 500));
        QTRY_VERIFY(main().menuedit->isVisible());
        main().menuedit->hide();
        // The pop-up's exit closes everything without a question.
        item("Mnuexit")->trigger();
        QVERIFY(programEnded());
    }

    void enterAtOnceTriesTheDesignAsterisks() {
        users({"'admin', '**********'"});
        start();
        box().expect(monday, QStringLiteral("雁书簿"));
        QTest::keyClick(dialog().txtUserName, Qt::Key_Return);
        QVERIFY(!forms->F_DL.isLoaded());
    }

    void aWrongPasswordPromptsAndEnterAgainTriesThePromptAsName() {
        users({"'admin', '123456'", "'请重新输入用户名！', '请重新输入密码！'"});
        start();
        refused(QStringLiteral("admin"), QStringLiteral("654321"));
        box().expect(monday, QStringLiteral("雁书簿"));
        QTest::keyClick(dialog().txtUserName, Qt::Key_Return);
        QVERIFY(!forms->F_DL.isLoaded());
    }

    void aClickEmptiesABoxForTheNextTry() {
        start();
        refused(QStringLiteral("admin"), QStringLiteral("654321"));
        QTest::mouseClick(dialog().txtUserName, Qt::LeftButton);
        QTest::mouseClick(dialog().txtPassword, Qt::LeftButton);
        QVERIFY(dialog().txtUserName->text().isEmpty() && dialog().txtPassword->text().isEmpty());
        test::commitText(dialog().txtUserName, QStringLiteral("admin"));
        test::commitText(dialog().txtPassword, QStringLiteral("123456"));
        box().expect(monday, QStringLiteral("雁书簿"));
        QTest::mouseClick(dialog().cmdOK, Qt::LeftButton);
        QVERIFY(!forms->F_DL.isLoaded());
    }

    void theGreetingComesAfterTheCardHasOpened() {
        db::Connection c;
        c.open(db::connectionString(s->folder.databasePath()));
        contacts::defineSearchFunctions(c); // which yanshu's triggers call
        c.execute(QStringLiteral("DELETE FROM yanshu"));
        start();
        box().expect(QStringLiteral("没有可用记录"), QStringLiteral("提示信息"));
        box().expect(QStringLiteral("没有记录是否添加新联系人信息?"), QStringLiteral("提示"),
                     Answer::No);
        box().expect(monday, QStringLiteral("雁书簿"));
        enter(QStringLiteral("admin"), QStringLiteral("123456"));
        QVERIFY(forms->F_EDIT.isLoaded());
        // The pop-up menu's exit closes the card too, asking nothing.
        item("Mnuexit")->trigger();
        QVERIFY(programEnded());
    }

    void cancelByMouseEndsTheProgram() {
        start();
        QTest::mouseClick(dialog().cmdCancel, Qt::LeftButton);
        QVERIFY(programEnded());
    }

    void emptyBoxesAreRefusedBeforeAnyRead() {
        start();
        box().expect(QStringLiteral("用户名不能为空"), systemTitle);
        enter({}, QStringLiteral("123456"));
        box().expect(QStringLiteral("用户密码不能为空"), systemTitle);
        enter(QStringLiteral("admin"), {});
        QVERIFY(forms->F_DL.isLoaded());
        QCOMPARE(dialog().txtUserName->text(), QStringLiteral("admin"));
    }

    void passwordsMatchExactlyAndNamesAreBoundAsTyped() {
        users({"'admin', 'Secret'", "'O''Brien', 'it''s'", "'nobody', NULL"});
        start();
        refused(QStringLiteral("admin"), QStringLiteral("secret"));
        refused(QStringLiteral("admin "), QStringLiteral("Secret"));
        refused(QStringLiteral("陌生人"), QStringLiteral("Secret"));
        refused(QStringLiteral("x' or '1'='1"), QStringLiteral("Secret"));
        refused(QStringLiteral("admin' --"), QStringLiteral("x"));
        refused(QStringLiteral("admin"), QStringLiteral("' or ''='"));
        refused(QStringLiteral("nobody"), QStringLiteral("null"));
        // The table compares names without regard to case, as it always did.
        box().expect(monday, QStringLiteral("雁书簿"));
        enter(QStringLiteral("o'brien"), QStringLiteral("it's"));
        QVERIFY(!forms->F_DL.isLoaded());
    }

    void anEmptyUserTableOrANullNameOffersNoName() {
        users({});
        start();
        QVERIFY(dialog().txtUserName->text().isEmpty());
        refused(QStringLiteral("admin"), QStringLiteral("123456"));
        forms->F_DL.cmdCancel_Click();

        users({"NULL, '123456'"});
        forms->F_DL.show();
        QVERIFY(dialog().txtUserName->text().isEmpty());
        box().expect(QStringLiteral("用户名不能为空"), systemTitle);
        QTest::keyClick(dialog().txtPassword, Qt::Key_Return);
        refused(QStringLiteral("null"), QStringLiteral("123456"));
    }

    void aLoginSwitchesTheMainWindowOnAndShowsTheCard() {
        start();
        const QString dbPath = s->folder.databasePath();
        test::expectOpenHandles(dbPath, 1); // the dialog's
        logIn();
        QCOMPARE(box().shown.size(), 1);
        QVERIFY(menusEnabled());
        QVERIFY(main().Toolbar1->isEnabled());
        QVERIFY(forms->F_EDIT.isLoaded() && forms->F_EDIT.window()->isVisible());
        QVERIFY(forms->F_EDIT.window()->isMaximized());
        QCOMPARE(cardBox("TGR_XM")->text(), QStringLiteral("甲"));
        QCOMPARE(main().MDIClient->subWindowList().size(), 1);
        // The card's, and the one that tells on the way out whether the book
        // changed; the dialog let go of its own.
        test::expectOpenHandles(dbPath, 2);
    }

    void eachDayHasItsGreeting() {
        const QStringList days = {
            QStringLiteral("今天是星期天，请好好放松一下吧！为明天的工作做准备"),
            monday,
            QStringLiteral("今天是星期二，加油工作！"),
            QStringLiteral("今天是星期三，努力工作！"),
            QStringLiteral("今天是星期四，坚持一下，继续工作！"),
            QStringLiteral("今天是星期五，坚持到底，一定要做好！"),
            QStringLiteral("今天是星期六，又到大礼拜天，去放松心情吧！"),
        };
        for (int w = 0; w < 7; ++w) {
            // 2026-12-06 is a Sunday.
            s->clock.time = QDateTime(QDate(2026, 12, 6 + w), QTime(23, 59, 59));
            forms->F_DL.show();
            box().expect(days[w], QStringLiteral("雁书簿"));
            enter(QStringLiteral("admin"), QStringLiteral("123456"));
            QVERIFY(!forms->F_DL.isLoaded());
            forms->MDI_OK.unload();
        }
    }

    void cancelEndsTheProgram() {
        start();
        QTest::keyClick(dialog().txtPassword, Qt::Key_Escape);
        QVERIFY(programEnded());
        test::expectOpenHandles(s->folder.databasePath(), 0);
        QVERIFY(box().shown.isEmpty());
    }

    void exitAsksAndYesClosesTheCardThenTheMainWindow() {
        logIn();
        box().expect(quitQuestion, QStringLiteral("提示"), Answer::No);
        item("FILE_E")->trigger();
        QVERIFY(forms->MDI_OK.isLoaded() && forms->F_EDIT.isLoaded());

        QStringList order;
        QObject::connect(forms->F_EDIT.window(), &QObject::destroyed, [&] { order << "F_EDIT"; });
        QObject::connect(forms->MDI_OK.window(), &QObject::destroyed, [&] { order << "MDI_OK"; });
        box().expect(quitQuestion, QStringLiteral("提示"), Answer::Yes);
        item("FILE_E")->trigger();
        QVERIFY(programEnded());
        test::expectOpenHandles(s->folder.databasePath(), 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(order, QStringList({"F_EDIT", "MDI_OK"}));
    }

    void theCloseBoxAsksNothing() {
        logIn();
        forms->MDI_OK.window()->close();
        QVERIFY(programEnded());
        test::expectOpenHandles(s->folder.databasePath(), 0);
    }

    void theCardCommandsBringTheCardBack() {
        logIn();
        frameOf(forms->F_EDIT)->close();
        QVERIFY(!forms->F_EDIT.isLoaded());
        // Quitting asks without loading the card.
        box().expect(quitQuestion, QStringLiteral("提示"), Answer::No);
        item("FILE_E")->trigger();
        QVERIFY(!forms->F_EDIT.isLoaded());

        item("EDIT_2")->trigger();
        QVERIFY(frameOf(forms->F_EDIT)->isVisible());
        QCOMPARE(forms->F_EDIT.caption(), QStringLiteral("修改联系人"));
        QCOMPARE(cardBox("TGR_XM")->text(), QStringLiteral("甲"));
        QVERIFY(cardBox("TGR_XM")->isEnabled());

        item("VIEW_1")->trigger();
        QCOMPARE(forms->F_EDIT.caption(), QStringLiteral("浏览联系人"));
        item("EDIT_1")->trigger();
        QCOMPARE(forms->F_EDIT.caption(), QStringLiteral("添加联系人"));
        QVERIFY(cardBox("TGR_XM")->text().isEmpty() && cardBox("TGR_XM")->isEnabled());

        frameOf(forms->F_EDIT)->close();
        box().expect(QStringLiteral("是否删除该条记录?不能恢复永久删除"), QStringLiteral("雁书簿"),
                     Answer::Yes);
        item("EDIT_3")->trigger();
        QCOMPARE(forms->F_EDIT.caption(), QStringLiteral("删除联系人"));
        QCOMPARE(cardBox("TGR_XM")->text(), QStringLiteral("乙"));

        cardBox("Text_Cs")->setText(QStringLiteral("乙"));
        item("VIEW_2")->trigger();
        QCOMPARE(cardBox("TGR_XM")->text(), QStringLiteral("乙"));
        // The card's own right press pops up the main window's menu.
        QTest::mousePress(forms->F_EDIT.client(), Qt::RightButton, {}, QPoint(700, 300));
        QTRY_VERIFY(main().menuedit->isVisible());
        main().menuedit->hide();
    }

    // Making the search keys of an older book shows progress; its 取消
    // leaves the file as it was, and the program ends as for any file it
    // cannot open. The next start upgrades it.
    void upgradingAnOlderBookCanBeCancelled() {
        const QString path = s->folder.databasePath();
        QVERIFY(QFile::remove(path));
        {
            db::Connection c;
            c.create(path);
            contacts::createVersion1(c);
            account::UserStore::add(c, QStringLiteral("admin"), QStringLiteral("123456"));
            c.execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                     "FROM n WHERE i < 3000) INSERT INTO yanshu (Id, GR_XM) "
                                     "SELECT i, '联系人' || i FROM n"));
        }
        const QByteArray before = test::fileBytes(path);
        s->progress.cancelAtStep = 1;
        box().expectError(QStringLiteral("操作已取消"));
        forms->F_LOGO.show();
        forms->F_LOGO.Timer1_Timer();
        QVERIFY(!forms->F_DL.isLoaded());
        QVERIFY(!s->progress.running);
        QCOMPARE(test::fileBytes(path), before);

        s->progress.cancelAtStep = -1;
        test::logIn(*forms, box());
        QCOMPARE(s->progress.texts, QStringList(2, QStringLiteral("正在升级通讯录……")));
        QCOMPARE(static_cast<QLineEdit*>(forms->F_EDIT.controls().data[0])->text(),
                 QStringLiteral("联系人1"));
    }

    // Yes converts: the old file is kept as it was and its users log in. A
    // damaged old file says why and stays MY.mdb, unchanged.
    void anOldAccessBookIsConvertedWhenTheUserAgrees() {
        const QString path = s->folder.databasePath();
        const QString fixture = QStringLiteral(SAMPLES_DIR "/legacy/legacy-demo.mdb");
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::copy(fixture, path));
        box().expect(oldFileQuestion(), QStringLiteral("提示"), ui::Answer::Yes);
        box().expect(QStringLiteral("已转换“MY.mdb”：联系人读出 13 位，写入 13 位；用户读出 2 "
                                    "位，写入 2 位。\n旧文件原样保存为“MY-旧版.mdb”。\n"),
                     QStringLiteral("提示"));
        test::start(*forms);
        QCOMPARE(test::fileBytes(s->folder.path() + QStringLiteral("/MY-旧版.mdb")),
                 test::fileBytes(fixture));
        box().expect(QStringLiteral("今天是星期一，又是新的一周，开始工作。"),
                     QStringLiteral("雁书簿"));
        auto& d = forms->F_DL.controls();
        QCOMPARE(d.txtUserName->text(), QStringLiteral("admin"));
        d.txtUserName->setText(QStringLiteral("王老师"));
        d.txtPassword->setText(QStringLiteral("'pa''ss 中"));
        QTest::keyClick(d.txtPassword, Qt::Key_Return);
        QVERIFY(!forms->F_DL.isLoaded());
        QCOMPARE(s->progress.texts, QStringList{QStringLiteral("正在转换旧版通讯录……")});
        forms->MDI_OK.unload();

        QVERIFY(QFile::remove(path));
        QFile damaged(path);
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(test::fileBytes(fixture).left(8192));
        damaged.close();
        const QByteArray before = test::fileBytes(path);
        box().expect(oldFileQuestion(), QStringLiteral("提示"), ui::Answer::Yes);
        box().expectError(QStringLiteral("无法读取旧版数据库"));
        forms->F_DL.show();
        QVERIFY(programEnded());
        QCOMPARE(test::fileBytes(path), before);
        QVERIFY(!QFile::exists(s->folder.path() + QStringLiteral("/MY-旧版-2.mdb")));
    }

    void aDatabaseThatCannotBeUsedEndsTheProgramWithOneMessage() {
        const QString path = s->folder.databasePath();
        const auto fails = [&](const QString& fragment) {
            box().expectError(fragment);
            forms->F_DL.show();
            QVERIFY2(programEnded(), qPrintable(fragment));
            QCOMPARE(box().shown.size(), 1);
            QVERIFY(box().shown.first().text.contains(QDir::toNativeSeparators(path)));
            box().shown.clear();
        };
        {
            test::FileLock lock(s->folder.databasePath());
            fails(QStringLiteral("正被其他程序使用"));
        }
        {
            db::Connection c;
            c.open(db::connectionString(s->folder.databasePath()));
            c.execute(QStringLiteral("DROP TABLE mab"));
        }
        fails(QStringLiteral("缺少所需的表"));
        {
            db::Connection c;
            c.create(s->folder.databasePath() + QStringLiteral(".new"));
            contacts::createSchema(c);
            c.execute(QStringLiteral("PRAGMA user_version = 99"));
        }
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::rename(path + QStringLiteral(".new"), path));
        fails(QStringLiteral("较新版本"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray("\x00\x01\x00\x00Standard Jet DB\0", 20).leftJustified(2048, '\0'));
        file.close();
        const QByteArray header = test::fileBytes(path);
        box().expect(oldFileQuestion(), QStringLiteral("提示"), ui::Answer::No);
        forms->F_DL.show();
        QVERIFY(programEnded());
        QCOMPARE(test::fileBytes(path), header);
        box().shown.clear();
        QVERIFY(QFile::remove(path));
        fails(QStringLiteral("yanshubu-db init"));
        QVERIFY(!QFile::exists(path));
    }
};

int runLoginTests(int argc, char* argv[]) {
    LoginTest tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_login.moc"
