#pragma once
// "Alarm Setting" (CALertSet): the towfish altitude alarm and the GPS alarm
// with its level. The dialog mirrors this state. Ticking "TowFish Altitude
// Alarm" takes effect at once, so the waterfalls colour the altitude by the
// new switch while the dialog is still open.
//
// Closing with OK keeps the four values, refreshes the live copy the threads
// read and writes SonarSetPara when a project is open. Cancel puts back what
// the dialog found when it opened (the altitude switch included), so an
// operator who backs out of the dialog finds the alarms as they were.

#include "app/config/configuration.h"

#include <array>
#include <optional>
#include <string>

namespace kestrova::app {

constexpr std::array<const char*, 4> kGpsAlarmLevelNames{"无数据", "单点定位", "差分定位",
                                                         "RTK固定解"};

namespace alarm_text {
constexpr const char* kCaption = "报警设置";
constexpr const char* kAltitudeAlarm = "拖鱼高度报警";
constexpr const char* kAltitude = "高度：";
constexpr const char* kGpsAlarm = "GPS报警";
} // namespace alarm_text

class AlarmSettingRules {
  public:
    explicit AlarmSettingRules(Configuration& config);

    const AlarmSettings& values() const { return values_; }
    bool altitudeEditEnabled() const { return values_.alertAltitude; }
    bool levelRadiosEnabled() const { return values_.alertGps; }

    // "TowFish Altitude Alarm": enables the edit and sets AlS_bAlertAltitude now.
    void setAltitudeAlarm(bool on);
    // "GPS Alarm": enables the four level radios.
    void setGpsAlarm(bool on);
    void setMinAltitude(float metres) { values_.minAltitude = metres; }
    // 0 "No Data" .. 3 "RTK Fixed"; other values are refused (false).
    bool setGpsLevel(int level);

    // OK: the four values stored, the live copy refreshed, SonarSetPara
    // written to `projectConfigPath` when given. False when the write failed
    // (the operator has been told).
    bool accept(const std::optional<std::string>& projectConfigPath);
    // Cancel: the values the dialog opened with.
    void reject();

  private:
    Configuration& config_;
    AlarmSettings opened_;
    AlarmSettings values_;
};

} // namespace kestrova::app
