// 同步设置 and 立即同步 through the main window's menu, against a Radicale
// of the test's own.

#include "Program.h"
#include "Radicale.h"

#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/Statement.h"
#include "platform/net/Http.h"
#include "sync/CardDav.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

const QString user = QStringLiteral("carol");
const QString password = QStringLiteral("密码 1");
const QString syncTitle = QStringLiteral("立即同步");
const QString settingsTitle = QStringLiteral("同步设置");

int contactsIn(const QString& file) {
    db::Connection c;
    c.open(db::connectionString(file));
    db::Statement count(c, QStringLiteral("SELECT count(*) FROM yanshu"));
    return count.step() ? int(count.integer(0)) : -1;
}

} // namespace

class SyncWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestServices> s;
    std::unique_ptr<app::Forms> forms;
    std::unique_ptr<test::Radicale> server;

    test::ScriptedMessageBox& box() { return s->messageBox; }
    QAction* item(const char* name) { return forms->MDI_OK.controls().item(name); }

    int cardsOnServer() {
        const std::unique_ptr<net::Http> http = net::systemHttp();
        carddav::CardDavClient dav(*http, {user, password});
        int cards = 0;
        for (const auto& book : dav.addressBooks(server->url())) {
            cards += int(dav.listCards(book.url).size());
        }
        return cards;
    }

private slots:
    void initTestCase() {
        server = std::make_unique<test::Radicale>(QStringList{user, password});
        if (!server->running()) {
            QSKIP("Radicale (python3-radicale) is not installed");
        }
    }
    void init() { test::setUp(s, forms, QStringLiteral("(1, '甲', ''), (2, '乙', '')")); }
    void cleanup() { test::tearDown(s, forms); }

    void theBookIsSyncedFromTheFileMenu() {
        test::logIn(*forms, box());
        box().expect(QStringLiteral("还没有设置同步账户。请先在“文件”菜单的“同步设置...”中设置。"),
                     syncTitle);
        item("FILE_TB")->trigger();

        item("FILE_TBSZ")->trigger();
        auto& c = forms->F_TB.controls();
        c.txtServer->setText(server->url().toString());
        c.txtUser->setText(user);
        c.txtPassword->setText(QStringLiteral("wrong"));
        box().expect(QStringLiteral("服务器“127.0.0.1”不接受这个用户名或密码。"), settingsTitle);
        QTest::mouseClick(c.cmdFind, Qt::LeftButton);
        c.txtPassword->setText(password);
        box().expect(QStringLiteral("服务器上这个用户还没有通讯录；按“确定”会新建一个“雁书簿”。"),
                     settingsTitle);
        QTest::mouseClick(c.cmdFind, Qt::LeftButton);
        QCOMPARE(c.cboBook->count(), 0);
        QTest::mouseClick(c.cmdOK, Qt::LeftButton); // makes 雁书簿
        QVERIFY(!forms->F_TB.isLoaded());
        QCOMPARE(s->secrets.kept.values(), QStringList{password});

        box().expect(QStringLiteral("同步完成：新增 0，更新 0，删除 0，冲突 0。"), syncTitle);
        item("FILE_TB")->trigger();
        QCOMPARE(cardsOnServer(), 2);
        QVERIFY(!s->progress.running);

        // Opened again, the window shows the account; no password kept:
        // asked for at the sync.
        item("FILE_TBSZ")->trigger();
        QCOMPARE(forms->F_TB.controls().cboBook->count(), 1);
        QCOMPARE(forms->F_TB.controls().txtPassword->text(), password);
        QTest::mouseClick(forms->F_TB.controls().cmdCancel, Qt::LeftButton);
        s->secrets.kept.clear();
        s->inputBox.answers.push_back(std::nullopt);
        item("FILE_TB")->trigger(); // no password given: nothing happens
        s->inputBox.answers.push_back(password);
        box().expect(QStringLiteral("同步完成：新增 0，更新 0，删除 0，冲突 0。"), syncTitle);
        item("FILE_TB")->trigger();

        // 同步记录 lists the syncs, the newest first.
        item("FILE_TBJL")->trigger();
        QTreeWidget* log = forms->F_TBJL.controls().lstLog;
        QCOMPARE(log->topLevelItemCount(), 2);
        QCOMPARE(log->topLevelItem(1)->text(1),
                 QStringLiteral("同步完成：新增 0，更新 0，删除 0，冲突 0。"));
        QTest::mouseClick(forms->F_TBJL.controls().cmdClose, Qt::LeftButton);
    }

    // Set to, the book syncs at login and at exit, quietly when all went well.
    void theBookSyncsAtLoginAndExitWhenSetTo() {
        test::logIn(*forms, box());
        item("FILE_TBSZ")->trigger();
        auto& c = forms->F_TB.controls();
        c.txtServer->setText(server->url().toString());
        c.txtUser->setText(user);
        c.txtPassword->setText(password);
        QTest::mouseClick(c.cmdFind, Qt::LeftButton);
        c.chkAuto->setChecked(true);
        QTest::mouseClick(c.cmdOK, Qt::LeftButton);
        const int before = cardsOnServer();

        forms->MDI_OK.unload(); // the exit's sync sends the two contacts
        QCOMPARE(cardsOnServer(), before + 2);

        // A phone adds one meanwhile; the next login's sync brings it.
        const std::unique_ptr<net::Http> http = net::systemHttp();
        carddav::CardDavClient phone(*http, {user, password});
        const QUrl book = phone.addressBooks(server->url()).front().url;
        phone.putCard(book.resolved(QUrl(QStringLiteral("phone.vcf"))),
                      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:丙\r\nN:丙;;;;\r\nUID:phone-1\r\n"
                      "END:VCARD\r\n",
                      {});
        forms = std::make_unique<app::Forms>(s->services);
        test::logIn(*forms, box());
        QCOMPARE(contactsIn(s->folder.databasePath()), before + 3);
        item("FILE_TBJL")->trigger();
        QTreeWidget* log = forms->F_TBJL.controls().lstLog;
        QCOMPARE(log->topLevelItemCount(), 2);
        QCOMPARE(log->topLevelItem(0)->text(1),
                 QStringLiteral("（自动）同步完成：新增 1，更新 0，删除 0，冲突 0。"));
    }
};

int runSyncTests(int argc, char* argv[]) {
    SyncWindowTest tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_sync.moc"
