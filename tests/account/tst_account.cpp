#include "Program.h"

#include "account/UserStore.h"
#include "app/Forms.h"
#include "contacts/Schema.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/Recordset.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Twips.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using ui::Answer;

namespace {

const QString systemTitle = QStringLiteral("系统提示");
const QString passwordError = QStringLiteral("请从新输入新密码，并确保新密码的两次输入一致");
const QString passwordErrorTitle = QStringLiteral("修改密码出错");
const QString wrongPassword = QStringLiteral("用户名密码输入不正确！");

struct User {
    QString name;
    QString password;
    bool operator==(const User&) const = default;
};

char* toString(const User& user) {
    return QTest::toString(user.name + u'/' + user.password);
}

} // namespace

class AccountTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestServices> s;
    std::unique_ptr<app::Forms> forms;

    test::ScriptedMessageBox& box() { return s->messageBox; }
    account::F_XGYH_Controls& dialog() { return forms->F_XGYH.controls(); }

    // The users as another program reads them from the file.
    QList<User> storedUsers() {
        db::Connection connection;
        connection.open(db::connectionString(s->folder.databasePath()));
        db::Recordset users;
        users.openTable(connection, QStringLiteral("mab"));
        QList<User> result;
        for (; !users.eof(); users.moveNext()) {
            result.append({users.text(u"YHM"), users.text(u"YHMA")});
        }
        return result;
    }
    void setUsers(const QList<User>& users) {
        db::Connection connection;
        connection.open(db::connectionString(s->folder.databasePath()));
        connection.execute(QStringLiteral("DELETE FROM mab"));
        for (const User& user : users) {
            account::UserStore::add(connection, user.name, user.password);
        }
    }

    void open() {
        forms->MDI_OK.controls().item("FILE_2")->trigger();
        QVERIFY(forms->F_XGYH.isLoaded());
    }
    // 修改 with the current password typed.
    void verify(const QString& password) {
        dialog().T_YSM->setText(password);
        QTest::mouseClick(dialog().Command1, Qt::LeftButton);
    }
    void enterNew(const QString& name, const QString& password, const QString& again) {
        dialog().T_XYHM->setText(name);
        dialog().T_NE1->setText(password);
        dialog().T_NE2->setText(again);
    }
    void save() { QTest::mouseClick(dialog().Command3, Qt::LeftButton); }

    bool inVerify() {
        auto& c = dialog();
        return c.T_YSM->isEnabled() && c.Command1->isEnabled() && c.Command2->isEnabled() &&
               !c.T_THM->isEnabled() && !c.T_XYHM->isEnabled() && !c.T_NE1->isEnabled() &&
               !c.T_NE2->isEnabled() && !c.Command3->isEnabled();
    }
    bool inNewValues() {
        auto& c = dialog();
        return !c.T_YSM->isEnabled() && !c.Command1->isEnabled() && c.Command2->isEnabled() &&
               !c.T_THM->isEnabled() && c.T_XYHM->isEnabled() && c.T_NE1->isEnabled() &&
               c.T_NE2->isEnabled() && c.Command3->isEnabled();
    }
    void toNewValues(const QString& password = QStringLiteral("123456")) {
        open();
        verify(password);
        QVERIFY(inNewValues());
    }

    // The program's login, in a fresh run on the same folder.
    void logIn(const QString& name, const QString& password, bool accepted) {
        app::Forms run(s->services);
        run.F_LOGO.show();
        run.F_LOGO.Timer1_Timer();
        auto& login = run.F_DL.controls();
        login.txtUserName->setText(name);
        login.txtPassword->setText(password);
        if (accepted) {
            box().expect(QStringLiteral("今天是星期一，又是新的一周，开始工作。"),
                         QStringLiteral("雁书簿"));
        } else {
            box().expect(QStringLiteral("您输入的信息不正确！"), systemTitle);
        }
        QTest::mouseClick(login.cmdOK, Qt::LeftButton);
        QCOMPARE(run.F_DL.isLoaded(), !accepted);
    }

