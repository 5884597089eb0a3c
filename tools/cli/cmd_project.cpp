// kestrova-cli project create NAME [--location DIR]: creates a project as the
// "New project" dialog does (same checks and messages; Kestrova.ini then offers
// it at the next start) and prints the project file's path.
// kestrova-cli project show FILE.ksp: the project's folders and files as opening
// it gives them, one "item=value" line each. Nothing is written.

#include "app/config/configuration.h"
#include "app/project.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "tools/cli/command.h"

#include <cstdio>

namespace kestrova::cli {
namespace {

constexpr const char* kUsage = "project create NAME [--location DIR] | project show FILE.ksp";

int runCreate(app::ProjectManager& projects, const std::string& name,
              const std::optional<std::string>& location) {
    app::NewProjectEntry entry = projects.newProjectPreset();
    entry.name = name;
    if (location) entry.location = *location;
    app::ProjectResult r = projects.createProject(entry);
    if (!r.ok) return kExitFailure;
    std::printf("%s\n", r.project.fullName.c_str());
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
}

int runShow(app::ProjectManager& projects, const std::string& file) {
    // Opened as the window opens it, but not remembered as the last project.
    app::ProjectResult r = projects.openProject(file, false);
    if (!r.ok) return kExitFailure;
    const app::CurrentProject& p = r.project;
    std::string version =
        platform::GetPrivateProfileStringA("Version", "ProjectVersion", "", 4096, p.fullName);
    std::string line =
        platform::GetPrivateProfileStringA("FileOfNavi", "CurLine", "", 4096, p.fullName);
    auto config = p.configPath();
    std::printf("name=%s\n", p.name.c_str());
    std::printf("location=%s\n", p.location.c_str());
    std::printf("path=%s\n", p.path.c_str());
    std::printf("file=%s\n", p.fullName.c_str());
    std::printf("version=%s\n", version.c_str());
    std::printf("config=%s\n", config ? config->c_str() : "");
    std::printf("data=%s\n", p.dataFolderPath().c_str());
    std::printf("target=%s\n", p.targetFolderPath().c_str());
    std::printf("navi=%s\n", p.naviFolderPath().c_str());
    std::printf("temp=%s\n", p.tempFolderPath().c_str());
    std::printf("curline=%s\n", line.c_str());
    if (std::fflush(stdout) != 0) return kExitFailure;
    // A project whose settings cannot be read is not ready for a survey.
    return config && platform::PathFileExistsA(*config) ? kExitOk : kExitFailure;
}

int runProject(const Args& args) {
    ArgList list(args);
    auto location = list.value("--location");
    auto rest = list.positional();
    if (!list.ok()) return usageError(kUsage, list.error());
    if (rest.size() != 2) return usageError(kUsage, "");
    if (rest[0] != "create" && rest[0] != "show") return usageError(kUsage, "");
    if (rest[0] == "show" && location) return usageError(kUsage, "--location is for create");

    // Messages go to standard error, in the operator's language.
    app::Configuration config(platform::executableFolder(), app::userConfigFolder());
    app::defaultMessenger().setEnglish(config.readLanguageFlag());
    app::ProjectHost host; // no window, views or recorder to tell
    app::ProjectManager projects(config, host);
    if (rest[0] == "create") return runCreate(projects, rest[1], location);
    return runShow(projects, rest[1]);
}

const Registration reg{"project", kUsage, runProject};

} // namespace
} // namespace kestrova::cli
