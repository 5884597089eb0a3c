#include "tools/cli/operator_settings.h"

#include "app/project.h"
#include "platform/fs.h"

#include <cstdio>
#include <filesystem>

namespace kestrova::cli {

bool readableFile(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

namespace {

// The one project file of a project folder (a file is taken as it is).
std::optional<std::string> projectFileOf(const std::string& given) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(given, ec)) return given;
    std::optional<std::string> found;
    for (const auto& entry : fs::directory_iterator(given, ec)) {
        if (entry.path().extension() != app::kProjectExtension) continue;
        if (found) return std::nullopt; // more than one: which is meant is unknown
        found = entry.path().string();
    }
    return found;
}

} // namespace

// As the program and `acquire` read them.
bool loadOperatorSettings(app::Configuration& config, const std::optional<std::string>& configArg,
                          const std::optional<std::string>& projectArg) {
    if (configArg) {
        std::string file = *configArg;
        if (platform::isDirectory(file)) file = platform::joinPath(file, app::kSystemConfigFile);
        platform::IniFile ini(file);
        if (!readableFile(file) || !ini.load()) {
            std::fprintf(stderr, "kestrova-cli: cannot read the settings file %s\n", file.c_str());
            return false;
        }
        config.LoadSystemConfig(file);
        // The display settings live in SonarSetPara: a file carrying that
        // section (a copy of a project's configuration) brings them as well.
        if (ini.document().hasSection("SonarSetPara") &&
            !config.LoadConfigSection("SonarSetPara", file))
            return false;
    }
    if (projectArg) {
        auto file = projectFileOf(*projectArg);
        if (!file) {
            std::fprintf(stderr, "kestrova-cli: no single project file (*%s) in %s\n",
                         app::kProjectExtension, projectArg->c_str());
            return false;
        }
        app::ProjectHost host; // no window, views or recorder to tell
        app::ProjectManager projects(config, host);
        // Opened as the window opens it, but not remembered as the last project.
        app::ProjectResult r = projects.openProject(*file, false);
        if (!r.ok) {
            std::fprintf(stderr, "kestrova-cli: cannot open the project %s\n", file->c_str());
            return false;
        }
        auto settings = r.project.configPath();
        if (!settings || !readableFile(*settings)) {
            std::fprintf(stderr, "kestrova-cli: cannot read the settings of the project %s%s%s\n",
                         file->c_str(), settings ? ": " : "", settings ? settings->c_str() : "");
            return false;
        }
    }
    return true;
}

} // namespace kestrova::cli
