#pragma once
// The configuration store: owns every persistent setting of the program and
// reads and writes them section by section in the private-profile files.
//
// Files (Linux names of the program's files):
//   program folder = folder of the executable   SysCfg.ini (fallback), limits files
//   user folder ($XDG_CONFIG_HOME/Kestrova)       Kestrova.ini, PolyvoxSet.lang, SysCfg.ini (first)
//   project folder                                <project>.ini (the project configuration)
// An installed program never writes into its own folder: what it writes goes
// to the user folder.
//
// Writing a section: SaveConfigSection formats every key of the section in file
// order and writes them one by one into an IniFile loaded from the project
// configuration file, then commits the file once, through a temporary file and
// an atomic rename. A crash or a full disk therefore leaves the old file whole,
// and a failed write is reported to the operator instead of passing silently.
// The file content after a successful write is what the key-by-key writes of
// the private-profile calls would give.

#include "app/config/device_model.h"
#include "app/config/message.h"
#include "app/config/settings.h"
#include "platform/ini.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::app {

// The sections of a project configuration file, in the order a project loads them.
constexpr std::array<const char*, 4> kProjectConfigSections{"SonarSetPara", "ParaOfGeo",
                                                            "ParaOfNavi", "INSPara"};
constexpr const char* kSystemConfigFile = "SysCfg.ini";
constexpr const char* kLastProjectFile = "Kestrova.ini";
constexpr const char* kLanguageFile = "PolyvoxSet.lang";

// The folder of the files the program writes: $XDG_CONFIG_HOME/Kestrova, or
// ~/.config/Kestrova when that is unset or not absolute; ends in '/'.
std::string userConfigFolder();
// Makes the folder (and its parents) if missing; false when it cannot.
bool makeFolders(const std::string& folder);

// The interface language, true for English. The flag of PolyvoxSet.lang
// (section English, key bEnglish) when the file exists; without it the
// user's locale decides (LC_ALL, LC_MESSAGES, then LANG): Chinese for a "zh"
// one, English for any other. The window and the command-line tool both
// follow it.
bool interfaceEnglish(const std::string& languageFile);
// The same with the user folder's PolyvoxSet.lang.
bool interfaceEnglish();
// The locale part of the rule, for a locale name such as "zh_CN.UTF-8".
bool localeEnglish(std::string_view locale);

// One key as a section write stores it.
struct ConfigEntry {
    std::string key;
    std::string value;   // the setting's text, as the load would read it back
    bool quoted = false; // written wrapped in single quotes (PTransRa)
    std::string fileText() const { return quoted ? "'" + value + "'" : value; }
};

class Configuration {
  public:
    // `programFolder`: where SysCfg.ini, Kestrova.ini and the limits files lie
    // (normally platform::executableFolder()).
    // The files the program writes go to the program folder too: a portable
    // set-up, and the tests' own folders.
    explicit Configuration(std::string programFolder, Messenger& messenger = defaultMessenger());
    // `userFolder`: where Kestrova.ini and PolyvoxSet.lang are written and
    // SysCfg.ini is looked for first (normally userConfigFolder()).
    Configuration(std::string programFolder, std::string userFolder,
                  Messenger& messenger = defaultMessenger());
    Configuration(const Configuration&) = delete;
    Configuration& operator=(const Configuration&) = delete;

    SonarSettings sonar;
    InsSettings ins;
    NaviSettings navi;
    GeoSettings geo;
    SystemConfig system;
    AlarmLive alarmLive;
    DeviceModel device;

    const std::string& programFolder() const { return programFolder_; }
    std::string programFile(std::string_view name) const;
    const std::string& userFolder() const { return userFolder_; }
    std::string userFile(std::string_view name) const;
    // SysCfg.ini in the user folder when it is there, else beside the program.
    std::string systemConfigPath() const;
    Messenger& messenger() { return messenger_; }

    // Reads the named section ("SonarSetPara", "ParaOfGeo", "ParaOfNavi",
    // "INSPara", case-sensitive; any other reads nothing) from the file. A file
    // that does not exist, or cannot be read, leaves the settings as they were
    // and shows the path error. True when the section was read.
    bool LoadConfigSection(std::string_view section, const std::string& path);
    // Writes every key of the named section in file order, committed in one
    // atomic replacement of the file. Any other section name writes nothing
    // (false, no message). A failed write shows a message and returns false.
    bool SaveConfigSection(std::string_view section, const std::string& path);

    // The same read from a document already in memory (false for other names).
    bool loadSection(std::string_view section, const platform::IniDocument& doc);
    // The keys and texts a write of the section stores, in file order; nullopt
    // for other names.
    std::optional<std::vector<ConfigEntry>> sectionEntries(std::string_view section) const;

    // Reads systemConfigPath(); a missing file or key gives the defaults.
    void LoadSystemConfig();
    // The same from another SysCfg.ini (the command-line tool's --config folder).
    void LoadSystemConfig(const std::string& path);

    // The interface language by interfaceEnglish() with the user folder's
    // PolyvoxSet.lang; the write makes the folder when missing.
    bool readLanguageFlag() const;
    bool writeLanguageFlag(bool english);

    // Kestrova.ini in the user folder, section PreProjectInfo.
    std::string lastProjectFilePath() const { return userFile(kLastProjectFile); }
    LastProjectInfo readLastProject() const;
    bool writeLastProject(const LastProjectInfo& info);
    // Deletes the three PreProjectInfo keys.
    bool clearLastProject();

  private:
    void showReadPathError(const std::string& path);
    void showWriteError(const std::string& path, const std::string& why);
    bool commitOrReport(platform::IniFile& file);

    std::string programFolder_;
    std::string userFolder_;
    Messenger& messenger_;
};

} // namespace kestrova::app
