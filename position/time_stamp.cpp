#include "position/time_stamp.h"

#include <cmath>
#include <ctime>

namespace kestrova {

namespace {

long long leapDaysBefore(long long year) {
    long long y = year - 1;
    return y / 4 - y / 100 + y / 400;
}

constexpr int kMonthStart[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

} // namespace

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int kLength[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    if (month == 2 && isLeapYear(year)) return 29;
    return kLength[month - 1];
}

bool isValidDate(const CivilDate& d) {
    return d.day >= 1 && d.day <= daysInMonth(d.year, d.month);
}

CivilDate nextDay(CivilDate d) {
    if (!isValidDate(d)) return d;
    if (++d.day > daysInMonth(d.year, d.month)) {
        d.day = 1;
        if (++d.month > 12) {
            d.month = 1;
            ++d.year;
        }
    }
    return d;
}

CivilDate previousDay(CivilDate d) {
    if (!isValidDate(d)) return d;
    if (--d.day < 1) {
        if (--d.month < 1) {
            d.month = 12;
            --d.year;
        }
        d.day = daysInMonth(d.year, d.month);
    }
    return d;
}

LocalHour shiftToLocal(const CivilDate& utcDate, int utcHour, int zoneHours) {
    LocalHour out{utcDate, utcHour + zoneHours};
    // At most a couple of turns: the hour is 0..23 and the zone a few hours.
    while (out.hour >= 24) {
        out.hour -= 24;
        out.date = nextDay(out.date);
    }
    while (out.hour < 0) {
        out.hour += 24;
        out.date = previousDay(out.date);
    }
    return out;
}

double epochSeconds(const CivilDate& d, int hour, int minute, double seconds) {
    if (d.year < 1970 || !isValidDate(d)) return 0.0;
    long long days = 365LL * (d.year - 1970) + leapDaysBefore(d.year) - leapDaysBefore(1970);
    days += kMonthStart[d.month - 1];
    if (d.month > 2 && isLeapYear(d.year)) ++days;
    days += d.day - 1;
    return static_cast<double>(days) * 86400.0 + hour * 3600.0 + minute * 60.0 + seconds;
}

CivilDate dateOfEpochDay(long long days) {
    if (days < 0) days = 0;
    int y = 1970;
    // Whole 400-year cycles first, so a far date costs no long walk.
    constexpr long long kCycle = 146097;
    y += static_cast<int>(days / kCycle) * 400;
    days %= kCycle;
    while (days >= (isLeapYear(y) ? 366 : 365)) {
        days -= isLeapYear(y) ? 366 : 365;
        ++y;
    }
    int m = 1;
    while (days >= daysInMonth(y, m)) {
        days -= daysInMonth(y, m);
        ++m;
    }
    return CivilDate{y, m, static_cast<int>(days) + 1};
}

CivilDate nearestDate(const CivilDate& referenceDate, double referenceSecondsOfDay,
                      double secondsOfDay) {
    const double ahead = secondsOfDay - referenceSecondsOfDay;
    if (ahead < -43200.0) return nextDay(referenceDate);
    if (ahead > 43200.0) return previousDay(referenceDate);
    return referenceDate;
}

CivilDate nearestUtcDate(double referenceUtc, double secondsOfDay) {
    if (!std::isfinite(referenceUtc) || referenceUtc < 0.0) referenceUtc = 0.0;
    const double days = std::floor(referenceUtc / 86400.0);
    return nearestDate(dateOfEpochDay(static_cast<long long>(days)), referenceUtc - days * 86400.0,
                       secondsOfDay);
}

double utcSecondsNow() {
    timespec now{};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) return 0.0;
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

} // namespace kestrova
