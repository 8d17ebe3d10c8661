#pragma once

#include "Lunar.h"

#include "platform/Services.h"
#include "platform/ui/Form.h"

#include <QDate>
#include <QtGlobal>

#include <array>
#include <functional>

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

namespace calendar {

struct frmcalendar_Controls {
    explicit frmcalendar_Controls(ui::FormWidget* form);

    std::array<QLabel*, 2> Label1;
    QComboBox* cbomonth; // index 0 to 11: 一月 to 十二月
    QComboBox* cboyear;  // index 0 to 100: 1960 to 2060
    QFrame* Shape1;
    std::array<QLabel*, 31> lblnumber; // cell i is day i + 1
    QLabel* lbldate;
    QLabel* lblday;
    QPushButton* cmdok;
    QLabel* lbllunar;      // the day's lunar date and festival, under the cells
    QAction* mnuBirthdays; // 生日提醒..., the window's right-button menu
};

// A month at a glance: 31 day cells, day 1 always top left, with the chosen
// day's weekday and long date beside them and its lunar date below (each
// cell's in its tip). It opens on today and only shows.
class frmcalendar final : public ui::FormOf<frmcalendar_Controls> {
public:
    explicit frmcalendar(const platform::Services& services);

    frmcalendar_Controls& controls() { return ui(); }
    qint16 SelectedDay() const { return SelectedDay_; }

    void cbomonth_Click();
    void cboyear_Click();
    void lblnumber_Click(int Index);
    void cmdok_Click();
    void mnuBirthdays_Click();
    // What 生日提醒... in the window's menu opens (the registry's to give).
    std::function<void()> showBirthdays;

protected:
    void Form_Load() override;
    void wireEvents(frmcalendar_Controls& controls) override;

private:
    void FillMonths();                         // the twelve months, none selected
    void FillYears();                          // 1960 to 2060, none selected
    void SelectToday();                        // today's year, month and cell
    void RefreshMonth();                       // the shown month's cells
    int GetMonth();                            // 1 to 12; 0 when none is chosen
    int GetYear();                             // the chosen year; 0 when none
    void FindMonthLength(int month, int year); // the last valid day, then its cells
    void ShowMonthDays(int days);              // cells 29 to 31 as the month has them
    void fitDate(frmcalendar_Controls& c);
    void ShowLunar(QDate date); // the day's lunar date under the cells
    void TipLunarDays();        // each shown cell's lunar day in its tip

    const platform::Services& services_;
    LunarCalendar lunar_;
    QDate today_;            // as the window loaded
    qint16 SelectedDay_ = 0; // may for a while be a day the shown month lacks
    bool YearClickArmed_ = false;
};

} // namespace calendar
