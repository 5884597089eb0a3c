#include "app/recording_setup.h"

#include "app/config/device_model.h"

namespace kestrova::app {

acquisition::KsfInstallation ksfInstallationFrom(const InstallationSettings& in) {
    acquisition::KsfInstallation k;
    k.soundVelocity = in.soundVelocity;
    k.density = in.density;
    k.useShipSpeed = in.useShipSpeed ? 1 : 0;
    k.shipSpeed = in.shipSpeed;
    k.gpsX = in.gpsX;
    k.gpsY = in.gpsY;
    k.gpsZ = in.gpsZ;
    k.towLength = in.towLength;
    k.useTowfishDepth = in.useTowfishDepth ? 1 : 0;
    k.towfishDepth = in.towfishDepth;
    k.towPointToWater = in.towPointToWater;
    k.gpsChoice = in.gpsChoice ? 1 : 0;
    k.headingSource = static_cast<std::uint32_t>(in.headingSource);
    k.syncMode = static_cast<std::uint32_t>(in.syncMode);
    k.syncPolarity = static_cast<std::uint32_t>(in.syncPolarity);
    return k;
}

void applyKsfInstallation(const acquisition::KsfInstallation& k, InstallationSettings& out) {
    out.soundVelocity = k.soundVelocity;
    out.density = k.density;
    out.useShipSpeed = k.useShipSpeed != 0;
    out.shipSpeed = k.shipSpeed;
    out.gpsX = k.gpsX;
    out.gpsY = k.gpsY;
    out.gpsZ = k.gpsZ;
    out.towLength = k.towLength;
    out.useTowfishDepth = k.useTowfishDepth != 0;
    out.towfishDepth = k.towfishDepth;
    out.towPointToWater = k.towPointToWater;
    out.gpsChoice = k.gpsChoice != 0;
    out.headingSource = static_cast<int>(k.headingSource);
    out.syncMode = static_cast<int>(k.syncMode);
    out.syncPolarity = static_cast<int>(k.syncPolarity);
}

bool modelTypeKnown(const std::string& type) {
    // The table maps every unknown text to model 2, whose own text is the default.
    return ModelNumberFromIdentifier(type) != kDefaultModelNumber ||
           type == kDefaultModelIdentifier;
}

bool applyKsfHeader(Configuration& config, const acquisition::KsfHeaderInfo& header,
                    acquisition::DeviceSessionBlock& session) {
    // Any type text selects a model, an unknown one model 2, as a live sonar's
    // does: the program's own recordings carry whatever type the sonar reported.
    applyKsfInstallation(header.install, config.sonar.install);
    config.sonar.soundSpeed = header.install.soundVelocity;
    session.deviceType = header.deviceType;
    session.deviceId = header.deviceId;
    if (header.variant == acquisition::KsfHeaderVariant::Current)
        session.firmwareVersion = header.firmwareVersion;
    session.hfFrequency = header.hfFrequency;
    session.lfFrequency = header.lfFrequency;
    config.device.SetModelNumber(ModelNumberFromIdentifier(header.deviceType));
    config.device.ApplyDeviceModel();
    return true;
}

} // namespace kestrova::app
