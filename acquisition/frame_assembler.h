#pragma once
// Cuts the sonar's byte stream into frames and dispatches them. The live
// receive thread and the playback thread feed one and the same assembler (one
// at a time): the reader appends bytes at the write position of the fixed
// 4 MiB buffer and calls feed(), which completes every whole frame found,
// keeps the unfinished rest at the buffer start and returns where to read next.
//
// Bad input is routine on a towed sonar's cable: bytes before a sync pair are
// skipped, a header whose length cannot fit is refused at once, and a frame
// with a wrong trailer or a ping whose sample counts disagree with its length
// costs only that frame: the search for the next sync pair goes on in the
// bytes behind its start, so good frames buffered behind it are kept. A frame
// whose declared length ends on a good trailer is good whatever its samples
// hold (echo data may contain the sync words); only one that ends with a whole
// frame of its own is taken for a truncated one that ran into the frames
// after it, and treated the same way.

#include "acquisition/frame_format.h"
#include "acquisition/sonar_status.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>

namespace kestrova::acquisition {

// What the assembler hands on, in this order per frame: the raw recording (when
// on), then one of the dispatch calls by frame type.
class FrameSink {
  public:
    virtual ~FrameSink() = default;
    virtual bool rawRecordingOn() const { return false; }
    virtual void recordRawFrame(std::span<const std::uint8_t> frame) { (void)frame; }
    // A ping to the frequency's PingBatch; true when it was stored there.
    virtual bool handPing(const PingRecord& ping, float effectiveSampleRate,
                          std::uint8_t settingsChanged) = 0;
    virtual void storeAttitude(std::span<const std::uint8_t, AttitudeRecord::kSize> record) {
        (void)record;
    }
    // Playback mode only.
    virtual void replayPosition(FrameType type,
                                std::span<const std::uint8_t, kPositionRecordSize> record) {
        (void)type;
        (void)record;
    }
};

// Counters for the status display and the command-line tool.
struct FrameAssemblerStats {
    std::atomic<std::uint64_t> bytesFed{0};
    std::atomic<std::uint64_t> bytesSkipped{0};
    std::atomic<std::uint32_t> frames{0}; // completed, trailer checked
    std::atomic<std::uint32_t> pingsHanded[kFrequencyCount]{};
    std::atomic<std::uint32_t> attitudes{0};
    std::atomic<std::uint32_t> positions{0};
    std::atomic<std::uint32_t> otherTypes{0};
    std::atomic<std::uint32_t> badTrailers{0};
    std::atomic<std::uint32_t> rejectedHeaders{0}; // length impossible
    std::atomic<std::uint32_t> malformedFrames{0}; // length disagrees with content
    std::atomic<std::uint32_t> foreignLayout{0};
    std::atomic<std::uint32_t> repeatedPings{0};

    std::uint32_t dropped() const {
        return badTrailers + rejectedHeaders + malformedFrames + foreignLayout + repeatedPings;
    }
};

class FrameAssembler {
  public:
    static constexpr std::uint32_t kBufferSize = 0x400000;
    // Readers reset the fill count when it exceeds this before a read.
    static constexpr std::uint32_t kOverflowLimit = 0x3F0000;
    static constexpr std::uint32_t kMaxRead = 0x10000;
    // The largest frame that can still complete under the readers' overflow rule.
    static constexpr std::uint64_t kMaxFrameSize = kOverflowLimit;
    static_assert(kOverflowLimit + kMaxRead == kBufferSize);

    FrameAssembler(FrameSink& sink, SonarStatus& status, TickSource tick = nullptr);
    FrameAssembler(const FrameAssembler&) = delete;
    FrameAssembler& operator=(const FrameAssembler&) = delete;

    std::uint8_t* buffer() { return buffer_.get(); }
    const std::uint8_t* buffer() const { return buffer_.get(); }

    // Called after the reader appended bytes: `fillCount` (in/out) is the
    // number of valid bytes at the buffer start. Returns buffer() + fillCount.
    // In playback mode `lastPortSamples` (if given) receives Np of the last
    // ping frame completed.
    std::uint8_t* feed(std::uint32_t& fillCount, std::uint32_t* lastPortSamples = nullptr);

    // Back to hunting; the reader sets its fill count to 0 and its write
    // position to buffer().
    void reset() { headerFound_ = false; }
    // Zeroes the whole buffer (done as the receive thread is started).
    void clearBuffer();
    // As at program start: hunting, and no ping number, settings or attitude
    // remembered.
    void restart();

    // The buffer passes between the receive thread and the playback thread:
    // entering and leaving playback count a hand-over, and a reader that sees
    // the count change starts again from an empty buffer of its own.
    void handOver() { handOvers_.fetch_add(1, std::memory_order_acq_rel); }
    std::uint32_t handOvers() const { return handOvers_.load(std::memory_order_acquire); }

    bool headerFound() const { return headerFound_; }
    const FrameAssemblerStats& stats() const { return stats_; }
    void setSink(FrameSink& sink) { sink_ = &sink; }

  private:
    struct PingMemory {
        bool seenAny = false;
        std::uint32_t lastPingNumber = 0;
        bool compared = false; // comparison values hold a stored ping
        std::uint8_t settingCode = 0;
        std::uint32_t sampleRate = 0;
        std::uint32_t rangeWindow = 0;
        std::uint8_t decimation = 0;
    };

    std::size_t hunt(std::size_t from, std::size_t fill) const;
    bool plausible(std::span<const std::uint8_t> frame, std::uint16_t type) const;
    bool endsWithNestedFrame(std::span<const std::uint8_t> frame) const;
    void completeAttitude(std::span<std::uint8_t> frame);
    void dispatch(std::span<std::uint8_t> frame, std::uint16_t type,
                  std::uint32_t* lastPortSamples);
    void dispatchPing(const PingRecord& ping);

    std::unique_ptr<std::uint8_t[]> buffer_;
    FrameSink* sink_;
    SonarStatus& status_;
    TickSource tick_;
    bool headerFound_ = false;
    std::uint32_t declaredLength_ = 0;
    std::array<PingMemory, kFrequencyCount> pings_{};
    // Newest attitude received in live mode; only the assembler's thread uses it.
    bool haveLiveAttitude_ = false;
    AttitudeRecord liveAttitude_;
    FrameAssemblerStats stats_;
    std::atomic<std::uint32_t> handOvers_{0};
};

} // namespace kestrova::acquisition
