#pragma once
// Latitude and longitude texts, in the format the operator chose (LatLonFormat):
// 0 "deg:min:sec", 1 "deg:min", 2 "deg". The hemisphere letter is shown apart.

#include <string>

namespace kestrova::position {

enum LatLonFormat : int {
    kDegreesMinutesSeconds = 0,
    kDegreesMinutes = 1,
    kDegrees = 2,
};

// Formats |degrees|; an unknown format, or an angle that is not a finite
// number of a sane size, gives an empty text.
std::string format_angle(double degrees, bool isLongitude, int format);

} // namespace kestrova::position
