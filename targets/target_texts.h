#pragma once
// The target view's texts and the "Target.csv" line.

#include "targets/target_file.h"
#include "targets/target_measure.h"

#include <optional>
#include <string>

namespace kestrova::targets {

struct GeoPosition {
    double latitude = 0.0;  // degrees, south negative
    double longitude = 0.0; // degrees, west negative
};

std::string timeText(const TargetBlock& b);     // "Time:%04d-%02d-%02d %02d:%02d:%02d"
std::string pingText(std::uint32_t pingNumber); // "Ping:%d"
// "Lat:" / "Lon:" with the angle in the operator's format and the hemisphere,
// or "Lat:N/A" / "Lon:N/A".
std::string latitudeText(const std::optional<GeoPosition>& p, int latLonFormat);
std::string longitudeText(const std::optional<GeoPosition>& p, int latLonFormat);
std::string eastText(const std::optional<GroundPoint>& p);  // "X(East): %0.2f m"
std::string northText(const std::optional<GroundPoint>& p); // "Y(North): %0.2f m"
// Stored values: "Length:%.2f m" when positive, "Length:N/A" otherwise.
std::string lengthText(double metres);
std::string widthText(double metres);
std::string heightText(double metres);
// While measuring: "Length: %0.1f m", "Width: %0.1f m", "Height: %0.2f m" or
// "Length: N/A" and so on.
std::string measuringLengthText(const std::optional<double>& metres);
std::string measuringWidthText(const std::optional<double>& metres);
std::string measuringHeightText(const std::optional<double>& metres);

// One "Target.csv" line (with its "\n"). Without a position the latitude,
// longitude and grid fields read "N/A" rather than a false 0; so does a
// measurement that ended without positions (kept negative).
std::string csvLine(const std::string& name, std::uint32_t number, const TargetBlock& b,
                    const std::optional<GeoPosition>& geo, const std::optional<GroundPoint>& grid);

} // namespace kestrova::targets
