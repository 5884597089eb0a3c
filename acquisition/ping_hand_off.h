#pragma once
// From a dispatched ping to the views: the ping goes into its frequency's
// PingBatch, and at most every 40 ms per frequency the header snapshot is
// refreshed and two messages are posted: 0x0468 / 0x0469 to the main window
// (ping parameter panel), then WM_PING_HF / WM_PING_LF to the view.

#include "acquisition/frame_format.h"
#include "acquisition/ping_batch.h"
#include "acquisition/sonar_status.h"
#include "platform/lock.h"
#include "platform/messages.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

namespace kestrova::acquisition {

// The first 58 words of the newest ping of a frequency.
struct PingHeaderSnapshot {
    static constexpr std::size_t kSize = 232;
    std::array<std::uint8_t, kSize> bytes{};
    bool valid = false;

    std::optional<PingHeader> header() const {
        if (!valid) return std::nullopt;
        return PingHeader::decode(bytes);
    }
};
static_assert(PingHeaderSnapshot::kSize == 58 * 4);

// The header snapshots and the stored AttitudeRecord, under one snapshot lock;
// written by the producer threads, read by the status display.
class SnapshotStore {
  public:
    void refreshPing(Frequency f, std::span<const std::uint8_t> first232);
    PingHeaderSnapshot ping(Frequency f) const;
    void storeAttitude(std::span<const std::uint8_t, AttitudeRecord::kSize> record);
    // The newest attitude record; nullopt before the first.
    std::optional<AttitudeBytes> attitude() const;

  private:
    mutable platform::Lock lock_;
    std::array<PingHeaderSnapshot, kFrequencyCount> pings_{};
    AttitudeBytes attitude_{};
    bool haveAttitude_ = false;
};

// Window handles the windows register when they are created.
struct WindowTargets {
    std::atomic<platform::WindowHandle> mainFrame{platform::kNoWindow};
    std::atomic<platform::WindowHandle> hfView{platform::kNoWindow};
    std::atomic<platform::WindowHandle> lfView{platform::kNoWindow};

    std::atomic<platform::WindowHandle>& view(Frequency f) {
        return f == Frequency::HF ? hfView : lfView;
    }
};

class PingHandOff {
  public:
    static constexpr std::uint32_t kNotifyIntervalMs = 40;

    PingHandOff(platform::MessageQueue& queue, WindowTargets& windows, SnapshotStore& snapshots,
                TickSource tick = nullptr);

    // Stores the ping in its batch and notifies (throttled). True when stored.
    bool handPing(const PingRecord& ping, float effectiveSampleRate, std::uint8_t settingsChanged);
    // Announces pings left unannounced at the end of a burst, once 40 ms have
    // passed since the last notification; the reader calls it when idle.
    void flushPending();

    PingBatch& batch(Frequency f) { return batches_[static_cast<std::size_t>(index(f))]; }
    // What a view calls on its message: copy out and empty the batch. Also
    // clears the unannounced mark, as the view has everything.
    std::uint32_t drain(Frequency f, PingBatchData& out);

    std::uint32_t notifications(Frequency f) const {
        return throttle_[static_cast<std::size_t>(index(f))].notifications.load();
    }

  private:
    // Guarded by the frequency's batch lock.
    struct Throttle {
        bool notifiedOnce = false;
        std::uint32_t lastNotify = 0;
        bool unannounced = false;
        std::atomic<std::uint32_t> notifications{0};
    };

    bool notifyDue(Throttle& t, std::uint32_t now) const;
    void notify(Frequency f, std::span<const std::uint8_t> first232);

    platform::MessageQueue& queue_;
    WindowTargets& windows_;
    SnapshotStore& snapshots_;
    TickSource tick_;
    std::array<PingBatch, kFrequencyCount> batches_;
    std::array<Throttle, kFrequencyCount> throttle_;
};

} // namespace kestrova::acquisition
