#include "display/snapshot_picture.h"

#include <algorithm>
#include <cstring>

namespace kestrova::display {

RgbImage sideBySide(const RgbImage& left, const RgbImage& right, int gap) {
    RgbImage out;
    out.resize(left.width + gap + right.width, std::max(left.height, right.height));
    out.fill(rgb(0x40, 0x40, 0x40));
    for (int y = 0; y < left.height; ++y)
        std::memcpy(out.row(y), left.row(y), static_cast<std::size_t>(left.width) * 4);
    for (int y = 0; y < right.height; ++y)
        std::memcpy(out.row(y) + left.width + gap, right.row(y),
                    static_cast<std::size_t>(right.width) * 4);
    return out;
}

} // namespace kestrova::display
