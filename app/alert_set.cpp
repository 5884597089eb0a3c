#include "app/alert_set.h"

namespace kestrova::app {

AlarmSettingRules::AlarmSettingRules(Configuration& config)
    : config_(config), opened_(config.sonar.alarm), values_(config.sonar.alarm) {}

void AlarmSettingRules::setAltitudeAlarm(bool on) {
    values_.alertAltitude = on;
    config_.sonar.alarm.alertAltitude = on;
    config_.alarmLive.refresh(config_.sonar.alarm);
}

void AlarmSettingRules::setGpsAlarm(bool on) {
    values_.alertGps = on;
}

bool AlarmSettingRules::setGpsLevel(int level) {
    if (level < 0 || level >= static_cast<int>(kGpsAlarmLevelNames.size())) return false;
    values_.alertGpsLevel = level;
    return true;
}

bool AlarmSettingRules::accept(const std::optional<std::string>& projectConfigPath) {
    config_.sonar.alarm = values_;
    config_.alarmLive.refresh(values_);
    if (!projectConfigPath) return true;
    return config_.SaveConfigSection("SonarSetPara", *projectConfigPath);
}

void AlarmSettingRules::reject() {
    values_ = opened_;
    config_.sonar.alarm = opened_;
    config_.alarmLive.refresh(opened_);
}

} // namespace kestrova::app
