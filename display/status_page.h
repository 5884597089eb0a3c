#pragma once
// The rules of the "Status information" page (CPageParaDisplay), without any
// toolkit: which rows the connected device has (message 0x60A), the cleared
// readouts (0x60F), and the texts the status display writes in: date, time and
// position of the newest fix, the newest pings' parameters and attitude, and
// the altitude in large figures, coloured by the minimum altitude.

#include "acquisition/frame_format.h"
#include "app/config/configuration.h"
#include "display/display_state.h"
#include "position/position_fix.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kestrova::display {

constexpr unsigned kMsgStatusPageDeviceIdentified = 0x60A;
constexpr unsigned kMsgStatusPageClear = 0x60F;

// The altitude figure: RGB(0x0A, 0xAA, 0xFB) above the minimum altitude, else red.
constexpr std::uint32_t kAltitudeSafeColour = 0x0AAAFB;
constexpr std::uint32_t kAltitudeLowColour = 0xFF0000;

struct SonarRowReadouts {
    std::string ping, range, power, signal, pulse, gain, spreading, absorption;
};

struct StatusPageState {
    // Rows the device has (0x60A).
    bool pressureVisible = true;
    bool attitudeVisible = true; // heading, pitch, roll
    bool temperatureVisible = true;
    bool humidityVisible = true;
    bool lfRowVisible = true;
    std::string firstRowCaption = "High:";
    // The altitude caption and figure, while bottom tracking is on.
    bool altitudeVisible = false;

    std::string date, time, longitude, latitude, course, speed, depth;
    std::string heading, pitch, roll, temperature, humidity, pressure;
    std::array<SonarRowReadouts, 2> rows;
    std::string altitude;
    std::uint32_t altitudeColour = kAltitudeSafeColour;
};

// What the status display hands the page on each refresh.
struct StatusPageInputs {
    position::PositionFix fix; // the newest display fix (kind "nothing": none yet)
    std::array<std::optional<acquisition::PingHeader>, 2> pings; // newest HF, LF headers
    // The parameters each channel's newest ping was made with, in the texts of
    // the ping parameter panels (its "ping" is taken from the header).
    std::array<std::optional<SonarRowReadouts>, 2> parameters;
};

class StatusPage {
  public:
    StatusPage(app::Configuration& config, const DisplayShared& shared);

    // Opening: the rows of the device, then cleared readouts.
    void open();
    // 0x60A: the rows the device reports, the first row's caption, the LF row; then 0x60F.
    void deviceIdentified();
    // 0x60F: every readout "None", the sensors at zero.
    void clear();
    // The status display's refresh.
    void update(const StatusPageInputs& in);
    const StatusPageState& state() const { return state_; }

    // "%0.1f" of the current altitude.
    std::string altitudeText() const;
    const char* noneText() const; // "None" in the interface language
    // Latitude or longitude with its hemisphere letter, in the operator's format.
    std::string positionText(double degrees, char hemisphere, bool longitude) const;

  private:
    app::Configuration& config_;
    const DisplayShared& shared_;
    StatusPageState state_;
};

} // namespace kestrova::display
