#pragma once
// The per-ping position record: where the towfish was when one ping was taken.
// The navigation computes it for every ping from the fixes around the ping's
// time (ring of 1080 beside each view's history ring); target capture copies
// the records of the captured lines and every ".tgt" stores them, 136 bytes
// each, little-endian, at the offsets below.

#include <cstddef>
#include <cstdint>
#include <span>

namespace kestrova {

struct PingPositionRecord {
    static constexpr std::size_t kBytes = 136;

    // Byte offsets in the stored record.
    static constexpr std::size_t kTime = 0;           // f64 ping time, seconds since 1970 (local)
    static constexpr std::size_t kLatitude = 8;       // f64 degrees, south negative
    static constexpr std::size_t kLongitude = 16;     // f64 degrees, west negative
    static constexpr std::size_t kLatHemisphere = 24; // u8 'N' or 'S'
    static constexpr std::size_t kLonHemisphere = 25; // u8 'E' or 'W'
    static constexpr std::size_t kValid = 26;         // u8 1 when computed from fixes
    // 27..31 reserved, zero
    static constexpr std::size_t kCourse = 32;        // f64 interpolated course over ground, degrees
    static constexpr std::size_t kSpeed = 40;         // f64 knots
    static constexpr std::size_t kEasting = 48;       // f64 towfish grid easting, metres
    static constexpr std::size_t kNorthing = 56;      // f64 towfish grid northing, metres
    static constexpr std::size_t kDistanceRun = 64;   // f64 metres since the previous ping
    static constexpr std::size_t kSwathHalf = 72;     // f64 swath half-width on the seabed, metres
    static constexpr std::size_t kAltitude = 80;      // f64 towfish altitude, metres
    static constexpr std::size_t kRange = 88;         // f64 slant range of the swath, metres
    static constexpr std::size_t kSwathPort = 96;     // f64 port swath on the seabed, metres
    static constexpr std::size_t kSwathStarboard = 104; // f64 starboard swath, metres
    static constexpr std::size_t kSonarHeading = 112; // f64 the ping's own heading, degrees
    static constexpr std::size_t kHeading = 120;      // f64 heading the navigation rule used, degrees
    static constexpr std::size_t kPingNumber = 128;   // u32 ping number
    // 132..135 reserved, zero

    double time = 0.0;
    double latitude = 0.0;
    double longitude = 0.0;
    char latHemisphere = 'N';
    char lonHemisphere = 'E';
    bool valid = false;
    double course = 0.0;
    double speed = 0.0;
    double easting = 0.0;
    double northing = 0.0;
    double distanceRun = 0.0;
    double swathHalf = 0.0;
    double altitude = 0.0;
    double range = 0.0;
    double swathPort = 0.0;
    double swathStarboard = 0.0;
    double sonarHeading = 0.0;
    double heading = 0.0;
    std::uint32_t pingNumber = 0;

    // Writes all 136 bytes (reserved ones zero); `out` must hold kBytes.
    void encode(std::span<std::uint8_t> out) const;
    // Reads a record; fewer than kBytes bytes give a record with valid = false.
    static PingPositionRecord decode(std::span<const std::uint8_t> in);
};

static_assert(PingPositionRecord::kPingNumber + 4 + 4 == PingPositionRecord::kBytes);

} // namespace kestrova
