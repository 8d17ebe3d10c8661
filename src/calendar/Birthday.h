#pragma once

#include "Lunar.h"

#include <QDate>
#include <QStringView>

#include <optional>

namespace calendar {

// A birthday as a card's 出生日期 says it: by the Gregorian or the lunar
// calendar, with or without its year.
struct Birthday {
    bool lunar = false;
    int year = 0; // 0: not said (for a lunar date, the year its lunar year begins)
    int month = 0;
    bool leap = false; // a lunar leap month
    int day = 0;

    bool operator==(const Birthday&) const = default;
};

// Reads the usual ways of writing a birthday: 1980-05-06, 1980/5/6,
// 1980.5.6, 1980年5月6日, 5月6日, 农历三月初五, 农历1980年闰四月初五,
// 阴历八月十五, 农历庚午年二月初六 (a year of the cycle says no year).
// None for anything else, which is left as it stands.
std::optional<Birthday> readBirthday(QStringView text);
// A lunar birthday where the calendar goes without saying (生日（农历）):
// as readBirthday reads it after 农历.
std::optional<Birthday> readLunarBirthday(QStringView text);
// The birthday as readBirthday reads it back: 1980-05-06, 5月6日,
// 农历1980年闰四月初五, 农历三月初五.
QString birthdayText(const Birthday& birthday);

// The first day on or after `from` that is the birthday: a lunar one
// through `lunar` (its leap month, or its 30th, where that year lacks
// it, as LunarCalendar::solarOf says); the 29th of February in a common
// year is the 28th. Invalid when there is none.
QDate nextBirthday(const Birthday& birthday, QDate from, const LunarCalendar& lunar);

} // namespace calendar
