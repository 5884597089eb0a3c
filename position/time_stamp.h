#pragma once
// The program's one time scale: seconds since 1970-01-01 00:00 of the local
// date and time, as a double. The position input dates its fixes with it and
// the display compares ping times against it, so both go through these helpers.

namespace kestrova {

struct CivilDate {
    int year = 0;
    int month = 0; // 1..12
    int day = 0;   // 1..length of the month
    bool operator==(const CivilDate&) const = default;
};

// Gregorian rule: divisible by 4 and not by 100, or by 400.
bool isLeapYear(int year);
// 0 for a month outside 1..12.
int daysInMonth(int year, int month);
bool isValidDate(const CivilDate& date);

// One day on or back, across month and year ends. A date that is not a real
// calendar date is returned unchanged (it cannot be dated anyway).
CivilDate nextDay(CivilDate date);
CivilDate previousDay(CivilDate date);

// A received UTC hour moved into the operator's time zone: the local hour
// 0..23 and the date advanced or set back when the shift crosses midnight.
struct LocalHour {
    CivilDate date;
    int hour = 0;
};
LocalHour shiftToLocal(const CivilDate& utcDate, int utcHour, int zoneHours);

// Seconds since 1970 of a local date and time; 0 for a year before 1970, a
// month outside 1..12 or a day outside its month.
double epochSeconds(const CivilDate& date, int hour, int minute, double seconds);

// The calendar date `days` days after 1970-01-01 (days >= 0).
CivilDate dateOfEpochDay(long long days);

// A received UTC time of day belongs to the date that puts it nearest a known
// UTC moment: the moment's own date, the day before or the day after. A GGA
// time after a ZDA, or against the PC clock, crosses midnight either way.
CivilDate nearestDate(const CivilDate& referenceDate, double referenceSecondsOfDay,
                      double secondsOfDay);
// The same against seconds since 1970-01-01 00:00 UTC.
CivilDate nearestUtcDate(double referenceUtc, double secondsOfDay);

// The PC clock in UTC: seconds since 1970-01-01 00:00 UTC. Received times are
// UTC, so this (not the PC's local date) is what dates them.
double utcSecondsNow();

} // namespace kestrova
