#pragma once
// Both waterfalls side by side in one picture, HF on the left, for the
// headless snapshot.

#include "display/waterfall.h"

namespace kestrova::display {

RgbImage sideBySide(const RgbImage& left, const RgbImage& right, int gap = 4);

} // namespace kestrova::display
