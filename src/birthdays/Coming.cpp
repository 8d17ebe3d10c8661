#include "Coming.h"

#include "contacts/Extras.h"
#include "platform/db/Connection.h"
#include "platform/db/Statement.h"

#include <QHash>

#include <algorithm>
#include <span>

namespace birthdays {

namespace {

using calendar::Birthday;

// The days to come of each kind of birthday: a month and day many
// contacts share is reckoned once, the lunar ones through ICU.
class Days {
public:
    Days(QDate from, QDate last)
        : from_(from)
        , last_(last) {}

    // The day of the birthday from `from` on, invalid when after `last`.
    QDate next(const Birthday& birthday) {
        const int key = (birthday.lunar ? 1 << 10 : 0) | (birthday.leap ? 1 << 9 : 0) |
                        birthday.month << 5 | birthday.day;
        auto found = next_.constFind(key);
        if (found == next_.constEnd()) {
            const QDate day = calendar::nextBirthday(birthday, from_, lunar_);
            found = next_.insert(key, day.isValid() && day <= last_ ? day : QDate());
        }
        return *found;
    }

    // The age reached on the day, by the calendar the birthday is kept in.
    int age(const Birthday& birthday, QDate day) {
        if (birthday.year <= 0) {
            return -1;
        }
        if (!birthday.lunar) {
            return day.year() - birthday.year;
        }
        auto found = lunarYear_.constFind(day);
        if (found == lunarYear_.constEnd()) {
            const std::optional<calendar::LunarDate> lunar = lunar_.lunarOf(day);
            found = lunarYear_.insert(day, lunar ? lunar->year : 0);
        }
        return *found > 0 ? *found - birthday.year : -1;
    }

private:
    QDate from_;
    QDate last_;
    calendar::LunarCalendar lunar_;
    QHash<int, QDate> next_;
    QHash<QDate, int> lunarYear_;
};

std::optional<Birthday> birthdayOf(const db::Statement& row) {
    if (row.value(2).isNull()) {
        return calendar::readBirthday(row.text(1));
    }
    const QString text = contacts::valueParts(row.text(1)).value(0);
    return contacts::isOtherCalendar(row.text(2)) ? calendar::readLunarBirthday(text)
                                                  : calendar::readBirthday(text);
}

} // namespace

std::vector<Coming> comingBirthdays(db::Connection& connection, QDate from, int days,
                                    const std::atomic_bool& cancelled) {
    Days reckoned(from, from.addDays(days));
    // The card's column, then the birthdays 其他信息 keeps (params not null).
    db::Statement rows(
        connection,
        QStringLiteral("SELECT GR_XM, GR_CS, NULL FROM yanshu WHERE GR_CS <> '' UNION ALL "
                       "SELECT y.GR_XM, e.value, e.params FROM yanshu_extra e "
                       "JOIN yanshu y ON y.UID = e.UID WHERE e.name = 'BDAY'"));
    std::vector<Coming> coming;
    while (!cancelled && rows.step()) {
        const std::optional<Birthday> birthday = birthdayOf(rows);
        if (!birthday) {
            continue;
        }
        const QDate day = reckoned.next(*birthday);
        if (day.isValid()) {
            coming.push_back({rows.text(0), day, *birthday, reckoned.age(*birthday, day)});
        }
    }
    std::ranges::sort(coming, [](const Coming& a, const Coming& b) {
        return std::tie(a.date, a.name) < std::tie(b.date, b.name);
    });
    // The same birthday in the column and in 其他信息 is one.
    const auto repeated = std::ranges::unique(coming);
    coming.erase(repeated.begin(), repeated.end());
    return coming;
}

QString whenText(QDate date, QDate today) {
    switch (const qint64 days = today.daysTo(date)) {
    case 0:
        return QStringLiteral("今天");
    case 1:
        return QStringLiteral("明天");
    case 2:
        return QStringLiteral("后天");
    default:
        return QStringLiteral("%1天后").arg(days);
    }
}

QString reminderText(const std::vector<Coming>& coming, QDate today, int most) {
    QStringList parts;
    for (const Coming& c : std::span(coming).first(std::min(coming.size(), std::size_t(most)))) {
        const QString lunar =
            c.birthday.lunar ? QStringLiteral("（农历%1）")
                                   .arg(calendar::monthName(c.birthday.month, c.birthday.leap) +
                                        calendar::dayName(c.birthday.day))
                             : QString();
        parts << QStringLiteral("%1%2是%3的生日").arg(whenText(c.date, today), lunar, c.name);
    }
    QString text = parts.join(u'；');
    if (std::ssize(coming) > most) {
        text += QStringLiteral("；还有%1人的生日，见“生日提醒”").arg(std::ssize(coming) - most);
    }
    return text + u'。';
}

} // namespace birthdays
