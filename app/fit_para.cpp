#include "app/fit_para.h"

#include "platform/library.h"

namespace kestrova::app {

namespace {
int validLatLonFormat(int format) {
    return format < 0 || format > 2 ? 0 : format;
}
} // namespace

std::vector<std::string> insDataProtocolNames(bool english) {
    if (english) return {"GGA+ZDA", "Ostra INS Protocol", "Custom"};
    return {"GGA+ZDA", "Ostra INS协议", "自定义协议"};
}

FitParaFields fitParaFields(const InstallationSettings& install, const SensorFlags& sensors) {
    FitParaFields f;
    f.soundVelocity = install.soundVelocity;
    f.density = install.density;
    f.autoShipSpeed = install.useShipSpeed;
    f.shipSpeed = install.shipSpeed;
    f.gpsX = install.gpsX;
    f.gpsY = install.gpsY;
    f.gpsZ = install.gpsZ;
    f.towLength = install.towLength;
    f.towPointToWater = install.towPointToWater;
    f.autoTowfishDepth = install.useTowfishDepth;
    f.towfishDepth = install.towfishDepth;
    f.headingSource = sensors.heading ? (install.headingSource == 1 ? 1 : 0) : 1;
    f.syncMode = install.syncMode == 1 ? 1 : 0;
    f.syncPolarity = f.syncMode == 0 ? 0 : (install.syncPolarity == 1 ? 1 : 0);
    f.latLonFormat = validLatLonFormat(install.latLonFormat);
    return f;
}

FitParaEnables fitParaEnables(const FitParaFields& fields, const SensorFlags& sensors,
                              bool playbackMode) {
    FitParaEnables e;
    e.fishGyro = sensors.heading;
    e.syncPolarity = fields.syncMode != 0;
    e.shipSpeed = !fields.autoShipSpeed;
    e.towfishDepth = !fields.autoTowfishDepth;
    e.density = fields.autoTowfishDepth;
    e.positionControls = !playbackMode;
    return e;
}

InsSettings withPositionChoice(InsSettings settings, int modeSelect, int dataType) {
    settings.modeSelect = modeSelect >= 0 && modeSelect <= 2 ? modeSelect : 0;
    settings.dataType = dataType >= 0 && dataType <= 2 ? dataType : 0;
    return settings;
}

FitParaStored storeFitParaFields(Configuration& config, const FitParaFields& fields,
                                 double displaySoundSpeed,
                                 const std::optional<std::string>& projectConfigPath) {
    InstallationSettings& in = config.sonar.install;
    in.useShipSpeed = fields.autoShipSpeed;
    in.useTowfishDepth = fields.autoTowfishDepth;
    in.gpsX = fields.gpsX;
    in.gpsY = fields.gpsY;
    in.gpsZ = fields.gpsZ;
    in.shipSpeed = fields.shipSpeed;
    in.latLonFormat = validLatLonFormat(fields.latLonFormat);
    in.density = fields.density;
    in.towfishDepth = fields.towfishDepth;
    in.towLength = fields.towLength;
    in.towPointToWater = fields.towPointToWater;
    in.soundVelocity = fields.soundVelocity;
    config.sonar.soundSpeed = fields.soundVelocity;
    in.syncMode = fields.syncMode;
    in.syncPolarity = fields.syncPolarity;
    in.headingSource = config.device.sensors.heading ? fields.headingSource : 1;

    FitParaStored r;
    r.recomputeWaterfalls = config.sonar.soundSpeed != displaySoundSpeed;
    if (projectConfigPath) {
        r.ok = config.SaveConfigSection("SonarSetPara", *projectConfigPath);
        r.sectionWritten = r.ok;
    }
    return r;
}

CoordinateOutcome runCoordinateSettings(Configuration& config, const CoordinateChanged& changed) {
    Messenger& messenger = config.messenger();
    const bool english = messenger.english();
    platform::SharedLibrary library;
    if (!library.open(config.programFolder(),
                      english ? kCoordinateLibraryEnglish : kCoordinateLibraryChinese)) {
        messenger.ShowMessage(fit_text::kLoadLibraryFailedZh, fit_text::kLoadLibraryFailedEn);
        return CoordinateOutcome::LibraryMissing;
    }
    using ShowDialogFn = unsigned char (*)(_DefGeodetsyParameterSetting*);
    auto* entry = reinterpret_cast<ShowDialogFn>(library.symbol(kCoordinateDialogEntry));
    if (!entry) {
        messenger.ShowMessage(fit_text::kEntryMissingZh, fit_text::kEntryMissingEn);
        return CoordinateOutcome::EntryMissing;
    }
    // The dialog edits a copy: the program's record changes only through
    // `changed`, after the operator finished.
    _DefGeodetsyParameterSetting record = config.geo.record;
    const bool finished = entry(&record) != 0;
    library.close();
    if (!finished) return CoordinateOutcome::Cancelled;
    const CoordinateStored stored = changed ? changed(record) : CoordinateStored::NoProject;
    switch (stored) {
    case CoordinateStored::Saved:
        messenger.ShowMessage(fit_text::kCoordinateSetZh, fit_text::kCoordinateSetEn,
                              mb::kIconInformation | mb::kOk);
        return CoordinateOutcome::Changed;
    case CoordinateStored::NoProject:
        // The engine converts with it now, but the next start forgets it.
        messenger.ShowMessage(fit_text::kCoordinateNoProjectZh, fit_text::kCoordinateNoProjectEn,
                              mb::kIconWarning | mb::kOk);
        return CoordinateOutcome::ChangedWithoutSaving;
    case CoordinateStored::SaveFailed:
        break;
    }
    messenger.ShowMessage(fit_text::kCoordinateNotSavedZh, fit_text::kCoordinateNotSavedEn);
    return CoordinateOutcome::SaveFailed;
}

} // namespace kestrova::app
