#include "display/palette.h"

#include <cstdio>
#include <utility>

namespace kestrova::display {

Palette::Palette() {
    for (std::size_t i = 0; i < kEntries; ++i) {
        const auto v = static_cast<std::uint32_t>(i >> 2);
        entries_[i] = rgb(v, v, v);
    }
}

const char* Palette::fileName(int setting) {
    switch (setting) {
    case 1:
        return "prismy.clr";
    case 2:
        return "gray.clr";
    case 3:
        return "jet.clr";
    default:
        return "brown.clr";
    }
}

bool Palette::loadFile(const std::string& path, std::string* why) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        if (why) *why = "open";
        return false;
    }
    std::uint8_t bytes[kFileBytes + 1];
    const std::size_t n = std::fread(bytes, 1, sizeof bytes, f);
    const bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (readError || n != kFileBytes) {
        if (why) *why = "size";
        return false;
    }
    for (std::size_t i = 0; i < kEntries; ++i) {
        const std::uint8_t* p = bytes + 4 * i;
        entries_[i] = std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) |
                      (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
    }
    return true;
}

bool Palette::load(const std::string& folder, int setting, bool invert, app::Messenger& messenger) {
    const std::string path = folder + "/" + fileName(setting);
    Palette next = *this;
    std::string why;
    if (!next.loadFile(path, &why)) {
        if (why == "open")
            messenger.ShowMessage(path + "打开文件失败", path + "Failed to open file",
                                  app::mb::kWarningOkCancel);
        else
            messenger.ShowMessage(path + " 不是4096字节的调色板文件",
                                  path + " is not a palette file of 4096 bytes",
                                  app::mb::kWarningOkCancel);
        return false;
    }
    if (invert) next.reverse();
    *this = next;
    return true;
}

void Palette::reverse() {
    for (std::size_t i = 0; i < kEntries / 2; ++i)
        std::swap(entries_[i], entries_[kEntries - 1 - i]);
}

} // namespace kestrova::display
