#pragma once

#include <QDate>
#include <QHash>
#include <QString>

#include <array>

namespace calendar {

// The 24 solar terms (节气), each the day, in China Standard Time (UTC+8),
// on which the sun's apparent ecliptic longitude reaches its multiple of
// 15°: 春分 0°, 清明 15° … 惊蛰 345°. The sun's place is libnova's VSOP87
// (Debian's libnova-dev; on Windows Debian's source, cross-built), with
// precession, nutation and aberration, at the dynamical time of the moment.
class SolarTerms {
public:
    // 小寒 … 冬至; empty on a day that is none. A year's 24 are reckoned the
    // first time it is asked for and kept.
    QString termOf(QDate date);

private:
    const std::array<QDate, 24>& termsOf(int year);

    QHash<int, std::array<QDate, 24>> years_;
};

} // namespace calendar
