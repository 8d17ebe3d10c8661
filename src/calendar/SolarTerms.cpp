#include "SolarTerms.h"

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

// TT − UT in seconds at the Julian day: Espenak and Meeus's polynomials
// (NASA, 2006), the long-term parabola outside 1800–2150. libnova's own
// ΔT leaps by some 50 s where its table ends in 2010: every term after it
// came that much early.
double deltaT(double julianDay) {
    const double y = 2000.0 + (julianDay - j2000) / 365.25;
    const double u = (y - 1820.0) / 100.0;
    if (y < 1800.0 || y >= 2150.0) {
        return -20.0 + 32.0 * u * u;
    }
    if (y < 1860.0) {
        const double t = y - 1800.0;
        return 13.72 - 0.332447 * t + 0.0068612 * t * t + 0.0041116 * std::pow(t, 3) -
               0.00037436 * std::pow(t, 4) + 0.0000121272 * std::pow(t, 5) -
               0.0000001699 * std::pow(t, 6) + 0.000000000875 * std::pow(t, 7);
    }
    if (y < 1900.0) {
        const double t = y - 1860.0;
        return 7.62 + 0.5737 * t - 0.251754 * t * t + 0.01680668 * std::pow(t, 3) -
               0.0004473624 * std::pow(t, 4) + std::pow(t, 5) / 233174.0;
    }
    if (y < 1920.0) {
        const double t = y - 1900.0;
        return -2.79 + 1.494119 * t - 0.0598939 * t * t + 0.0061966 * std::pow(t, 3) -
               0.000197 * std::pow(t, 4);
    }
    if (y < 1941.0) {
        const double t = y - 1920.0;
        return 21.20 + 0.84493 * t - 0.076100 * t * t + 0.0020936 * std::pow(t, 3);
    }
    if (y < 1961.0) {
        const double t = y - 1950.0;
        return 29.07 + 0.407 * t - t * t / 233.0 + std::pow(t, 3) / 2547.0;
    }
    if (y < 1986.0) {
        const double t = y - 1975.0;
        return 45.45 + 1.067 * t - t * t / 260.0 - std::pow(t, 3) / 718.0;
    }
    if (y < 2005.0) {
        const double t = y - 2000.0;
        return 63.86 + 0.3345 * t - 0.060374 * t * t + 0.0017275 * std::pow(t, 3) +
               0.000651814 * std::pow(t, 4) + 0.00002373599 * std::pow(t, 5);
    }
    if (y < 2050.0) {
        const double t = y - 2000.0;
        return 62.92 + 0.32217 * t + 0.005589 * t * t;
    }
    return -20.0 + 32.0 * u * u - 0.5628 * (2150.0 - y);
}

// The sun's apparent longitude in degrees at the Julian day (UT). libnova
// gives the geometric place in the ecliptic of J2000; the general
// precession (IAU) brings it to the equinox of the date, then nutation
// and aberration (20.4898″ at one AU).
double apparentLongitude(double julianDay) {
    const double jde = julianDay + deltaT(julianDay) / 86400.0;
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
        if (std::abs(off) < 1e-5) { // about a second
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
