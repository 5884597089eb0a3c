#include "display/history_ring.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace kestrova::display {

HistoryRing::HistoryRing()
    : bytes_(static_cast<std::uint8_t*>(std::calloc(std::size_t{kLines} * kLineBytes, 1))) {
    // Without its ring the program cannot show anything; at start there is
    // nothing to recover, so stop as an allocation failure would.
    if (!bytes_) std::abort();
}

std::span<std::uint8_t, HistoryRing::kLineBytes> HistoryRing::line(std::uint32_t h) {
    return std::span<std::uint8_t, kLineBytes>(bytes_.get() + std::size_t{h % kLines} * kLineBytes,
                                               kLineBytes);
}

std::span<const std::uint8_t, HistoryRing::kLineBytes> HistoryRing::line(std::uint32_t h) const {
    return std::span<const std::uint8_t, kLineBytes>(
        bytes_.get() + std::size_t{h % kLines} * kLineBytes, kLineBytes);
}

std::span<std::uint8_t, HistoryRing::kLineBytes> HistoryRing::freshLine(std::uint32_t h) {
    h %= kLines;
    const auto whole = line(h);
    std::memset(whole.data(), 0, kHeaderBytes);
    std::memset(whole.data() + kPortOffset, 0, 2 * std::size_t{portUsed_[h]});
    std::memset(whole.data() + kStarboardOffset, 0, 2 * std::size_t{starboardUsed_[h]});
    portUsed_[h] = std::min(portCount[h], kPortMax);
    starboardUsed_[h] = std::min(starboardCount[h], kStarboardMax);
    return whole;
}

// The halves are 16-bit arrays inside the line (both offsets are even), in
// storage that holds no other objects.
std::span<std::uint16_t> HistoryRing::port(std::uint32_t h) {
    return {reinterpret_cast<std::uint16_t*>(line(h).data() + kPortOffset), kPortMax};
}
std::span<const std::uint16_t> HistoryRing::port(std::uint32_t h) const {
    return {reinterpret_cast<const std::uint16_t*>(line(h).data() + kPortOffset), kPortMax};
}
std::span<std::uint16_t> HistoryRing::starboard(std::uint32_t h) {
    return {reinterpret_cast<std::uint16_t*>(line(h).data() + kStarboardOffset), kStarboardMax};
}
std::span<const std::uint16_t> HistoryRing::starboard(std::uint32_t h) const {
    return {reinterpret_cast<const std::uint16_t*>(line(h).data() + kStarboardOffset),
            kStarboardMax};
}

} // namespace kestrova::display
