// Record texts from a damaged configuration file, as the coordinate settings
// dialog reads them: every text must show without reading past its field, and
// an angle the dialog accepts back must be stored exactly as it was shown.

#include "libs/faldrena/geo_fields.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrova::faldrena;
    _DefGeodetsyParameterSetting record = kestrova::defaultGeodeticRecord();
    std::memcpy(&record, data, size < sizeof record ? size : sizeof record);

    const std::string texts[] = {fieldText(record.CentralMeridian), fieldText(record.DatumLatitude),
                                 fieldText(record.PTransRa)};
    const AngleKind kinds[] = {AngleKind::CentralMeridian, AngleKind::Latitude,
                               AngleKind::Rotation};
    for (int i = 0; i < 3; ++i) {
        if (texts[i].size() > 32) __builtin_trap();
        const std::string shown = shownAngle(kinds[i], texts[i]);
        std::string stored;
        Refusal why;
        if (storedAngle(kinds[i], shown, stored, why)) {
            if (shownAngle(kinds[i], stored) != shown) __builtin_trap();
        }
    }
    double v = 0;
    parseNumber(fieldText(record.ScaleRadio), v);
    if (shownChoice(record.ProjectionType, kProjections.size()) >= 3) __builtin_trap();
    if (shownChoice(record.SourceEllipsoid, kEllipsoids.size()) >= 6) __builtin_trap();
    return 0;
}
