#pragma once

#include <QDateTime>

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

} // namespace platform

namespace platform {

// The time of day as the clocks of the program show it.
inline QString timeText(const QDateTime& moment) {
    return moment.time().toString(QStringLiteral("HH:mm:ss"));
}

} // namespace platform
