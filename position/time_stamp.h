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

// The PC clock's current local calendar date.
CivilDate localDateNow();

} // namespace kestrova
