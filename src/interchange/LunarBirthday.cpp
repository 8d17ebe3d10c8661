#include "LunarBirthday.h"

#include "contacts/Extras.h"

#include <QRegularExpression>

namespace interchange {

namespace {

constexpr int cycleYears = 60;
constexpr int firstCycleBegins = -2636; // 2637 BC, as a year number with a year 0

} // namespace

bool isChineseCalendar(QStringView params) {
    return contacts::parameterOf(params, u"CALSCALE").compare(u"chinese", Qt::CaseInsensitive) == 0;
}

std::optional<calendar::Birthday> readAltBirthday(QStringView value) {
    static const QRegularExpression form(QStringLiteral("^(\\d{4})(\\d{4})(\\d{2})(L?)(\\d{2})$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(value.trimmed());
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const int cycle = match.capturedView(1).toInt();
    const int inCycle = match.capturedView(2).toInt();
    const calendar::Birthday birthday{
        true, (cycle - 1) * cycleYears + inCycle - 1 + firstCycleBegins,
        match.capturedView(3).toInt(), !match.capturedView(4).isEmpty(),
        match.capturedView(5).toInt()};
    if (cycle < 1 || inCycle < 1 || inCycle > cycleYears || birthday.month < 1 ||
        birthday.month > 12 || birthday.day < 1 || birthday.day > 30) {
        return std::nullopt;
    }
    return birthday;
}

QString altBirthday(const calendar::Birthday& birthday) {
    if (!birthday.lunar || birthday.year <= 0) { // 0: the year is not known
        return {};
    }
    const int sinceFirst = birthday.year - firstCycleBegins;
    return QStringLiteral("%1%2%3%4%5")
        .arg(sinceFirst / cycleYears + 1, 4, 10, QChar(u'0'))
        .arg(sinceFirst % cycleYears + 1, 4, 10, QChar(u'0'))
        .arg(birthday.month, 2, 10, QChar(u'0'))
        .arg(birthday.leap ? QStringLiteral("L") : QString())
        .arg(birthday.day, 2, 10, QChar(u'0'));
}

contacts::Extra lunarBirthdayExtra(const calendar::Birthday& birthday) {
    // The kind says 农历 already.
    const QString text = calendar::birthdayText(birthday).mid(2);
    return {{},
            QStringLiteral("BDAY"),
            QStringLiteral("VALUE=text;CALSCALE=chinese"),
            contacts::escapedValue(text)};
}

std::optional<calendar::Birthday> lunarBirthdayOf(const QString& column) {
    const std::optional<calendar::Birthday> birthday = calendar::readBirthday(column);
    return birthday && birthday->lunar ? birthday : std::nullopt;
}

std::optional<calendar::Birthday> lunarBirthdayOf(const contacts::Extra& extra) {
    if (extra.name != u"BDAY" || !isChineseCalendar(extra.params)) {
        return std::nullopt;
    }
    return calendar::readLunarBirthday(contacts::valueParts(extra.value).value(0));
}

} // namespace interchange
