#include "SolarTerms.h"

#include <libnova/dynamical_time.h>
#include <libnova/nutation.h>
#include <libnova/solar.h>

#include <cmath>

namespace calendar {

namespace {

// From 春分, by 15° of longitude.
constexpr std::array<const char16_t*, 24> names{
    u"春分", u"清明", u"谷雨", u"立夏", u"小满", u"芒种", u"夏至", u"小暑",
    u"大暑", u"立秋", u"处暑", u"白露", u"秋分", u"寒露", u"霜降", u"立冬",
    u"小雪", u"大雪", u"冬至", u"小寒", u"大寒", u"立春", u"雨水", u"惊蛰",
};

constexpr double tropicalYear = 365.2422; // days
constexpr double j2000 = 2451545.0;       // JD of 2000-01-01 12:00 TT

// The sun's apparent longitude in degrees at the Julian day (UT). libnova
// gives the geometric place in the ecliptic of J2000; the general
// precession (IAU) brings it to the equinox of the date, then nutation
// and aberration (20.4898″ at one AU).
double apparentLongitude(double julianDay) {
    const double jde = ln_get_jde(julianDay);
    ln_helio_posn sun{};
    ln_get_solar_geom_coords(jde, &sun);
    ln_nutation nutation{};
    ln_get_nutation(jde, &nutation);
    const double t = (jde - j2000) / 36525.0;
    const double precession = (5029.0966 * t + 1.11113 * t * t) / 3600.0;
    return sun.L + precession + nutation.longitude - 20.4898 / 3600.0 / sun.R;
}

// The moment (JD, UT) the longitude reaches `degrees`, from a guess within
// a few days of it: Newton's steps at the sun's mean motion.
double momentOf(double degrees, double guess) {
    double day = guess;
    for (int step = 0; step < 20; ++step) {
        const double off = std::remainder(apparentLongitude(day) - degrees, 360.0);
        day -= off * tropicalYear / 360.0;
        if (std::abs(off) < 1e-7) { // about a second
            break;
        }
    }
    return day;
}

} // namespace

QString SolarTerms::termOf(QDate date) {
    const std::array<QDate, 24>& terms = termsOf(date.year());
    for (std::size_t i = 0; i < terms.size(); ++i) {
        if (terms[i] == date) {
            return QString::fromUtf16(names[i]);
        }
    }
    return {};
}

// Those that fall in the year: 小寒 to 惊蛰 of its start belong to the
// circle that began the March before.
const std::array<QDate, 24>& SolarTerms::termsOf(int year) {
    auto found = years_.find(year);
    if (found != years_.end()) {
        return *found;
    }
    std::array<QDate, 24> terms;
    // 春分 comes about the 20th of March; each term some 15.2 days later.
    const double equinox = double(QDate(year, 3, 20).toJulianDay()) - 0.5;
    for (std::size_t i = 0; i < terms.size(); ++i) {
        const bool early = i >= 19; // 小寒 … 惊蛰: January to early March
        const double guess =
            equinox + double(i) * tropicalYear / 24.0 - (early ? tropicalYear : 0.0);
        const double moment = momentOf(15.0 * double(i), guess);
        // The civil day at UTC+8: Julian days begin at noon.
        terms[i] = QDate::fromJulianDay(qint64(std::floor(moment + 0.5 + 8.0 / 24.0)));
    }
    return *years_.insert(year, terms);
}

} // namespace calendar
