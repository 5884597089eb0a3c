#include "acquisition/ping_hand_off.h"

#include "acquisition/sonar_messages.h"
#include "platform/clock.h"

#include <algorithm>
#include <cstring>

namespace kestrova::acquisition {

void SnapshotStore::refreshPing(Frequency f, std::span<const std::uint8_t> first232) {
    platform::LockHold hold(lock_);
    PingHeaderSnapshot& s = pings_[static_cast<std::size_t>(index(f))];
    const std::size_t n = std::min(first232.size(), PingHeaderSnapshot::kSize);
    std::memcpy(s.bytes.data(), first232.data(), n);
    std::fill(s.bytes.begin() + static_cast<std::ptrdiff_t>(n), s.bytes.end(), 0);
    s.valid = n >= PingHeader::kSize;
}

PingHeaderSnapshot SnapshotStore::ping(Frequency f) const {
    platform::LockHold hold(lock_);
    return pings_[static_cast<std::size_t>(index(f))];
}

void SnapshotStore::storeAttitude(std::span<const std::uint8_t, AttitudeRecord::kSize> record) {
    platform::LockHold hold(lock_);
    std::copy(record.begin(), record.end(), attitude_.begin());
    haveAttitude_ = true;
}

std::optional<AttitudeBytes> SnapshotStore::attitude() const {
    platform::LockHold hold(lock_);
    if (!haveAttitude_) return std::nullopt;
    return attitude_;
}

PingHandOff::PingHandOff(platform::MessageQueue& queue, WindowTargets& windows,
                         SnapshotStore& snapshots, TickSource tick)
    : queue_(queue), windows_(windows), snapshots_(snapshots),
      tick_(tick ? tick : &platform::tickCount) {}

bool PingHandOff::notifyDue(Throttle& t, std::uint32_t now) const {
    return !t.notifiedOnce || platform::ticksSince(t.lastNotify, now) >= kNotifyIntervalMs;
}

bool PingHandOff::handPing(const PingRecord& ping, float effectiveSampleRate,
                           std::uint8_t settingsChanged) {
    const Frequency f = ping.frequency();
    PingBatch& b = batch(f);
    Throttle& t = throttle_[static_cast<std::size_t>(index(f))];
    bool stored;
    bool due;
    {
        platform::LockHold hold(b.lock());
        stored = b.append(ping, effectiveSampleRate, settingsChanged);
        const std::uint32_t now = tick_();
        due = notifyDue(t, now);
        if (due) {
            t.notifiedOnce = true;
            t.lastNotify = now;
            t.unannounced = false;
        } else if (stored) {
            t.unannounced = true;
        }
    }
    if (due) notify(f, ping.bytes().first(PingHeaderSnapshot::kSize));
    return stored;
}

void PingHandOff::flushPending() {
    for (Frequency f : {Frequency::HF, Frequency::LF}) {
        PingBatch& b = batch(f);
        Throttle& t = throttle_[static_cast<std::size_t>(index(f))];
        std::array<std::uint8_t, PingHeaderSnapshot::kSize> head{};
        {
            platform::LockHold hold(b.lock());
            if (!t.unannounced) continue;
            const std::uint32_t now = tick_();
            if (!notifyDue(t, now)) continue;
            t.notifiedOnce = true;
            t.lastNotify = now;
            t.unannounced = false;
            const PingBatchData& d = b.data();
            if (d.pingCount == 0) continue; // the view took them meanwhile
            // A stored ping is whole and contiguous in the store: its first 58
            // words are the first 58 words of the frame.
            const std::uint32_t last = d.pingCount - 1;
            const std::uint32_t* w = d.store.get() + d.firstStart[last];
            for (std::size_t i = 0; i < head.size() / 4; ++i)
                for (std::size_t k = 0; k < 4; ++k)
                    head[4 * i + k] = static_cast<std::uint8_t>(w[i] >> (8 * k));
        }
        notify(f, head);
    }
}

void PingHandOff::notify(Frequency f, std::span<const std::uint8_t> first232) {
    snapshots_.refreshPing(f, first232);
    throttle_[static_cast<std::size_t>(index(f))].notifications.fetch_add(1);
    queue_.post(windows_.mainFrame.load(),
                f == Frequency::HF ? WM_PING_PARAM_HF : WM_PING_PARAM_LF);
    queue_.post(windows_.view(f).load(), f == Frequency::HF ? WM_PING_HF : WM_PING_LF);
}

std::uint32_t PingHandOff::drain(Frequency f, PingBatchData& out) {
    PingBatch& b = batch(f);
    platform::LockHold hold(b.lock());
    throttle_[static_cast<std::size_t>(index(f))].unannounced = false;
    return b.drain(out);
}

} // namespace kestrova::acquisition
