#pragma once
// Colour palettes of the waterfalls: 1024 pixel values (blue in bits 0-7,
// green 8-15, red 16-23), entry 0 for the weakest echo. A ".clr" file is
// exactly those 1024 values, little-endian, 4096 bytes, no header; the four
// shipped files lie in the program folder.

#include "app/config/message.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace kestrova::display {

constexpr std::uint32_t rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (r << 16) | (g << 8) | b;
}

class Palette {
  public:
    static constexpr std::size_t kEntries = 1024;
    static constexpr std::size_t kFileBytes = kEntries * 4;

    // A grey ramp until a file is loaded, so a view never draws from nothing.
    Palette();

    // File of a palette setting (DIS_intBackColor_HF / _LF).
    static const char* fileName(int setting);

    // Reads the setting's file from `folder` and reverses it when `invert` is
    // on. A file that cannot be opened, or that is not 4096 bytes long, leaves
    // the palette as it was and tells the operator. True when loaded.
    bool load(const std::string& folder, int setting, bool invert,
              app::Messenger& messenger = app::defaultMessenger());
    // Reads one file as it stands; false (palette unchanged) on any fault.
    bool loadFile(const std::string& path, std::string* why = nullptr);
    // Entries i and 1023 - i swapped.
    void reverse();

    std::uint32_t operator[](std::size_t i) const { return entries_[i]; }
    std::span<const std::uint32_t, kEntries> entries() const { return entries_; }
    // Palette index of display value u with colour scale K: the upper 32 bits
    // of u * K, kept within 0 .. 1023.
    static std::uint32_t index(std::uint16_t u, std::uint64_t k) {
        const std::uint64_t i = (std::uint64_t{u} * k) >> 32;
        return i > 1023 ? 1023u : static_cast<std::uint32_t>(i);
    }
    std::uint32_t colour(std::uint16_t u, std::uint64_t k) const { return entries_[index(u, k)]; }

  private:
    std::array<std::uint32_t, kEntries> entries_{};
};

} // namespace kestrova::display
