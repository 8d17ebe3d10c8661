#include "Program.h"

#include "birthdays/Coming.h"
#include "birthdays/Reminder.h"
#include "contacts/Book.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QTreeView>

using birthdays::Coming;

class BirthdaysTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestServices> s;
    std::unique_ptr<app::Forms> forms;

    // A contact with this 出生日期 and, if given, a lunar birthday in 其他信息.
    void add(const QString& name, const QString& birth, const QString& lunarExtra = {}) {
        db::Connection connection;
        contacts::openDatabase(connection, db::connectionString(s->services.databaseFile));
        contacts::Contact contact;
        contact[contacts::Field::Name] = name;
        contact[contacts::Field::Birth] = birth;
        if (!lunarExtra.isEmpty()) {
            contact.extras.push_back({{},
                                      QStringLiteral("BDAY"),
                                      QStringLiteral("VALUE=text;CALSCALE=chinese"),
                                      lunarExtra});
        }
        contacts::Book(connection).add(contact);
    }
    // Name, date and age of what comes in the days from `from` on.
    QStringList coming(QDate from, int days) {
        db::Connection connection;
        contacts::openDatabase(connection, db::connectionString(s->services.databaseFile));
        const std::atomic_bool going = false;
        QStringList found;
        for (const Coming& c : birthdays::comingBirthdays(connection, from, days, going)) {
            found
                << QStringLiteral("%1 %2 %3").arg(c.name, c.date.toString(Qt::ISODate)).arg(c.age);
        }
        return found;
    }
    // The login on a day, greeted as that day, and what its reminder says.
    void loggedInOn(QDate day, const QString& greeting, const QString& reminder = {}) {
        forms = std::make_unique<app::Forms>(s->services);
        s->clock.time.setDate(day);
        test::start(*forms);
        s->messageBox.expect(greeting, QStringLiteral("雁书簿"));
        if (!reminder.isEmpty()) {
            s->messageBox.expect(reminder, QStringLiteral("生日提醒"));
        }
        auto& d = forms->F_DL.controls();
        d.txtUserName->setText(QStringLiteral("admin"));
        d.txtPassword->setText(QStringLiteral("123456"));
        QTest::keyClick(d.txtPassword, Qt::Key_Return);
        QTRY_VERIFY(!forms->MDI_OK.remindingBirthdays());
    }

