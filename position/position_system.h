#pragma once
// The position input as the program owns it: the one geodesy engine and the
// navigation input, wired to the configuration store. Created at start-up
// (the engine with it; start-up ends with "Load Tessmark.dll error!" when it
// is not valid), told when a project's configuration was loaded or the
// operator changed a setting, destroyed at exit (threads stopped, channels
// and the engine closed, in that order).

#include "app/config/configuration.h"
#include "position/geodesy_engine.h"
#include "position/navigation_input.h"

#include <string>

namespace kestrova::position {

class PositionSystem {
  public:
    PositionSystem(app::Configuration& config, platform::MessageQueue& queue,
                   NavigationInput::TickSource tick = nullptr);
    ~PositionSystem();
    PositionSystem(const PositionSystem&) = delete;
    PositionSystem& operator=(const PositionSystem&) = delete;

    bool valid() const { return geodesy_.valid(); }
    GeodesyEngine& geodesy() { return geodesy_; }
    NavigationInput& input() { return input_; }

    // After SysCfg.ini and after every project load: the time zone, the
    // position settings and the geodetic record (handed to the engine whole).
    void configurationLoaded();

    // The coordinate settings dialog finished with a change: the record goes to
    // the engine, and to section ParaOfGeo of the project configuration file
    // when that file exists. False when the file could not be written.
    bool coordinateSettingsChanged(const _DefGeodetsyParameterSetting& record,
                                   const std::string& projectConfigPath);

    // The device parameters page accepted the position-input settings: they
    // are stored (section INSPara written when the file exists) and the
    // channel is opened, reopened or closed as they now ask.
    bool positionSettingsAccepted(const app::InsSettings& settings,
                                  const std::string& projectConfigPath);
    // The same without touching the channel: the main frame does that when
    // the page's message (1552 or 1553) arrives. False when the file could
    // not be written.
    bool storePositionSettings(const app::InsSettings& settings,
                               const std::string& projectConfigPath);
    // The main frame's handling of those messages: 1552 opens or reopens the
    // channel INSPara asks for; 1553 stops the network input (and, with no
    // device chosen, the serial port), keeping whatever else INSPara still
    // asks for.
    void restartPositionInput();
    void stopPositionInput();

  private:
    app::Configuration& config_;
    GeodesyEngine geodesy_;
    NavigationInput input_;
};

} // namespace kestrova::position
