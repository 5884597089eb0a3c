#pragma once
// The per-frequency queue between the receive (or playback) thread and the
// waterfall view: up to 800 pings and 0x280000 sample words (10 MiB), guarded
// by the batch lock. The producer appends one ping at a time; the view takes
// everything in one lock hold and processes its copy outside the lock.

#include "acquisition/frame_format.h"
#include "platform/lock.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace kestrova::acquisition {

// The contents of a batch: the store and the per-ping arrays. Also the shape
// of the view's copy.
struct PingBatchData {
    static constexpr std::uint32_t kMaxPings = 800;
    static constexpr std::uint32_t kStoreWords = 0x280000;
    static_assert(kStoreWords * 4 == 10 * 1024 * 1024);

    // Not cleared: only words a ping wrote are ever read, and 10 MiB of
    // zeros per batch would be written (and kept resident) for nothing.
    PingBatchData() : store(std::make_unique_for_overwrite<std::uint32_t[]>(kStoreWords)) {}
    PingBatchData(const PingBatchData&) = delete;
    PingBatchData& operator=(const PingBatchData&) = delete;

    std::unique_ptr<std::uint32_t[]> store;
    std::uint32_t wordCount = 0;
    std::uint32_t pingCount = 0;
    std::array<std::uint32_t, kMaxPings> firstWords{};  // 57 + Np
    std::array<std::uint32_t, kMaxPings> secondWords{}; // Ns + 1
    std::array<std::uint32_t, kMaxPings> firstStart{};
    std::array<std::uint32_t, kMaxPings> secondStart{};
    std::array<float, kMaxPings> sampleRate{};
    std::array<std::uint8_t, kMaxPings> settingsChanged{};

    // Header and port samples of ping i; empty when i is out of range.
    std::span<const std::uint32_t> firstPart(std::uint32_t i) const;
    // Starboard samples and the trailer word of ping i.
    std::span<const std::uint32_t> secondPart(std::uint32_t i) const;
    std::uint32_t portCount(std::uint32_t i) const {
        return i < pingCount ? firstWords[i] - PingHeader::kWords : 0;
    }
    std::uint32_t starboardCount(std::uint32_t i) const {
        return i < pingCount ? secondWords[i] - 1 : 0;
    }
    // The 228 header bytes of ping i, little-endian as they came.
    bool headerBytes(std::uint32_t i, std::array<std::uint8_t, PingHeader::kSize>& out) const;
    std::optional<PingHeader> header(std::uint32_t i) const;
};

class PingBatch {
  public:
    PingBatch() = default;
    PingBatch(const PingBatch&) = delete;
    PingBatch& operator=(const PingBatch&) = delete;

    // Stores the ping when it fits (word count + both parts below the store
    // size and fewer than 800 pings); false when the view missed it.
    bool append(const PingRecord& ping, float effectiveSampleRate, std::uint8_t settingsChanged);
    // Copies every stored ping into `out` and empties the batch, in one lock
    // hold. Returns the number of pings copied.
    std::uint32_t drain(PingBatchData& out);
    // Empties the batch without copying.
    void clear();

    std::uint32_t pingCount();
    std::uint32_t wordCount();
    // Pings that did not fit since start.
    std::uint32_t missed() const { return missed_.load(std::memory_order_relaxed); }

    platform::Lock& lock() { return lock_; }
    // The stored batch; only while holding lock().
    const PingBatchData& data() const { return data_; }

  private:
    platform::Lock lock_;
    PingBatchData data_;
    std::atomic<std::uint32_t> missed_{0};
};

} // namespace kestrova::acquisition
