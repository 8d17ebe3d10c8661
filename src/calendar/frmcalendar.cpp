#include "frmcalendar.h"

#include "DateText.h"

#include "platform/Clock.h"
#include "platform/ui/Click.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Pictures.h"
#include "platform/ui/Twips.h"

#include <QAction>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>

namespace calendar {

namespace {

constexpr int firstYear = 1960;
constexpr int lastYear = 2060;

const QString weekdayNames[7] = {
    QStringLiteral("星期日"), QStringLiteral("星期一"), QStringLiteral("星期二"),
    QStringLiteral("星期三"), QStringLiteral("星期四"), QStringLiteral("星期五"),
    QStringLiteral("星期六"),
};

const QColor darkRed(128, 0, 0);
constexpr double datePoints = 10.5; // the long date's design size

// A label that sizes itself to its text and lets the picture show through.
QLabel* autoLabel(ui::FormWidget* form, QStringView name, const QString& text, int left, int top,
                  const QFont& font) {
    QLabel* label = ui::label(form, name, text);
    label->setFont(font);
    ui::place(label, left, top, 0, 0);
    ui::autoSize(label);
    return label;
}

QComboBox* list(ui::FormWidget* form, QStringView name, int left, int width, const QFont& font) {
    auto* box = ui::make<QComboBox>(form, name);
    box->setFont(font);
    ui::setTextColour(box, Qt::red);
    ui::place(box, left, 480, width, ui::twips(box->sizeHint().height()));
    return box;
}

QLabel* dayCell(ui::FormWidget* form, int i) {
    QLabel* cell = ui::label(form, QStringLiteral("lblnumber_%1").arg(i), QString::number(i + 1));
    cell->setAlignment(Qt::AlignCenter);
    cell->setBackgroundRole(QPalette::Base);
    cell->setForegroundRole(QPalette::Text);
    cell->setAutoFillBackground(true);
    ui::place(cell, 360 + 360 * (i % 7), 1080 + 360 * (i / 7), 300, 285);
    return cell;
}

void setBorder(QLabel* cell, bool single) {
    cell->setFrameStyle(single ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
}

// 冬月初九, or 农历甲辰年 冬月初九 with the year; the solar term and the
// festivals after it (清明 is said once, as 清明节).
QString lunarCaption(const LunarCalendar& calendar, QDate date, bool withYear) {
    const std::optional<LunarDate> lunar = calendar.lunarOf(date);
    if (!lunar) {
        return {};
    }
    QStringList parts{withYear ? QStringLiteral("农历") + lunarText(*lunar)
                               : monthName(lunar->month, lunar->leap) + dayName(lunar->day)};
    if (const QString term = calendar.solarTermOf(date); !term.isEmpty() && term != u"清明") {
        parts << term;
    }
    return (parts + calendar.festivalsOf(date)).join(u' ');
}

} // namespace

frmcalendar_Controls::frmcalendar_Controls(ui::FormWidget* form) {
    form->setWindowTitle(QStringLiteral("日历本"));
    form->setWindowIcon(QIcon(QStringLiteral(":/art/calendar.svg")));
    form->setFont(ui::font(u"宋体", 9));
    form->setPicture(ui::backgroundPicture(form->devicePixelRatioF()));

    const QFont heading = ui::font(u"宋体", 10.5, true);
    Label1[0] = autoLabel(form, u"Label1_0", QStringLiteral("(&M)月份"), 240, 240, heading);
    Label1[1] = autoLabel(form, u"Label1_1", QStringLiteral("(&Y)年"), 3120, 240, heading);
    cbomonth = list(form, u"cbomonth", 240, 2415, ui::font(u"宋体", 10.5));
    cboyear = list(form, u"cboyear", 3120, 1215, ui::font(u"Swis721 BlkCn BT", 10.5));
    Label1[0]->setBuddy(cbomonth);
    Label1[1]->setBuddy(cboyear);

    Shape1 = ui::make<QFrame>(form, u"Shape1");
    Shape1->setFrameStyle(QFrame::Box | QFrame::Plain);
    ui::place(Shape1, 240, 960, 2655, 1935);
    for (int i = 0; i < 31; ++i) {
        lblnumber[i] = dayCell(form, i);
    }

    lbldate = autoLabel(form, u"lbldate", QStringLiteral("RQ"), 3600, 1080,
                        ui::font(u"Trebuchet MS", datePoints, true));
    lbldate->setWordWrap(true);
    lblday =
        autoLabel(form, u"lblday", QStringLiteral("Xq"), 3600, 1560, ui::font(u"宋体", 12, true));
    for (QLabel* label : {lbldate, lblday}) {
        ui::setTextColour(label, darkRed);
    }

    cmdok = ui::button(form, u"cmdok", QStringLiteral("确定(&O)"), 3240, 2400, 1215, 465);
    // Below the cells the window has a line's room to its edge.
    lbllunar = ui::label(form, u"lbllunar", QString());
    lbllunar->setFont(ui::font(u"宋体", 9));
    ui::setTextColour(lbllunar, darkRed);
    ui::place(lbllunar, 240, 2925, 4320, 225);
    // The birthdays to come, beside the days: a menu, the design's controls left as they are.
    mnuBirthdays = new QAction(QStringLiteral("生日提醒(&B)..."), form);
    mnuBirthdays->setObjectName(QStringLiteral("mnuBirthdays"));
    form->addAction(mnuBirthdays);
    form->setContextMenuPolicy(Qt::ActionsContextMenu);
    form->setDialogButtons(cmdok, nullptr);

    QWidget::setTabOrder(cboyear, cbomonth);
    QWidget::setTabOrder(cbomonth, cmdok);
}

frmcalendar::frmcalendar(const platform::Services& services)
    : FormOf(QStringLiteral("frmcalendar"))
    , services_(services) {}

void frmcalendar::wireEvents(frmcalendar_Controls& c) {
    // A selection set by code is an event too, handled before the setter returns.
    QObject::connect(c.cbomonth, &QComboBox::currentIndexChanged, [this] { cbomonth_Click(); });
    QObject::connect(c.cboyear, &QComboBox::currentIndexChanged, [this] { cboyear_Click(); });
    for (int i = 0; i < 31; ++i) {
        ui::onClick(c.lblnumber[i], [this, i] { lblnumber_Click(i); });
    }
    QObject::connect(c.cmdok, &QPushButton::clicked, [this] { cmdok_Click(); });
    QObject::connect(c.mnuBirthdays, &QAction::triggered, [this] { mnuBirthdays_Click(); });
}

void frmcalendar::mnuBirthdays_Click() {
    if (showBirthdays) {
        showBirthdays();
    }
}

void frmcalendar::Form_Load() {
    auto& c = ui();
    setOuterSize(4800, 3500);
    setTop(500);
    setLeft(2000);
    YearClickArmed_ = false;
    today_ = services_.clock.now().date(); // one reading, even across midnight
    SelectedDay_ = qint16(today_.day());
    FillMonths();
    FillYears();
    SelectToday();
    // The weekday of the day on view, which is today whenever its year is listed.
    const std::optional<QDate> shown = readDate(dateText(today_.month(), today_.day(), GetYear()));
    c.lblday->setText(weekdayNames[weekdayNumber(shown.value_or(today_)) - 1]);
    ui::autoSize(c.lblday);
    c.cboyear->setFocus();
}

void frmcalendar::FillMonths() {
    QComboBox* months = ui().cbomonth;
    const QSignalBlocker quiet(months); // filling selects nothing
    months->addItems({QStringLiteral("一月"), QStringLiteral("二月"), QStringLiteral("三月"),
                      QStringLiteral("四月"), QStringLiteral("五月"), QStringLiteral("六月"),
                      QStringLiteral("七月"), QStringLiteral("八月"), QStringLiteral("九月"),
                      QStringLiteral("十月"), QStringLiteral("十一月"), QStringLiteral("十二月")});
    months->setCurrentIndex(-1);
}

void frmcalendar::FillYears() {
    QComboBox* years = ui().cboyear;
    const QSignalBlocker quiet(years);
    for (int year = firstYear; year <= lastYear; ++year) {
        years->addItem(QString::number(year));
    }
    years->setCurrentIndex(-1);
}

void frmcalendar::SelectToday() {
    auto& c = ui();
    const QDate today = today_;
    // A clock outside the listed years shows today's month and day in the
    // nearest listed year (1960 and 2060 both have a 29th of February).
    const int year = std::clamp(today.year(), firstYear, lastYear);
    c.cboyear->setCurrentIndex(year - firstYear); // only arms the year list
    c.cbomonth->setCurrentIndex(today.month() - 1);
    setBorder(c.lblnumber[today.day() - 1], true);
    SelectedDay_ = qint16(today.day());
}

void frmcalendar::RefreshMonth() {
    FindMonthLength(GetMonth(), GetYear());
    TipLunarDays();
}

void frmcalendar::TipLunarDays() {
    auto& c = ui();
    for (int i = 0; i < 31; ++i) {
        c.lblnumber[i]->setToolTip(
            lunarCaption(lunar_, QDate(GetYear(), GetMonth(), i + 1), false));
    }
}

void frmcalendar::ShowLunar(QDate date) {
    ui().lbllunar->setText(lunarCaption(lunar_, date, true));
}

int frmcalendar::GetMonth() {
    return ui().cbomonth->currentIndex() + 1; // 0 when nothing is selected
}

int frmcalendar::GetYear() {
    const QComboBox* years = ui().cboyear;
    return years->currentIndex() < 0 ? 0 : years->currentText().trimmed().toShort();
}

void frmcalendar::FindMonthLength(int month, int year) {
    int days = 0;
    for (int d = 28; d <= 32 && readDate(dateText(month, d, year)); ++d) {
        days = d;
    }
    ShowMonthDays(days);
}

void frmcalendar::ShowMonthDays(int days) {
    auto& c = ui();
    for (int i = 28; i <= 30; ++i) {
        c.lblnumber[i]->hide();
    }
    for (int i = 28; i < days; ++i) {
        c.lblnumber[i]->show();
    }
}

void frmcalendar::cbomonth_Click() {
    RefreshMonth();
    lblnumber_Click(SelectedDay_ - 1);
}

void frmcalendar::cboyear_Click() {
    if (YearClickArmed_) {
        cbomonth_Click();
    } else {
        YearClickArmed_ = true;
    }
}

void frmcalendar::lblnumber_Click(int Index) {
    auto& c = ui();
    for (QLabel* cell : c.lblnumber) {
        setBorder(cell, false);
    }
    if (Index < 0 || Index >= int(c.lblnumber.size())) {
        return; // no such cell: the selection ends here
    }
    setBorder(c.lblnumber[Index], true);
    SelectedDay_ = qint16(Index + 1);
    const int month = c.cbomonth->currentIndex() + 1;
    const int year = c.cboyear->currentIndex() + firstYear;
    const std::optional<QDate> date = readDate(dateText(month, SelectedDay_, year));
    if (!date) {
        // A day the month lacks: the captions stay on the day shown before,
        // and the remembered day steps back towards one the month has.
        --SelectedDay_;
        return;
    }
    c.lblday->setText(weekdayNames[weekdayNumber(*date) - 1]);
    c.lbldate->setText(longDate(*date));
    ui::autoSize(c.lblday);
    fitDate(c);
    ShowLunar(*date);
}

// The long date sizes itself to its text; where a long format would run
// past the window's edge it takes more lines, and where a word of it is
// wider than the room its font steps down until the word fits. The weekday
// below moves down to make room.
void frmcalendar::fitDate(frmcalendar_Controls& c) {
    QLabel* date = c.lbldate;
    const int room = client()->width() - date->x() - 4;
    QFont font = date->font();
    for (font.setPointSizeF(datePoints); font.pointSizeF() > 6;
         font.setPointSizeF(font.pointSizeF() - 0.5)) {
        const QRect wrapped = QFontMetrics(font).boundingRect(QRect(0, 0, room, 1 << 20),
                                                              Qt::TextWordWrap, date->text());
        if (wrapped.width() <= room) {
            break;
        }
    }
    date->setFont(font);
    const int width = std::min(date->sizeHint().width(), room);
    const int height = date->heightForWidth(width);
    ui::place(date, 3600, 1080, ui::twips(width),
              ui::twips(height > 0 ? height : date->sizeHint().height()));
    ui::setTop(c.lblday, std::max(1560, ui::top(date) + ui::height(date) + 60));
}

void frmcalendar::cmdok_Click() {
    unload();
}

} // namespace calendar
