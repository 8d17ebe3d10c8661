#pragma once

#include <QDateTime>
#include <QLocale>

namespace platform {

// The current date and time, so that nothing depends on today's date in tests.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// The time of day as the clocks of the program show it.
// The system's long time format, without the time zone.
inline QString timeText(const QDateTime& moment) {
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(u't');
    return QLocale::system().toString(moment.time(), format.trimmed());
}

// The date as the system writes it short.
inline QString dateText(const QDate& date) {
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

} // namespace platform
