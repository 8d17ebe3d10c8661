#include "Program.h"

#include "app/BookLocation.h"
#include "contacts/Backups.h"
#include "platform/db/Statement.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using ui::Answer;

namespace {

const QString monday = QStringLiteral("今天是星期一，又是新的一周，开始工作。");
const QString deleteQuestion = QStringLiteral("是否删除该条记录?不能恢复永久删除");

// Id, name and UID of every contact, in Id order.
QStringList contactsOf(const QString& file) {
    db::Connection c;
    c.open(db::connectionString(file));
    db::Statement rows(c, QStringLiteral("SELECT Id, GR_XM, UID FROM yanshu ORDER BY Id"));
    QStringList found;
    while (rows.step()) {
        found << rows.value(0).toString() + u' ' + rows.value(1).toString() + u' ' +
                     rows.value(2).toString();
    }
    return found;
}

} // namespace

// Where the book is, its first making, its backups and undoing a delete.
class BookTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestServices> s;
    std::unique_ptr<app::Forms> forms;

    test::ScriptedMessageBox& box() { return s->messageBox; }
    QAction* item(const char* name) { return forms->MDI_OK.controls().item(name); }
    QString shownName() {
        return forms->F_EDIT.client()->findChild<QLineEdit*>(QStringLiteral("TGR_XM"))->text();
    }
    void deleteShown() {
        box().expect(deleteQuestion, QStringLiteral("雁书簿"), Answer::Yes);
        item("EDIT_3")->trigger();
    }
    // The program again over the same file, as at the next start.
    void restart() {
        forms.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        forms = std::make_unique<app::Forms>(s->services);
    }
    std::vector<contacts::Backup> backups() {
        return contacts::listBackups(s->services.databaseFile);
    }

