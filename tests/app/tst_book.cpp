#include "Program.h"

#include "app/BookLocation.h"
#include "contacts/Backups.h"
#include "platform/db/Statement.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTreeWidget>
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

// Contacts 人1… with a few hundred bytes of notes each: a book whose copy
// takes many steps.
void addContacts(const QString& file, int count) {
    test::writeBook(file,
                    QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 10 UNION ALL SELECT i + 1 "
                                   "FROM n WHERE i < %1) INSERT INTO yanshu (Id, GR_XM, GR_BZ, "
                                   "UID) SELECT i, '人' || i, hex(randomblob(200)), "
                                   "hex(randomblob(16)) FROM n")
                        .arg(count + 9));
}

// A small disk of its own: a tmpfs mounted over a temporary folder while
// the object lives. Mounting needs root; without it, mounted() is false.
class SmallDisk {
public:
    explicit SmallDisk(const QString& size) {
        mounted_ = QProcess::execute(QStringLiteral("mount"),
                                     {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                      QStringLiteral("-o"), QStringLiteral("size=") + size,
                                      QStringLiteral("tmpfs"), folder_.path()}) == 0;
    }
    ~SmallDisk() {
        if (mounted_) {
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), folder_.path()});
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    QString filePath(const QString& name) const { return folder_.filePath(name); }

    // Takes what room is left.
    void fill() const {
        QFile filler(filePath(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, '\0');
        while (filler.write(block) == block.size()) {
        }
    }

private:
    QTemporaryDir folder_;
    bool mounted_ = false;
};

// The engine's page cache held small, process-wide, while this lives: a
// large write spills its pages into the file before it commits, as an
// import into a large book does.
class SmallCache {
public:
    explicit SmallCache(const QString& book)
        : book_(book) {
        limit(256 * 1024);
    }
    ~SmallCache() { limit(0); }
    SmallCache(const SmallCache&) = delete;
    SmallCache& operator=(const SmallCache&) = delete;

private:
    void limit(qint64 bytes) const {
        db::Connection c;
        c.open(db::connectionString(book_));
        c.execute(QStringLiteral("PRAGMA soft_heap_limit = %1").arg(bytes));
    }

