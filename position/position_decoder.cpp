#include "position/position_decoder.h"

#include "position/nmea.h"

#include <algorithm>
#include <cmath>

namespace kestrova::position {

namespace {

constexpr std::size_t kGgaFields = 15; // 14 commas
constexpr std::size_t kZdaFields = 6;  // 5 commas

int microsecondsOf(double seconds) {
    double fraction = seconds - std::trunc(seconds);
    long long us = std::llround(fraction * 1e6);
    return static_cast<int>(std::clamp(us, 0LL, 999999LL));
}

struct ClockTime {
    int hour = 0;
    int minute = 0;
    double seconds = 0.0;
    std::string_view fraction; // digits after the point, for ZDA
};

// "hhmmss" followed by an optional fraction; hours 0..23, minutes 0..59 and
// seconds below 61 (a leap second is a real reading).
std::optional<ClockTime> parseClock(std::string_view text) {
    if (text.size() < 6 || !nmea::allDigits(text.substr(0, 6))) return std::nullopt;
    ClockTime t;
    t.hour = (text[0] - '0') * 10 + (text[1] - '0');
    t.minute = (text[2] - '0') * 10 + (text[3] - '0');
    auto seconds = nmea::parseDecimal(text.substr(4), false);
    if (!seconds) return std::nullopt;
    t.seconds = *seconds;
    if (t.hour > 23 || t.minute > 59 || t.seconds >= 61.0) return std::nullopt;
    std::size_t point = text.find('.');
    if (point != std::string_view::npos) t.fraction = text.substr(point + 1);
    return t;
}

// "ddmm.mmmm" / "dddmm.mmmm" to degrees; minutes must be below 60.
std::optional<double> parseAngle(std::string_view text, double limit) {
    auto v = nmea::parseDecimal(text, false);
    if (!v) return std::nullopt;
    double degrees = std::trunc(*v / 100.0);
    double minutes = *v - 100.0 * degrees;
    if (minutes >= 60.0) return std::nullopt;
    double angle = degrees + minutes / 60.0;
    if (angle > limit) return std::nullopt;
    return angle;
}

bool inRange(double v, double limit) {
    return std::isfinite(v) && std::fabs(v) <= limit;
}

} // namespace

PositionDecoder::PositionDecoder() : utcClock_(utcSecondsNow) {}

void PositionDecoder::setTimeZoneHour(int hours) {
    zone_ = std::clamp(hours, -24, 24);
}

void PositionDecoder::reset() {
    fix_ = PositionFix{};
    fixDate_ = {};
    lastZdaDate_ = {};
    lastZdaSecondsOfDay_ = 0.0;
    zdaPresent_ = true;
    gridValid_ = false;
    rejection_ = Rejection::None;
}

bool PositionDecoder::reject(Rejection why) {
    rejection_ = why;
    return false;
}

bool PositionDecoder::parse_nmea(std::string_view sentence) {
    rejection_ = Rejection::None;
    // A corrupted sentence must not move the vessel: check before touching the record.
    if (nmea::verifyChecksum(sentence) == nmea::Checksum::Bad)
        return reject(Rejection::BadChecksum);
    fix_.kind = kFixNothing;
    auto fields = nmea::splitFields(sentence);
    std::string_view address = fields[0];
    if (address.find("GGA") != std::string_view::npos) return parseGga(fields);
    if (address.find("ZDA") != std::string_view::npos) return parseZda(fields);
    return reject(Rejection::Unrecognised);
}

void PositionDecoder::toGrid(double height) {
    gridValid_ = false;
    if (!converter_) return;
    GridPoint p = converter_->forward(fix_.latitude, fix_.longitude, height);
    if (!p.success || !std::isfinite(p.x) || !std::isfinite(p.y)) return;
    fix_.north = p.x;
    fix_.east = p.y;
    gridValid_ = true;
}

bool PositionDecoder::parseGga(const std::vector<std::string_view>& f) {
    if (f.size() < kGgaFields) return reject(Rejection::TooFewFields);
    if (f[1].empty()) {
        fix_.quality = 0;
        return reject(Rejection::EmptyField);
    }
    auto clock = parseClock(f[1]);
    if (!clock) return reject(Rejection::BadField);
    fix_.fixHour = clock->hour;
    fix_.fixMinute = clock->minute;
    fix_.fixSeconds = clock->seconds;

    if (f[2].empty()) {
        fix_.quality = 0;
        return reject(Rejection::EmptyField);
    }
    auto latitude = parseAngle(f[2], 90.0);
    if (!latitude) return reject(Rejection::BadField);
    fix_.latitude = *latitude;
    if (f[3].empty()) return reject(Rejection::EmptyField);
    fix_.latHemisphere = f[3][0];
    if (f[4].empty()) return reject(Rejection::EmptyField);
    auto longitude = parseAngle(f[4], 180.0);
    if (!longitude) return reject(Rejection::BadField);
    fix_.longitude = *longitude;
    if (f[5].empty()) return reject(Rejection::EmptyField);
    fix_.lonHemisphere = f[5][0];

    auto count = [](std::string_view t) {
        return t.empty() ? std::optional<int>(0) : nmea::parseCount(t);
    };
    auto decimal = [](std::string_view t, bool sign) {
        return t.empty() ? std::optional<double>(0.0) : nmea::parseDecimal(t, sign);
    };
    auto quality = count(f[6]);
    auto satellites = count(f[7]);
    auto hdop = decimal(f[8], false);
    auto altitude = decimal(f[9], true);
    auto separation = decimal(f[11], true);
    if (!quality || !satellites || !hdop || !altitude || !separation)
        return reject(Rejection::BadField);
    fix_.quality = *quality;
    fix_.satellites = *satellites;
    fix_.hdop = *hdop;

    if (fix_.latHemisphere == 'S')
        fix_.latitude = -fix_.latitude;
    else if (fix_.latHemisphere != 'N')
        fix_.latitude = 0.0;
    if (fix_.lonHemisphere == 'W')
        fix_.longitude = -fix_.longitude;
    else if (fix_.lonHemisphere != 'E')
        fix_.longitude = 0.0;

    // Receivers without a geoid model send 0: the ellipsoidal height is then unknown.
    if (*separation != 0.0) fix_.height = *altitude + *separation;
    toGrid(fix_.height);

    // The GGA time is UTC: its UTC date is the one nearest the last ZDA (a
    // GGA just past midnight is on the next day) or, without a ZDA, nearest
    // the PC's UTC clock; the zone comes after. A receiver that never sends
    // ZDA is dated from the PC from its first fix on.
    const bool byZda = datedByZda();
    const double ofDay = fix_.fixHour * 3600.0 + fix_.fixMinute * 60.0 + fix_.fixSeconds;
    CivilDate base = byZda ? nearestDate(lastZdaDate_, lastZdaSecondsOfDay_, ofDay)
                           : nearestUtcDate(utcClock_ ? utcClock_() : 0.0, ofDay);
    LocalHour local = shiftToLocal(base, fix_.fixHour, zone_);
    fixDate_ = local.date;
    fix_.fixTime = epochSeconds(local.date, local.hour, fix_.fixMinute, fix_.fixSeconds);
    if (!byZda) {
        fix_.hour = local.hour;
        fix_.minute = fix_.fixMinute;
        fix_.second = static_cast<int>(std::trunc(fix_.fixSeconds));
        fix_.microsecond = microsecondsOf(fix_.fixSeconds);
        fix_.year = local.date.year;
        fix_.month = local.date.month;
        fix_.day = local.date.day;
        fix_.clockTime = epochSeconds(local.date, fix_.hour, fix_.minute, fix_.fixSeconds);
    }
    fix_.kind = kFixPosition;
    return true;
}

bool PositionDecoder::parseZda(const std::vector<std::string_view>& f) {
    if (f.size() < kZdaFields) return reject(Rejection::TooFewFields);
    for (int i = 1; i <= 4; ++i)
        if (f[i].empty()) return reject(Rejection::EmptyField);
    auto clock = parseClock(f[1]);
    auto day = nmea::parseCount(f[2]);
    auto month = nmea::parseCount(f[3]);
    auto year = nmea::parseCount(f[4]);
    if (!clock || !day || !month || !year || *year > 9999) return reject(Rejection::BadField);
    CivilDate utc{*year, *month, *day};
    if (!isValidDate(utc)) return reject(Rejection::BadField);

    // The fraction is a fraction of the second, whatever number of digits the
    // receiver sends (".78" is 780 ms, ".789" is 789 ms).
    int microsecond = 0;
    for (int i = 0; i < 6; ++i) {
        int digit = i < static_cast<int>(clock->fraction.size()) ? clock->fraction[i] - '0' : 0;
        microsecond = microsecond * 10 + digit;
    }
    fix_.hour = clock->hour;
    fix_.minute = clock->minute;
    fix_.second = static_cast<int>(std::trunc(clock->seconds));
    fix_.microsecond = microsecond;
    lastZdaDate_ = utc;
    lastZdaSecondsOfDay_ = clock->hour * 3600.0 + clock->minute * 60.0 + clock->seconds;

    LocalHour local = shiftToLocal(utc, fix_.hour, zone_);
    fix_.hour = local.hour;
    fix_.year = local.date.year;
    fix_.month = local.date.month;
    fix_.day = local.date.day;
    fix_.clockTime =
        epochSeconds(local.date, fix_.hour, fix_.minute, fix_.second + microsecond / 1e6);
    fix_.kind = kFixTime;
    return true;
}

void PositionDecoder::dateFrame(const CivilDate& utcDate, int utcHour, int minute, double seconds) {
    LocalHour local = shiftToLocal(utcDate, utcHour, zone_);
    fixDate_ = local.date;
    fix_.fixHour = local.hour;
    fix_.hour = local.hour;
    fix_.fixMinute = minute;
    fix_.minute = minute;
    fix_.fixSeconds = seconds;
    fix_.second = static_cast<int>(std::trunc(seconds));
    fix_.microsecond = microsecondsOf(seconds);
    fix_.year = local.date.year;
    fix_.month = local.date.month;
    fix_.day = local.date.day;
    fix_.fixTime = epochSeconds(local.date, local.hour, minute, seconds);
    fix_.clockTime = fix_.fixTime;
}

bool PositionDecoder::takeIns(const InsFrame& fr) {
    // The frame has no checksum: a time of day or a position that cannot be is corruption.
    if (fr.hour > 23 || fr.minute > 59 || fr.second > 60 || !inRange(fr.latitude, 90.0) ||
        !inRange(fr.longitude, 180.0) || !std::isfinite(fr.height))
        return reject(Rejection::BadField);
    fix_.kind = kFixPosition;
    dateFrame(CivilDate{fr.year, fr.month, fr.day}, fr.hour, fr.minute, fr.second);
    fix_.latitude = fr.latitude;
    fix_.longitude = fr.longitude;
    fix_.latHemisphere = fr.latitude < 0 ? 'S' : 'N';
    fix_.lonHemisphere = fr.longitude < 0 ? 'W' : 'E';
    fix_.height = fr.height;
    fix_.auxHeight = fr.height;
    toGrid(fix_.height);
    fix_.hdop = 1.0;
    fix_.quality = 1;
    fix_.satellites = 7;
    fix_.speed = fr.speed * kKnotsPerMetrePerSecond;
    fix_.course = fr.heading;
    return true;
}

bool PositionDecoder::takeCustom(const CustomFrame& fr) {
    double time = fr.time;
    if (!std::isfinite(time) || time < 0.0 || !inRange(fr.latitude, 90.0) ||
        !inRange(fr.longitude, 180.0) || !std::isfinite(fr.auxHeight))
        return reject(Rejection::BadField);
    fix_.kind = kFixPosition;
    // The remainder modulo one day, computed exactly (a large float time would
    // lose the time of day through time - 86400 * trunc(time / 86400)).
    double t = std::fmod(time, 86400.0);
    int utcHour = static_cast<int>(std::clamp(std::trunc(t / 3600.0), 0.0, 23.0));
    int minute = static_cast<int>(std::clamp(std::trunc((t - 3600.0 * utcHour) / 60.0), 0.0, 59.0));
    double seconds = std::max(0.0, t - 3600.0 * utcHour - 60.0 * minute);
    // The frame holds only a UTC time of day: the UTC date nearest the PC clock.
    dateFrame(nearestUtcDate(utcClock_ ? utcClock_() : 0.0, t), utcHour, minute, seconds);
    fix_.latitude = fr.latitude;
    fix_.longitude = fr.longitude;
    fix_.latHemisphere = fr.latitude < 0 ? 'S' : 'N';
    fix_.lonHemisphere = fr.longitude < 0 ? 'W' : 'E';
    fix_.height = 0.0;
    toGrid(0.0);
    fix_.hdop = 1.0;
    fix_.quality = 1;
    fix_.satellites = 7;
    fix_.speed = fr.speed * kKnotsPerMetrePerSecond;
    fix_.course = fr.heading;
    fix_.auxHeight = fr.auxHeight;
    return true;
}

FrameResult PositionDecoder::parse_ins_frames(BinaryBuffer& buffer) {
    rejection_ = Rejection::None;
    auto bytes = takeInsFrame(buffer);
    if (!bytes) return FrameResult::None;
    auto frame = decodeInsFrame(*bytes);
    return frame && takeIns(*frame) ? FrameResult::Accepted : FrameResult::Rejected;
}

FrameResult PositionDecoder::parse_custom_frames(BinaryBuffer& buffer) {
    rejection_ = Rejection::None;
    auto bytes = takeCustomFrame(buffer);
    if (!bytes) return FrameResult::None;
    auto frame = decodeCustomFrame(*bytes);
    return frame && takeCustom(*frame) ? FrameResult::Accepted : FrameResult::Rejected;
}

} // namespace kestrova::position
