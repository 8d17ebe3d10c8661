#include "Program.h"

#include <QPushButton>
#include <QTableView>
#include <QToolButton>

using ui::Answer;

namespace {

const QString appTitle = QStringLiteral("雁书簿");

} // namespace

class ListTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestServices> s;
    std::unique_ptr<app::Forms> forms;

    test::ScriptedMessageBox& box() { return s->messageBox; }
    contacts::F_LIST_Controls& list() { return forms->F_LIST.controls(); }
    contacts::F_EDIT_Controls& card() { return forms->F_EDIT.controls(); }
    QString shownName() { return static_cast<QLineEdit*>(card().data[0])->text(); }
    QStringList listed(contacts::F_LIST* window = nullptr) {
        QStringList names;
        const QAbstractItemModel* model =
            (window ? window : &forms->F_LIST)->controls().grdList->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            names << model->index(row, 0).data().toString();
        }
        return names;
    }
    void type(const QString& text) {
        list().txtFind->clear();
        QTest::keyClicks(list().txtFind, text);
    }

private slots:
    void init() {
        test::setUp(s, forms,
                    QStringLiteral("(1, '张三', '010-6000 1234'), (2, '李四', '13800138000'), "
                                   "(3, '曾单', ''), (4, '王五', '')"));
    }
    void cleanup() { test::tearDown(s, forms); }

    // Every key narrows the list; Enter shows the contact on the card,
    // which browses on from there, and the list follows what the card
    // changes. Esc closes it, from the box or the grid.
    void ctrlFOpensTheListThatNarrowsAsYouTypeAndFollowsTheCard() {
        test::logIn(*forms, box());
        QWidget* main = forms->MDI_OK.window();
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        QTest::keyClick(main, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(forms->F_LIST.window()->isVisible());
        QCOMPARE(forms->F_LIST.caption(), QStringLiteral("联系人列表"));
        QCOMPARE(listed(), (QStringList{"李四", "王五", "曾单", "张三"}));

        type(QStringLiteral("zs"));
        QCOMPARE(listed(), (QStringList{"张三", "曾单"})); // zeng shan too
        type(QStringLiteral("6000-1"));
        QCOMPARE(listed(), QStringList{"张三"});
        QTest::keyClick(list().txtFind, Qt::Key_Return);
        QCOMPARE(shownName(), QStringLiteral("张三"));
        QCOMPARE(forms->F_EDIT.caption(), QStringLiteral("浏览联系人"));

        type(QStringLiteral("l"));
        QCOMPARE(listed(), (QStringList{"李四"}));
        QTest::keyClick(list().txtFind, Qt::Key_Down);
        QCOMPARE(forms->F_LIST.window()->focusWidget(), list().grdList);
        QTest::keyClick(list().grdList, Qt::Key_Return);
        QCOMPARE(shownName(), QStringLiteral("李四"));
        forms->F_EDIT.G1();
        QCOMPARE(shownName(), QStringLiteral("曾单")); // the card's own order

        forms->F_EDIT.enterModifyMode(false);
        static_cast<QLineEdit*>(card().data[0])->setText(QStringLiteral("刘单"));
        box().expect(QStringLiteral("修改成功"), QStringLiteral("提示信息"));
        card().Command3->click();
        QCOMPARE(listed(), (QStringList{"李四", "刘单"}));
        box().expect(QStringLiteral("是否删除该条记录?不能恢复永久删除"), appTitle, Answer::Yes);
        forms->F_EDIT.DEL1();
        QCOMPARE(listed(), QStringList{"李四"});

        for (const char* from : {"txtFind", "grdList"}) {
            forms->MDI_OK.controls().item("VIEW_3")->trigger();
            QVERIFY(QTest::qWaitForWindowActive(forms->F_LIST.window()));
            QTest::keyClick(forms->F_LIST.client()->findChild<QWidget*>(QLatin1String(from)),
                            Qt::Key_Escape);
            QVERIFY2(!forms->F_LIST.isLoaded(), from);
        }
    }

    // A search through a large book goes on between the events, a piece at
    // a time, until the view is full; a new text stops the old search.
    void aLongSearchReadsOnBetweenEventsAndANewTextStopsIt() {
        contacts::F_LIST slow(s->services, {1, 0}); // a contact a piece, a piece a turn
        slow.show();
        const contacts::ContactListModel* model = slow.model();
        QCOMPARE(listed(&slow), QStringList{"李四"}); // everyone, a piece a turn
        QVERIFY(model->reading() && !model->canFetchMore({}));
        slow.controls().txtFind->setText(QStringLiteral("6000")); // few: all at once
        QVERIFY(!model->reading());
        QCOMPARE(listed(&slow), QStringList{"张三"});
        QCOMPARE(slow.controls().grdList->currentIndex().row(), 0); // Enter shows 张三
        slow.controls().txtFind->clear();
        QCOMPARE(listed(&slow), QStringList{"李四"});
        QTRY_VERIFY(!model->reading());
        QCOMPARE(listed(&slow), (QStringList{"李四", "王五", "曾单", "张三"}));
        slow.unload();
    }

    // The likeliest first: names read as they begin (surnames as surnames),
    // then by the common readings of their pinyin, the rare ones, the
    // initials and last anything else; a letter goes to the names under it.
    void theListRanksAsAReaderLooksAndGoesToALetter() {
        const QStringList book{"方彬",   "方芳", "李明", "黎丽",   "林立", "刘丽",   "朴树",
                               "单雄信", "汪洋", "王芳", "王秀英", "杨洋", "曾晓明", "张伟"};
        QString rows;
        for (const QString& name : book) {
            rows += QStringLiteral("%1(0, '%2', '')").arg(rows.isEmpty() ? "" : ", ", name);
        }
        test::tearDown(s, forms);
        test::setUp(s, forms, rows);
        forms->F_LIST.show();
        QCOMPARE(listed(), book); // 朴 piao, 单 shan and 曾 zeng: read as surnames
        for (const auto& [typed, expected] : {
                 std::pair{"wang", QStringList{"汪洋", "王芳", "王秀英", "方彬", "方芳"}},
                 {"li", {"李明", "黎丽", "林立", "刘丽"}},
                 {"yang", {"杨洋", "汪洋"}}, // not 秀英, whose 英 is yang in old books
                 {"ceng", {"曾晓明"}},
                 {"dan", {"单雄信"}},
                 {"pu", {"朴树"}},
                 {"王", {"王芳", "王秀英"}},
                 {"wangf", {"王芳", "方芳"}},
                 {"wxy", {"王秀英"}},
                 {"xiuying", {"王秀英"}},
             }) {
            list().txtFind->setText(QString::fromUtf8(typed));
            QCOMPARE(listed(), expected);
        }
        list().cmdLetter['S' - 'A']->click();
        QVERIFY(list().txtFind->text().isEmpty());
        QCOMPARE(listed().first(), QStringLiteral("单雄信"));
        list().cmdLetter['Z' - 'A']->click();
        QCOMPARE(listed(), (QStringList{"曾晓明", "张伟"}));
    }

    // Only when someone is like the name typed; 张 is part of 张三.
    void aNameNotFoundOffersTheContactsLikeIt() {
        test::logIn(*forms, box());
        card().Text_Cs->setText(QStringLiteral("赵"));
        box().expect(QStringLiteral("对不起，没有此人的记录！"), appTitle);
        forms->F_EDIT.Cx();
        QVERIFY(!forms->F_LIST.isLoaded());

        card().Text_Cs->setText(QStringLiteral("张"));
        box().expect(QStringLiteral("对不起，没有此人的记录！是否查看相近的联系人？"), appTitle,
                     Answer::Yes);
        forms->F_EDIT.Cx();
        QVERIFY(forms->F_LIST.window()->isVisible());
        QCOMPARE(list().txtFind->text(), QStringLiteral("张"));
        QCOMPARE(listed(), QStringList{"张三"});
    }
};

int runListTests(int argc, char* argv[]) {
    ListTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_list.moc"
