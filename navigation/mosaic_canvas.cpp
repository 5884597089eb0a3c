#include "navigation/mosaic_canvas.h"

#include <algorithm>
#include <cmath>

namespace kestrova::navigation {
namespace {

constexpr std::size_t kCellsPerTile =
    std::size_t{MosaicCanvas::kTileCells} * MosaicCanvas::kTileCells;
constexpr std::size_t kTileBytes = kCellsPerTile * 4;
constexpr double kPi = 3.14159265358979323846;
// A ping covers at most this much of the track (a gap in the fixes is no coverage).
constexpr double kMaxAlongMetres = 5.0;

// Tiles of 256 cells: the tile of a cell and the cell within it are a shift
// and a mask (rounding toward minus infinity, as a floor division does).
static_assert(MosaicCanvas::kTileCells == 256);
constexpr int kTileShift = 8;
constexpr std::int64_t kTileMask = 255;

// floor(v) as an integer, for |v| well inside the 64-bit range (the cells of
// 1e8 m at 2 cm); the same value as the library's floor without its call.
std::int64_t floorToInt(double v) {
    const auto t = static_cast<std::int64_t>(v);
    return static_cast<double>(t) > v ? t - 1 : t;
}

} // namespace

MosaicCanvas::MosaicCanvas(double cellMetres, std::size_t maxTilesInMemory)
    : cell_(cellMetres), maxTiles_(std::max<std::size_t>(maxTilesInMemory, 4)) {}

MosaicCanvas::~MosaicCanvas() {
    if (scratch_) std::fclose(scratch_);
}

void MosaicCanvas::evictOldest() {
    const TileKey key = ages_.back();
    ages_.pop_back();
    auto it = resident_.find(key);
    if (!scratch_) scratch_ = std::tmpfile();
    if (!scratch_) {
        ok_ = false;
    } else {
        auto at = stored_.find(key);
        std::int64_t offset = at != stored_.end() ? at->second : scratchEnd_;
        if (at == stored_.end()) {
            stored_[key] = offset;
            scratchEnd_ += static_cast<std::int64_t>(kTileBytes);
        }
        // The tile's cells little-endian, values then distances.
        std::vector<std::uint8_t> bytes(kTileBytes);
        for (std::size_t i = 0; i < kCellsPerTile; ++i) {
            bytes[2 * i] = static_cast<std::uint8_t>(it->second.value[i]);
            bytes[2 * i + 1] = static_cast<std::uint8_t>(it->second.value[i] >> 8);
            bytes[2 * kCellsPerTile + 2 * i] = static_cast<std::uint8_t>(it->second.nadirCm[i]);
            bytes[2 * kCellsPerTile + 2 * i + 1] =
                static_cast<std::uint8_t>(it->second.nadirCm[i] >> 8);
        }
        if (std::fseek(scratch_, static_cast<long>(offset), SEEK_SET) != 0 ||
            std::fwrite(bytes.data(), 1, bytes.size(), scratch_) != bytes.size())
            ok_ = false;
    }
    if (lastTile_ == &it->second) {
        lastTile_ = nullptr;
        lastKey_ = {INT64_MIN, INT64_MIN};
    }
    resident_.erase(it);
}

MosaicCanvas::Tile* MosaicCanvas::tile(TileKey key) {
    if (lastTile_ && key == lastKey_) return lastTile_;
    auto it = resident_.find(key);
    if (it != resident_.end()) {
        ages_.splice(ages_.begin(), ages_, it->second.age);
    } else {
        if (resident_.size() >= maxTiles_) evictOldest();
        Tile t;
        t.value.assign(kCellsPerTile, kEmpty);
        t.nadirCm.assign(kCellsPerTile, kFarCm);
        auto at = stored_.find(key);
        if (at != stored_.end() && scratch_) {
            std::vector<std::uint8_t> bytes(kTileBytes);
            if (std::fseek(scratch_, static_cast<long>(at->second), SEEK_SET) != 0 ||
                std::fread(bytes.data(), 1, bytes.size(), scratch_) != bytes.size()) {
                ok_ = false;
            } else {
                for (std::size_t i = 0; i < kCellsPerTile; ++i) {
                    t.value[i] = static_cast<std::uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
                    t.nadirCm[i] = static_cast<std::uint16_t>(
                        bytes[2 * kCellsPerTile + 2 * i] |
                        bytes[2 * kCellsPerTile + 2 * i + 1] << 8);
                }
            }
        }
        ages_.push_front(key);
        t.age = ages_.begin();
        it = resident_.emplace(key, std::move(t)).first;
        if (known_.emplace(key, true).second) {
            if (known_.size() == 1) {
                first_ = last_ = key;
            } else {
                first_ = {std::min(first_.column, key.column), std::min(first_.row, key.row)};
                last_ = {std::max(last_.column, key.column), std::max(last_.row, key.row)};
            }
        }
    }
    lastKey_ = key;
    lastTile_ = &it->second;
    return lastTile_;
}

void MosaicCanvas::put(double east, double north, std::uint16_t value, double nadirMetres) {
    if (!std::isfinite(east) || !std::isfinite(north) || std::abs(east) > 1e8 ||
        std::abs(north) > 1e8)
        return;
    const std::int64_t column = floorToInt(east / cell_);
    const std::int64_t row = floorToInt(-north / cell_);
    const TileKey key{column >> kTileShift, row >> kTileShift};
    // Most samples fall into the tile of the one before.
    Tile* t = lastTile_ && key == lastKey_ ? lastTile_ : tile(key);
    const std::size_t i = static_cast<std::size_t>(row & kTileMask) * kTileCells +
                          static_cast<std::size_t>(column & kTileMask);
    const double cm = std::clamp(nadirMetres * 100.0, 0.0, 65534.0);
    const auto d = static_cast<std::uint16_t>(cm);
    if (d > t->nadirCm[i]) return;
    t->nadirCm[i] = d;
    t->value[i] = std::max<std::uint16_t>(value, 1);
}

bool MosaicCanvas::tileValues(TileKey key, std::vector<std::uint16_t>& out) {
    if (known_.find(key) == known_.end()) return false;
    const Tile* t = tile(key);
    out = t->value;
    return true;
}

void paintLine(MosaicCanvas& canvas, const GroundLine& line) {
    if (!(line.sampleMetres > 0.0)) return;
    const double h = line.headingDegrees * kPi / 180.0;
    const double ae = std::sin(h), an = std::cos(h);  // along the heading
    const double se = std::cos(h), sn = -std::sin(h); // to starboard
    const double step = canvas.cellMetres() / 2.0;
    const double alt = std::max(line.altitude, 0.0);
    // In a turn the gap to the previous ping's samples grows with the ground
    // range on the outer side and shrinks on the inner one.
    const double turn = std::isfinite(line.turnDegrees) ? line.turnDegrees * kPi / 180.0 : 0.0;
    for (int side = 0; side < 2; ++side) {
        const auto samples = side == 0 ? line.port : line.starboard;
        const double sign = side == 0 ? -1.0 : 1.0;
        const double slantMax = static_cast<double>(samples.size()) * line.sampleMetres;
        if (slantMax <= alt) continue;
        const double groundMax = std::sqrt(slantMax * slantMax - alt * alt);
        for (double x = 0.0; x < groundMax; x += step) {
            // Flat seabed: the sample of ground range x lies at slant sqrt(x^2 + alt^2).
            const double slant = std::sqrt(x * x + alt * alt);
            const auto index = static_cast<std::size_t>(slant / line.sampleMetres);
            if (index >= samples.size()) break;
            const std::uint16_t v = samples[index];
            const double ce = line.east + sign * x * se;
            const double cn = line.north + sign * x * sn;
            const double gap = std::abs(line.alongMetres - sign * x * turn);
            const double half = std::clamp(gap, canvas.cellMetres(), kMaxAlongMetres) / 2.0;
            for (double a = -half; a < half; a += step)
                canvas.put(ce + a * ae, cn + a * an, v, x);
        }
    }
}

GroundLine GroundTrack::next(const PingPositionRecord& rec, std::span<const std::uint16_t> port,
                             std::span<const std::uint16_t> starboard) {
    GroundLine g;
    g.east = rec.easting;
    g.north = rec.northing;
    g.headingDegrees = rec.heading;
    g.altitude = rec.altitude;
    g.sampleMetres = port.empty() ? 0.0 : rec.range / static_cast<double>(port.size());
    const double step = have_ ? std::hypot(g.east - east_, g.north - north_) : 0.0;
    g.alongMetres = std::min(step, kMaxAlongMetres);
    if (have_ && std::isfinite(g.headingDegrees) && std::isfinite(heading_))
        g.turnDegrees = std::remainder(g.headingDegrees - heading_, 360.0);
    have_ = true;
    east_ = g.east;
    north_ = g.north;
    heading_ = g.headingDegrees;
    g.port = port;
    g.starboard = starboard;
    return g;
}

} // namespace kestrova::navigation