private slots:
    // A contact, so that a login shows the card quietly.
    void init() { test::setUp(s, forms, QStringLiteral("(1, '甲', '')")); }
    void cleanup() { test::tearDown(s, forms); }

    void opensAsDesigned() {
        open();
        QWidget* window = forms->F_XGYH.window();
        QVERIFY(window->isWindow());
        QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(!window->parentWidget());
        QCOMPARE(window->windowTitle(), QStringLiteral("修改用户信息"));
        QCOMPARE(window->size(), QSize(ui::px(5415), ui::px(3795)));
        QCOMPARE(window->pos(), QPoint(ui::px(2000), ui::px(2000)));
        auto& c = dialog();
        QCOMPARE(c.T_THM->text(), QStringLiteral("admin"));
        QVERIFY(inVerify());
        QCOMPARE(ui::twipsGeometry(c.T_NE2), QRect(2040, 2760, 2175, 270));
        QCOMPARE(ui::twipsGeometry(c.Command2), QRect(3600, 3120, 735, 495));
        for (QPushButton* button : {c.Command1, c.Command2, c.Command3}) {
            QVERIFY(!button->icon().isNull());
        }
        for (QLineEdit* password : {c.T_YSM, c.T_NE1, c.T_NE2}) {
            QCOMPARE(password->echoMode(), QLineEdit::Password);
            QVERIFY(!password->testAttribute(Qt::WA_InputMethodEnabled));
        }
        QCOMPARE(c.T_XYHM->echoMode(), QLineEdit::Normal);
        QCOMPARE(test::tabOrder(c.T_THM, 9),
                 (QStringList{"T_THM", "T_YSM", "T_NE1", "T_NE2", "Command1", "Command2",
                              "Command3", "T_XYHM"}));

        // Choosing the command again only brings the window forward, as it was.
        c.T_YSM->setText(QStringLiteral("typed"));
        forms->MDI_OK.controls().item("FILE_2")->trigger();
        QCOMPARE(forms->F_XGYH.window(), window);
        QCOMPARE(dialog().T_YSM->text(), QStringLiteral("typed"));
    }

    void verifyingTheCurrentPassword() {
        open();
        box().expect(QStringLiteral("用户密码不能为空"), systemTitle);
        verify({});
        QVERIFY(inVerify());

        // Letter case and blanks count; the typed text stays for another try.
        for (const QString& wrong :
             {QStringLiteral("12345"), QStringLiteral("123456 "), QStringLiteral("' or '1'='1")}) {
            box().expect(wrongPassword, QStringLiteral("提示"));
            verify(wrong);
            QVERIFY(inVerify());
            QCOMPARE(dialog().T_YSM->text(), wrong);
        }
        verify(QStringLiteral("123456"));
        QVERIFY(inNewValues());
        QCOMPARE(dialog().T_XYHM->text(), QStringLiteral("admin"));
    }

    void refusedNewValuesKeepWhatWasTyped() {
        toNewValues();
        const struct {
            QString name, password, again, message, title;
        } refused[] = {
            {QStringLiteral("新名"), QStringLiteral("abc"), QStringLiteral("abd"), passwordError,
             passwordErrorTitle},
            {QStringLiteral("新名"), QStringLiteral("abc"), QStringLiteral("ABC"), passwordError,
             passwordErrorTitle},
            {QStringLiteral("新名"), {}, {}, passwordError, passwordErrorTitle},
            // An empty name could never log in again.
            {{},
             QStringLiteral("abc"),
             QStringLiteral("abc"),
             QStringLiteral("用户名不能为空"),
             systemTitle},
        };
        for (const auto& r : refused) {
            enterNew(r.name, r.password, r.again);
            box().expect(r.message, r.title);
            save();
            QVERIFY(forms->F_XGYH.isLoaded());
            QVERIFY(inNewValues());
            QCOMPARE(dialog().T_XYHM->text(), r.name);
            QCOMPARE(dialog().T_NE1->text(), r.password);
            QCOMPARE(dialog().T_NE2->text(), r.again);
        }
        QCOMPARE(storedUsers(), (QList<User>{{"admin", "123456"}}));
    }

    void savingChangesNameAndPassword() {
        toNewValues();
        enterNew(QStringLiteral("O'Brien 张"), QStringLiteral("新密码 x"),
                 QStringLiteral("新密码 x"));
        bool goneFirst = false;
        box().onShow = [&](const ui::Message&) { goneFirst = !forms->F_XGYH.isLoaded(); };
        box().expect(QStringLiteral("修改成功"), QStringLiteral("提示"));
        save();
        box().onShow = nullptr;
        QVERIFY(goneFirst); // the window was gone before the notice came
        QCOMPARE(box().shown.size(), 1);
        QCOMPARE(storedUsers(), (QList<User>{{"O'Brien 张", "新密码 x"}}));
        test::expectOpenHandles(s->folder.databasePath(), 0);

        logIn(QStringLiteral("O'Brien 张"), QStringLiteral("新密码 x"), true);
        logIn(QStringLiteral("admin"), QStringLiteral("123456"), false);
        logIn(QStringLiteral("O'Brien 张"), QStringLiteral("123456"), false);

        // The next opening starts in Verify, on the new name with its quote.
        open();
        QCOMPARE(dialog().T_THM->text(), QStringLiteral("O'Brien 张"));
        QVERIFY(inVerify());
        verify(QStringLiteral("新密码 x"));
        QVERIFY(inNewValues());
    }

    void onlyThePasswordChanged() {
        toNewValues();
        QTest::mouseClick(dialog().T_NE1, Qt::LeftButton); // a click elsewhere empties nothing
        dialog().T_NE1->setText(QStringLiteral("pw2"));
        dialog().T_NE2->setText(QStringLiteral("pw2"));
        box().expect(QStringLiteral("修改成功"), QStringLiteral("提示"));
        save();
        QCOMPARE(storedUsers(), (QList<User>{{"admin", "pw2"}}));
    }

    void clickingTheNewNameEmptiesIt() {
        toNewValues();
        QTest::mouseClick(dialog().T_XYHM, Qt::LeftButton);
        QVERIFY(dialog().T_XYHM->text().isEmpty());
    }

    void givingUpWritesNothing() {
        const QByteArray before = test::fileBytes(s->folder.databasePath());
        toNewValues();
        enterNew(QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("y"));
        QTest::mouseClick(dialog().Command2, Qt::LeftButton);
        QVERIFY(!forms->F_XGYH.isLoaded());
        test::expectOpenHandles(s->folder.databasePath(), 0);
        QCOMPARE(test::fileBytes(s->folder.databasePath()), before);

        // Given up from Verify as well, and opened again afresh.
        open();
        dialog().T_YSM->setText(QStringLiteral("half"));
        QTest::mouseClick(dialog().Command2, Qt::LeftButton);
        QVERIFY(!forms->F_XGYH.isLoaded());
        open();
        QVERIFY(dialog().T_YSM->text().isEmpty());
        QVERIFY(inVerify());
    }

    void alwaysTheFirstUser() {
        setUsers({{"first", "one"}, {"second", "two"}});
        toNewValues(QStringLiteral("one"));
        enterNew(QStringLiteral("first"), QStringLiteral("uno"), QStringLiteral("uno"));
        box().expect(QStringLiteral("修改成功"), QStringLiteral("提示"));
        save();
        QCOMPARE(storedUsers(), (QList<User>{{"first", "uno"}, {"second", "two"}}));
    }

    void aUserWithoutRowsOrPassword() {
        // No user at all: an empty name, and 修改 only says so.
        setUsers({});
        open();
        QVERIFY(dialog().T_THM->text().isEmpty());
        box().expect(QStringLiteral("用户名不能为空"), systemTitle);
        verify(QStringLiteral("123456"));
        QVERIFY(inVerify());
        forms->F_XGYH.unload();

        // A stored empty password can never be proven.
        setUsers({{"nopass", ""}});
        open();
        box().expect(QStringLiteral("用户密码不能为空"), systemTitle);
        verify({});
        box().expect(wrongPassword, QStringLiteral("提示"));
        verify(QStringLiteral(" "));
        QVERIFY(inVerify());
    }

    void aFailedWriteKeepsTheStoredUser() {
        toNewValues();
        enterNew(QStringLiteral("new"), QStringLiteral("pw"), QStringLiteral("pw"));
        test::FileLock lock(s->folder.databasePath());
        box().expectError(QStringLiteral("正被其他程序使用"));
        save();
        QVERIFY(forms->F_XGYH.isLoaded());
        QVERIFY(inNewValues());
        QCOMPARE(dialog().T_XYHM->text(), QStringLiteral("new"));
        QCOMPARE(dialog().T_NE2->text(), QStringLiteral("pw"));
        lock.release();
        QCOMPARE(storedUsers(), (QList<User>{{"admin", "123456"}}));

        // Once the file is free, the same 保存 goes through.
        box().expect(QStringLiteral("修改成功"), QStringLiteral("提示"));
        save();
        QCOMPARE(storedUsers(), (QList<User>{{"new", "pw"}}));
    }

    void aMissingDatabaseOpensNothing() {
        QFile::remove(s->folder.databasePath());
        box().expectError(QStringLiteral("MY.mdb"));
        forms->MDI_OK.controls().item("FILE_2")->trigger();
        QVERIFY(!forms->F_XGYH.isLoaded());
        QVERIFY(!QFile::exists(s->folder.databasePath()));
    }

    void outlivesTheMainWindow() {
        open();
        forms->MDI_OK.controls().item("Mnuexit")->trigger();
        QVERIFY(!forms->MDI_OK.isLoaded());
        QVERIFY(forms->F_XGYH.isLoaded());
        verify(QStringLiteral("123456"));
        QVERIFY(inNewValues());
        enterNew(QStringLiteral("admin"), QStringLiteral("new"), QStringLiteral("new"));
        box().expect(QStringLiteral("修改成功"), QStringLiteral("提示"));
        save();
        QCOMPARE(storedUsers(), (QList<User>{{"admin", "new"}}));
        // With it the last window is gone, and so the program.
        for (const QWidget* w : QApplication::topLevelWidgets()) {
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
        }
    }
};

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    ui::installFontSubstitutes();
    AccountTest tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_account.moc"
