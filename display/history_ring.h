#pragma once
// A view's history ring: the last 1080 display lines, each the ping's 228-byte
// header followed by the 16-bit port and starboard display lines. Everything
// on screen is drawn from it, and the XTF writer and the target capture read
// finished lines from it. Allocated once when the view is made (about 100 MB),
// never per ping, and never cleared while the program runs.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

namespace kestrova::display {

class HistoryRing {
  public:
    static constexpr std::uint32_t kLines = 1080;
    static constexpr std::size_t kLineBytes = 93040;
    static constexpr std::size_t kHeaderBytes = 228;
    static constexpr std::size_t kPortOffset = 228;
    static constexpr std::uint32_t kPortMax = 23146;
    static constexpr std::size_t kStarboardOffset = 46520;
    static constexpr std::uint32_t kStarboardMax = 23260;
    static_assert(kPortOffset + 2 * std::size_t{kPortMax} == kStarboardOffset);
    static_assert(kStarboardOffset + 2 * std::size_t{kStarboardMax} == kLineBytes);

    HistoryRing();
    HistoryRing(const HistoryRing&) = delete;
    HistoryRing& operator=(const HistoryRing&) = delete;

    static std::uint32_t wrap(std::int64_t line) {
        const std::int64_t m = line % kLines;
        return static_cast<std::uint32_t>(m < 0 ? m + kLines : m);
    }

    // Whole line h (header and both halves); h is taken modulo 1080.
    std::span<std::uint8_t, kLineBytes> line(std::uint32_t h);
    std::span<const std::uint8_t, kLineBytes> line(std::uint32_t h) const;
    std::span<std::uint16_t> port(std::uint32_t h);
    std::span<const std::uint16_t> port(std::uint32_t h) const;
    std::span<std::uint16_t> starboard(std::uint32_t h);
    std::span<const std::uint16_t> starboard(std::uint32_t h) const;
    std::span<const std::uint8_t, kHeaderBytes> header(std::uint32_t h) const {
        return line(h).first<kHeaderBytes>();
    }
    // Line h all zero again for a new ping whose halves hold at most
    // portCount[h] and starboardCount[h] samples. Only what earlier pings left
    // on it is cleared: a line is 93 KB, its pings mostly a few thousand
    // samples, and the untouched rest stays zero pages never brought in.
    std::span<std::uint8_t, kLineBytes> freshLine(std::uint32_t h);

    // Per-line companions, same index.
    std::array<std::uint32_t, kLines> portCount{};
    std::array<std::uint32_t, kLines> starboardCount{};
    std::array<std::uint32_t, kLines> bottomSample{};
    std::array<float, kLines> slantRange{};

    // Next line the processing pass writes, and where the intake stores counts.
    std::uint32_t writePosition = 0;
    std::uint32_t intakePosition = 0;

  private:
    // The samples of each half written since the line was last cleared.
    std::array<std::uint32_t, kLines> portUsed_{};
    std::array<std::uint32_t, kLines> starboardUsed_{};
    struct Free {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    // Zeroed pages from the system, touched only as lines are written.
    std::unique_ptr<std::uint8_t, Free> bytes_;
};

} // namespace kestrova::display
