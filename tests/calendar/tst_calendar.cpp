#include "Program.h"

#include "app/Forms.h"
#include "calendar/Birthday.h"
#include "calendar/DateText.h"
#include "calendar/Lunar.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Twips.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using calendar::dateText;
using calendar::LunarDate;
using calendar::readDate;

namespace {

// The rows of a table of published dates in tests/data/lunar/ (CSV with a
// header; the last column names the source), each row its fields.
QList<QStringList> published(const char* name) {
    QFile file(QStringLiteral(SAMPLES_DIR "/lunar/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("no %s", name);
    }
    QList<QStringList> rows;
    for (const QByteArray& line : file.readAll().split('\n').mid(1)) {
        if (!line.trimmed().isEmpty()) {
            rows << QString::fromUtf8(line.trimmed()).split(u',');
        }
    }
    return rows;
}

} // namespace

class CalendarTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestServices> s;
    std::unique_ptr<app::Forms> forms;

    calendar::frmcalendar& window() { return forms->frmcalendar; }
    calendar::frmcalendar_Controls& c() { return forms->frmcalendar.controls(); }

    void openOn(QDate today) {
        s->clock.time.setDate(today);
        forms->MDI_OK.controls().item("F_FBrl")->trigger();
        QVERIFY(window().isLoaded());
    }
    // The days of the shown month: the cells not hidden.
    int shownDays() {
        int days = 0;
        for (QLabel* cell : c().lblnumber) {
            days += cell->isHidden() ? 0 : 1;
        }
        return days;
    }
    // The one bordered cell's index; -1 for none, -2 for several.
    int borderedCell() {
        int found = -1;
        for (int i = 0; i < 31; ++i) {
            if (c().lblnumber[i]->frameShape() != QFrame::NoFrame) {
                found = found == -1 ? i : -2;
            }
        }
        return found;
    }
    void choose(int month, int year) {
        c().cboyear->setCurrentIndex(year - 1960);
        c().cbomonth->setCurrentIndex(month - 1);
    }
    // The captions describe this day.
    void showsDay(QDate day) {
        QCOMPARE(c().lbldate->text(),
                 QStringLiteral("%1年%2月%3日").arg(day.year()).arg(day.month()).arg(day.day()));
        const QString names[] = {"星期一", "星期二", "星期三", "星期四",
                                 "星期五", "星期六", "星期日"};
        QCOMPARE(c().lblday->text(), names[day.dayOfWeek() - 1]);
    }
    void opensOn(QDate today) {
        QCOMPARE(c().cbomonth->currentIndex(), today.month() - 1);
        QCOMPARE(c().cboyear->currentText(), QString::number(today.year()));
        QCOMPARE(borderedCell(), today.day() - 1);
        QCOMPARE(window().SelectedDay(), today.day());
        QCOMPARE(shownDays(), today.daysInMonth());
        showsDay(today);
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China)); }
    void init() { test::setUp(s, forms); }
    void cleanup() { test::tearDown(s, forms); }

    void theDateHelperReadsMonthDayYear() {
        QCOMPARE(dateText(2, 29, 2004), QStringLiteral("2/29/2004"));
        QCOMPARE(readDate(u"2/29/2004"), QDate(2004, 2, 29));
        QCOMPARE(readDate(u"12/7/2026"), QDate(2026, 12, 7)); // month first
        QCOMPARE(readDate(u"2/29/2000"), QDate(2000, 2, 29));
        QCOMPARE(readDate(u"2/29/2400"), QDate(2400, 2, 29));
        for (const char16_t* none :
             {u"2/29/2001", u"2/29/2100", u"2/29/1900", u"4/31/2026", u"2/30/2004", u"13/1/2026",
              u"0/5/2026", u"1/0/2026", u"1/32/2026", u"1/5", u"a/5/2026", u""}) {
            QVERIFY2(!readDate(none), qPrintable(QString::fromUtf16(none)));
        }
        QCOMPARE(calendar::weekdayNumber(QDate(2026, 12, 6)), 1); // Sunday
        QCOMPARE(calendar::weekdayNumber(QDate(2026, 12, 12)), 7);
        // The locale's long date; the weekday has a caption of its own.
        QCOMPARE(calendar::longDate(QDate(2026, 12, 7)), QStringLiteral("2026年12月7日"));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(calendar::longDate(QDate(2026, 12, 7)), QStringLiteral("December 7, 2026"));
        QLocale::setDefault(QLocale(QLocale::German));
        QCOMPARE(calendar::longDate(QDate(2026, 12, 7)), QStringLiteral("7. Dezember 2026"));
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    }

    // ICU's lunar dates are those the observatories publish, both ways; a
    // 30th asked of a month of 29 days is its last day, and a leap month a
    // year lacks is the month itself.
    void lunarDatesAreThePublishedOnes() {
        const calendar::LunarCalendar lunar;
        const QList<QStringList> rows = published("lunar-dates.csv");
        QVERIFY(rows.size() >= 30);
        for (const QStringList& row : rows) {
            const QDate day = QDate::fromString(row[0], Qt::ISODate);
            const LunarDate expected{row[1].toInt(), row[2].toInt(), row[3] == u"1", row[4].toInt(),
                                     0};
            const std::optional<LunarDate> found = lunar.lunarOf(day);
            QVERIFY2(found, qPrintable(row[0]));
            QCOMPARE(found->cycle, (expected.year - 1984 + 600) % 60 + 1); // 1984: 甲子
            QCOMPARE((LunarDate{found->year, found->month, found->leap, found->day, 0}), expected);
            QCOMPARE(lunar.solarOf(expected.year, expected.month, expected.leap, expected.day),
                     day);
            if (expected.day == 1) {
                // The day before a month's first is the last of the month
                // before, of 29 or 30 days: asked for its 30th, that day.
                const std::optional<LunarDate> before = lunar.lunarOf(day.addDays(-1));
                QVERIFY(before && before->day >= 29);
                QCOMPARE(lunar.solarOf(before->year, before->month, before->leap, 30),
                         day.addDays(-1));
                if (expected.leap) {
                    QCOMPARE(lunar.solarOf(expected.year, expected.month, true, 1), day);
                    // A year without that leap month: the month itself.
                    QCOMPARE(lunar.solarOf(expected.year + 1, expected.month, true, 1),
                             lunar.solarOf(expected.year + 1, expected.month, false, 1));
                }
            }
        }
        QCOMPARE(calendar::lunarText({2024, 11, false, 9, 41}), QStringLiteral("甲辰年 冬月初九"));
        QCOMPARE(calendar::monthName(2, true) + calendar::dayName(30),
                 QStringLiteral("闰二月三十"));
        QCOMPARE(calendar::monthName(12, false) + calendar::dayName(21),
                 QStringLiteral("腊月廿一"));
        QCOMPARE(calendar::dayName(10) + calendar::dayName(20) + calendar::dayName(15),
                 QStringLiteral("初十二十十五"));
    }

    // Every day of the years the Hong Kong Observatory's tables give.
    void solarTermsAreThePublishedOnes() {
        const calendar::LunarCalendar lunar;
        QHash<QDate, QString> expected;
        QSet<int> years;
        for (const QStringList& row : published("solar-terms.csv")) {
            const QDate day = QDate::fromString(row[0], Qt::ISODate);
            years << day.year();
            expected.insert(day, row[1]);
        }
        for (const int year : years) {
            for (QDate day(year, 1, 1); day.year() == year; day = day.addDays(1)) {
                QCOMPARE(lunar.solarTermOf(day), expected.value(day));
            }
        }
    }

    // The festivals and public holidays of whole years (2014, 2020), as published.
    void festivalsAreThePublishedOnes() {
        const calendar::LunarCalendar lunar;
        QHash<QDate, QStringList> expected;
        QSet<int> years;
        for (const QStringList& row : published("festivals.csv")) {
            const QDate day = QDate::fromString(row[0], Qt::ISODate);
            years << day.year();
            expected[day] << row[1];
        }
        for (const int year : years) {
            for (QDate day(year, 1, 1); day.year() == year; day = day.addDays(1)) {
                QStringList found = lunar.festivalsOf(day);
                QStringList published = expected.value(day);
                found.sort();
                published.sort();
                QCOMPARE(found, published);
            }
        }
    }

    // Under the cells, the chosen day's lunar date and festivals; in each
    // cell's tip, its own.
    void theLunarDateIsShownUnderTheCells() {
        openOn(QDate(2020, 10, 1));
        QCOMPARE(c().lbllunar->text(), QStringLiteral("农历庚子年 八月十五 国庆节 中秋"));
        QCOMPARE(c().lblnumber[24]->toolTip(), QStringLiteral("九月初九 重阳"));
        QVERIFY(c().lbllunar->geometry().bottom() < c().lbllunar->parentWidget()->height());
        QVERIFY(c().lbllunar->y() > c().Shape1->geometry().bottom());
        QTest::mouseClick(c().lblnumber[1], Qt::LeftButton);
        QCOMPARE(c().lbllunar->text(), QStringLiteral("农历庚子年 八月十六"));
        choose(5, 2020); // 2020-05-23: the first day of a leap fourth month
        QCOMPARE(c().lblnumber[22]->toolTip(), QStringLiteral("闰四月初一"));
        // The day's solar term after the date; 清明 said once, as the holiday.
        for (const QStringList& row : published("solar-terms.csv")) {
            const QDate day = QDate::fromString(row[0], Qt::ISODate);
            if (day.year() != 2020) {
                continue;
            }
            choose(day.month(), day.year());
            const QString tip = c().lblnumber[day.day() - 1]->toolTip();
            const QString said = row[1] == u"清明" ? QStringLiteral("清明节") : row[1];
            QVERIFY2(tip.split(u' ').mid(1) == QStringList{said}, qPrintable(tip));
        }
    }

    // The usual ways of writing a birthday, text left alone, and the next
    // day of each.
    void birthdaysAreReadAsWritten() {
        using calendar::Birthday;
        const struct {
            const char16_t* text;
            Birthday birthday;
        } read[] = {
            {u"1980-05-06", {false, 1980, 5, false, 6}},
            {u" 1980/5/6 ", {false, 1980, 5, false, 6}},
            {u"1980.12.31", {false, 1980, 12, false, 31}},
            {u"１９８０年５月６日", {false, 1980, 5, false, 6}},
            {u"1980年5月6号", {false, 1980, 5, false, 6}},
            {u"2月29日", {false, 0, 2, false, 29}},
            {u"农历三月初五", {true, 0, 3, false, 5}},
            {u"农历1980年闰四月初五", {true, 1980, 4, true, 5}},
            {u"阴历 腊月廿三", {true, 0, 12, false, 23}},
            {u"农历十一月三十", {true, 0, 11, false, 30}},
            {u"农历正月十五", {true, 0, 1, false, 15}},
            {u"农历8月15日", {true, 0, 8, false, 15}},
            {u"农历庚午年二月初六", {true, 0, 2, false, 6}},
        };
        for (const auto& r : read) {
            QCOMPARE(calendar::readBirthday(r.text), std::optional(r.birthday));
            QCOMPARE(calendar::readBirthday(calendar::birthdayText(r.birthday)),
                     std::optional(r.birthday));
        }
        // 生日（农历） says which calendar without 农历.
        QCOMPARE(calendar::readLunarBirthday(u"1990年七月初七"),
                 std::optional(Birthday{true, 1990, 7, false, 7}));
        QCOMPARE(calendar::readLunarBirthday(u"农历冬月初一"),
                 std::optional(Birthday{true, 0, 11, false, 1}));
        // The next birthday (published lunar dates): a 30th of a month of 29
        // days is its last; the 29th of February in a common year the 28th.
        const calendar::LunarCalendar lunar;
        const auto next = [&](const char16_t* text, QDate from) {
            return calendar::nextBirthday(*calendar::readBirthday(text), from, lunar);
        };
        QCOMPARE(next(u"农历闰四月初一", QDate(2020, 5, 1)), QDate(2020, 5, 23));
        QCOMPARE(next(u"农历八月十五", QDate(2020, 10, 1)), QDate(2020, 10, 1));
        QCOMPARE(next(u"农历正月十五", QDate(2021, 2, 27)), QDate(2022, 2, 15));
        QCOMPARE(next(u"农历腊月三十", QDate(2025, 1, 1)), QDate(2025, 1, 28));
        QCOMPARE(next(u"1980-02-29", QDate(2027, 1, 1)), QDate(2027, 2, 28));
        QCOMPARE(next(u"2月29日", QDate(2027, 3, 1)), QDate(2028, 2, 29));
        QCOMPARE(next(u"5月6日", QDate(2026, 5, 7)), QDate(2027, 5, 6));
        for (const char16_t* text :
             {u"", u"不详", u"1980", u"1980-02-30", u"1981年2月29日", u"13月1日", u"5/6/1980",
              u"1980-5/6", u"农历", u"农历十三月初一", u"农历三月三十一", u"农历三月初五晚上",
              u"大约1980年"}) {
            QVERIFY2(!calendar::readBirthday(text), qPrintable(QString::fromUtf16(text)));
        }
    }

    void opensOnToday() {
        openOn(QDate(2026, 12, 7));
        QWidget* w = window().window();
        QVERIFY(w->isWindow());
        QVERIFY(!w->parentWidget());
        QCOMPARE(w->windowTitle(), QStringLiteral("日历本"));
        QVERIFY(!w->windowIcon().isNull());
        QCOMPARE(w->pos(), QPoint(ui::px(2000), ui::px(500)));
        QCOMPARE(w->size(), QSize(ui::px(4680), ui::px(3195)));
        QCOMPARE(c().cbomonth->count(), 12);
        QCOMPARE(c().cbomonth->itemText(0), QStringLiteral("一月"));
        QCOMPARE(c().cbomonth->itemText(11), QStringLiteral("十二月"));
        QCOMPARE(c().cboyear->count(), 101);
        QCOMPARE(c().cboyear->itemText(0), QStringLiteral("1960"));
        QCOMPARE(c().cboyear->itemText(100), QStringLiteral("2060"));
        QCOMPARE(c().lbldate->text(), QStringLiteral("2026年12月7日"));
        // The date fits beside the cells, above the weekday.
        QVERIFY(c().lbldate->geometry().right() < c().lbldate->parentWidget()->width());
        QVERIFY(c().lbldate->geometry().bottom() < c().lblday->y());
        opensOn(QDate(2026, 12, 7));
        QCOMPARE(c().cboyear->palette().color(QPalette::ButtonText), QColor(Qt::red));
        QCOMPARE(c().lbldate->palette().color(QPalette::WindowText), QColor(128, 0, 0));
        QVERIFY(c().lblday->font().bold());
        QCOMPARE(c().cmdok->text(), QStringLiteral("确定(&O)"));
        QCOMPARE(test::tabOrder(c().cboyear, 4), (QStringList{"cboyear", "cbomonth", "cmdok"}));

        // Another day, then opened again in the same run: afresh on today.
        QTest::mouseClick(c().lblnumber[20], Qt::LeftButton);
        choose(3, 1999);
        QTest::mouseClick(c().cmdok, Qt::LeftButton);
        QVERIFY(!window().isLoaded());
        openOn(QDate(2026, 12, 7));
        opensOn(QDate(2026, 12, 7));

        // Chosen while open, it only comes forward.
        choose(5, 2001);
        forms->MDI_OK.controls().item("F_FBrl")->trigger();
        QCOMPARE(c().cboyear->currentText(), QStringLiteral("2001"));
    }

    void opensOnAnyDay_data() {
        QTest::addColumn<QDate>("today");
        for (const QDate day : {QDate(1960, 1, 1), QDate(2000, 2, 29), QDate(2026, 4, 30),
                                QDate(2026, 12, 31), QDate(2060, 12, 31)}) {
            QTest::newRow(qPrintable(day.toString(Qt::ISODate))) << day;
        }
    }
    void opensOnAnyDay() {
        QFETCH(QDate, today);
        openOn(today);
        opensOn(today);
    }

    void yearsOutsideTheListShowTheNearestListedYear() {
        openOn(QDate(2075, 3, 15));
        QCOMPARE(c().cboyear->currentText(), QStringLiteral("2060"));
        QCOMPARE(borderedCell(), 14);
        showsDay(QDate(2060, 3, 15));
        window().unload();
        openOn(QDate(1952, 2, 29));
        QCOMPARE(c().cboyear->currentText(), QStringLiteral("1960"));
        showsDay(QDate(1960, 2, 29));
    }

    void monthLengths() {
        openOn(QDate(2026, 12, 7));
        const struct {
            int month, year, days;
        } months[] = {{2, 2000, 29}, {2, 2001, 28}, {2, 2003, 28}, {2, 2004, 29},
                      {2, 1960, 29}, {4, 2026, 30}, {1, 2026, 31}, {6, 2059, 30}};
        for (const auto& m : months) {
            choose(m.month, m.year);
            QCOMPARE(shownDays(), m.days);
            // Only days 29 to 31 ever hide.
            QVERIFY(!c().lblnumber[27]->isHidden());
        }
    }

    void dayOneIsTopLeftWhateverTheWeekday() {
        openOn(QDate(2026, 12, 7)); // December 2026 begins on a Tuesday
        for (int month : {12, 2, 9}) {
            choose(month, 2026);
            QCOMPARE(ui::twipsGeometry(c().lblnumber[0]), QRect(360, 1080, 300, 285));
            QCOMPARE(ui::twipsGeometry(c().lblnumber[6]), QRect(2520, 1080, 300, 285));
            QCOMPARE(ui::twipsGeometry(c().lblnumber[7]), QRect(360, 1440, 300, 285));
            QCOMPARE(ui::twipsGeometry(c().lblnumber[30]), QRect(1080, 2520, 300, 285));
            QCOMPARE(c().lblnumber[7]->text(), QStringLiteral("8"));
        }
        QTest::mouseClick(c().lblnumber[0], Qt::LeftButton);
        QCOMPARE(borderedCell(), 0);
        QCOMPARE(window().SelectedDay(), 1);
        showsDay(QDate(2026, 9, 1));
    }

    void theThirtyFirstInAThirtyDayMonth() {
        openOn(QDate(2026, 12, 31));
        c().cbomonth->setCurrentIndex(10); // November has no 31st
        QVERIFY(c().lblnumber[30]->isHidden());
        QCOMPARE(window().SelectedDay(), 30);
        QCOMPARE(borderedCell(), 30); // on the hidden cell
        showsDay(QDate(2026, 12, 31));
        c().cbomonth->setCurrentIndex(9); // October: its 30th
        QCOMPARE(borderedCell(), 29);
        QCOMPARE(window().SelectedDay(), 30);
        showsDay(QDate(2026, 10, 30));
    }

    void theThirtyFirstInFebruaryStepsBackAChangeAtATime() {
        openOn(QDate(2026, 12, 31));
        c().cbomonth->setCurrentIndex(1);
        QCOMPARE(window().SelectedDay(), 30);
        showsDay(QDate(2026, 12, 31));
        c().cboyear->setCurrentIndex(2027 - 1960); // the 30th: no such day either
        QCOMPARE(window().SelectedDay(), 29);
        showsDay(QDate(2026, 12, 31));
        c().cboyear->setCurrentIndex(2028 - 1960); // a leap year has the 29th
        QCOMPARE(window().SelectedDay(), 29);
        QCOMPARE(borderedCell(), 28);
        showsDay(QDate(2028, 2, 29));
    }

    void aYearChangeKeepsTheMonth() {
        openOn(QDate(2028, 2, 29));
        c().cboyear->setCurrentIndex(2029 - 1960);
        QCOMPARE(c().cbomonth->currentIndex(), 1);
        QCOMPARE(window().SelectedDay(), 28);
        showsDay(QDate(2028, 2, 29));
        c().cboyear->setCurrentIndex(2030 - 1960);
        showsDay(QDate(2030, 2, 28));
        QCOMPARE(borderedCell(), 27);

        openOn(QDate(2028, 2, 29)); // brought forward, as it is
        c().cboyear->setCurrentIndex(2000 - 1960);
        showsDay(QDate(2000, 2, 28));
    }

    void enterPressesOk() {
        openOn(QDate(2026, 12, 7));
        QTest::keyClick(c().cboyear, Qt::Key_Return);
        QVERIFY(!window().isLoaded());
        QVERIFY(forms->MDI_OK.isLoaded());
    }

    void quittingClosesIt() {
        openOn(QDate(2026, 12, 7));
        s->messageBox.expect(QStringLiteral("是否真的要退出？"), QStringLiteral("提示"),
                             ui::Answer::No);
        forms->MDI_OK.controls().item("FILE_E")->trigger();
        QVERIFY(window().isLoaded());
        s->messageBox.expect(QStringLiteral("是否真的要退出？"), QStringLiteral("提示"),
                             ui::Answer::Yes);
        forms->MDI_OK.controls().item("FILE_E")->trigger();
        QVERIFY(!window().isLoaded());
        QVERIFY(!forms->MDI_OK.isLoaded());

        openOn(QDate(2026, 12, 7)); // the main window comes up again with its menu
        forms->MDI_OK.controls().item("Mnuexit")->trigger();
        QVERIFY(!window().isLoaded());
    }
};

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    ui::installFontSubstitutes();
    CalendarTest tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_calendar.moc"
