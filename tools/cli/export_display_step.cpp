#include "tools/cli/export_display_step.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kestrova::cli {

using namespace kestrova::acquisition;
namespace hl = acquisition::history_line;

ExportDisplayStep::ExportDisplayStep(const display::DrovantaApi& drovanta) : drovanta_(drovanta) {
    for (auto& f : sides_)
        for (auto& s : f)
            s.gain.assign(hl::kMaxStarboard, 0.0f);
    for (auto& l : lines_)
        l.assign(hl::kSize / 2, 0);
}

XtfPingInput ExportDisplayStep::process(const PingRecord& ping, float fs, bool changed) {
    const std::uint32_t np = ping.portCount();
    const std::uint32_t ns = ping.starboardCount();
    const std::uint8_t* bytes = ping.bytes().data();
    for (int side = 0; side < 2; ++side) {
        const std::uint32_t n = side == 0 ? np : ns;
        const std::uint8_t* src = bytes + PingHeader::kSize + (side == 0 ? 0 : 4u * np);
        auto& out = side == 0 ? portIn_ : starboardIn_;
        out.resize(n);
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(out.data(), src, 4u * n);
        } else {
            for (std::uint32_t i = 0; i < n; ++i)
                out[i] = std::uint32_t{src[4 * i]} | (std::uint32_t{src[4 * i + 1]} << 8) |
                         (std::uint32_t{src[4 * i + 2]} << 16) |
                         (std::uint32_t{src[4 * i + 3]} << 24);
        }
    }
    return process(ping.frequency(), ping.bytes().first(PingHeader::kSize), portIn_, starboardIn_,
                   fs, changed);
}

XtfPingInput ExportDisplayStep::process(Frequency frequency, std::span<const std::uint8_t> header,
                                        std::span<const std::uint32_t> port,
                                        std::span<const std::uint32_t> starboard, float fs,
                                        bool changed) {
    const int f = index(frequency);
    std::vector<std::uint16_t>& line = lines_[static_cast<std::size_t>(f)];
    std::fill(line.begin(), line.end(), 0);
    auto* lineBytes = reinterpret_cast<std::uint8_t*>(line.data());
    std::memcpy(lineBytes, header.data(), std::min(header.size(), PingHeader::kSize));

    const std::span<const std::uint32_t> sides[2] = {port, starboard};
    const std::size_t lineStart[2] = {hl::kPortOffset / 2, hl::kStarboardOffset / 2};
    const std::size_t capacity[2] = {hl::kMaxPort, hl::kMaxStarboard};

    display::ReproSettings rs;
    rs.reset = changed;
    rs.sampleRate = fs;
    rs.soundSpeed = soundSpeed_;
    rs.firstIndex = soundSpeed_ > 0 ? static_cast<std::uint32_t>(fs / soundSpeed_) : 0;
    for (int side = 0; side < 2; ++side) {
        Side& s = sides_[static_cast<std::size_t>(f)][static_cast<std::size_t>(side)];
        auto r = drovanta_.repro(
            sides[side], rs, s.gain,
            std::span<std::uint16_t>(line.data() + lineStart[side], capacity[side]));
        if (r.ok) {
            s.bottom = r.bottomIndex;
            s.strength = r.bottomStrength;
        }
    }

    display::DepthSelectInput d;
    d.soundSpeed = soundSpeed_;
    d.sampleRate = fs;
    d.usePairB = (bottomSource_ & 0xFF) != 0;
    d.reset = changed ? 1.0f : 0.0f;
    d.aIndex1 = sides_[0][0].bottom;
    d.aStrength1 = sides_[0][0].strength;
    d.aIndex2 = sides_[0][1].bottom;
    d.aStrength2 = sides_[0][1].strength;
    d.bIndex1 = sides_[1][0].bottom;
    d.bStrength1 = sides_[1][0].strength;
    d.bIndex2 = sides_[1][1].bottom;
    d.bStrength2 = sides_[1][1].strength;
    auto sel = drovanta_.depthSelect(d);
    if (sel.ok && fs > 0 && bottomSource_ == f) {
        const std::uint32_t bottom = f == 0 ? sel.aSelected : sel.bSelected;
        altitude_ = static_cast<float>(bottom / fs * soundSpeed_ * 0.5);
    }

    XtfPingInput in;
    in.header = std::span<const std::uint8_t>(lineBytes, PingHeader::kSize);
    in.port = std::span<const std::uint16_t>(line.data() + lineStart[0],
                                             std::min(port.size(), capacity[0]));
    in.starboard = std::span<const std::uint16_t>(line.data() + lineStart[1],
                                                  std::min(starboard.size(), capacity[1]));
    return in;
}

} // namespace kestrova::cli
