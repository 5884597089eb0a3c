#include "app/session/display_settings.h"

namespace kestrova::app {

void applyProcessingSettings(const Configuration& config, display::DisplayPipelineSettings& d) {
    const SonarSettings& s = config.sonar;
    d.soundSpeed = s.soundSpeed;
    d.bottom.on = s.bottomTrack.on;
    d.bottom.source = s.bottomTrack.alertGps;
    d.altitudeAlarmOn = s.alarm.alertAltitude;
    d.minAltitude = s.alarm.minAltitude;
    d.strength = {s.display.backStrengthHF, s.display.backStrengthLF};
}

void applyPictureSettings(const Configuration& config, display::DisplayPipelineSettings& d) {
    const SonarSettings& s = config.sonar;
    d.palette = {s.display.backColorHF, s.display.backColorLF};
    d.invert = {s.display.invertHF, s.display.invertLF};
    d.deviceKind = config.device.frequencyCount;
}

display::FullScaleSettings fullScaleSettings(const Configuration& config) {
    display::FullScaleSettings full;
    full.blindMeter = config.system.blindMeter;
    full.newScale = config.system.newScale;
    full.oldScale = config.system.oldScale;
    full.useScale = config.system.useScale;
    full.disSize = config.system.disSize;
    return full;
}

} // namespace kestrova::app
