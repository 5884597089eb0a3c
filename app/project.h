#pragma once
// Projects: every survey file belongs to one. A project is a folder named after
// the project inside the location the operator chose, holding the project file
// "<name>.ksp", the project configuration file "<name>.ini" and the folders
// "Data", "Target", "Navi" and "Temp". At most one project is open; the last one
// is remembered in Kestrova.ini (section PreProjectInfo) and offered again at
// start-up.
//
// The rules live here, without any toolkit. What the rest of the program must do
// when a project changes (window title, per-project lists, playback, the views)
// goes through ProjectHost; the dialogs through ProjectDialogs (Qt ones in
// app/ui/project_dialogs.h).
//
// Linux: "D:\KestrovaData", the default location, is the folder "KestrovaData"
// in the user's home folder ($HOME). Paths use '/'.

#include "app/config/configuration.h"
#include "app/config/message.h"

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova::app {

constexpr const char* kProjectExtension = ".ksp";
constexpr const char* kConfigExtension = ".ini";
constexpr const char* kDefaultDataFolder = "Data";
constexpr const char* kDefaultTargetFolder = "Target";
constexpr const char* kDefaultNaviFolder = "Navi";
constexpr const char* kDefaultTempFolder = "Temp";
constexpr const char* kProjectVersion = "1.0";
constexpr const char* kDefaultLocationFolderName = "KestrovaData";

// The project's paths were kept in buffers of 260 bytes. Rather than cut a longer
// path (and write into a different folder than the one shown), the program
// refuses any project path, file or folder of this many characters or more.
constexpr std::size_t kMaxProjectPathChars = 260;

// Window-message numbers the program posts when a project changes (and
// kMsgRefreshSonarPage, 1126, after the sonar section is loaded).
constexpr unsigned kMsgRecordButtonRefresh = 1142;  // to the main window
constexpr unsigned kMsgTargetProjectChanged = 1164; // to the target view
constexpr unsigned kMsgNaviProjectChanged = 1528;   // to the navigation view, parameter 1

// Folder names, relative to the project folder.
struct ProjectFolders {
    std::string data = kDefaultDataFolder;     // SonarDataPath
    std::string target = kDefaultTargetFolder; // TargetDataPath
    std::string navi = kDefaultNaviFolder;     // NavDataPath
    std::string temp = kDefaultTempFolder;     // TempDataPath
};

// The current project. All empty (and not open) until one is created or opened.
struct CurrentProject {
    std::string location;       // parent folder chosen when the project was created
    std::string name;           // project name (file title of the project file)
    std::string path;           // location/name: the project folder
    std::string fullName;       // path/name.ksp: the project file
    std::string configFileName; // name.ini, inside the project folder
    ProjectFolders folders;
    bool open = false;

    // project folder + "/" + folder name.
    std::string dataFolderPath() const;
    std::string targetFolderPath() const;
    std::string naviFolderPath() const;
    std::string tempFolderPath() const;
    // The project configuration file, while a project with one is open; every
    // settings write goes there.
    std::optional<std::string> configPath() const;
};

// What the "New project" dialog shows and returns.
struct NewProjectEntry {
    std::string name;
    std::string location;
};

enum class ManageChoice { None, NewProject, OpenProject };

// The file-open dialog for a project file.
struct OpenProjectRequest {
    std::string title;            // "Open project" / "打开工程"
    std::string initialFolder;    // where the dialog starts
    std::string filter;           // "Project File(*.ksp)"
    std::string defaultExtension; // "ksp"
};

// The dialogs of the project flows. Every method waits for the operator.
class ProjectDialogs {
  public:
    virtual ~ProjectDialogs() = default;
    // "Project manage": "New Project", "Open Project", or closed.
    virtual ManageChoice showManageDialog() = 0;
    // "New project" preset with `preset`; nullopt on Cancel.
    virtual std::optional<NewProjectEntry> showNewProjectDialog(const NewProjectEntry& preset) = 0;
    // The chosen project file; nullopt on Cancel.
    virtual std::optional<std::string> chooseProjectFile(const OpenProjectRequest& request) = 0;
};

// Outcome of loading the survey line file named by the project file.
enum class SurveyLineLoad { Loaded, Failed, NotAvailable };

// What the rest of the program does when the project changes. Every method has
// a do-nothing default, so a headless user (the command-line tool) overrides
// only what it has.
class ProjectHost {
  public:
    virtual ~ProjectHost() = default;
    virtual void setWindowTitle(const std::string& /*title*/) {}
    // Recorded-file list, target lists and track history, the recording and file
    // counters: they belong to the project being left.
    virtual void clearProjectLists() {}
    virtual bool playbackMode() const { return false; }
    // Stop the playback thread, return to live acquisition, re-send the channel
    // on/off state of both frequencies, show the first control-panel page.
    virtual void leavePlayback() {}
    // Messages 1164 to the target view and 1528 (parameter 1) to the navigation view.
    virtual void projectChanged() {}
    // A survey line file of the project's navigation folder (FileOfNavi/CurLine).
    virtual SurveyLineLoad loadSurveyLineFile(const std::string& /*path*/) {
        return SurveyLineLoad::NotAvailable;
    }
    // After each section is read from the project configuration file:
    virtual void sonarSettingsLoaded() {} // message 1126 to the sonar parameter page
    virtual void geoSettingsLoaded() {}   // the geodetic record to the geodesy engine
    virtual void naviSettingsLoaded() {}
    // Start the position input INS_ModeSelect and INS_NetType select, unless running.
    virtual void insSettingsLoaded() {}
    // Palettes and waterfall layout; the sound speed to the display (which redraws
    // both waterfalls when it differs from the one it used).
    virtual void displaySettingsLoaded(double /*soundSpeed*/) {}
    // Message 1142: the main window refreshes its recording button.
    virtual void projectLoaded() {}
};

// The result of a create or open that the caller (the window, the command-line
// tool, a headless acquisition) can act on without the dialogs.
struct ProjectResult {
    bool ok = false;
    CurrentProject project; // the current project afterwards
};

// Default project name: "Sonar_" + local time as "%Y%m%d_%H%M%S".
std::string defaultProjectName(std::time_t now);
// The default location: $HOME/KestrovaData (the program's "D:\KestrovaData").
std::string defaultProjectLocation();
// A location or folder text without trailing '/' or '\' (a lone "/" stays).
std::string withoutTrailingSeparators(std::string_view folder);
// The file title: the file name without folder and without its last extension.
std::string fileTitle(std::string_view path);
// Everything before the last '/' (empty when there is none).
std::string folderOf(std::string_view path);

class ProjectManager {
  public:
    ProjectManager(Configuration& config, ProjectHost& host, ProjectDialogs* dialogs = nullptr);
    ProjectManager(const ProjectManager&) = delete;
    ProjectManager& operator=(const ProjectManager&) = delete;

    const CurrentProject& current() const { return project_; }
    bool projectOpen() const { return project_.open; }
    // "Kestrova--" + project file, or "Kestrova--No project" ("Kestrova--无工程").
    std::string windowTitle() const;

    // The clock for default project names (tests set a fixed one).
    void setClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }
    void setDialogs(ProjectDialogs* dialogs) { dialogs_ = dialogs; }

    // The "Project" command and the start-up fallback.
    void ManageProject();
    // The "New project" dialog loop, until a project is created or the operator cancels.
    bool CreateProject();
    // The open-file flow.
    bool OpenProject();
    // Start-up: offers to reopen the project Kestrova.ini names.
    bool LoadLastProject();
    // Reads the project file and its configuration into the current project and
    // the settings. The folders are taken relative to the project path (the
    // project file's folder when none is set yet).
    void LoadProject(const std::string& projectFile);

    // The "New project" dialog's preset: a fresh default name, and the last
    // project's location when it still exists, else the default location.
    NewProjectEntry newProjectPreset() const;
    // The open dialog's title, initial folder and filter for the current state.
    OpenProjectRequest openProjectRequest() const;

    // One creation attempt with the values the dialog returned (steps after the
    // dialog): every check and message of the flow. The command-line tool uses it.
    ProjectResult createProject(const NewProjectEntry& entry);
    // Opens the project file as the open flow does after the file was chosen
    // (no confirmation asked). With rememberAsLast false Kestrova.ini is left
    // alone (a headless acquisition into a project). The result carries the
    // folders and, in the configuration, every loaded section.
    ProjectResult openProject(const std::string& projectFile, bool rememberAsLast = true);

  private:
    int show(std::string_view chinese, std::string_view english, unsigned flags);
    void refreshTitle();
    void switchProjectLists();
    void leavePlaybackAndNotify();
    void rememberAsLastProject();
    bool pathFits(std::string_view path) const { return path.size() < kMaxProjectPathChars; }
    void readFolderKey(const platform::IniDocument& doc, const char* key, const char* defaultName,
                       std::string& field, std::string_view chinese, std::string_view english);
    void loadSurveyLine(const platform::IniDocument& doc, const std::string& projectFile);
    void loadConfiguration(const platform::IniDocument& doc);

    Configuration& config_;
    ProjectHost& host_;
    ProjectDialogs* dialogs_;
    CurrentProject project_;
    std::function<std::time_t()> clock_;
};

} // namespace kestrova::app
