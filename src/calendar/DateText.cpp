#include "DateText.h"

#include <QLocale>
#include <QRegularExpression>

namespace calendar {

QString dateText(int month, int day, int year) {
    return QStringLiteral("%1/%2/%3").arg(month).arg(day).arg(year);
}

std::optional<QDate> readDate(QStringView text) {
    const QList<QStringView> parts = text.split(u'/');
    if (parts.size() != 3) {
        return std::nullopt;
    }
    int numbers[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        numbers[i] = parts[i].toInt(&ok);
        if (!ok) {
            return std::nullopt;
        }
    }
    const QDate date(numbers[2], numbers[0], numbers[1]);
    // Years before 100 or after 9999 are none the calendar can write.
    if (!date.isValid() || numbers[2] < 100 || numbers[2] > 9999) {
        return std::nullopt;
    }
    return date;
}

int weekdayNumber(QDate date) {
    return date.dayOfWeek() % 7 + 1; // Qt counts Monday 1 to Sunday 7
}

QString longDate(QDate date) {
    const QLocale locale;
    QString format = locale.dateFormat(QLocale::LongFormat);
    // "dddd, MMMM d, yyyy" and "yyyy年M月d日dddd": the weekday at either end
    // with the blanks or comma that join it to the rest.
    static const QRegularExpression weekday(QStringLiteral("^dddd[\\s,，、]*|[\\s,，、]*dddd$"));
    format.remove(weekday);
    return locale.toString(date, format.trimmed());
}

} // namespace calendar
