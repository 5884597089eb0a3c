#include "navigation/live_mosaic.h"

#include "acquisition/xtf_writer.h"

namespace kestrova::navigation {

namespace {
double cellOf(int level) {
    double c = LiveMosaic::kBaseCell;
    for (int i = 0; i < level; ++i)
        c *= 4.0;
    return c;
}
} // namespace

LiveMosaic::LiveMosaic() {
    clear();
}

void LiveMosaic::clear() {
    // 64 tiles a level in memory (16 MiB); the rest waits in the scratch file.
    for (int i = 0; i < kLevels; ++i)
        levels_[static_cast<std::size_t>(i)] = std::make_unique<MosaicCanvas>(cellOf(i), 64);
    ground_.reset();
    lines_ = 0;
}

void LiveMosaic::addLine(const PingPositionRecord& rec, std::span<const std::uint8_t> historyLine) {
    if (!acquisition::xtfInputFromHistoryLine(historyLine, port_, starboard_)) return;
    const GroundLine g = ground_.next(rec, port_, starboard_);
    for (auto& level : levels_)
        paintLine(*level, g);
    ++lines_;
}

int LiveMosaic::levelFor(double metresPerPixel) const {
    int level = 0;
    while (level + 1 < kLevels && cellOf(level + 1) <= metresPerPixel * 2.0)
        ++level;
    return level;
}

} // namespace kestrova::navigation
