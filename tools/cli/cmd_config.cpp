// kestrova-cli config show FILE: the settings that loading FILE as a project
// configuration file gives, after the defaults for missing keys, one
// "section.key=value" line each, in load order.

#include "app/config/configuration.h"
#include "platform/fs.h"
#include "tools/cli/command.h"

#include <cstdio>

namespace kestrova::cli {
namespace {

constexpr const char* kUsage = "config show FILE";

int runConfig(const Args& args) {
    ArgList list(args);
    auto rest = list.positional();
    if (!list.ok()) return usageError(kUsage, list.error());
    if (rest.size() != 2 || rest[0] != "show") return usageError(kUsage, "");

    // Messages (such as a wrong path) go to standard error through the default sink.
    app::Configuration config(platform::executableFolder(), app::userConfigFolder());
    // Messages in the operator's language, as the program shows them.
    app::defaultMessenger().setEnglish(config.readLanguageFlag());
    const std::string& path = rest[1];
    bool allRead = true;
    for (const char* section : app::kProjectConfigSections)
        allRead = config.LoadConfigSection(section, path) && allRead;
    if (!allRead) return kExitFailure;

    for (const char* section : app::kProjectConfigSections) {
        auto entries = config.sectionEntries(section);
        for (const auto& e : entries.value())
            std::printf("%s.%s=%s\n", section, e.key.c_str(), e.value.c_str());
    }
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
}

const Registration reg{"config", kUsage, runConfig};

} // namespace
} // namespace kestrova::cli
