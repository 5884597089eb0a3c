#include "position/position_system.h"

#include "platform/fs.h"

namespace kestrova::position {

PositionSystem::PositionSystem(app::Configuration& config, platform::MessageQueue& queue,
                               NavigationInput::TickSource tick)
    : config_(config), geodesy_(config.geo.record),
      input_(queue, config.messenger(), config.alarmLive, std::move(tick)) {
    input_.setGridConverter(&geodesy_);
    configurationLoaded();
}

PositionSystem::~PositionSystem() {
    input_.stop_navigation_thread();
    input_.closeAll();
}

void PositionSystem::configurationLoaded() {
    input_.setTimeZoneHour(config_.system.timeZoneHour);
    input_.setSettings(config_.ins);
    geodesy_.setRecord(config_.geo.record);
}

bool PositionSystem::coordinateSettingsChanged(const _DefGeodetsyParameterSetting& record,
                                               const std::string& path) {
    config_.geo.record = record;
    geodesy_.setRecord(record);
    if (path.empty() || !platform::PathFileExistsA(path)) return true;
    return config_.SaveConfigSection("ParaOfGeo", path);
}

bool PositionSystem::positionSettingsAccepted(const app::InsSettings& settings,
                                              const std::string& path) {
    const bool saved = storePositionSettings(settings, path);
    input_.apply_position_settings();
    return saved;
}

bool PositionSystem::storePositionSettings(const app::InsSettings& settings,
                                           const std::string& path) {
    config_.ins = settings;
    input_.setSettings(settings);
    if (path.empty() || !platform::PathFileExistsA(path)) return true;
    return config_.SaveConfigSection("INSPara", path);
}

void PositionSystem::restartPositionInput() {
    input_.apply_position_settings();
}

void PositionSystem::stopPositionInput() {
    // Settings that no longer ask for the network are applied whole, so the
    // data type and the serial choice take effect too; a network still
    // chosen is only closed, until the next 1552 opens it again.
    if (input_.settings().modeSelect != kModeNetwork)
        input_.apply_position_settings();
    else
        input_.close_network_channel();
}

} // namespace kestrova::position
