#include "Program.h"

#include "app/Forms.h"
#include "calendar/DateText.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Twips.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using calendar::dateText;
using calendar::readDate;

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
