#pragma once
// The "Mosaic" layer of the navigation map: the HF pings, as the towfish
// placement puts them, drawn on the ground while they arrive (live or played
// back), so the surveyor sees the coverage as a picture of the seabed. A
// pyramid of canvases, 0.25 m to 16 m a cell, each painted as the pings come;
// the map draws from the level nearest its scale. Each level keeps a bounded
// number of tiles in memory.

#include "navigation/mosaic_canvas.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kestrova::navigation {

class LiveMosaic {
  public:
    static constexpr int kLevels = 4;
    static constexpr double kBaseCell = 0.25; // m; each level 4 times coarser

    LiveMosaic();
    // One placed ping: the placement's record and the ping's history line.
    void addLine(const PingPositionRecord& rec, std::span<const std::uint8_t> historyLine);
    void clear();

    // The finest level whose cells are no smaller than half a screen pixel.
    int levelFor(double metresPerPixel) const;
    MosaicCanvas& level(int i) { return *levels_[static_cast<std::size_t>(i)]; }
    bool empty() const { return levels_[0]->empty(); }
    std::uint64_t lines() const { return lines_; }

  private:
    std::array<std::unique_ptr<MosaicCanvas>, kLevels> levels_;
    GroundTrack ground_;
    std::vector<std::uint16_t> port_, starboard_;
    std::uint64_t lines_ = 0;
};

} // namespace kestrova::navigation
