#pragma once
// The records that carry a position through the program: the current fix (also
// the payload of the position blocks of a raw recording), the track point and
// the fix event handed to the navigation view, and the recording block itself.
// Each has a fixed little-endian layout written and read field by field.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kestrova::position {

// Knots per metre per second, as speeds are converted throughout the position input.
constexpr double kKnotsPerMetrePerSecond = 1.944;

// What the last parse put into the record.
enum FixKind : std::int32_t {
    kFixNothing = 0,  // nothing valid parsed
    kFixPosition = 1, // GGA or a binary frame
    kFixTime = 2,     // ZDA
};

struct PositionFix {
    std::int32_t kind = kFixNothing;
    std::int32_t year = 0;
    std::int32_t month = 0;
    std::int32_t day = 0;
    std::int32_t fixHour = 0;
    std::int32_t fixMinute = 0;
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
    std::int32_t microsecond = 0;
    double fixSeconds = 0.0;
    double fixTime = 0.0;
    double clockTime = 0.0;
    double latitude = 0.0;
    double longitude = 0.0;
    double height = 0.0;
    char latHemisphere = 0;
    char lonHemisphere = 0;
    double east = 0.0;
    double north = 0.0;
    double auxHeight = 0.0;
    std::int32_t quality = 0;
    std::int32_t satellites = 0;
    double hdop = 0.0;
    double speed = 0.0;
    double course = 0.0;

    bool operator==(const PositionFix&) const = default;
};

namespace fix_offset {
constexpr std::size_t kind = 0, year = 4, month = 8, day = 12, fixHour = 16, fixMinute = 20,
                      hour = 24, minute = 28, second = 32, microsecond = 36, fixSeconds = 40,
                      fixTime = 48, clockTime = 56, latitude = 64, longitude = 72, height = 80,
                      latHemisphere = 88, lonHemisphere = 89, east = 96, north = 104,
                      auxHeight = 112, quality = 120, satellites = 124, hdop = 128, speed = 136,
                      course = 144;
} // namespace fix_offset

constexpr std::size_t kPositionFixSize = 152;
static_assert(fix_offset::course + 8 == kPositionFixSize);

using PositionFixBytes = std::array<std::uint8_t, kPositionFixSize>;
PositionFixBytes encode(const PositionFix& fix);
// nullopt when fewer than 152 bytes are present.
std::optional<PositionFix> decodePositionFix(std::span<const std::uint8_t> bytes);

// One point of the vessel track.
struct TrackPoint {
    double east = 0.0;
    double north = 0.0;
    float speed = 0.0f;  // knots
    float course = 0.0f; // degrees
    bool operator==(const TrackPoint&) const = default;
};
constexpr std::size_t kTrackPointSize = 24;
using TrackPointBytes = std::array<std::uint8_t, kTrackPointSize>;
TrackPointBytes encode(const TrackPoint& point);
std::optional<TrackPoint> decodeTrackPoint(std::span<const std::uint8_t> bytes);

// One accepted position as the navigation view takes it.
struct FixEvent {
    std::uint16_t year = 0; // the date the fix time was computed from
    std::uint8_t month = 0;
    std::uint8_t day = 0;
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    std::int32_t microsecond = 0; // of fixSeconds
    double fixTime = 0.0;
    double latitude = 0.0;
    double longitude = 0.0;
    char latHemisphere = 0;
    char lonHemisphere = 0;
    double east = 0.0;
    double north = 0.0;
    double speed = 0.0;
    double course = 0.0;
    double distance = 0.0; // metres from the previous event's grid position
    bool operator==(const FixEvent&) const = default;
};
namespace event_offset {
constexpr std::size_t year = 0, month = 2, day = 3, hour = 4, minute = 5, second = 6,
                      microsecond = 8, fixTime = 16, latitude = 24, longitude = 32,
                      latHemisphere = 40, lonHemisphere = 41, east = 48, north = 56, speed = 72,
                      course = 80, distance = 88;
} // namespace event_offset
constexpr std::size_t kFixEventSize = 136;
static_assert(event_offset::distance + 8 <= kFixEventSize);
using FixEventBytes = std::array<std::uint8_t, kFixEventSize>;
FixEventBytes encode(const FixEvent& event);
std::optional<FixEvent> decodeFixEvent(std::span<const std::uint8_t> bytes);

// The position block appended to a raw recording: a fixed header, the fix, a trailer.
namespace nav_block {
constexpr std::uint32_t kSync = 0x00101702;
constexpr std::uint32_t kMarker = 0x0000FFFF;
constexpr std::uint16_t kVersion = 1;
constexpr std::uint16_t kTypePosition = 6;
constexpr std::uint16_t kTypeTime = 7;
constexpr std::uint32_t kPayloadLength = 156;
constexpr std::uint32_t kTrailer = 0xAAAA5555;
constexpr std::size_t kOffsetFix = 16;
constexpr std::size_t kOffsetTrailer = 168;
constexpr std::size_t kSize = 172;
static_assert(kOffsetFix + kPositionFixSize == kOffsetTrailer);
static_assert(kOffsetTrailer + 4 == kSize);
} // namespace nav_block
using NavBlockBytes = std::array<std::uint8_t, nav_block::kSize>;
// The block type follows the fix kind: 6 for a position, 7 for a time message.
NavBlockBytes encodeNavBlock(const PositionFix& fix);
// nullopt unless the bytes hold a whole block with its sync words, type and length.
std::optional<PositionFix> decodeNavBlock(std::span<const std::uint8_t> bytes);

} // namespace kestrova::position
