#pragma once

#include "calendar/Birthday.h"
#include "contacts/Contact.h"

#include <QString>

#include <optional>

namespace interchange {

// Lunar birthdays as Apple's address books exchange them:
// X-ALTBDAY;CALSCALE=chinese:007800310318, the sixty-year cycle counted
// from 2637 BC (the 78th began in 1984), the year in it, the month and the
// day, each zero-padded; a leap month has an L after its number.

// The parameters of the property, for a lunar birthday.
bool isChineseCalendar(QStringView params);
// None for a value of another form.
std::optional<calendar::Birthday> readAltBirthday(QStringView value);
// The value for a lunar birthday of known year; empty for any other, which
// the form cannot hold.
QString altBirthday(const calendar::Birthday& birthday);

// A lunar birthday as 其他信息 keeps it (生日（农历）).
contacts::Extra lunarBirthdayExtra(const calendar::Birthday& birthday);
// The lunar birthday a column's text or such an extra says, if any.
std::optional<calendar::Birthday> lunarBirthdayOf(const QString& column);
std::optional<calendar::Birthday> lunarBirthdayOf(const contacts::Extra& extra);

} // namespace interchange
