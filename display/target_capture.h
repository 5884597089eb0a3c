#pragma once
// Target capture: a right double click on a waterfall copies the lines around
// the pointer (one side, up to 1080 pings) with their headers and per-ping
// position records into the current snapshot, which the target view then
// shows and the target files store.

#include "display/view_pipeline.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace kestrova::display {

// The current snapshot, allocated once at its full size (about 50 MB).
struct TargetSnapshot {
    static constexpr std::uint32_t kMaxPings = HistoryRing::kLines;
    static constexpr std::uint32_t kRowSamples = 23260;
    static constexpr std::size_t kPositionRecordBytes = 136;

    TargetSnapshot();

    Frequency frequency = Frequency::HF;
    std::uint32_t pingCount = 0;
    std::uint32_t side = 0;                    // 0 port, 1 starboard
    std::unique_ptr<std::uint16_t[]> samples;  // rows kRowSamples apart
    std::unique_ptr<std::uint8_t[]> headers;   // 228 bytes per ping
    std::unique_ptr<std::uint8_t[]> positions; // 136 bytes per ping
    bool markSet = false;
    std::uint32_t markedPing = 0;
    std::uint32_t markedSample = 0;
    std::uint32_t sampleCount = 0;
    std::uint32_t pingsAfterMark = 0;
    int palette = 0;
    bool invert = false;
    int strength = 50;

    std::span<const std::uint16_t> row(std::uint32_t i) const {
        return {samples.get() + std::size_t{i} * kRowSamples, kRowSamples};
    }
};

// Where the operator double-clicked, in the view's client coordinates, and
// the waterfall strip it fell in.
struct CaptureRequest {
    int x = 0;
    int y = 0;
    int waterfallTop = 0;
    int waterfallWidth = 0;
    int waterfallHeight = 0;
    bool projectOpen = false;
    int palette = 0;
    bool invert = false;
    int strength = 50;
};

// The per-ping position ring beside the history ring (1080 records of 136
// bytes, same line index); empty until the navigation view fills it.
struct PositionRing {
    PositionRing() : bytes(new std::uint8_t[std::size_t{HistoryRing::kLines} * 136]()) {}
    std::unique_ptr<std::uint8_t[]> bytes;
    std::span<const std::uint8_t> record(std::uint32_t line) const {
        return {bytes.get() + std::size_t{line % HistoryRing::kLines} * 136, 136};
    }
};

// Fills `out` and returns the side value to post with 0x489, or nothing when
// no capture happens (no project, no ping, pointer below the lines received).
// `beforeCopy` runs once the capture is certain and before `out` is touched:
// the target view saves the target it shows there.
std::optional<std::uint32_t> captureTarget(const ViewPipeline& view, const PositionRing& positions,
                                           const CaptureRequest& request, TargetSnapshot& out,
                                           const std::function<void()>& beforeCopy = {});

} // namespace kestrova::display
