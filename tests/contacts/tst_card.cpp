#include "TestServices.h"

#include "contacts/F_EDIT.h"
#include "contacts/SearchKeys.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/Recordset.h"
#include "platform/ui/Twips.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using contacts::F_EDIT;
using ui::Answer;

namespace {

const QString info = QStringLiteral("提示信息");
const QString hint = QStringLiteral("提示");
const QString deleteQuestion = QStringLiteral("是否删除该条记录?不能恢复永久删除");

} // namespace

class CardTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestServices> s;
    std::unique_ptr<QMdiArea> area;
    std::unique_ptr<F_EDIT> card;
    db::Connection other; // a second look at the file, and a writer that is no Book
    contacts::BookChanges changes;

    test::ScriptedMessageBox& box() { return s->messageBox; }

    // Contacts straight into the file: Id and name, the rest empty.
    void seed(const QList<std::pair<int, QString>>& people) {
        db::Recordset rs;
        rs.openTable(other, QStringLiteral("yanshu"), QStringLiteral("0"));
        for (const auto& [id, name] : people) {
            rs.addNew();
            rs.setValue(u"Id", id);
            rs.setValue(u"GR_XM", name);
            rs.update();
        }
    }
    void seedThree() {
        seed({{1, QStringLiteral("甲")}, {2, QStringLiteral("乙")}, {3, QStringLiteral("丙")}});
    }

    QStringList stored(const QString& column = QStringLiteral("GR_XM")) {
        db::Recordset rs;
        rs.openTable(other, QStringLiteral("yanshu"));
        QStringList values;
        for (; !rs.eof(); rs.moveNext()) {
            values << rs.text(column);
        }
        return values;
    }

    template <class W = QWidget> W* control(const char* name) {
        W* w = card->client()->findChild<W*>(QLatin1String(name));
        Q_ASSERT(w);
        return w;
    }
    QString shown(const char* name = "TGR_XM") {
        if (auto* combo = qobject_cast<QComboBox*>(control(name))) {
            return combo->currentText();
        }
        if (auto* notes = qobject_cast<QPlainTextEdit*>(control(name))) {
            return notes->toPlainText();
        }
        return control<QLineEdit>(name)->text();
    }
    void type(const char* name, const QString& text) {
        auto* box = control<QLineEdit>(name);
        QVERIFY(box->isEnabled());
        box->clear();
        test::commitText(box, text);
    }
    void click(const char* name) {
        auto* b = control<QPushButton>(name);
        QVERIFY2(b->isVisible() && b->isEnabled(), name);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    bool enabled(const char* name) { return control(name)->isEnabled(); }
    bool dataEnabled() {
        const auto& data = card->controls().data;
        const bool first = data[0]->isEnabled();
        for (QWidget* w : data) {
            if (w->isEnabled() != first) {
                return false;
            }
        }
        return first && enabled("TGR_BZ");
    }
    void open() {
        card->show();
        QVERIFY(card->isLoaded());
    }

private slots:
    void init() {
        s = std::make_unique<test::TestServices>();
        other.open(db::connectionString(s->folder.databasePath()));
        contacts::defineSearchFunctions(other);
        area = std::make_unique<QMdiArea>();
        area->resize(1100, 800);
        area->show();
        card = std::make_unique<F_EDIT>(s->services, changes);
        card->setMdiArea([this] { return area.get(); });
    }
    void cleanup() {
        QVERIFY2(box().problems().isEmpty(), qPrintable(box().problems().join('\n')));
        card.reset();
        area.reset();
        other.close();
        s.reset();
    }

    void anEmptyTableOffersAnAdditionAndYesAddsNumberOne() {
        box().expect(QStringLiteral("没有可用记录"), info);
        box().expect(QStringLiteral("没有记录是否添加新联系人信息?"), hint, Answer::Yes);
        open();
        QCOMPARE(card->caption(), QStringLiteral("添加联系人"));
        QVERIFY(!enabled("Text_Cs") && dataEnabled());
        type("TGR_XM", QStringLiteral("新朋友"));
        box().expect(QStringLiteral("添加成功"), info);
        box().expect(QStringLiteral("是否继续添加记录？"), hint, Answer::No);
        click("Command1");
        QCOMPARE(stored(), QStringList{"新朋友"});
        QCOMPARE(stored("Id"), QStringList{"1"});
        QCOMPARE(stored("GR_BZ"), QStringList{""});
        QCOMPARE(card->caption(), QStringLiteral("浏览联系人"));
        QVERIFY(enabled("Text_Cs") && !dataEnabled() && !enabled("Command1"));
        QCOMPARE(shown(), QStringLiteral("新朋友"));
    }

    void anEmptyTableAndNoLeavesAnEmptyReadOnlyCard() {
        box().expect(QStringLiteral("没有可用记录"), info);
        box().expect(QStringLiteral("没有记录是否添加新联系人信息?"), hint, Answer::No);
        open();
        QCOMPARE(card->caption(), QString());
        QCOMPARE(shown("CGR_XB"), QString());
        QVERIFY(!dataEnabled() && !enabled("Command1") && enabled("Text_Cs"));
        QCOMPARE(control<QLineEdit>("Text_Cs")->text(),
                 QStringLiteral(" 请输入要查询联系人的姓名"));
    }

    void browsingStopsAtBothEndsWithAMessage() {
        seedThree();
        open();
        QCOMPARE(shown(), QStringLiteral("甲"));
        QCOMPARE(control<QLabel>("Label26")->text(), QStringLiteral("1"));
        card->G1();
        card->G1();
        QCOMPARE(shown(), QStringLiteral("丙"));
        box().expect(QStringLiteral("已经是最后一个记录了!"), info);
        card->G1();
        QCOMPARE(shown(), QStringLiteral("丙"));
        card->G2();
        card->G2();
        box().expect(QStringLiteral("已经是第一个记录了!"), info);
        card->G2();
        QCOMPARE(shown(), QStringLiteral("甲"));
        card->G1();
        QCOMPARE(shown(), QStringLiteral("乙"));
    }

    void findNarrowsToTheExactNameAndComesBack() {
        seed({{1, QStringLiteral("甲")},
              {2, QStringLiteral("王 ")},
              {3, QStringLiteral("王")},
              {4, QStringLiteral("O'Brien")},
              {5, QStringLiteral("王")}});
        open();
        auto* query = control<QLineEdit>("Text_Cs");
        QTest::mouseClick(query, Qt::LeftButton);
        QCOMPARE(query->text(), QString());
        test::commitText(query, QStringLiteral("王"));
        card->Cx();
        QCOMPARE(control<QLabel>("Label26")->text(), QStringLiteral("3"));
        QVERIFY(control("Command4")->isVisible());
        card->G1();
        QCOMPARE(control<QLabel>("Label26")->text(), QStringLiteral("5"));
        box().expect(QStringLiteral("已经是最后一个记录了!"), info);
        card->G1();

        query->setText(QStringLiteral("王 "));
        card->Cx();
        QCOMPARE(control<QLabel>("Label26")->text(), QStringLiteral("2"));
        query->setText(QStringLiteral("o'brien"));
        card->Cx();
        QCOMPARE(shown(), QStringLiteral("O'Brien"));

        query->setText(QStringLiteral("x' or '1'='1"));
        box().expect(QStringLiteral("对不起，没有此人的记录！"), QStringLiteral("雁书簿"));
        card->Cx();
        QCOMPARE(shown(), QStringLiteral("O'Brien")); // still on screen, but the set is empty
        box().expect(QStringLiteral("没有可用记录"), info);
        box().expect(QStringLiteral("没有记录是否添加新联系人信息?"), hint, Answer::No);
        card->G1();

        card->setCaption(QStringLiteral("浏览联系人"));
        click("Command4");
        QVERIFY(card->isLoaded());
        QCOMPARE(card->caption(), QString());
        QVERIFY(!control("Command4")->isVisible());
        QCOMPARE(control<QLineEdit>("Text_Cs")->text(),
                 QStringLiteral(" 请输入要查询联系人的姓名"));
        QCOMPARE(shown(), QStringLiteral("甲"));
        card->controls().Text_Cs->clear();
        box().expect(QStringLiteral("请告诉我您要找谁的信息！！！"), QStringLiteral("系统提示"));
        card->Cx();
        QCOMPARE(control<QLineEdit>("Text_Cs")->text(),
                 QStringLiteral(" 请输入要查询联系人的姓名 "));
        QVERIFY(!control("Command4")->isVisible());
    }

    void addingNumbersPastTheLargestWhateverIsCurrent_data() {
        QTest::addColumn<int>("current");
        QTest::addColumn<QString>("number");
        QTest::newRow("first") << 0 << "8";
        QTest::newRow("second") << 1 << "8";
        QTest::newRow("third") << 2 << "8";
    }
    void addingNumbersPastTheLargestWhateverIsCurrent() {
        QFETCH(int, current);
        QFETCH(QString, number);
        seed({{3, "a"}, {7, "b"}, {5, "c"}});
        open();
        for (int i = 0; i < current; ++i) {
            card->G1();
        }
        card->enterAddMode(F_EDIT::AddFrom::Menu);
        QVERIFY(enabled("Text_Cs"));
        type("TGR_XM", QStringLiteral("新"));
        box().expect(QStringLiteral("添加成功"), info);
        box().expect(QStringLiteral("是否继续添加记录？"), hint, Answer::Yes);
        click("Command1");
        QCOMPARE(stored("Id").last(), number);
        QCOMPARE(shown(), QString());
        QVERIFY(dataEnabled());
        type("TGR_XM", QStringLiteral("再一个"));
        box().expect(QStringLiteral("添加成功"), info);
        box().expect(QStringLiteral("是否继续添加记录？"), hint, Answer::No);
        click("Command1");
        QCOMPARE(stored("Id").last(), QString::number(number.toInt() + 1));
        QCOMPARE(stored().last(), QStringLiteral("再一个"));
    }

    void numbersGoOnPastTheOld16BitLimit() {
        seed({{32767, "老"}});
        open();
        card->enterAddMode(F_EDIT::AddFrom::Toolbar);
        QVERIFY(!enabled("Text_Cs"));
        box().expect(QStringLiteral("添加成功"), info);
        box().expect(QStringLiteral("是否继续添加记录？"), hint, Answer::No);
        click("Command1");
        QCOMPARE(stored("Id"), (QStringList{"32767", "32768"}));
    }

    void addOutsideAddModeOnlyRenumbersTheLabel() {
        seedThree();
        open();
        card->G1();
        card->enterAddMode(F_EDIT::AddFrom::Menu);
        card->setMode(F_EDIT::Mode::Browse); // as 查看联系人 does: the button stays enabled
        click("Command1");
        QCOMPARE(control<QLabel>("Label26")->text(), QStringLiteral("4"));
        QCOMPARE(stored().size(), 3);
        click("Command2"); // the contact on view is still the current one
        QCOMPARE(shown(), QStringLiteral("乙"));
    }

    void modifyWritesTheCurrentRecordButNeverItsNumber() {
        seedThree();
        open();
        card->enterModifyMode(false);
        QVERIFY(dataEnabled() && enabled("Command3") && enabled("Command2"));
        card->G1(); // moving keeps the boxes editable and shows the next record
        QCOMPARE(shown(), QStringLiteral("乙"));
        type("TGR_XM", QStringLiteral("乙改"));
        type("TGR_ML", QStringLiteral("  yi@example.com "));
        card->controls().CGR_XB->setEditText(QStringLiteral("不详"));
        control<QLabel>("Label26")->setText(QStringLiteral("99"));
        box().expect(QStringLiteral("修改成功"), info);
        click("Command3");
        QCOMPARE(stored(), (QStringList{"甲", "乙改", "丙"}));
        QCOMPARE(stored("GR_ML")[1], QStringLiteral("  yi@example.com "));
        QCOMPARE(stored("GR_XB")[1], QStringLiteral("不详"));
        QCOMPARE(stored("Id"), (QStringList{"1", "2", "3"}));
        QCOMPARE(card->caption(), QStringLiteral("修改联系人"));
        QVERIFY(!dataEnabled() && !enabled("Command3") && !enabled("Command2"));
    }

    void notesKeepTheirLineEnds() {
        other.execute(QStringLiteral(
            "INSERT INTO yanshu (Id, GR_XM, GR_BZ) VALUES "
            "(1, '甲', 'a' || char(13,10) || 'b'), (2, '乙', 'x' || char(10) || 'y')"));
        open();
        card->enterModifyMode(false);
        QCOMPARE(shown("TGR_BZ"), QStringLiteral("a\nb"));
        box().expect(QStringLiteral("修改成功"), info);
        card->XG();
        card->G1();
        card->controls().TGR_BZ->setPlainText(QStringLiteral("x\ny\nz"));
        box().expect(QStringLiteral("修改成功"), info);
        card->XG();
        QCOMPARE(stored("GR_BZ"), (QStringList{"a\r\nb", "x\r\ny\r\nz"}));
    }

    void cancelShowsTheContactAgainAndLeavesEarlierButtonsAsTheyWere() {
        seedThree();
        open();
        card->G1();
        card->enterModifyMode(true);
        card->enterAddMode(F_EDIT::AddFrom::Menu);
        QVERIFY(enabled("Command3")); // set-ups enable, never disable
        type("TGR_XM", QStringLiteral("未保存"));
        click("Command2");
        QCOMPARE(shown(), QStringLiteral("乙"));
        QCOMPARE(card->caption(), QStringLiteral("浏览联系人"));
        QVERIFY(!dataEnabled() && !enabled("Command1") && !enabled("Command3"));
        QCOMPARE(stored().size(), 3);
    }

    void deletingShowsTheNeighbour() {
        seedThree();
        open();
        box().expect(deleteQuestion, QStringLiteral("雁书簿"), Answer::No);
        card->setCaption(QStringLiteral("删除联系人"));
        card->DEL1();
        QCOMPARE(stored().size(), 3);
        QCOMPARE(card->caption(), QStringLiteral("删除联系人"));

        card->G1();
        box().expect(deleteQuestion, QStringLiteral("雁书簿"), Answer::Yes);
        card->DEL1(); // the middle one: the third is shown
        QCOMPARE(shown(), QStringLiteral("丙"));
        box().expect(deleteQuestion, QStringLiteral("雁书簿"), Answer::Yes);
        card->DEL1(); // the last one: the one before it is shown
        QCOMPARE(shown(), QStringLiteral("甲"));
        box().expect(deleteQuestion, QStringLiteral("雁书簿"), Answer::Yes);
        box().expect(QStringLiteral("没有可用记录了"), info);
        card->DEL1();
        QCOMPARE(shown(), QString());
        QCOMPARE(stored(), QStringList{});
    }

    void deleteOnACardNeverLoadedLoadsItFirst() {
        seedThree();
        QVERIFY(!card->isLoaded());
        box().expect(deleteQuestion, QStringLiteral("雁书簿"), Answer::Yes);
        card->DEL1();
        QCOMPARE(stored(), (QStringList{"乙", "丙"}));
        QCOMPARE(shown(), QStringLiteral("乙"));
    }

    void aFailedSaveKeepsWhatWasTypedAndCancelShowsTheContactBefore() {
        seedThree();
        open();
        card->G1();
        test::FileLock locker(s->folder.databasePath());
        for (int attempt = 0; attempt < 2; ++attempt) {
            card->enterAddMode(F_EDIT::AddFrom::Menu);
            type("TGR_XM", QStringLiteral("重要的人"));
            box().expectError(QStringLiteral("正被其他程序使用"));
            click("Command1");
            QCOMPARE(card->caption(), QStringLiteral("添加联系人"));
            QCOMPARE(shown(), QStringLiteral("重要的人"));
            if (attempt == 0) {
                click("Command2");
                QCOMPARE(shown(), QStringLiteral("乙"));
            }
        }
        locker.release();
        box().expect(QStringLiteral("添加成功"), info);
        box().expect(QStringLiteral("是否继续添加记录？"), hint, Answer::No);
        click("Command1");
        QCOMPARE(stored().last(), QStringLiteral("重要的人"));
        QCOMPARE(stored().size(), 4);
    }

    void aFailedModifyThenCancelShowsWhatIsStored() {
        seedThree();
        card->enterModifyMode(false); // touching the card loads and shows it
        QVERIFY(card->window()->isVisible());
        type("TGR_XM", QStringLiteral("改过"));
        test::FileLock locker(s->folder.databasePath());
        box().expectError(QStringLiteral("正被其他程序使用"));
        click("Command3");
        QCOMPARE(shown(), QStringLiteral("改过"));
        click("Command2");
        locker.release();
        QCOMPARE(shown(), QStringLiteral("甲"));
        QCOMPARE(stored().first(), QStringLiteral("甲"));
    }

    void valuesOfAnyLengthAreShownAndSavedWhole() {
        const QString stored40k(40000, u'网');
        seed({{1, QStringLiteral("甲")}});
        other.execute(QStringLiteral("UPDATE yanshu SET GR_WB = '%1'").arg(stored40k));
        open();
        QCOMPARE(shown("TGR_WB"), stored40k);
        card->enterModifyMode(false);
        auto* employer = control<QLineEdit>("TGR_DW");
        employer->selectAll();
        employer->insert(QString(50000, u'x')); // as a paste does
        box().expect(QStringLiteral("修改成功"), info);
        click("Command3");
        QCOMPARE(stored("GR_DW").first().size(), 50000);
        QCOMPARE(stored("GR_WB").first(), stored40k);
    }

    void theKeyboardRunsAcrossTheCardRowByRow() {
        seedThree();
        open();
        QCOMPARE(test::tabOrder(control("TGR_XM"), 6),
                 (QStringList{"TGR_XM", "CGR_XB", "TGR_CS", "TGR_BB", "TGR_QQ", "TGR_ICQ"}));
        card->enterAddMode(F_EDIT::AddFrom::Toolbar);
        QTest::mouseClick(control("Text_Cs"), Qt::LeftButton);
        QCOMPARE(control<QLineEdit>("Text_Cs")->text(),
                 QStringLiteral(" 请输入要查询联系人的姓名"));
    }

    void aMissingDatabaseIsReportedAndTheCardStaysUsable() {
        other.close(); // Windows deletes no open file
        QVERIFY(QFile::remove(s->folder.databasePath()));
        box().expectError(QStringLiteral("找不到数据库文件"));
        card->show();
        QVERIFY(card->isLoaded());
        control<QLineEdit>("Text_Cs")->setText(QStringLiteral("甲"));
        box().expectError(QStringLiteral("数据库没有打开"));
        card->Cx();
        QVERIFY(!QFile::exists(s->folder.databasePath()));
    }

    void nullsShowAsEmptyText() {
        other.execute(
            QStringLiteral("INSERT INTO yanshu (Id, GR_XM, GR_XB) VALUES (1, NULL, NULL)"));
        open();
        QCOMPARE(shown(), QString());
        QCOMPARE(shown("CGR_XB"), QString());
    }

    void theClockFollowsTheSystemTime() {
        seedThree();
        open();
        // In the system's format: 09:30:00, 9:30:00 or 9:30:00 AM.
        const auto shows = [this](const char* time) {
            const QString text = control<QLabel>("Label23")->text();
            QVERIFY2(text.contains(QLatin1String(time)), qPrintable(text));
        };
        shows("9:30:00");
        s->clock.time = s->clock.time.addSecs(61);
        card->Timer1_Timer();
        shows("9:31:01");
    }

    void theHelpLineReentersFromTheCurrentRightEdge() {
        seedThree();
        open();
        auto* line = control<QLabel>("Label25");
        card->Timer1_Timer();
        QCOMPARE(line->text(), F_EDIT::helpText());
        QCOMPARE(ui::left(line), 9720 - 15);
        card->window()->resize(700, 500);
        const int width = card->width();
        int ticks = 1;
        while (ui::left(line) > -ui::width(line) + 15 && ticks < 100000) {
            card->Timer1_Timer();
            ++ticks;
        }
        QCOMPARE(ui::left(line), -ui::width(line) + 15);
        card->Timer1_Timer();
        QCOMPARE(ui::left(line), width);
        card->Timer1_Timer();
        QCOMPARE(ui::left(line), width - 15);
    }

    void aRightPressOnTheBackgroundPopsUpTheMenu() {
        seedThree();
        open();
        QList<QPoint> popUps;
        card->popUpMenu = [&](QPoint at) { popUps << at; };
        QTest::mouseClick(card->client(), Qt::RightButton, {}, QPoint(5, 300));
        QCOMPARE(popUps.size(), 1);
        QTest::mouseClick(control("Label1"), Qt::RightButton, {}, QPoint(2, 2));
        QTest::mouseClick(control("TGR_XM"), Qt::RightButton, {}, QPoint(2, 2));
        QTest::mouseClick(card->client(), Qt::LeftButton, {}, QPoint(5, 300));
        QCOMPARE(popUps.size(), 1);
    }

    void theDiscAnswerStaysUntilTheNextTest() {
        seedThree();
        open();
        const QString present = QStringLiteral("status cdaudio media present");
        QLabel* answer = control<QLabel>("Label22");
        QCOMPARE(answer->text(), QStringLiteral("..........."));
        s->cdrom.replies[present] = {0, QStringLiteral("true")};
        card->CCDROM();
        QCOMPARE(answer->text(), QStringLiteral("光驱中有碟片！"));
        // Browsing, adding, cancelling, finding and the clock leave it alone.
        card->G1();
        card->enterAddMode(F_EDIT::AddFrom::Toolbar);
        card->Command2_Click();
        control<QLineEdit>("Text_Cs")->setText(QStringLiteral("乙"));
        card->Cx();
        card->Timer1_Timer();
        QCOMPARE(answer->text(), QStringLiteral("光驱中有碟片！"));
        QCOMPARE(answer->palette().color(QPalette::WindowText), QColor(255, 0, 0));

        // Only a plain true is a disc; a failed command is none whatever it says.
        for (const platform::DeviceReply& reply :
             {platform::DeviceReply{0, QStringLiteral("false")},
              platform::DeviceReply{0, QStringLiteral("yes")},
              platform::DeviceReply{platform::mci::hardware, QStringLiteral("true")}}) {
            s->cdrom.replies[present] = reply;
            QVERIFY(!card->FindCdrom());
        }
        s->cdrom.replies[present] = {0, QStringLiteral("TRUE")};
        QVERIFY(card->FindCdrom());
    }

    void theDriveRoutinesBesidesTheTestNeedNoCard() {
        box().expect(QStringLiteral("光驱可能有问题，请检查后重试！"), QStringLiteral("错误"));
        card->OpenCdrom();
        s->cdrom.replies[QStringLiteral("set cdaudio door closed")] = {0, {}};
        card->CloseCdrom();
        QVERIFY(!card->FindCdrom());
        QVERIFY(!card->isLoaded());
        QCOMPARE(s->cdrom.commands.size(), 3);
    }
};

int runCardTests(int argc, char* argv[]) {
    CardTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_card.moc"
