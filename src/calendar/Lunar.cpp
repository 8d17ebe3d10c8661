#include "Lunar.h"

#include <unicode/ucal.h>

#include <array>

namespace calendar {

namespace {

// ICU's Chinese years count from 2637 BCE.
constexpr int chineseEpoch = 2637;
// Noon, so that the day is that day whatever ICU does with the hours.
constexpr int noon = 12;

struct CalendarCloser {
    void operator()(UCalendar* calendar) const { ucal_close(calendar); }
};
using Calendar = std::unique_ptr<UCalendar, CalendarCloser>;

Calendar openCalendar(const char* locale, UCalendarType type) {
    // Days as dates, in no time zone: ICU reckons the months at 120°E itself.
    static const UChar gmt[] = {u'G', u'M', u'T', 0};
    UErrorCode status = U_ZERO_ERROR;
    Calendar calendar(ucal_open(gmt, -1, locale, type, &status));
    return U_SUCCESS(status) ? std::move(calendar) : nullptr;
}

} // namespace

struct LunarCalendar::Icu {
    Calendar gregorian = openCalendar("en@calendar=gregorian", UCAL_GREGORIAN);
    Calendar chinese = openCalendar("zh@calendar=chinese", UCAL_DEFAULT);
};

LunarCalendar::LunarCalendar()
    : icu_(std::make_unique<Icu>()) {}

LunarCalendar::~LunarCalendar() = default;

std::optional<LunarDate> LunarCalendar::lunarOf(QDate date) const {
    if (!icu_->gregorian || !icu_->chinese || !date.isValid()) {
        return std::nullopt;
    }
    UErrorCode status = U_ZERO_ERROR;
    UCalendar* gregorian = icu_->gregorian.get();
    UCalendar* chinese = icu_->chinese.get();
    ucal_clear(gregorian);
    ucal_setDateTime(gregorian, date.year(), date.month() - 1, date.day(), noon, 0, 0, &status);
    ucal_setMillis(chinese, ucal_getMillis(gregorian, &status), &status);
    LunarDate lunar;
    lunar.year = ucal_get(chinese, UCAL_EXTENDED_YEAR, &status) - chineseEpoch;
    lunar.month = ucal_get(chinese, UCAL_MONTH, &status) + 1;
    lunar.leap = ucal_get(chinese, UCAL_IS_LEAP_MONTH, &status) != 0;
    lunar.day = ucal_get(chinese, UCAL_DATE, &status);
    lunar.cycle = ucal_get(chinese, UCAL_YEAR, &status);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    return lunar;
}

QDate LunarCalendar::solarOf(int year, int month, bool leap, int day) const {
    if (!icu_->gregorian || !icu_->chinese || month < 1 || month > 12 || day < 1 || day > 30) {
        return {};
    }
    UErrorCode status = U_ZERO_ERROR;
    UCalendar* gregorian = icu_->gregorian.get();
    UCalendar* chinese = icu_->chinese.get();
    const auto firstOf = [&](bool leapMonth) {
        ucal_clear(chinese);
        ucal_set(chinese, UCAL_EXTENDED_YEAR, year + chineseEpoch);
        ucal_set(chinese, UCAL_MONTH, month - 1);
        ucal_set(chinese, UCAL_IS_LEAP_MONTH, leapMonth ? 1 : 0);
        ucal_set(chinese, UCAL_DATE, 1);
        ucal_set(chinese, UCAL_HOUR_OF_DAY, noon);
        ucal_getMillis(chinese, &status); // computes the month's fields
    };
    firstOf(leap);
    // ICU moves a leap month the year lacks on to the next month.
    if (leap && (ucal_get(chinese, UCAL_IS_LEAP_MONTH, &status) == 0 ||
                 ucal_get(chinese, UCAL_MONTH, &status) != month - 1)) {
        firstOf(false);
    }
    const int last = ucal_getLimit(chinese, UCAL_DATE, UCAL_ACTUAL_MAXIMUM, &status);
    ucal_set(chinese, UCAL_DATE, std::min(day, last));
    ucal_setMillis(gregorian, ucal_getMillis(chinese, &status), &status);
    const QDate date(ucal_get(gregorian, UCAL_EXTENDED_YEAR, &status),
                     ucal_get(gregorian, UCAL_MONTH, &status) + 1,
                     ucal_get(gregorian, UCAL_DATE, &status));
    return U_SUCCESS(status) ? date : QDate();
}

QStringList LunarCalendar::festivalsOf(QDate date) const {
    struct Day {
        int month;
        int day;
        const char16_t* name;
    };
    static constexpr std::array solar{Day{1, 1, u"元旦"}, Day{5, 1, u"劳动节"},
                                      Day{10, 1, u"国庆节"}};
    static constexpr std::array lunar{Day{1, 1, u"春节"}, Day{1, 15, u"元宵"}, Day{5, 5, u"端午"},
                                      Day{8, 15, u"中秋"}, Day{9, 9, u"重阳"}};
    QStringList names;
    for (const Day& d : solar) {
        if (date.month() == d.month && date.day() == d.day) {
            names << QString::fromUtf16(d.name);
        }
    }
    if (solarTermOf(date) == u"清明") {
        names << QStringLiteral("清明节");
    }
    const std::optional<LunarDate> today = lunarOf(date);
    if (!today || today->leap) {
        return names;
    }
    for (const Day& d : lunar) {
        if (today->month == d.month && today->day == d.day) {
            names << QString::fromUtf16(d.name);
        }
    }
    // The last day of the year, of 29 or 30 days: only then is tomorrow asked.
    if (today->month == 12 && today->day >= 29) {
        const std::optional<LunarDate> tomorrow = lunarOf(date.addDays(1));
        if (tomorrow && tomorrow->month == 1 && tomorrow->day == 1) {
            names << QStringLiteral("除夕");
        }
    }
    return names;
}

QString LunarCalendar::solarTermOf(QDate date) const {
    return terms_.termOf(date);
}

QString yearName(int cycle) {
    static const QString stems = QStringLiteral("甲乙丙丁戊己庚辛壬癸");
    static const QString branches = QStringLiteral("子丑寅卯辰巳午未申酉戌亥");
    if (cycle < 1 || cycle > 60) {
        return {};
    }
    return QString(stems[(cycle - 1) % 10]) + branches[(cycle - 1) % 12] + u'年';
}

QString monthName(int month, bool leap) {
    static const std::array<const char16_t*, 12> names{u"正月", u"二月", u"三月", u"四月",
                                                       u"五月", u"六月", u"七月", u"八月",
                                                       u"九月", u"十月", u"冬月", u"腊月"};
    if (month < 1 || month > 12) {
        return {};
    }
    return (leap ? QStringLiteral("闰") : QString()) +
           QString::fromUtf16(names[std::size_t(month - 1)]);
}

QString dayName(int day) {
    static const QString digits = QStringLiteral("一二三四五六七八九十");
    if (day < 1 || day > 30) {
        return {};
    }
    if (day == 10 || day == 20 || day == 30) {
        return QStringLiteral("初十二十三十").mid((day / 10 - 1) * 2, 2);
    }
    static const QString tens = QStringLiteral("初十廿");
    return QString(tens[day / 10]) + digits[day % 10 - 1];
}

QString lunarText(const LunarDate& date) {
    return yearName(date.cycle) + u' ' + monthName(date.month, date.leap) + dayName(date.day);
}

} // namespace calendar
