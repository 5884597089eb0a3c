#include "acquisition/ping_batch.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kestrova::acquisition {
namespace {

// Frame bytes are little-endian words; on a little-endian host they copy as is.
void copyWords(std::uint32_t* to, const std::uint8_t* from, std::size_t words) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(to, from, words * 4);
    } else {
        for (std::size_t i = 0; i < words; ++i, from += 4)
            to[i] = std::uint32_t{from[0]} | (std::uint32_t{from[1]} << 8) |
                    (std::uint32_t{from[2]} << 16) | (std::uint32_t{from[3]} << 24);
    }
}

} // namespace

std::span<const std::uint32_t> PingBatchData::firstPart(std::uint32_t i) const {
    if (i >= pingCount) return {};
    return {store.get() + firstStart[i], firstWords[i]};
}

std::span<const std::uint32_t> PingBatchData::secondPart(std::uint32_t i) const {
    if (i >= pingCount) return {};
    return {store.get() + secondStart[i], secondWords[i]};
}

bool PingBatchData::headerBytes(std::uint32_t i,
                                std::array<std::uint8_t, PingHeader::kSize>& out) const {
    auto first = firstPart(i);
    if (first.size() < PingHeader::kWords) return false;
    for (std::size_t w = 0; w < PingHeader::kWords; ++w)
        for (std::size_t b = 0; b < 4; ++b)
            out[4 * w + b] = static_cast<std::uint8_t>(first[w] >> (8 * b));
    return true;
}

std::optional<PingHeader> PingBatchData::header(std::uint32_t i) const {
    std::array<std::uint8_t, PingHeader::kSize> bytes;
    if (!headerBytes(i, bytes)) return std::nullopt;
    return PingHeader::decode(bytes);
}

bool PingBatch::append(const PingRecord& ping, float effectiveSampleRate,
                       std::uint8_t settingsChanged) {
    const std::uint64_t first = ping.firstPartWords();
    const std::uint64_t second = ping.secondPartWords();
    platform::LockHold hold(lock_);
    PingBatchData& d = data_;
    if (!(d.wordCount + first + second < PingBatchData::kStoreWords) ||
        d.pingCount >= PingBatchData::kMaxPings) {
        missed_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    const std::uint32_t i = d.pingCount;
    d.firstWords[i] = static_cast<std::uint32_t>(first);
    d.secondWords[i] = static_cast<std::uint32_t>(second);
    d.firstStart[i] = d.wordCount;
    d.secondStart[i] = d.wordCount + static_cast<std::uint32_t>(first);
    const std::uint8_t* bytes = ping.bytes().data();
    copyWords(d.store.get() + d.firstStart[i], bytes, first);
    copyWords(d.store.get() + d.secondStart[i], bytes + 4 * first, second);
    d.wordCount += static_cast<std::uint32_t>(first + second);
    d.sampleRate[i] = effectiveSampleRate;
    d.settingsChanged[i] = settingsChanged;
    d.pingCount = i + 1;
    return true;
}

std::uint32_t PingBatch::drain(PingBatchData& out) {
    platform::LockHold hold(lock_);
    const PingBatchData& d = data_;
    const std::uint32_t n = d.pingCount;
    std::memcpy(out.store.get(), d.store.get(), std::size_t{d.wordCount} * 4);
    std::copy_n(d.firstWords.begin(), n, out.firstWords.begin());
    std::copy_n(d.secondWords.begin(), n, out.secondWords.begin());
    std::copy_n(d.firstStart.begin(), n, out.firstStart.begin());
    std::copy_n(d.secondStart.begin(), n, out.secondStart.begin());
    std::copy_n(d.sampleRate.begin(), n, out.sampleRate.begin());
    std::copy_n(d.settingsChanged.begin(), n, out.settingsChanged.begin());
    out.wordCount = d.wordCount;
    out.pingCount = n;
    data_.wordCount = 0;
    data_.pingCount = 0;
    return n;
}

void PingBatch::clear() {
    platform::LockHold hold(lock_);
    data_.wordCount = 0;
    data_.pingCount = 0;
}

std::uint32_t PingBatch::pingCount() {
    platform::LockHold hold(lock_);
    return data_.pingCount;
}

std::uint32_t PingBatch::wordCount() {
    platform::LockHold hold(lock_);
    return data_.wordCount;
}

} // namespace kestrova::acquisition
