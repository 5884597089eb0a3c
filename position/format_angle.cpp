#include "position/format_angle.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kestrova::position {

namespace {

std::string printf1(const char* format, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

// "5.12345" reads "05.12345", so the column lines up.
void padOneDigit(std::string& text) {
    if (text.size() > 1 && text[1] == '.') text.insert(text.begin(), '0');
}

} // namespace

std::string format_angle(double degrees, bool isLongitude, int format) {
    double v = std::fabs(degrees);
    if (!std::isfinite(v) || v > 1e6) return {};
    int d = static_cast<int>(std::trunc(v));
    char buf[96];
    switch (format) {
    case kDegreesMinutesSeconds: {
        int m = static_cast<int>(std::trunc((v - d) * 60.0));
        std::string seconds = printf1("%.5lf", std::fabs(((v - d) - m / 60.0) * 3600.0));
        if (seconds.find("60.") != std::string::npos) {
            seconds = "00.00000";
            ++m;
        }
        if (m == 60) {
            m = 0;
            ++d;
        }
        d = std::min(d, 180);
        padOneDigit(seconds);
        std::snprintf(buf, sizeof buf, isLongitude ? "%03d:%02d:%s" : "%02d:%02d:%s", d, m,
                      seconds.c_str());
        return buf;
    }
    case kDegreesMinutes: {
        std::string minutes = printf1("%.7lf", std::fabs((v - d) * 60.0));
        if (minutes.find("60.") != std::string::npos) {
            minutes = "00.0000000";
            d = std::min(d + 1, 180);
        }
        padOneDigit(minutes);
        std::snprintf(buf, sizeof buf, isLongitude ? "%03d:%s" : "%02d:%s", d, minutes.c_str());
        return buf;
    }
    case kDegrees:
        return printf1(isLongitude ? "%013.9lf" : "%012.9lf", v);
    default:
        return {};
    }
}

} // namespace kestrova::position
