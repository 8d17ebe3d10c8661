#include "Birthday.h"

#include <QRegularExpression>

namespace calendar {

namespace {

// Full-width digits (as a Chinese input method types them) as ASCII.
QString narrowed(QStringView text) {
    QString out = text.trimmed().toString();
    for (QChar& c : out) {
        if (c.unicode() >= 0xFF10 && c.unicode() <= 0xFF19) {
            c = QChar(u'0' + (c.unicode() - 0xFF10));
        }
    }
    out.remove(u' ');
    return out;
}

// A month of a lunar date: 正月 … 腊月, 一月 … 十二月, 3月; 0 if none.
int lunarMonth(QStringView text) {
    static const QStringList numerals{
        QStringLiteral("一月"), QStringLiteral("二月"),   QStringLiteral("三月"),
        QStringLiteral("四月"), QStringLiteral("五月"),   QStringLiteral("六月"),
        QStringLiteral("七月"), QStringLiteral("八月"),   QStringLiteral("九月"),
        QStringLiteral("十月"), QStringLiteral("十一月"), QStringLiteral("十二月")};
    for (int m = 1; m <= 12; ++m) {
        if (text == monthName(m, false) || text == numerals[m - 1] ||
            text == QString::number(m) + u'月') {
            return m;
        }
    }
    return 0;
}

// A day of a lunar date: 初一 … 三十, or 5日; 0 if none.
int lunarDay(QStringView text) {
    for (int d = 1; d <= 30; ++d) {
        const QString digits = QString::number(d);
        if (text == dayName(d) || text == digits || text == digits + u'日' ||
            text == digits + u'号') {
            return d;
        }
    }
    return 0;
}

std::optional<Birthday> readLunar(QStringView text) {
    static const QRegularExpression form(QStringLiteral(
        "^(?:(\\d{4})年|[甲乙丙丁戊己庚辛壬癸][子丑寅卯辰巳午未申酉戌亥]年)?(闰)?(.{1,3}"
        "月)(.{1,3})$"));
    const QRegularExpressionMatch match = form.match(text.toString());
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    Birthday birthday{true, match.captured(1).toInt(), lunarMonth(match.capturedView(3)),
                      match.hasCaptured(2), lunarDay(match.capturedView(4))};
    if (birthday.month == 0 || birthday.day == 0) {
        return std::nullopt;
    }
    return birthday;
}

std::optional<Birthday> readSolar(QStringView text) {
    static const QRegularExpression forms[] = {
        QRegularExpression(QStringLiteral("^(\\d{4})([-/.])(\\d{1,2})\\2(\\d{1,2})$")),
        QRegularExpression(QStringLiteral("^(\\d{4})年()(\\d{1,2})月(\\d{1,2})[日号]?$")),
        QRegularExpression(QStringLiteral("^()()(\\d{1,2})月(\\d{1,2})[日号]?$")),
    };
    for (const QRegularExpression& form : forms) {
        const QRegularExpressionMatch match = form.match(text.toString());
        if (!match.hasMatch()) {
            continue;
        }
        const Birthday birthday{false, match.captured(1).toInt(), match.captured(3).toInt(), false,
                                match.captured(4).toInt()};
        // Without its year, a day some year has (the 29th of February).
        if (!QDate(birthday.year > 0 ? birthday.year : 2000, birthday.month, birthday.day)
                 .isValid()) {
            return std::nullopt;
        }
        return birthday;
    }
    return std::nullopt;
}

} // namespace

std::optional<Birthday> readBirthday(QStringView text) {
    const QString plain = narrowed(text);
    for (const QStringView prefix : {u"农历", u"阴历"}) {
        if (plain.startsWith(prefix)) {
            return readLunar(QStringView(plain).sliced(prefix.size()));
        }
    }
    return readSolar(plain);
}

std::optional<Birthday> readLunarBirthday(QStringView text) {
    const std::optional<Birthday> read = readBirthday(text);
    if (read && read->lunar) {
        return read;
    }
    return readLunar(narrowed(text));
}

QString birthdayText(const Birthday& birthday) {
    const QString year = birthday.year > 0 ? QString::number(birthday.year) : QString();
    if (birthday.lunar) {
        return QStringLiteral("农历") + (year.isEmpty() ? QString() : year + u'年') +
               monthName(birthday.month, birthday.leap) + dayName(birthday.day);
    }
    if (year.isEmpty()) {
        return QStringLiteral("%1月%2日").arg(birthday.month).arg(birthday.day);
    }
    return QDate(birthday.year, birthday.month, birthday.day).toString(Qt::ISODate);
}

QDate nextBirthday(const Birthday& birthday, QDate from, const LunarCalendar& lunar) {
    if (birthday.lunar) {
        const std::optional<LunarDate> now = lunar.lunarOf(from);
        if (!now) {
            return {};
        }
        for (const int year : {now->year, now->year + 1}) {
            const QDate day = lunar.solarOf(year, birthday.month, birthday.leap, birthday.day);
            if (day.isValid() && day >= from) {
                return day;
            }
        }
        return {};
    }
    for (const int year : {from.year(), from.year() + 1}) {
        QDate day(year, birthday.month, birthday.day);
        if (!day.isValid() && birthday.month == 2 && birthday.day == 29) {
            day = QDate(year, 2, 28);
        }
        if (day.isValid() && day >= from) {
            return day;
        }
    }
    return {};
}

} // namespace calendar
