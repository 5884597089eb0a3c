// Latitudes and longitudes typed into the line editor: any text must parse
// without a crash, an accepted angle must lie in range, and its shown text
// must read back to the same angle (to the shown microsecond).

#include "navigation/line_editor.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrova::navigation;
    if (size > 256) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto b = parseLatitude(text)) {
        if (!(std::fabs(*b) <= 90.0)) std::abort();
        const auto again = parseLatitude(formatLatitude(*b));
        if (!again || std::fabs(*again - *b) > 1e-6 / 3600.0) std::abort();
    }
    if (const auto l = parseLongitude(text)) {
        if (!(std::fabs(*l) <= 180.0)) std::abort();
        const auto again = parseLongitude(formatLongitude(*l));
        if (!again || std::fabs(*again - *l) > 1e-6 / 3600.0) std::abort();
    }
    return 0;
}
