#include "targets/target_name.h"

#include <cstdio>

namespace kestrova::targets {

std::string makeTargetName(std::uint32_t number, int hour, int minute, int second) {
    if (number > kMaxTargetNumber || hour < 0 || hour > 99 || minute < 0 || minute > 99 ||
        second < 0 || second > 99)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%05u_%02d%02d%02d", static_cast<unsigned>(number), hour,
                  minute, second);
    return text;
}

bool isTargetName(std::string_view name) {
    if (name.size() != kTargetNameLength) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (i == 5) {
            if (c != '_') return false;
        } else if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

std::optional<std::uint32_t> targetNumberOf(std::string_view name) {
    if (!isTargetName(name)) return std::nullopt;
    std::uint32_t n = 0;
    for (std::size_t i = 0; i < 5; ++i)
        n = n * 10 + static_cast<std::uint32_t>(name[i] - '0');
    return n;
}

} // namespace kestrova::targets
