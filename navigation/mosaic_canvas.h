#pragma once
// A mosaic's raster while it is being painted (the GeoTIFF of kestrova-cli
// mosaic, the live layer of the navigation map): square tiles of 256 x 256
// cells on an unbounded grid in metres, each cell holding the display sample
// that lies nearest its own nadir so far. Only a bounded number of tiles stays
// in memory; the others wait in a scratch file, so a survey of any length
// mosaics in constant memory.

#include "position/ping_position_record.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <span>
#include <vector>

namespace kestrova::navigation {

struct TileKey {
    std::int64_t column = 0; // east, in tiles
    std::int64_t row = 0;    // south, in tiles (row 0 starts at northing 0)
    auto operator<=>(const TileKey&) const = default;
};

class MosaicCanvas {
  public:
    static constexpr int kTileCells = 256;
    static constexpr std::uint16_t kEmpty = 0;    // no sample: the file's nodata
    static constexpr std::uint16_t kFarCm = 0xFFFF; // nadir distance of an empty cell

    // `cellMetres`: the resolution; `maxTilesInMemory` bounds the memory
    // (each tile 256 KiB).
    MosaicCanvas(double cellMetres, std::size_t maxTilesInMemory = 256);
    ~MosaicCanvas();
    MosaicCanvas(const MosaicCanvas&) = delete;
    MosaicCanvas& operator=(const MosaicCanvas&) = delete;

    double cellMetres() const { return cell_; }

    // One sample on the ground: `value` (0 is kept for "no data" and becomes
    // 1), `nadirMetres` its distance from the fish's track. The nearer to
    // nadir wins a cell; a tie goes to the later ping.
    void put(double east, double north, std::uint16_t value, double nadirMetres);

    bool empty() const { return known_.empty(); }
    // The smallest box of tiles holding every painted cell.
    TileKey first() const { return first_; }
    TileKey last() const { return last_; }

    // Values of one tile (row by row, north first); false when it was never
    // painted. Scratch file failures are reported through ok().
    bool tileValues(TileKey key, std::vector<std::uint16_t>& out);
    bool ok() const { return ok_; }
    std::size_t tilesInMemory() const { return resident_.size(); }

  private:
    struct Tile {
        std::vector<std::uint16_t> value;
        std::vector<std::uint16_t> nadirCm;
        std::list<TileKey>::iterator age;
    };
    Tile* tile(TileKey key);
    void evictOldest();

    double cell_;
    std::size_t maxTiles_;
    std::map<TileKey, Tile> resident_;
    std::list<TileKey> ages_;                     // most recently used first
    std::map<TileKey, std::int64_t> stored_;      // offset in the scratch file
    std::map<TileKey, bool> known_;               // every tile ever painted
    std::FILE* scratch_ = nullptr;
    std::int64_t scratchEnd_ = 0;
    TileKey first_, last_;
    TileKey lastKey_{INT64_MIN, INT64_MIN};
    Tile* lastTile_ = nullptr;
    bool ok_ = true;
};

// One display line laid on the ground: the fish at (east, north) heading
// `headingDegrees`, the line's samples nadir first, `sampleMetres` of slant
// range each, the fish `altitude` above a flat seabed; painted across
// `alongMetres` of track centred on the fish.
struct GroundLine {
    double east = 0.0;
    double north = 0.0;
    double headingDegrees = 0.0;
    double altitude = 0.0;
    double sampleMetres = 0.0;
    double alongMetres = 0.0;
    // The heading's change since the previous ping, degrees clockwise: in a
    // turn the outer side's samples lie farther apart the farther out they are.
    double turnDegrees = 0.0;
    std::span<const std::uint16_t> port;
    std::span<const std::uint16_t> starboard;
};
void paintLine(MosaicCanvas& canvas, const GroundLine& line);

// Placed pings one after another: each line covers the track from half way
// back to the previous ping to half way on (no more than 5 m), at the
// towfish position, heading and altitude of the placement's record; in a turn
// the outer side's samples cover the wider gap between the two pings there.
class GroundTrack {
  public:
    GroundLine next(const PingPositionRecord& rec, std::span<const std::uint16_t> port,
                    std::span<const std::uint16_t> starboard);
    void reset() { have_ = false; }

  private:
    bool have_ = false;
    double east_ = 0.0, north_ = 0.0, heading_ = 0.0;
};

} // namespace kestrova::navigation
