#pragma once
// Where a point of a target picture lies on the seabed, and the length, width
// and height the operator measures on it. The picture shows N pings of one
// side, newest at the top; a port picture is mirrored (outer end on the left),
// as on the waterfall.

#include "display/target_capture.h"

#include <cstdint>
#include <optional>
#include <span>

namespace kestrova::targets {

struct GroundPoint {
    double east = 0.0;  // X, metres
    double north = 0.0; // Y, metres
};

// The ping's time (seconds since 1970 from its header, the clock the position
// records use), or 0 when the header carries no usable date.
double pingTimeOf(std::span<const std::uint8_t> header);

// Ground point of picture sample `pictureSample` (0 at the picture's left edge)
// of one ping. Nothing when the position record is not the ping's (times more
// than 1e-5 s apart, or no record), the sample rate is 0 or the record's range
// is not positive. Decimation 0 counts as 1. The heading is the one the
// navigation used for the record; port lies to the left of it, starboard to
// the right.
std::optional<GroundPoint> locateSample(std::span<const std::uint8_t> header,
                                        std::span<const std::uint8_t> record, std::uint32_t side,
                                        double pictureSample, std::uint32_t sideSamples,
                                        double soundSpeed);
// The marked point of a snapshot.
std::optional<GroundPoint> locateMark(const display::TargetSnapshot& s, std::uint32_t markedPing,
                                      std::uint32_t markedSample, double soundSpeed);

// The drawing area and the parts of the snapshot it shows.
struct PictureGeometry {
    int left = 0, top = 0, width = 0, height = 0;
    std::uint32_t pings = 0;       // N
    std::uint32_t firstSample = 0; // visible sample span
    std::uint32_t visibleSamples = 0;
    std::uint32_t firstPing = 0; // visible ping span, counted from the newest
    std::uint32_t visiblePings = 0;
};
// Ping index under row y (N − visible × (y − top) ÷ height, at most N − 1);
// nothing outside the pings.
std::optional<std::uint32_t> pingAt(const PictureGeometry& g, int y);
// Picture sample under column x; nothing outside the area.
std::optional<double> sampleAt(const PictureGeometry& g, int x);
// Marker position for a mark, or nothing when it lies outside the spans.
struct PixelPoint {
    int x = -20, y = -20;
};
std::optional<PixelPoint> markerAt(const PictureGeometry& g, std::uint32_t markedSample,
                                   std::uint32_t pingsAfterMark);

// Ground point under a pixel of the picture.
std::optional<GroundPoint> locatePixel(const display::TargetSnapshot& s, const PictureGeometry& g,
                                       int x, int y, double soundSpeed);

double groundDistance(const GroundPoint& a, const GroundPoint& b);

// Height of an object from its shadow on one range line: a the first bottom
// return, b the start and e the end of the shadow, all range samples from
// the towfish. Nothing unless 0 < b < e and a >= 0, or when the sample rate
// is 0 (decimation 0 counts as 1).
std::optional<double> shadowHeightSamples(double a, double b, double e);
std::optional<double> shadowHeightMetres(double a, double b, double e, double soundSpeed,
                                         std::uint32_t sampleRate, std::uint32_t decimation);
// Range sample (from the towfish) of a picture sample: port pictures count
// from the outer end.
double rangeSampleOf(std::uint32_t side, double pictureSample, std::uint32_t sideSamples);

} // namespace kestrova::targets
