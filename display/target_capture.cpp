#include "display/target_capture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace kestrova::display {

TargetSnapshot::TargetSnapshot()
    : samples(new std::uint16_t[std::size_t{kMaxPings} * kRowSamples]()),
      headers(new std::uint8_t[std::size_t{kMaxPings} * HistoryRing::kHeaderBytes]()),
      positions(new std::uint8_t[std::size_t{kMaxPings} * kPositionRecordBytes]()) {}

std::optional<std::uint32_t> captureTarget(const ViewPipeline& view, const PositionRing& positions,
                                           const CaptureRequest& req, TargetSnapshot& out,
                                           const std::function<void()>& beforeCopy) {
    const std::uint64_t received = view.pingsReceived();
    if (!req.projectOpen || received == 0) return std::nullopt;
    const HistoryRing& ring = view.ring();
    const DataWindow& window = view.dataWindow();

    const std::uint32_t last = HistoryRing::wrap(std::int64_t{ring.intakePosition} - 1);
    std::int64_t n = std::max(req.waterfallHeight, 0);
    n = std::min<std::int64_t>(n, HistoryRing::kLines);
    std::uint32_t firstLine;
    if (received <= static_cast<std::uint64_t>(n)) {
        n = static_cast<std::int64_t>(received);
        firstLine = 0;
    } else {
        firstLine = HistoryRing::wrap(std::int64_t{last} - n + 1);
    }
    if (req.waterfallHeight <= 0) return std::nullopt;

    const float rf = static_cast<float>(window.height) *
                     static_cast<float>(req.y - req.waterfallTop) /
                     static_cast<float>(req.waterfallHeight);
    if (!(rf >= 0.0f)) return std::nullopt; // above the waterfall
    const auto r = static_cast<std::uint64_t>(std::floor(rf));
    if (r >= received) return std::nullopt;
    const int h = std::abs(req.waterfallWidth) / 2;
    if (h <= 0) return std::nullopt;
    if (beforeCopy) beforeCopy();

    const std::uint32_t m = HistoryRing::wrap(std::int64_t{last} - std::int64_t{window.top} -
                                              static_cast<std::int64_t>(r));
    std::uint32_t side = 0;
    int xs = req.x;
    if (req.x > h) {
        side = 1;
        xs = req.x - h;
    }
    const std::uint32_t count = side == 0 ? ring.portCount[m] : ring.starboardCount[m];
    out.frequency = view.frequency();
    out.side = side;
    out.sampleCount = count;
    out.markedSample = static_cast<std::uint32_t>(std::max(
        0.0f,
        std::floor(static_cast<float>(count) * static_cast<float>(xs) / static_cast<float>(h))));
    out.pingCount = static_cast<std::uint32_t>(n);
    out.markSet = false;
    out.markedPing = 0;
    out.pingsAfterMark = 0;
    for (std::uint32_t i = 0; i < out.pingCount; ++i) {
        const std::uint32_t line = (firstLine + i) % HistoryRing::kLines;
        const auto half = side == 0 ? ring.port(line) : ring.starboard(line);
        const std::size_t copy = std::min<std::size_t>(count, half.size());
        std::uint16_t* row = out.samples.get() + std::size_t{i} * TargetSnapshot::kRowSamples;
        std::memcpy(row, half.data(), copy * 2);
        std::memcpy(out.headers.get() + std::size_t{i} * HistoryRing::kHeaderBytes,
                    ring.header(line).data(), HistoryRing::kHeaderBytes);
        std::memcpy(out.positions.get() + std::size_t{i} * TargetSnapshot::kPositionRecordBytes,
                    positions.record(line).data(), TargetSnapshot::kPositionRecordBytes);
        if (line == m && !out.markSet) {
            out.markSet = true;
            out.markedPing = i;
            out.pingsAfterMark = out.pingCount - i;
        }
    }
    out.palette = req.palette;
    out.invert = req.invert;
    out.strength = req.strength;
    return side;
}

} // namespace kestrova::display
