#include "app/hide_advanced.h"

#include "acquisition/device_session.h"
#include "acquisition/sonar_acquisition.h"
#include "acquisition/sonar_commands.h"

namespace kestrova::app {

AdvancedSettingsRules::AdvancedSettingsRules(AdvancedSettings& settings, SonarCommandPort& port,
                                             Messenger& messenger)
    : settings_(settings), port_(port), messenger_(messenger) {}

bool AdvancedSettingsRules::send(const std::string& lines) {
    return port_.commandChannelConnected() && port_.sendCommandLines(lines);
}

void AdvancedSettingsRules::bothFrequenciesNote(bool sent) {
    if (sent)
        messenger_.ShowMessage(advanced_text::kBothFrequenciesZh,
                               advanced_text::kBothFrequenciesEn);
    else
        messenger_.ShowMessage(acquisition::session_text::kNotConnectedZh,
                               acquisition::session_text::kNotConnectedEn);
}

bool AdvancedSettingsRules::changeUpload(int index) {
    // Any selection the combo should not have falls back to result data.
    const auto line = acquisition::updataSwitchLine(index);
    const bool sent = send(line ? *line : *acquisition::updataSwitchLine(0));
    settings_.uploadKind = line ? index : 0;
    settings_.rawUpload = index == 1;
    return sent;
}

void AdvancedSettingsRules::changeStorage(int index) {
    settings_.storageForm = index;
}

bool AdvancedSettingsRules::changeGain(int dB) {
    settings_.maximumGain = dB;
    port_.setAdvancedGain(Frequency::HF, dB);
    port_.setAdvancedGain(Frequency::LF, dB);
    bool sent = port_.commandChannelConnected();
    if (sent) {
        sent = port_.sendGainCommand(Frequency::HF);
        sent = port_.sendGainCommand(Frequency::LF) && sent;
    }
    bothFrequenciesNote(sent);
    return sent;
}

bool AdvancedSettingsRules::changeIdleTime(const std::string& typed) {
    const auto line = acquisition::typedIntervalLine(typed);
    if (!line) {
        // A comma or a "*" would cut the line short and the sonar would take
        // something else than the operator typed.
        messenger_.ShowMessage(advanced_text::kBadIdleTimeZh, advanced_text::kBadIdleTimeEn);
        return false;
    }
    settings_.idleTimeText = typed;
    return send(*line);
}

bool AdvancedSettingsRules::changeTransmitMode(int index) {
    settings_.transmitMode = index;
    const bool sent = send(acquisition::emitTransducerLines(index));
    bothFrequenciesNote(sent);
    return sent;
}

bool AdvancedSettingsRules::changeReceiveMode(int index) {
    settings_.receiveMode = index;
    const bool sent = send(acquisition::recvTransducerLines(index));
    bothFrequenciesNote(sent);
    return sent;
}

bool AdvancedSettingsRules::changeAlgorithm(int index) {
    settings_.algorithm = index;
    return send(acquisition::algorithmLine(index));
}

bool AdvancedSettingsRules::stopPinging() {
    return send(std::string(acquisition::kStopLine));
}

bool AdvancedSettingsRules::startPinging() {
    return send(std::string(acquisition::kStartLine));
}

} // namespace kestrova::app
