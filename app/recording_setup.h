#pragma once
// Where the recorders and playback meet the program's settings: the ".ksf"
// header's installation parameters from the settings, a played file's header
// back into the settings and the device model, and operator notices through
// the messenger.

#include "acquisition/ksf_header.h"
#include "acquisition/operator_notice.h"
#include "app/config/configuration.h"
#include "app/config/message.h"

namespace kestrova::app {

acquisition::KsfInstallation ksfInstallationFrom(const InstallationSettings& in);
void applyKsfInstallation(const acquisition::KsfInstallation& k, InstallationSettings& out);

// True when the model table has a model of exactly this type text.
bool modelTypeKnown(const std::string& type);

// A played file's header: installation parameters into the settings (sound
// speed included), the device model selected by the type text (any text the
// table does not name selects model 2) and applied. Always true. The session
// values (type, identifier, version, frequencies) go to `session`.
bool applyKsfHeader(Configuration& config, const acquisition::KsfHeaderInfo& header,
                    acquisition::DeviceSessionBlock& session);

// Notices of the recorders and playback shown through a messenger, with the
// warning icon and an OK button.
class MessengerNotices : public acquisition::OperatorNotices {
  public:
    explicit MessengerNotices(Messenger& messenger) : messenger_(messenger) {}
    using OperatorNotices::notify;
    void notify(std::string_view chinese, std::string_view english) override {
        messenger_.ShowMessage(chinese, english, mb::kIconWarning | mb::kOk);
    }

  private:
    Messenger& messenger_;
};

} // namespace kestrova::app
