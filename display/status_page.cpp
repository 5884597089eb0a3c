#include "display/status_page.h"

#include "position/format_angle.h"

#include <cstdio>

namespace kestrova::display {
namespace {

std::string printed(const char* format, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

} // namespace

StatusPage::StatusPage(app::Configuration& config, const DisplayShared& shared)
    : config_(config), shared_(shared) {}

void StatusPage::open() {
    deviceIdentified();
    state_.altitudeVisible = shared_.settings.bottom.on != 0;
}

void StatusPage::deviceIdentified() {
    const app::SensorFlags& s = config_.device.sensors;
    state_.pressureVisible = s.pressure;
    state_.attitudeVisible = s.attitude;
    state_.temperatureVisible = s.temperature;
    state_.humidityVisible = s.humidity;
    const bool oneFrequency = config_.device.frequencyCount == 1;
    const bool english = config_.messenger().english();
    if (oneFrequency)
        state_.firstRowCaption = english ? "Sonar Para:" : "声纳参数：";
    else
        state_.firstRowCaption = english ? "High:" : "高频：";
    state_.lfRowVisible = !oneFrequency;
    clear();
}

void StatusPage::clear() {
    const char* kNone = noneText();
    for (std::string* t : {&state_.date, &state_.time, &state_.longitude, &state_.latitude,
                           &state_.course, &state_.speed, &state_.depth, &state_.heading,
                           &state_.pitch, &state_.roll, &state_.altitude})
        *t = kNone;
    for (SonarRowReadouts& r : state_.rows)
        for (std::string* t : {&r.ping, &r.range, &r.power, &r.signal, &r.pulse, &r.gain,
                               &r.spreading, &r.absorption})
            *t = kNone;
    state_.temperature = "0.0 ℃";
    state_.humidity = "0 %";
    state_.pressure = "0.0 mbar";
    state_.altitudeColour = kAltitudeSafeColour;
}

const char* StatusPage::noneText() const {
    return config_.messenger().english() ? "None" : "无";
}

std::string StatusPage::altitudeText() const {
    return printed("%0.1f", shared_.processing.currentAltitude);
}

std::string StatusPage::positionText(double degrees, char hemisphere, bool longitude) const {
    const std::string angle =
        position::format_angle(degrees, longitude, config_.sonar.install.latLonFormat);
    if (angle.empty()) return noneText();
    if (hemisphere == 0)
        hemisphere = longitude ? (degrees < 0 ? 'W' : 'E') : (degrees < 0 ? 'S' : 'N');
    return angle + " " + hemisphere;
}

void StatusPage::update(const StatusPageInputs& in) {
    const position::PositionFix& fix = in.fix;
    if (fix.kind != position::kFixNothing) {
        char buf[64];
        // A fix without a date (GGA before any ZDA) leaves the date to the sonar's clock.
        if (fix.year > 0) {
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", fix.year, fix.month, fix.day);
            state_.date = buf;
        }
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", fix.hour, fix.minute, fix.second);
        state_.time = buf;
        state_.latitude = positionText(fix.latitude, fix.latHemisphere, false);
        state_.longitude = positionText(fix.longitude, fix.lonHemisphere, true);
        state_.course = printed("%0.1f°", fix.course);
        state_.speed = printed("%0.1f kn", fix.speed);
    }
    const std::optional<acquisition::PingHeader>& attitude =
        in.pings[0] ? in.pings[0] : in.pings[1];
    if (attitude && (fix.kind == position::kFixNothing || fix.year <= 0)) {
        // No dated fix: the sonar's own clock dates what is shown.
        char buf[64];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", attitude->year, attitude->month,
                      attitude->day);
        state_.date = buf;
        if (fix.kind == position::kFixNothing) {
            std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", attitude->hour, attitude->minute,
                          attitude->second);
            state_.time = buf;
        }
    }
    if (attitude) {
        state_.heading = printed("%0.2f°", attitude->heading / 100.0);
        state_.pitch = printed("%0.2f°", attitude->pitch / 100.0);
        state_.roll = printed("%0.2f°", attitude->roll / 100.0);
    }
    for (std::size_t i = 0; i < 2; ++i) {
        if (!in.pings[i]) continue;
        SonarRowReadouts& r = state_.rows[i];
        if (in.parameters[i]) r = *in.parameters[i];
        r.ping = std::to_string(in.pings[i]->pingNumber);
    }
    state_.altitudeVisible = shared_.settings.bottom.on != 0;
    state_.altitude = altitudeText();
    state_.altitudeColour = shared_.processing.currentAltitude > shared_.settings.minAltitude
                                ? kAltitudeSafeColour
                                : kAltitudeLowColour;
}

} // namespace kestrova::display