private slots:
    void init() { test::setUp(s, forms, QStringLiteral("(1, '甲', ''), (2, '乙', '')")); }
    void cleanup() { test::tearDown(s, forms); }

    void theBookIsTheNamedOneThenThePortableOneThenTheUsers() {
        QTemporaryDir program;
        const QString user = program.filePath(QStringLiteral("用户/yanshubu"));
        const auto locate = [&](const QStringList& arguments) {
            return app::locateBook(arguments, program.path(), user);
        };
        QCOMPARE(locate({}), user + QStringLiteral("/MY.mdb"));
        QFile portable(program.filePath(QStringLiteral("MY.mdb")));
        QVERIFY(portable.open(QIODevice::WriteOnly));
        QCOMPARE(locate({}), portable.fileName());
        QCOMPARE(locate({QStringLiteral("--database"), QStringLiteral("/书/b.db")}),
                 QStringLiteral("/书/b.db"));
        QCOMPARE(locate({QStringLiteral("--database=rel.db")}), QDir::current().filePath("rel.db"));
        for (const QStringList& wrong :
             {QStringList{QStringLiteral("--database")}, QStringList{QStringLiteral("--database=")},
              QStringList{QStringLiteral("--other")}}) {
            QVERIFY2(!locate(wrong), qPrintable(wrong.join(u' ')));
        }
    }

    // With no book anywhere, the first user's name and password make one,
    // and the login takes them; mistakes make nothing, nor does 取消.
    void theFirstStartMakesABookForItsFirstUserOrNothing() {
        QTemporaryDir home;
        const QString file = home.filePath(QStringLiteral("数据 文件夹/yanshubu/MY.mdb"));
        s->services.databaseFile = file;
        for (const bool cancel : {true, false}) {
            restart();
            forms->F_LOGO.show();
            forms->F_LOGO.Timer1_Timer();
            QVERIFY(forms->F_XJ.isLoaded() && !forms->F_DL.isLoaded());
            auto& x = forms->F_XJ.controls();
            QVERIFY(x.lblPrompt->text().contains(QDir::toNativeSeparators(file)));
            if (cancel) {
                x.cmdCancel->click();
                QVERIFY(!forms->F_XJ.isLoaded() && !forms->F_DL.isLoaded());
                QVERIFY(!QFileInfo::exists(QFileInfo(file).path()));
                continue;
            }
            box().expect(QStringLiteral("用户名不能为空"), QStringLiteral("系统提示"));
            QTest::keyClick(x.txtConfirm, Qt::Key_Return);
            x.txtUserName->setText(QStringLiteral("王老师"));
            x.txtPassword->setText(QStringLiteral("pa'ss"));
            x.txtConfirm->setText(QStringLiteral("pa'sS"));
            box().expect(QStringLiteral("两次输入的密码不一致，请重新输入。"),
                         QStringLiteral("新建通讯录"));
            x.cmdOK->click();
            QVERIFY(x.txtPassword->text().isEmpty() && x.txtConfirm->text().isEmpty());
            QVERIFY(!QFileInfo::exists(file));
            x.txtPassword->setText(QStringLiteral("pa'ss"));
            x.txtConfirm->setText(QStringLiteral("pa'ss"));
            x.cmdOK->click();
        }
        QVERIFY(!forms->F_XJ.isLoaded() && forms->F_DL.isLoaded());
        QVERIFY(contactsOf(file).isEmpty());
        auto& d = forms->F_DL.controls();
        QCOMPARE(d.txtUserName->text(), QStringLiteral("王老师"));
        d.txtPassword->setText(QStringLiteral("pa'ss"));
        box().expect(QStringLiteral("没有可用记录"), QStringLiteral("提示信息"));
        box().expect(QStringLiteral("没有记录是否添加新联系人信息?"), QStringLiteral("提示"),
                     Answer::No);
        box().expect(monday, QStringLiteral("雁书簿"));
        QTest::keyClick(d.txtPassword, Qt::Key_Return);
        QVERIFY(!forms->F_DL.isLoaded() && forms->F_EDIT.isLoaded());
    }

    // A backup on the way out only after a run that changed the book.
    void aRunThatChangedTheBookLeavesABackupOnItsWayOut() {
        test::logIn(*forms, box());
        item("Mnuexit")->trigger();
        QVERIFY(backups().empty());
        QVERIFY(s->progress.texts.isEmpty());

        restart();
        test::logIn(*forms, box());
        deleteShown();
        item("Mnuexit")->trigger();
        QCOMPARE(backups().size(), std::size_t(1));
        QCOMPARE(s->progress.texts, QStringList{QStringLiteral("正在备份通讯录……")});
        QCOMPARE(backups().front().taken, s->clock.time);
        QCOMPARE(contactsOf(backups().front().path), contactsOf(s->services.databaseFile));
        QCOMPARE(contactsOf(backups().front().path).size(), 1);
    }

    // Each 撤销删除 puts the last contact deleted back, Id and UID and all;
    // the item is on only while there is one to put back.
    void undoPutsTheDeletedContactsBackOneAfterAnother() {
        {
            db::Connection c;
            contacts::openDatabase(c, db::connectionString(s->services.databaseFile));
            c.execute(QStringLiteral("UPDATE yanshu SET UID = 'uid-' || Id"));
        }
        const QStringList before = contactsOf(s->services.databaseFile);
        test::logIn(*forms, box());
        QAction* undo = item("EDIT_UNDO");
        QVERIFY(!undo->isEnabled());
        deleteShown();
        QVERIFY(undo->isEnabled());
        QCOMPARE(shownName(), QStringLiteral("乙"));
        box().expect(deleteQuestion, QStringLiteral("雁书簿"), Answer::Yes);
        box().expect(QStringLiteral("没有可用记录了"), QStringLiteral("提示信息"));
        item("EDIT_3")->trigger();
        QVERIFY(contactsOf(s->services.databaseFile).isEmpty());

        undo->trigger();
        QCOMPARE(shownName(), QStringLiteral("乙"));
        QCOMPARE(contactsOf(s->services.databaseFile), before.mid(1));
        QVERIFY(undo->isEnabled());
        undo->trigger();
        QCOMPARE(shownName(), QStringLiteral("甲"));
        QCOMPARE(contactsOf(s->services.databaseFile), before);
        QVERIFY(!undo->isEnabled()); // nothing left to put back
    }

    // While the card holds the file: a backup now, then the book changed
    // and the backup put back, the book as it was kept as a backup too.
    void theBackupWindowBacksUpAndRestoresUnderTheOpenCard() {
        test::logIn(*forms, box());
        const QStringList before = contactsOf(s->services.databaseFile);
        item("FILE_BAK")->trigger();
        auto& b = forms->F_BF.controls();
        QVERIFY(b.lblBook->text().contains(QDir::toNativeSeparators(s->services.databaseFile)));
        QCOMPARE(b.lstBackups->count(), 0);
        QVERIFY(!b.cmdRestore->isEnabled());
        box().expect(
            QStringLiteral("已备份到“%1”。")
                .arg(QDir::toNativeSeparators(contacts::backupFolder(s->services.databaseFile) +
                                              QStringLiteral("/MY-2026-12-07-093000.mdb"))),
            QStringLiteral("备份与恢复"));
        b.cmdBackup->click();
        QCOMPARE(b.lstBackups->count(), 1);

        deleteShown();
        s->clock.time = s->clock.time.addSecs(60);
        box().expect(QStringLiteral("确实要用 2026-12-07 09:30:00 的备份替换现在的通讯录吗？\n\n"
                                    "现在的通讯录会先另存为一个备份，需要时还可以恢复。"),
                     QStringLiteral("备份与恢复"), Answer::No);
        b.cmdRestore->click();
        QCOMPARE(contactsOf(s->services.databaseFile), before.mid(1));

        box().expect(QStringLiteral("确实要用 2026-12-07 09:30:00 的备份替换现在的通讯录吗？\n\n"
                                    "现在的通讯录会先另存为一个备份，需要时还可以恢复。"),
                     QStringLiteral("备份与恢复"), Answer::Yes);
        box().expect(QStringLiteral("已恢复 2026-12-07 09:30:00 的备份。"
                                    "恢复前的通讯录保存为“MY-2026-12-07-093100.mdb”。"),
                     QStringLiteral("备份与恢复"));
        b.cmdRestore->click();
        QCOMPARE(contactsOf(s->services.databaseFile), before);
        QCOMPARE(shownName(), QStringLiteral("甲"));
        QCOMPARE(b.lstBackups->count(), 2);
        QCOMPARE(contactsOf(backups().front().path), before.mid(1));
    }
};

int runBookTests(int argc, char* argv[]) {
    BookTest tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_book.moc"
