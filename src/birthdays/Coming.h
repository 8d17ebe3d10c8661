#pragma once

#include "calendar/Birthday.h"

#include <QDate>
#include <QString>

#include <atomic>
#include <vector>

namespace db {
class Connection;
}

namespace birthdays {

// A contact's birthday on a day to come.
struct Coming {
    QString name;
    QDate date;
    calendar::Birthday birthday;
    int age = -1; // the age reached that day, -1 when the birth year is not known

    bool operator==(const Coming&) const = default;
};

// The birthdays of the book's contacts that fall on `from` or in the
// `days` after it, by date, then name: the card's 出生日期 and the lunar
// birthdays of 其他信息 (生日（农历）). Text that reads as no date is passed
// over. Reads the whole book: work for beside the windows, which ends early
// (with what it has) once `cancelled` is set.
std::vector<Coming> comingBirthdays(db::Connection& connection, QDate from, int days,
                                    const std::atomic_bool& cancelled);

// 今天是张三的生日；3天后（农历十月初九）是李四的生日。 At most `most` names;
// the rest are counted.
QString reminderText(const std::vector<Coming>& coming, QDate today, int most = 10);

// 今天, 明天, 后天, 3天后
QString whenText(QDate date, QDate today);

} // namespace birthdays
