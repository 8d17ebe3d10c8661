#include "Program.h"

#include "contacts/Book.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeView>

using contacts::Field;

class DuplicatesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestServices> s;
    std::unique_ptr<app::Forms> forms;

    // Added in this order, a day apart: the later is the more recently changed.
    qint64 add(const QString& name, std::initializer_list<std::pair<Field, QString>> values) {
        db::Connection connection;
        contacts::openDatabase(connection, db::connectionString(s->services.databaseFile));
        static int days = 0;
        const QDateTime when(QDate(2026, 1, 1).addDays(++days), QTime(9, 0), Qt::UTC);
        contacts::Book book(connection, nullptr, [when] { return when; });
        contacts::Contact c;
        c[Field::Name] = name;
        for (const auto& [field, value] : values) {
            c[field] = value;
        }
        return book.add(c);
    }
    QStringList book() {
        db::Connection connection;
        contacts::openDatabase(connection, db::connectionString(s->services.databaseFile));
        db::Statement all(connection,
                          QStringLiteral("SELECT GR_XM, GR_YDH, GR_BZ FROM yanshu ORDER BY rowid"));
        QStringList rows;
        while (all.step()) {
            rows << all.text(0) + u'|' + all.text(1) + u'|' + all.text(2);
        }
        return rows;
    }
    contacts::F_CF_Controls& finder() { return forms->F_CF.controls(); }
    QString listed(int group, int column) {
        return finder().groups->index(group, column).data().toString();
    }

private slots:
    void init() { test::setUp(s, forms); }
    void cleanup() { test::tearDown(s, forms); }

    // Found, merged with the user's choice, the merge undone whole; the
    // group where one holds everything merged with one click.
    void groupsAreFoundMergedAndPutBack() {
        add(QStringLiteral("张珊"), {{Field::Email, QStringLiteral("zs@example.com")},
                                     {Field::Notes, QStringLiteral("老同学")}});
        add(QStringLiteral("张姗"), {{Field::Email, QStringLiteral("ZS@example.com ")},
                                     {Field::Mobile, QStringLiteral("13800138000")}});
        add(QStringLiteral("李四"), {{Field::Mobile, QStringLiteral("13900139000")},
                                     {Field::Notes, QStringLiteral("同事")}});
        add(QStringLiteral("李四"), {{Field::Mobile, QStringLiteral("13900139000")}});
        const QStringList before = book();
        test::logIn(*forms, s->messageBox);
        forms->MDI_OK.controls().item("EDIT_CF")->trigger();
        QCOMPARE(finder().lblFound->text(),
                 QStringLiteral("找到2组可能是同一个人的联系人，依据强的在前。"));
        QCOMPARE(listed(0, 0), QStringLiteral("手机号相同：13900139000"));
        QCOMPARE(listed(1, 0), QStringLiteral("电子邮件相同：zs@example.com"));
        QCOMPARE(listed(1, 1), QStringLiteral("张珊、张姗"));

        // Side by side: the newer's name ticked at first; the older's chosen.
        finder().lstGroups->setCurrentIndex(finder().groups->index(1, 0));
        QTest::mouseClick(finder().cmdMerge, Qt::LeftButton);
        auto& m = forms->F_HB.controls();
        QVERIFY(forms->F_HB.isLoaded());
        QCOMPARE(m.grdFields->item(0, 1)->checkState(), Qt::Checked);
        QCOMPARE(m.grdFields->item(0, 2)->text(), QStringLiteral("张姗"));
        forms->F_HB.grdFields_Click(0, 0);
        QCOMPARE(m.grdFields->item(0, 2)->text(), QStringLiteral("张珊"));
        QTest::mouseClick(m.cmdMerge, Qt::LeftButton);
        QCOMPARE(book(),
                 (QStringList{QStringLiteral("张珊|13800138000|老同学"), before[2], before[3]}));
        QCOMPARE(listed(1, 1), QStringLiteral("（已合并）张珊"));
        QTest::mouseClick(m.cmdUndo, Qt::LeftButton);
        QCOMPARE(book().size(), 4);
        QVERIFY(book().contains(before[1]));
        QCOMPARE(listed(1, 1), QStringLiteral("张珊、张姗"));
        forms->F_HB.unload();

        // 李四 and 李四: the older holds all the newer does.
        s->messageBox.expect(QStringLiteral("有1组联系人，其中一位已有其余各位的全部信息。"
                                            "要把这1组各合并成一位吗？"),
                             QStringLiteral("查找重复联系人"), ui::Answer::Yes);
        s->messageBox.expect(QStringLiteral("已合并1组联系人。用“撤销删除”可以一位一位放回。"),
                             QStringLiteral("查找重复联系人"));
        QTest::mouseClick(finder().cmdMergeAll, Qt::LeftButton);
        QCOMPARE(book().filter(QStringLiteral("李四")),
                 QStringList{QStringLiteral("李四|13900139000|同事")});
    }

    // An import that brings someone the book had offers to show them.
    void anImportOffersToReviewItsDuplicates() {
        add(QStringLiteral("王芳"), {{Field::Mobile, QStringLiteral("13800138000")}});
        add(QStringLiteral("王五"), {{Field::Mobile, QStringLiteral("13900139000")}});
        test::logIn(*forms, s->messageBox);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("one.vcf"));
        test::writeBytes(file, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:王芳芳\r\nTEL;TYPE=CELL:+86 138 "
                               "0013 8000\r\nEND:VCARD\r\n");
        const QString title = QStringLiteral("导入联系人");
        s->fileDialog.answers = {file};
        s->messageBox.expect(
            QStringLiteral("导入“one.vcf”：新增 1 人，更新 0 人，未变 0 人，跳过 0 项。\n"), title);
        s->messageBox.expect(
            QStringLiteral("导入的联系人中有1位可能与已有的联系人重复。要现在查看吗？"), title,
            ui::Answer::Yes);
        forms->MDI_OK.controls().item("FILE_IMP")->trigger();
        QVERIFY(forms->F_CF.isLoaded());
        QCOMPARE(finder().groups->rowCount(), 1);
        QCOMPARE(listed(0, 1), QStringLiteral("王芳、王芳芳"));
    }

    // 取消 stops the search, says so and closes the window.
    void theSearchCanBeCancelled() {
        QStringList rows;
        for (int i = 1; i <= 2000; ++i) {
            rows << QStringLiteral("(%1, '联系人%1', '010-%2')").arg(i).arg(60000000 + i);
        }
        test::writeBook(s->services.databaseFile,
                        QStringLiteral("INSERT INTO yanshu (Id, GR_XM, GR_DH) VALUES ") +
                            rows.join(u','));
        test::logIn(*forms, s->messageBox);
        s->progress.cancelAtStep = 1;
        s->messageBox.expectError(QStringLiteral("已取消查找重复的联系人。"));
        forms->MDI_OK.controls().item("EDIT_CF")->trigger();
        QVERIFY(!forms->F_CF.isLoaded());
    }
};

int runDuplicateTests(int argc, char* argv[]) {
    DuplicatesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_duplicates.moc"
