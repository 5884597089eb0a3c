#include "position/ping_position_record.h"

#include "platform/bytes.h"

namespace kestrova {

void PingPositionRecord::encode(std::span<std::uint8_t> out) const {
    if (out.size() < kBytes) return;
    ByteWriter w(out.data(), kBytes);
    w.fill(0, 0, kBytes);
    w.f64le(kTime, time);
    w.f64le(kLatitude, latitude);
    w.f64le(kLongitude, longitude);
    w.u8(kLatHemisphere, static_cast<std::uint8_t>(latHemisphere));
    w.u8(kLonHemisphere, static_cast<std::uint8_t>(lonHemisphere));
    w.u8(kValid, valid ? 1 : 0);
    w.f64le(kCourse, course);
    w.f64le(kSpeed, speed);
    w.f64le(kEasting, easting);
    w.f64le(kNorthing, northing);
    w.f64le(kDistanceRun, distanceRun);
    w.f64le(kSwathHalf, swathHalf);
    w.f64le(kAltitude, altitude);
    w.f64le(kRange, range);
    w.f64le(kSwathPort, swathPort);
    w.f64le(kSwathStarboard, swathStarboard);
    w.f64le(kSonarHeading, sonarHeading);
    w.f64le(kHeading, heading);
    w.u32le(kPingNumber, pingNumber);
}

PingPositionRecord PingPositionRecord::decode(std::span<const std::uint8_t> in) {
    PingPositionRecord r;
    if (in.size() < kBytes) return r;
    ByteReader b(in.data(), kBytes);
    r.time = b.f64le(kTime).value_or(0.0);
    r.latitude = b.f64le(kLatitude).value_or(0.0);
    r.longitude = b.f64le(kLongitude).value_or(0.0);
    r.latHemisphere = static_cast<char>(b.u8(kLatHemisphere).value_or('N'));
    r.lonHemisphere = static_cast<char>(b.u8(kLonHemisphere).value_or('E'));
    r.valid = b.u8(kValid).value_or(0) == 1;
    r.course = b.f64le(kCourse).value_or(0.0);
    r.speed = b.f64le(kSpeed).value_or(0.0);
    r.easting = b.f64le(kEasting).value_or(0.0);
    r.northing = b.f64le(kNorthing).value_or(0.0);
    r.distanceRun = b.f64le(kDistanceRun).value_or(0.0);
    r.swathHalf = b.f64le(kSwathHalf).value_or(0.0);
    r.altitude = b.f64le(kAltitude).value_or(0.0);
    r.range = b.f64le(kRange).value_or(0.0);
    r.swathPort = b.f64le(kSwathPort).value_or(0.0);
    r.swathStarboard = b.f64le(kSwathStarboard).value_or(0.0);
    r.sonarHeading = b.f64le(kSonarHeading).value_or(0.0);
    r.heading = b.f64le(kHeading).value_or(0.0);
    r.pingNumber = b.u32le(kPingNumber).value_or(0);
    return r;
}

} // namespace kestrova
