// Any geodetic record (as a damaged configuration or a dialog might hand it
// over) must convert without crashing, hanging or reading past a text field.

#include "libs/tessmark/tessmark.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    _DefGeodetsyParameterSetting record = kestrova::defaultGeodeticRecord();
    // The input overwrites the record from its start; the rest keeps the defaults.
    std::memcpy(&record, data, size < sizeof record ? size : sizeof record);
    // Steer the step types towards the ones that compute something.
    record.ProjectionType =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(record.ProjectionType) % 4);
    record.ETransType &= 1;
    record.PTransType &= 1;
    record.HFittingType =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(record.HFittingType) % 5);

    CCoordinateCal engine;
    engine.SetGeodetsyParameter(record);
    const double points[][3] = {{30.0, 120.0, 0.0}, {-89.9, -179.0, 1e4}, {90.0, 0.0, 0.0}};
    for (const auto& p : points) {
        double x = 0, y = 0, h = 0, B = 0, L = 0, H = 0;
        engine.BLHtoxyh(p[0], p[1], p[2], x, y, h);
        engine.xyhtoBLH(x, y, h, B, L, H);
    }
    const _DefGeodetsyParameterSetting back = engine.GetGeodetsyParameter();
    if (std::memcmp(&back, &record, sizeof record) != 0) __builtin_trap();
    return 0;
}
