// Stands in for the coordinate settings dialog library in tests: its
// ShowDialog "finishes" at once with the central meridian set to 9, or
// cancels when KESTROVA_FAKE_COORDINATE_CANCEL is set.

#include "libs/tessmark/geodetic_record.h"

#include <cstdlib>
#include <cstring>

extern "C" __attribute__((visibility("default"))) unsigned char
ShowDialog(_DefGeodetsyParameterSetting* record) {
    if (std::getenv("KESTROVA_FAKE_COORDINATE_CANCEL")) return 0;
    std::memset(record->CentralMeridian, 0, sizeof record->CentralMeridian);
    record->CentralMeridian[0] = '9';
    return 1;
}
