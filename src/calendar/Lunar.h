#pragma once

#include "SolarTerms.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace calendar {

// A day of the Chinese calendar, as ICU's `chinese` calendar reckons it
// (months from new moons at 120°E, a leap month where a month holds no
// major solar term).
struct LunarDate {
    int year = 0;  // the Gregorian year in which this lunar year begins
    int month = 0; // 1 (正月) to 12 (腊月)
    bool leap = false;
    int day = 0;   // 1 to 30
    int cycle = 0; // the year in the sixty-year cycle: 1 (甲子) to 60 (癸亥)

    bool operator==(const LunarDate&) const = default;
};

// Converts between Gregorian and lunar dates with ICU. Each keeps its own
// ICU calendars: one per thread.
class LunarCalendar {
public:
    LunarCalendar();
    ~LunarCalendar();
    LunarCalendar(const LunarCalendar&) = delete;
    LunarCalendar& operator=(const LunarCalendar&) = delete;

    // None when ICU cannot say (no ICU data, or a date outside its range).
    std::optional<LunarDate> lunarOf(QDate date) const;
    // The Gregorian day of a lunar date of the lunar year beginning in
    // `year`. A leap month that year lacks is read as the month itself, a
    // 30th in a month of 29 days as its last day: a birthday falls in its
    // month every year. Invalid when ICU cannot say.
    QDate solarOf(int year, int month, bool leap, int day) const;
    // The festivals and public holidays the day is: 元旦, 清明节, 劳动节,
    // 国庆节, then 除夕, 春节, 元宵, 端午, 中秋, 重阳.
    QStringList festivalsOf(QDate date) const;
    // The solar term (节气) the day is, or empty.
    QString solarTermOf(QDate date) const;

private:
    struct Icu;
    std::unique_ptr<Icu> icu_;
    mutable SolarTerms terms_; // a year's, reckoned once
};

// 甲辰年
QString yearName(int cycle);
// 正月, 二月 … 十月, 冬月, 腊月; 闰 before a leap month.
QString monthName(int month, bool leap);
// 初一 … 初十, 十一 … 二十, 廿一 … 廿九, 三十
QString dayName(int day);
// 甲辰年 冬月初九
QString lunarText(const LunarDate& date);

} // namespace calendar