    QString book_;
};

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
        const QString named = program.filePath(QStringLiteral("书/b.db"));
        QCOMPARE(locate({QStringLiteral("--database"), named}), named);
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

    // Each 撤销删除 puts the last contact deleted back, Id and UID and all,
    // in a later run too; the item is on only while there is one to put back.
    void undoPutsTheDeletedContactsBackOneAfterAnother() {
        test::writeBook(s->services.databaseFile,
                        QStringLiteral("UPDATE yanshu SET UID = 'uid-' || Id"));
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

        restart();
        box().expect(QStringLiteral("没有可用记录"), QStringLiteral("提示信息"));
        box().expect(QStringLiteral("没有记录是否添加新联系人信息?"), QStringLiteral("提示"),
                     Answer::No);
        test::logIn(*forms, box());
        undo = item("EDIT_UNDO");
        QVERIFY(undo->isEnabled());
        undo->trigger();
        QCOMPARE(shownName(), QStringLiteral("乙"));
        QCOMPARE(contactsOf(s->services.databaseFile), before.mid(1));
        QVERIFY(undo->isEnabled());
        undo->trigger();
        QCOMPARE(shownName(), QStringLiteral("甲"));
        QCOMPARE(contactsOf(s->services.databaseFile), before);
        QVERIFY(!undo->isEnabled()); // nothing left to put back
    }

    // 其他信息 for the card's contact: a line changed, one removed with its
    // label, one added, all stored at once; the list finds the new id and
    // opens the window for its contact too, where 取消 changes nothing.
    void otherInformationIsEditedAndFound() {
        test::writeBook(s->services.databaseFile,
                        QStringLiteral("UPDATE yanshu SET UID = 'uid-' || Id;"
                                       "INSERT INTO yanshu_extra (UID, seq, grp, name, params, "
                                       "value) VALUES ('uid-1', 0, '', 'TEL', 'TYPE=cell', "
                                       "'186 0013 8091'), ('uid-1', 1, 'item1', 'TEL', '', "
                                       "'010-6000 0001'), ('uid-1', 2, 'item1', 'X-ABLABEL', '', "
                                       "'老家')"));
        test::logIn(*forms, box());
        QCOMPARE(shownName(), QStringLiteral("甲"));
        item("VIEW_4")->trigger();
        contacts::F_QTXX& window = forms->F_QTXX;
        QVERIFY(window.window()->isVisible());
        QCOMPARE(window.window()->windowTitle(), QStringLiteral("其他信息"));
        const auto lines = [&] {
            QTableWidget* grid = window.controls().grdExtras;
            QStringList all;
            for (int row = 0; row < grid->rowCount(); ++row) {
                all << grid->item(row, 0)->text() + u'：' + grid->item(row, 1)->text();
            }
            return all;
        };
        auto* c = &window.controls();
        QCOMPARE(lines(), (QStringList{QStringLiteral("手机2：186 0013 8091"),
                                       QStringLiteral("老家电话：010-6000 0001")}));
        c->grdExtras->item(0, 1)->setText(QStringLiteral("186 0013 9999"));
        c->grdExtras->setCurrentCell(1, 1);
        c->cmdRemove->click();
        c->cboKind->setCurrentIndex(c->cboKind->findText(QStringLiteral("微信")));
        c->cmdAdd->click();
        auto* typing = c->grdExtras->viewport()->findChild<QLineEdit*>();
        QVERIFY(typing);
        typing->setText(QStringLiteral("Jia_WX"));
        s->clock.time = QDateTime(QDate(2026, 12, 9), QTime(10, 0), Qt::UTC);
        c->cmdOK->click();
        QVERIFY(!window.isLoaded());
        db::Connection book;
        book.open(db::connectionString(s->services.databaseFile));
        const auto stored = [&] {
            QStringList all;
            db::Statement rows(book, QStringLiteral("SELECT grp || '|' || name || '|' || params || "
                                                    "'|' || value FROM yanshu_extra ORDER BY seq"));
            while (rows.step()) {
                all << rows.value(0).toString();
            }
            return all;
        };
        QCOMPARE(stored(), (QStringList{QStringLiteral("|TEL|TYPE=cell|186 0013 9999"),
                                        QStringLiteral("|X-WECHAT||Jia_WX")}));
        db::Statement rev(book, QStringLiteral("SELECT REV FROM yanshu WHERE Id = 1"));
        QVERIFY(rev.step());
        QCOMPARE(rev.value(0).toString(), QStringLiteral("2026-12-09T10:00:00.000Z"));

        forms->F_LIST.showFound(QStringLiteral("jia_wx"));
        QCOMPARE(forms->F_LIST.model()->rowCount(), 1);
        forms->F_LIST.controls()
            .grdList->findChild<QAction*>(QStringLiteral("mnuExtras"))
            ->trigger();
        QVERIFY(window.window()->isVisible());
        QCOMPARE(lines(), (QStringList{QStringLiteral("手机2：186 0013 9999"),
                                       QStringLiteral("微信：Jia_WX")}));
        c = &window.controls(); // made anew with the window
        c->grdExtras->item(1, 1)->setText(QStringLiteral("别的"));
        c->cmdCancel->click();
        QCOMPARE(stored().last(), QStringLiteral("|X-WECHAT||Jia_WX"));
    }

    // While the card holds the file: a backup now, then the book changed
    // and the backup put back, the book as it was kept as a backup too.
    // The window stays in front of the main window, centred over it; each
    // backup shows its time, contacts and size. After the restore the card
    // and the list, open before it, show the same contact.
    void theBackupWindowBacksUpAndRestoresUnderTheOpenCard() {
        test::logIn(*forms, box());
        const QStringList before = contactsOf(s->services.databaseFile);
        item("FILE_BAK")->trigger();
        auto& b = forms->F_BF.controls();
        QWidget* main = forms->MDI_OK.window();
        QCOMPARE(forms->F_BF.window()->parentWidget(), main);
        QVERIFY(forms->F_BF.window()->isWindow());
        const QPoint off =
            forms->F_BF.window()->frameGeometry().center() - main->frameGeometry().center();
        QVERIFY2(off.manhattanLength() <= 8,
                 qPrintable(QStringLiteral("%1, %2 px off the centre").arg(off.x()).arg(off.y())));
        QVERIFY(b.lblBook->text().contains(QDir::toNativeSeparators(s->services.databaseFile)));
        QCOMPARE(b.lstBackups->topLevelItemCount(), 0);
        QVERIFY(!b.cmdRestore->isEnabled());
        const QString first =
            QDir::toNativeSeparators(contacts::backupFolder(s->services.databaseFile) +
                                     QStringLiteral("/MY-2026-12-07-093000.mdb"));
        box().expect(QStringLiteral("已备份到“%1”。").arg(first), QStringLiteral("备份与恢复"));
        b.cmdBackup->click();
        box().expect(QStringLiteral("通讯录与最新的备份“%1”相同，不用再备份。").arg(first),
                     QStringLiteral("备份与恢复"));
        b.cmdBackup->click();
        QCOMPARE(b.lstBackups->topLevelItemCount(), 1);
        const QTreeWidgetItem* row = b.lstBackups->topLevelItem(0);
        QCOMPARE(row->text(0), QStringLiteral("2026-12-07 09:30:00"));
        QTRY_COMPARE(row->text(1), QStringLiteral("2 位"));
        QVERIFY2(row->text(2).endsWith(QStringLiteral("KiB")), qPrintable(row->text(2)));
        for (int column = 0; column < 3; ++column) {
            const QRect cell = b.lstBackups->visualItemRect(row);
            QVERIFY(b.lstBackups->columnWidth(column) >=
                    b.lstBackups->fontMetrics().horizontalAdvance(row->text(column)));
            QVERIFY(cell.right() <= b.lstBackups->viewport()->width());
        }

        deleteShown();
        s->clock.time = s->clock.time.addSecs(60);
        box().expect(QStringLiteral("确实要用 2026-12-07 09:30:00 的备份替换现在的通讯录吗？\n\n"
                                    "现在的通讯录会先另存为一个备份，需要时还可以恢复。"),
                     QStringLiteral("备份与恢复"), Answer::No);
        b.cmdRestore->click();
        QCOMPARE(contactsOf(s->services.databaseFile), before.mid(1));

        item("VIEW_3")->trigger();
        QVERIFY(forms->F_LIST.isLoaded());
        box().expect(QStringLiteral("确实要用 2026-12-07 09:30:00 的备份替换现在的通讯录吗？\n\n"
                                    "现在的通讯录会先另存为一个备份，需要时还可以恢复。"),
                     QStringLiteral("备份与恢复"), Answer::Yes);
        box().expect(QStringLiteral("已恢复 2026-12-07 09:30:00 的备份。"
                                    "恢复前的通讯录保存为“MY-2026-12-07-093100.mdb”。"),
                     QStringLiteral("备份与恢复"));
        b.cmdRestore->click();
        QCOMPARE(contactsOf(s->services.databaseFile), before);
        QCOMPARE(forms->F_EDIT.caption(), QStringLiteral("浏览联系人"));
        QVERIFY(forms->F_LIST.isLoaded());
        QCOMPARE(forms->F_LIST.controls().grdList->currentIndex().data().toString(), shownName());
        QCOMPARE(b.lstBackups->topLevelItemCount(), 2);
        QCOMPARE(contactsOf(backups().front().path), before.mid(1));
        QTRY_COMPARE(b.lstBackups->topLevelItem(0)->text(1), QStringLiteral("1 位"));
        QVERIFY(forms->F_BF.window()->isVisible());
    }

    // The window's import: a file that is not read, or that changes
    // nothing, leaves the backups as they are; the first change comes
    // after one, whose copy reports inside the import's progress and is
    // cancelled there, the book then left to the byte.
    void anImportBacksTheBookUpOnlyBeforeItChangesIt() {
        addContacts(s->services.databaseFile, 3000);
        test::logIn(*forms, box());
        const QString title = QStringLiteral("导入联系人");
        const QByteArray book = test::fileBytes(s->services.databaseFile);
        QVERIFY(book.size() > 256 * 4096); // more than one step of the copy

        QTemporaryDir files;
        s->fileDialog.answers = {files.filePath(QStringLiteral("没有.vcf"))};
        box().expectError(QStringLiteral("无法打开文件"));
        item("FILE_IMP")->trigger();
        s->fileDialog.answers = {QStringLiteral(SAMPLES_DIR "/iphone-30.vcf")};
        s->progress.cancelAtStep =
            s->progress.steps + 2; // after the look at the text, the copy's first
        box().expectError(QStringLiteral("已取消导入，通讯录没有改动。"));
        item("FILE_IMP")->trigger();
        QCOMPARE(test::fileBytes(s->services.databaseFile), book);
        QVERIFY(backups().empty());
        QCOMPARE(QDir(contacts::backupFolder(s->services.databaseFile)).entryList(QDir::Files),
                 QStringList());

        s->progress.cancelAtStep = -1;
        for (const QString& report : {QStringLiteral("新增 3 人，更新 0 人，未变 0 人"),
                                      QStringLiteral("新增 0 人，更新 0 人，未变 3 人")}) {
            s->fileDialog.answers = {QStringLiteral(SAMPLES_DIR "/excel-gbk.csv")};
            box().expect(QStringLiteral("导入“excel-gbk.csv”：%1，跳过 0 项。\n").arg(report),
                         title);
            item("FILE_IMP")->trigger();
        }
        QCOMPARE(backups().size(), std::size_t(1));
        QCOMPARE(contactsOf(backups().front().path).size(), 3002);
        QCOMPARE(s->progress.texts.filter(QStringLiteral("备份")), QStringList());
        QVERIFY(!s->progress.running);
    }

    // A full disk stops an import that has spilled its pages into the book:
    // the message names the full disk, the book is as it was to the byte,
    // no journal is left. An export onto it says the disk is full.
    void aFullDiskLeavesTheBookAsItWas() {
        const SmallDisk disk(QStringLiteral("1m"));
        if (!disk.mounted()) {
            QSKIP("mounting a small tmpfs needs root");
        }
        const QString book = disk.filePath(QStringLiteral("MY.mdb"));
        QVERIFY(QFile::copy(s->services.databaseFile, book));
        s->services.databaseFile = book;
        QTemporaryDir files;
        const QString cards = files.filePath(QStringLiteral("多.vcf"));
        QByteArray text;
        for (int i = 0; i < 3000; ++i) {
            text += QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:新人%1\r\nNOTE:%2\r\n"
                                   "END:VCARD\r\n")
                        .arg(i)
                        .arg(QString(QStringLiteral("备注")).repeated(100))
                        .toUtf8();
        }
        test::writeBytes(cards, text);
        test::logIn(*forms, box());
        const QByteArray before = test::fileBytes(book);
        {
            const SmallCache spilling(book);
            s->fileDialog.answers = {cards};
            box().expectError(QStringLiteral("磁盘已满"));
            item("FILE_IMP")->trigger();
        }
        QCOMPARE(test::fileBytes(book), before);
        QVERIFY(!QFileInfo::exists(book + QStringLiteral("-journal")));

        disk.fill();
        const QString out = disk.filePath(QStringLiteral("通讯录.vcf"));
        s->fileDialog.answers = {ui::FileChoice(out, 0)};
        box().expectError(QStringLiteral("磁盘已满"));
        item("FILE_EXP")->trigger();
        QVERIFY(!QFileInfo::exists(out));
    }
};

int runBookTests(int argc, char* argv[]) {
    BookTest tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_book.moc"