private slots:
    void init() { test::setUp(s, forms); }
    void cleanup() { test::tearDown(s, forms); }

    // The days are the published ones (tests/data/lunar): 2025 had a 闰六月
    // of 29 days, from 2025-07-25 to 08-22; 七月初七 was 08-29.
    void birthdaysComeOnTheirDays() {
        add(QStringLiteral("闰月"), QStringLiteral("农历1987年闰六月初一"));
        add(QStringLiteral("六月"),
            QStringLiteral("农历六月初一")); // in June, not in the leap month
        add(QStringLiteral("三十"), QStringLiteral("农历闰六月三十")); // the month's last day
        add(QStringLiteral("七夕"), QString(), QStringLiteral("1990年七月初七"));
        add(QStringLiteral("两处"), QStringLiteral("农历1990年七月初七"),
            QStringLiteral("1990年七月初七")); // one birthday, said twice
        add(QStringLiteral("阳历"), QStringLiteral("1980年8月1日"));
        add(QStringLiteral("无年"), QStringLiteral("８月２日")); // as an input method types it
        for (const char* unread : {"不详", "1980", "八十年代", "13月1日", "2023-02-29"}) {
            add(QStringLiteral("不读"), QString::fromUtf8(unread));
        }
        QCOMPARE(coming(QDate(2025, 7, 20), 7), QStringList{QStringLiteral("闰月 2025-07-25 38")});
        QCOMPARE(
            coming(QDate(2025, 7, 31), 30),
            (QStringList{QStringLiteral("阳历 2025-08-01 45"), QStringLiteral("无年 2025-08-02 -1"),
                         QStringLiteral("三十 2025-08-22 -1"), QStringLiteral("七夕 2025-08-29 35"),
                         QStringLiteral("两处 2025-08-29 35")}));

        // 2月29日 is kept on the 28th in a common year.
        add(QStringLiteral("闰日"), QStringLiteral("2000-02-29"));
        QCOMPARE(coming(QDate(2027, 2, 25), 7), QStringList{QStringLiteral("闰日 2027-02-28 27")});
        QCOMPARE(coming(QDate(2028, 2, 25), 7), QStringList{QStringLiteral("闰日 2028-02-29 28")});
    }

    // One message a day after the login, once the card shows.
    void theLoginRemindsOnceADay() {
        add(QStringLiteral("张三"), QStringLiteral("1980-12-07"));
        add(QStringLiteral("李四"), QString(), QStringLiteral("冬月初一")); // 2026-12-09
        add(QStringLiteral("王五"), QStringLiteral("12月10日"));
        add(QStringLiteral("赵六"), QStringLiteral("12月15日")); // beyond the 7 days
        const QString monday = QStringLiteral("今天是星期一，又是新的一周，开始工作。");
        loggedInOn(QDate(2026, 12, 7), monday,
                   QStringLiteral(
                       "今天是张三的生日；后天（农历冬月初一）是李四的生日；3天后是王五的生日。"));
        loggedInOn(QDate(2026, 12, 7), monday); // the same day again: the greeting only

        // The window's setting: 14 days, and none at all.
        forms->MDI_OK.controls().item("VIEW_SR")->trigger();
        auto& w = forms->F_SRTX.controls();
        QTRY_VERIFY(!forms->F_SRTX.reckoning());
        QVERIFY(w.chkLogin->isChecked());
        QCOMPARE(w.txtDays->value(), 7);
        w.txtDays->setValue(14);
        loggedInOn(QDate(2026, 12, 8), QStringLiteral("今天是星期二，加油工作！"),
                   QStringLiteral(
                       "明天（农历冬月初一）是李四的生日；后天是王五的生日；7天后是赵六的生日。"));
        forms->MDI_OK.controls().item("VIEW_SR")->trigger();
        QTRY_VERIFY(!forms->F_SRTX.reckoning());
        QTest::mouseClick(forms->F_SRTX.controls().chkLogin, Qt::LeftButton);
        loggedInOn(QDate(2026, 12, 9), QStringLiteral("今天是星期三，努力工作！"));
    }

    // 生日提醒 lists the next 30 or 90 days, a long list without a wait.
    void theWindowListsTheComingBirthdays() {
        add(QStringLiteral("张三"), QStringLiteral("1980-12-07"));
        add(QStringLiteral("李四"), QStringLiteral("1990年1月20日"));
        add(QStringLiteral("王五"), QStringLiteral("2月1日"));
        loggedInOn(QDate(2026, 12, 7), QStringLiteral("今天是星期一，又是新的一周，开始工作。"),
                   QStringLiteral("今天是张三的生日。"));
        // From the calendar's menu too.
        forms->MDI_OK.controls().item("F_FBrl")->trigger();
        forms->frmcalendar.controls().mnuBirthdays->trigger();
        auto& w = forms->F_SRTX.controls();
        QTRY_VERIFY(!forms->F_SRTX.reckoning());
        QCOMPARE(w.birthdays->rowCount(), 1);
        QCOMPARE(w.lblCount->text(), QStringLiteral("30天内有1人过生日。"));
        QTest::mouseClick(w.optDays90, Qt::LeftButton);
        QTRY_VERIFY(!forms->F_SRTX.reckoning());
        QCOMPARE(w.birthdays->rowCount(), 3);
        QStringList rows;
        for (int row = 0; row < 3; ++row) {
            QStringList cells;
            for (int column = 0; column < 5; ++column) {
                cells << w.birthdays->index(row, column).data().toString();
            }
            rows << cells.join(u'|');
        }
        QCOMPARE(rows, (QStringList{QStringLiteral("12月7日 周一|今天|张三|1980-12-07|46岁"),
                                    QStringLiteral("1月20日 周三|44天后|李四|1990-01-20|37岁"),
                                    QStringLiteral("2月1日 周一|56天后|王五|2月1日|")}));
    }
};

QTEST_MAIN(BirthdaysTest)
#include "tst_birthdays.moc"
