#include "position/position_fix.h"

#include "platform/bytes.h"

namespace kestrova::position {

namespace {

void write(ByteWriter& w, const PositionFix& f, std::size_t base) {
    namespace o = fix_offset;
    w.i32le(base + o::kind, f.kind);
    w.i32le(base + o::year, f.year);
    w.i32le(base + o::month, f.month);
    w.i32le(base + o::day, f.day);
    w.i32le(base + o::fixHour, f.fixHour);
    w.i32le(base + o::fixMinute, f.fixMinute);
    w.i32le(base + o::hour, f.hour);
    w.i32le(base + o::minute, f.minute);
    w.i32le(base + o::second, f.second);
    w.i32le(base + o::microsecond, f.microsecond);
    w.f64le(base + o::fixSeconds, f.fixSeconds);
    w.f64le(base + o::fixTime, f.fixTime);
    w.f64le(base + o::clockTime, f.clockTime);
    w.f64le(base + o::latitude, f.latitude);
    w.f64le(base + o::longitude, f.longitude);
    w.f64le(base + o::height, f.height);
    w.u8(base + o::latHemisphere, static_cast<std::uint8_t>(f.latHemisphere));
    w.u8(base + o::lonHemisphere, static_cast<std::uint8_t>(f.lonHemisphere));
    w.f64le(base + o::east, f.east);
    w.f64le(base + o::north, f.north);
    w.f64le(base + o::auxHeight, f.auxHeight);
    w.i32le(base + o::quality, f.quality);
    w.i32le(base + o::satellites, f.satellites);
    w.f64le(base + o::hdop, f.hdop);
    w.f64le(base + o::speed, f.speed);
    w.f64le(base + o::course, f.course);
}

PositionFix read(const ByteReader& r, std::size_t base) {
    namespace o = fix_offset;
    PositionFix f;
    f.kind = *r.i32le(base + o::kind);
    f.year = *r.i32le(base + o::year);
    f.month = *r.i32le(base + o::month);
    f.day = *r.i32le(base + o::day);
    f.fixHour = *r.i32le(base + o::fixHour);
    f.fixMinute = *r.i32le(base + o::fixMinute);
    f.hour = *r.i32le(base + o::hour);
    f.minute = *r.i32le(base + o::minute);
    f.second = *r.i32le(base + o::second);
    f.microsecond = *r.i32le(base + o::microsecond);
    f.fixSeconds = *r.f64le(base + o::fixSeconds);
    f.fixTime = *r.f64le(base + o::fixTime);
    f.clockTime = *r.f64le(base + o::clockTime);
    f.latitude = *r.f64le(base + o::latitude);
    f.longitude = *r.f64le(base + o::longitude);
    f.height = *r.f64le(base + o::height);
    f.latHemisphere = static_cast<char>(*r.u8(base + o::latHemisphere));
    f.lonHemisphere = static_cast<char>(*r.u8(base + o::lonHemisphere));
    f.east = *r.f64le(base + o::east);
    f.north = *r.f64le(base + o::north);
    f.auxHeight = *r.f64le(base + o::auxHeight);
    f.quality = *r.i32le(base + o::quality);
    f.satellites = *r.i32le(base + o::satellites);
    f.hdop = *r.f64le(base + o::hdop);
    f.speed = *r.f64le(base + o::speed);
    f.course = *r.f64le(base + o::course);
    return f;
}

} // namespace

PositionFixBytes encode(const PositionFix& fix) {
    PositionFixBytes out{};
    ByteWriter w(out);
    write(w, fix, 0);
    return out;
}

std::optional<PositionFix> decodePositionFix(std::span<const std::uint8_t> bytes) {
    ByteReader r(bytes);
    if (!r.has(0, kPositionFixSize)) return std::nullopt;
    return read(r, 0);
}

TrackPointBytes encode(const TrackPoint& point) {
    TrackPointBytes out{};
    ByteWriter w(out);
    w.f64le(0, point.east);
    w.f64le(8, point.north);
    w.f32le(16, point.speed);
    w.f32le(20, point.course);
    return out;
}

std::optional<TrackPoint> decodeTrackPoint(std::span<const std::uint8_t> bytes) {
    ByteReader r(bytes);
    if (!r.has(0, kTrackPointSize)) return std::nullopt;
    return TrackPoint{*r.f64le(0), *r.f64le(8), *r.f32le(16), *r.f32le(20)};
}

FixEventBytes encode(const FixEvent& e) {
    namespace o = event_offset;
    FixEventBytes out{};
    ByteWriter w(out);
    w.u16le(o::year, e.year);
    w.u8(o::month, e.month);
    w.u8(o::day, e.day);
    w.u8(o::hour, e.hour);
    w.u8(o::minute, e.minute);
    w.u8(o::second, e.second);
    w.i32le(o::microsecond, e.microsecond);
    w.f64le(o::fixTime, e.fixTime);
    w.f64le(o::latitude, e.latitude);
    w.f64le(o::longitude, e.longitude);
    w.u8(o::latHemisphere, static_cast<std::uint8_t>(e.latHemisphere));
    w.u8(o::lonHemisphere, static_cast<std::uint8_t>(e.lonHemisphere));
    w.f64le(o::east, e.east);
    w.f64le(o::north, e.north);
    w.f64le(o::speed, e.speed);
    w.f64le(o::course, e.course);
    w.f64le(o::distance, e.distance);
    return out;
}

std::optional<FixEvent> decodeFixEvent(std::span<const std::uint8_t> bytes) {
    namespace o = event_offset;
    ByteReader r(bytes);
    if (!r.has(0, kFixEventSize)) return std::nullopt;
    FixEvent e;
    e.year = *r.u16le(o::year);
    e.month = *r.u8(o::month);
    e.day = *r.u8(o::day);
    e.hour = *r.u8(o::hour);
    e.minute = *r.u8(o::minute);
    e.second = *r.u8(o::second);
    e.microsecond = *r.i32le(o::microsecond);
    e.fixTime = *r.f64le(o::fixTime);
    e.latitude = *r.f64le(o::latitude);
    e.longitude = *r.f64le(o::longitude);
    e.latHemisphere = static_cast<char>(*r.u8(o::latHemisphere));
    e.lonHemisphere = static_cast<char>(*r.u8(o::lonHemisphere));
    e.east = *r.f64le(o::east);
    e.north = *r.f64le(o::north);
    e.speed = *r.f64le(o::speed);
    e.course = *r.f64le(o::course);
    e.distance = *r.f64le(o::distance);
    return e;
}

NavBlockBytes encodeNavBlock(const PositionFix& fix) {
    NavBlockBytes out{};
    ByteWriter w(out);
    w.u32le(0, nav_block::kSync);
    w.u32le(4, nav_block::kMarker);
    w.u16le(8, nav_block::kVersion);
    w.u16le(10, fix.kind == kFixTime ? nav_block::kTypeTime : nav_block::kTypePosition);
    w.u32le(12, nav_block::kPayloadLength);
    write(w, fix, nav_block::kOffsetFix);
    w.u32le(nav_block::kOffsetTrailer, nav_block::kTrailer);
    return out;
}

std::optional<PositionFix> decodeNavBlock(std::span<const std::uint8_t> bytes) {
    ByteReader r(bytes);
    if (!r.has(0, nav_block::kSize)) return std::nullopt;
    if (*r.u32le(0) != nav_block::kSync || *r.u32le(4) != nav_block::kMarker ||
        *r.u16le(8) != nav_block::kVersion || *r.u32le(12) != nav_block::kPayloadLength ||
        *r.u32le(nav_block::kOffsetTrailer) != nav_block::kTrailer)
        return std::nullopt;
    std::uint16_t type = *r.u16le(10);
    if (type != nav_block::kTypePosition && type != nav_block::kTypeTime) return std::nullopt;
    return read(r, nav_block::kOffsetFix);
}

} // namespace kestrova::position
