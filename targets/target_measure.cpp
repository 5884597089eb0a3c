#include "targets/target_measure.h"

#include "acquisition/frame_format.h"
#include "position/ping_position_record.h"
#include "position/time_stamp.h"

#include <cmath>
#include <numbers>

namespace kestrova::targets {

using acquisition::PingHeader;

double pingTimeOf(std::span<const std::uint8_t> header) {
    const auto h = PingHeader::decode(header);
    if (!h) return 0.0;
    return epochSeconds(CivilDate{h->year, h->month, h->day}, h->hour, h->minute,
                        h->second + h->microseconds / 1000000.0);
}

double rangeSampleOf(std::uint32_t side, double pictureSample, std::uint32_t sideSamples) {
    return side == 0 ? static_cast<double>(sideSamples) - pictureSample : pictureSample;
}

std::optional<GroundPoint> locateSample(std::span<const std::uint8_t> header,
                                        std::span<const std::uint8_t> recordBytes,
                                        std::uint32_t side, double pictureSample,
                                        std::uint32_t sideSamples, double soundSpeed) {
    const auto h = PingHeader::decode(header);
    if (!h || recordBytes.size() < PingPositionRecord::kBytes) return std::nullopt;
    const PingPositionRecord rec = PingPositionRecord::decode(recordBytes);
    const double t = pingTimeOf(header);
    // An empty record and an undated ping both read 0: no match.
    if (!rec.valid || t <= 0.0 || !(std::fabs(t - rec.time) <= 1e-5)) return std::nullopt;
    const acquisition::PingChannelBlock& block = side == 0 ? h->port : h->starboard;
    if (block.sampleRate == 0 || !(rec.range > 0.0) || !(soundSpeed > 0.0)) return std::nullopt;
    const double decimation = block.decimation == 0 ? 1.0 : block.decimation;
    const double index = rangeSampleOf(side, pictureSample, sideSamples);
    if (!(index >= 0.0)) return std::nullopt;
    const double swath = side == 0 ? rec.swathPort : rec.swathStarboard;
    const double d = index * soundSpeed / 2.0 / (block.sampleRate / decimation) * swath / rec.range;
    const double a = rec.heading * std::numbers::pi / 180.0;
    // Starboard lies to the right of the heading, port to the left.
    const double sign = side == 0 ? -1.0 : 1.0;
    GroundPoint p{rec.easting + sign * d * std::cos(a), rec.northing - sign * d * std::sin(a)};
    if (!std::isfinite(p.east) || !std::isfinite(p.north)) return std::nullopt;
    return p;
}

std::optional<GroundPoint> locateMark(const display::TargetSnapshot& s, std::uint32_t markedPing,
                                      std::uint32_t markedSample, double soundSpeed) {
    if (markedPing >= s.pingCount) return std::nullopt;
    return locateSample({s.headers.get() + std::size_t{markedPing} * 228, 228},
                        {s.positions.get() + std::size_t{markedPing} * 136, 136}, s.side,
                        markedSample, s.sampleCount, soundSpeed);
}

std::optional<std::uint32_t> pingAt(const PictureGeometry& g, int y) {
    if (g.height <= 0 || g.pings == 0 || y < g.top) return std::nullopt;
    const double v = static_cast<double>(g.visiblePings) * (y - g.top) / g.height;
    const double index = static_cast<double>(g.pings) - g.firstPing - v;
    if (index < 0.0) return std::nullopt;
    const auto i = static_cast<std::uint32_t>(std::floor(index));
    return std::min(i, g.pings - 1);
}

std::optional<double> sampleAt(const PictureGeometry& g, int x) {
    if (g.width <= 0 || x < g.left || x > g.left + g.width) return std::nullopt;
    return g.firstSample + static_cast<double>(g.visibleSamples) * (x - g.left) / g.width;
}

std::optional<PixelPoint> markerAt(const PictureGeometry& g, std::uint32_t markedSample,
                                   std::uint32_t pingsAfterMark) {
    if (g.visibleSamples == 0 || g.visiblePings == 0) return std::nullopt;
    if (markedSample < g.firstSample || markedSample >= g.firstSample + g.visibleSamples)
        return std::nullopt;
    if (pingsAfterMark <= g.firstPing || pingsAfterMark > g.firstPing + g.visiblePings)
        return std::nullopt;
    PixelPoint p;
    p.x = g.left + static_cast<int>(static_cast<double>(g.width) * (markedSample - g.firstSample) /
                                    g.visibleSamples);
    p.y = g.top + static_cast<int>(static_cast<double>(g.height) * (pingsAfterMark - g.firstPing) /
                                   g.visiblePings);
    return p;
}

std::optional<GroundPoint> locatePixel(const display::TargetSnapshot& s, const PictureGeometry& g,
                                       int x, int y, double soundSpeed) {
    const auto ping = pingAt(g, y);
    const auto sample = sampleAt(g, x);
    if (!ping || !sample || *ping >= s.pingCount) return std::nullopt;
    return locateSample({s.headers.get() + std::size_t{*ping} * 228, 228},
                        {s.positions.get() + std::size_t{*ping} * 136, 136}, s.side,
                        std::floor(*sample), s.sampleCount, soundSpeed);
}

double groundDistance(const GroundPoint& a, const GroundPoint& b) {
    return std::hypot(a.east - b.east, a.north - b.north);
}

std::optional<double> shadowHeightSamples(double a, double b, double e) {
    if (!(e >= 1.0) || !(b > 0.0) || !(b < e) || !(a >= 0.0)) return std::nullopt;
    return (e - b) * a / e;
}

std::optional<double> shadowHeightMetres(double a, double b, double e, double soundSpeed,
                                         std::uint32_t sampleRate, std::uint32_t decimation) {
    const auto samples = shadowHeightSamples(a, b, e);
    if (!samples || sampleRate == 0 || !(soundSpeed > 0.0)) return std::nullopt;
    const double dec = decimation == 0 ? 1.0 : decimation;
    const double h = *samples * soundSpeed * dec / sampleRate * 0.5;
    if (!std::isfinite(h)) return std::nullopt;
    return h;
}

} // namespace kestrova::targets
