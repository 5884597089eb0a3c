#include "targets/target_texts.h"

#include "position/format_angle.h"

#include <cmath>
#include <cstdio>

namespace kestrova::targets {
namespace {

template <typename... Args> std::string format(const char* pattern, Args... args) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

std::string angleText(const char* label, const std::optional<GeoPosition>& p, bool longitude,
                      int fmt) {
    if (!p) return std::string(label) + "N/A";
    const double v = longitude ? p->longitude : p->latitude;
    const std::string angle = position::format_angle(v, longitude, fmt);
    if (angle.empty()) return std::string(label) + "N/A";
    const char hemisphere = longitude ? (v < 0 ? 'W' : 'E') : (v < 0 ? 'S' : 'N');
    return std::string(label) + angle + " " + hemisphere;
}

} // namespace

std::string timeText(const TargetBlock& b) {
    return format("Time:%04d-%02d-%02d %02d:%02d:%02d", b.year, b.month, b.day, b.hour, b.minute,
                  b.second);
}

std::string pingText(std::uint32_t pingNumber) {
    return format("Ping:%u", pingNumber);
}

std::string latitudeText(const std::optional<GeoPosition>& p, int fmt) {
    return angleText("Lat:", p, false, fmt);
}

std::string longitudeText(const std::optional<GeoPosition>& p, int fmt) {
    return angleText("Lon:", p, true, fmt);
}

std::string eastText(const std::optional<GroundPoint>& p) {
    return p ? format("X(East): %0.2f m", p->east) : "X(East): N/A";
}

std::string northText(const std::optional<GroundPoint>& p) {
    return p ? format("Y(North): %0.2f m", p->north) : "Y(North): N/A";
}

std::string lengthText(double m) {
    return m > 0.0 ? format("Length:%.2f m", m) : "Length:N/A";
}
std::string widthText(double m) {
    return m > 0.0 ? format("Width:%.2f m", m) : "Width:N/A";
}
std::string heightText(double m) {
    return m > 0.0 ? format("Height:%.2f m", m) : "Height:N/A";
}

std::string measuringLengthText(const std::optional<double>& m) {
    return m ? format("Length: %0.1f m", *m) : "Length: N/A";
}
std::string measuringWidthText(const std::optional<double>& m) {
    return m ? format("Width: %0.1f m", *m) : "Width: N/A";
}
std::string measuringHeightText(const std::optional<double>& m) {
    return m ? format("Height: %0.2f m", *m) : "Height: N/A";
}

std::string csvLine(const std::string& name, std::uint32_t number, const TargetBlock& b,
                    const std::optional<GeoPosition>& geo, const std::optional<GroundPoint>& grid) {
    std::string line =
        format("%s,%d,%04d%02d%02d_%02d%02d%02d,%u,", name.c_str(), static_cast<int>(number),
               b.year, b.month, b.day, b.hour, b.minute, b.second, b.pingNumber);
    line += geo ? format("%012.9lf,%013.9lf,", geo->latitude, geo->longitude) : "N/A,N/A,";
    line += grid ? format("%.2f,%.2f,", grid->east, grid->north) : "N/A,N/A,";
    // A measurement that found no position is kept negative: it reads N/A.
    for (const double m : {b.length, b.width, b.height}) {
        line += m >= 0.0 && std::isfinite(m) ? format("%.2f", m) : "N/A";
        line += ',';
    }
    line.back() = '\n';
    return line;
}

} // namespace kestrova::targets
