#pragma once
// Drives a FrameAssembler as a reader thread does and records what it hands on.

#include "acquisition/frame_assembler.h"
#include "acquisition/tests/frame_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::acquisition::testing {

struct Event {
    std::string kind; // "HF", "LF", "attitude", "position6", "position7"
    std::uint32_t pingNumber = 0;
    float rate = 0;
    std::uint8_t changed = 0;
    Bytes bytes; // the frame (pings) or the record (attitude, position)
    bool operator==(const Event&) const = default;
};

class RecordingSink : public FrameSink {
  public:
    bool rawRecordingOn() const override { return recording; }
    void recordRawFrame(std::span<const std::uint8_t> frame) override {
        recorded.emplace_back(frame.begin(), frame.end());
    }
    bool handPing(const PingRecord& ping, float rate, std::uint8_t changed) override {
        events.push_back(Event{frequencyName(ping.frequency()), ping.header().pingNumber, rate,
                               changed, Bytes(ping.bytes().begin(), ping.bytes().end())});
        return accept;
    }
    void storeAttitude(std::span<const std::uint8_t, AttitudeRecord::kSize> r) override {
        events.push_back(Event{"attitude", 0, 0, 0, Bytes(r.begin(), r.end())});
    }
    void replayPosition(FrameType type,
                        std::span<const std::uint8_t, kPositionRecordSize> r) override {
        events.push_back(Event{type == FrameType::Position ? "position6" : "position7", 0, 0, 0,
                               Bytes(r.begin(), r.end())});
    }
    std::vector<std::string> kinds() const {
        std::vector<std::string> k;
        for (const auto& e : events)
            k.push_back(e.kind + (e.pingNumber ? "#" + std::to_string(e.pingNumber) : ""));
        return k;
    }

    bool recording = false;
    bool accept = true;
    std::vector<Event> events;
    std::vector<Bytes> recorded;
};

inline std::uint32_t g_fakeTick = 0;
inline std::uint32_t fakeTick() {
    return g_fakeTick;
}

class Harness {
  public:
    explicit Harness(bool playback = false) : assembler(sink, status, &fakeTick) {
        status.playbackMode = playback;
    }

    // One read of `bytes` followed by feed(), as the receive thread does.
    void read(const std::uint8_t* bytes, std::size_t n) {
        while (n > 0) {
            if (fill > FrameAssembler::kOverflowLimit) {
                fill = 0;
                assembler.reset();
            }
            std::size_t chunk = std::min<std::size_t>(n, FrameAssembler::kMaxRead);
            std::memcpy(assembler.buffer() + fill, bytes, chunk);
            fill += static_cast<std::uint32_t>(chunk);
            std::uint8_t* next = assembler.feed(fill, &lastPortSamples);
            EXPECT_EQ(next, assembler.buffer() + fill);
            bytes += chunk;
            n -= chunk;
        }
    }
    void read(const Bytes& b) { read(b.data(), b.size()); }
    // Feeds `b` in reads whose sizes come from `sizes` (cycled).
    void readSplit(const Bytes& b, const std::vector<std::size_t>& sizes) {
        std::size_t at = 0, k = 0;
        while (at < b.size()) {
            std::size_t n =
                std::min(std::max<std::size_t>(1, sizes[k++ % sizes.size()]), b.size() - at);
            read(b.data() + at, n);
            at += n;
        }
    }

    SonarStatus status;
    RecordingSink sink;
    FrameAssembler assembler;
    std::uint32_t fill = 0;
    std::uint32_t lastPortSamples = 0xFFFFFFFF;
};

} // namespace kestrova::acquisition::testing
