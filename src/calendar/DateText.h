#pragma once

#include <QDate>
#include <QString>
#include <QStringView>

#include <optional>

// The calendar names a day by its text, month/day/year in plain decimal
// ("2/29/2004"), and asks of that text whether the day exists, its weekday
// and its long form.
namespace calendar {

QString dateText(int month, int day, int year);

// The day the text names; nothing when it is no date, or a day the
// calendar does not have (the 30th of February, the 31st of April).
std::optional<QDate> readDate(QStringView text);

// 1 for Sunday up to 7 for Saturday.
int weekdayNumber(QDate date);

// The date in the long format of the user's locale, without the weekday
// that some locales add (the calendar shows the weekday on its own).
QString longDate(QDate date);

} // namespace calendar
