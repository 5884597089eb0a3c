#include "app/project.h"

#include "platform/fs.h"
#include "platform/ini.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace kestrova::app {
namespace {

namespace fs = std::filesystem;
using platform::IniDocument;

constexpr const char* kVersionSection = "Version";
constexpr const char* kFilesSection = "FileOfProject";
constexpr const char* kNaviSection = "FileOfNavi";

// The operator's messages of the project flows (Chinese, English).
struct Text {
    const char* zh;
    const char* en;
};
constexpr Text kEmptyEntry{"路径名或工程名为空，请重新输入！",
                           "The path name or the project name is empty. Please re-enter it!"};
constexpr Text kLocationFailed{"创建目录 %s 失败！", "Failed to create directory %s!"};
constexpr Text kSameName{"已存在同名工程，请重新输入工程名称！",
                         "There is already a project with the same name. Please re-enter the "
                         "name of the project!"};
constexpr Text kProjectFolderFailed{"创建工程失败，请检查文件夹路径！",
                                    "Failed to create the project. Please check the folder path!"};
constexpr Text kConfigFileFailed{"创建配置文件失败：%s！",
                                 "Failed to create the configuration file : %s!"};
constexpr Text kFolderFailed{"创建目录失败：%s！", "Failed to create directory : %s!"};
constexpr Text kProjectFileFailed{"创建工程文件失败：%s！",
                                  "Failed to create the project file : %s!"};
constexpr Text kCreated{"新建工程成功！", "Create the new project succesfully!"};
constexpr Text kConfirmOpen{"确定打开所选工程吗？", "Be sure to open the selected project?"};
constexpr Text kOpenPathError{
    "打开工程时读取工程信息失败，%s 文件路径错误！",
    "Failed to read the project information when opening the project, %s file path error!"};
constexpr Text kNoDataFolder{"获取声呐数据文件夹路径失败！",
                             "Failed to get Sonar data folder path!"};
constexpr Text kNoTargetFolder{"获取目标数据文件夹路径失败",
                               "Failed to get Target data folder path"};
constexpr Text kNoNaviFolder{"获取导航数据文件夹路径失败！",
                             "Failed to get Navigation data folder path!"};
constexpr Text kNoTempFolder{"获取临时数据文件夹路径失败！",
                             "Failed to get temporary data folder path!"};
constexpr Text kNoConfigFile{"获取工程配置文件失败！",
                             "Failed to get the project configuration file!"};
constexpr Text kLoadLast{"是否加载上一个工程？", "Load the last project?"};
constexpr Text kLoadLastFailed{"加载上一个工程失败！", "Failed to load the last project!"};

constexpr const char* kTitlePrefix = "Kestrova--";
constexpr const char* kNoProjectEn = "Kestrova--No project";
constexpr const char* kNoProjectZh = "Kestrova--无工程";

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return std::string(s);
}

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

// A project name becomes a folder and two file names: it must be one plain
// path element that the private-profile files can hold.
bool validProjectName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name)
        if (isSeparator(c) || static_cast<unsigned char>(c) < 0x20) return false;
    return true;
}

// A folder or file name read from a project file: relative, inside the project
// folder, so a hand-edited file cannot send recordings elsewhere.
bool staysInsideProject(std::string_view name) {
    if (name.empty() || name.front() == '/') return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string_view::npos) end = name.size();
        std::string_view part = name.substr(start, end - start);
        if (part == "..") return false;
        start = end + 1;
    }
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20) return false;
    return true;
}

bool isRegularFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

std::string absolutePath(const std::string& path) {
    if (path.empty() || path.front() == '/') return path;
    std::error_code ec;
    fs::path abs = fs::absolute(path, ec);
    return ec ? path : abs.lexically_normal().string();
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
        return pw->pw_dir;
    return "/tmp";
}

// Creates an empty file that must not exist yet (the project folder is new).
bool createEmptyFile(const std::string& path) {
    if (platform::PathFileExistsA(path)) return isRegularFile(path);
    return platform::writeFileAtomically(path, "");
}

} // namespace

std::string CurrentProject::dataFolderPath() const {
    return platform::joinPath(path, folders.data);
}
std::string CurrentProject::targetFolderPath() const {
    return platform::joinPath(path, folders.target);
}
std::string CurrentProject::naviFolderPath() const {
    return platform::joinPath(path, folders.navi);
}
std::string CurrentProject::tempFolderPath() const {
    return platform::joinPath(path, folders.temp);
}

std::optional<std::string> CurrentProject::configPath() const {
    if (!open || path.empty() || configFileName.empty()) return std::nullopt;
    return platform::joinPath(path, configFileName);
}

std::string defaultProjectName(std::time_t now) {
    std::tm local{};
    char text[32] = {};
    if (::localtime_r(&now, &local) == nullptr ||
        std::strftime(text, sizeof text, "%Y%m%d_%H%M%S", &local) == 0)
        return "Sonar_";
    return std::string("Sonar_") + text;
}

std::string defaultProjectLocation() {
    return platform::joinPath(withoutTrailingSeparators(homeFolder()), kDefaultLocationFolderName);
}

std::string withoutTrailingSeparators(std::string_view folder) {
    bool rooted = !folder.empty() && folder.front() == '/';
    while (!folder.empty() && isSeparator(folder.back()))
        folder.remove_suffix(1);
    if (folder.empty() && rooted) return "/";
    return std::string(folder);
}

std::string fileTitle(std::string_view path) {
    auto slash = path.find_last_of('/');
    std::string_view file = slash == std::string_view::npos ? path : path.substr(slash + 1);
    auto dot = file.find_last_of('.');
    if (dot != std::string_view::npos && dot > 0) file = file.substr(0, dot);
    return std::string(file);
}

std::string folderOf(std::string_view path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string_view::npos) return {};
    if (slash == 0) return "/";
    return std::string(path.substr(0, slash));
}

ProjectManager::ProjectManager(Configuration& config, ProjectHost& host, ProjectDialogs* dialogs)
    : config_(config), host_(host), dialogs_(dialogs), clock_([] { return std::time(nullptr); }) {}

int ProjectManager::show(std::string_view chinese, std::string_view english, unsigned flags) {
    return config_.messenger().ShowMessage(chinese, english, flags);
}

std::string ProjectManager::windowTitle() const {
    if (project_.fullName.empty())
        return config_.messenger().english() ? kNoProjectEn : kNoProjectZh;
    return kTitlePrefix + project_.fullName;
}

void ProjectManager::refreshTitle() {
    host_.setWindowTitle(windowTitle());
}

void ProjectManager::switchProjectLists() {
    host_.clearProjectLists();
}

void ProjectManager::leavePlaybackAndNotify() {
    if (host_.playbackMode()) host_.leavePlayback();
    host_.projectChanged();
}

void ProjectManager::rememberAsLastProject() {
    LastProjectInfo info;
    info.projectFullName = project_.fullName;
    info.projectPath = project_.path;
    info.projectLocation = project_.location;
    config_.writeLastProject(info); // a failure is shown to the operator there
}

NewProjectEntry ProjectManager::newProjectPreset() const {
    NewProjectEntry preset;
    preset.name = defaultProjectName(clock_());
    preset.location = defaultProjectLocation();
    if (platform::PathFileExistsA(config_.lastProjectFilePath())) {
        std::string last = withoutTrailingSeparators(config_.readLastProject().projectLocation);
        if (!last.empty() && platform::isDirectory(last)) preset.location = last;
    }
    return preset;
}

OpenProjectRequest ProjectManager::openProjectRequest() const {
    OpenProjectRequest r;
    r.title = config_.messenger().english() ? "Open project" : "打开工程";
    r.filter = config_.messenger().english() ? "Project File(*.ksp)" : "工程文件(*.ksp)";
    r.defaultExtension = "ksp";
    r.initialFolder = defaultProjectLocation();
    if (!project_.open) {
        std::string last = config_.readLastProject().projectLocation;
        if (!last.empty()) r.initialFolder = last;
    } else if (!project_.path.empty() && pathFits(project_.path)) {
        r.initialFolder = project_.path;
    }
    return r;
}

void ProjectManager::ManageProject() {
    if (dialogs_ == nullptr) return;
    switch (dialogs_->showManageDialog()) {
    case ManageChoice::NewProject:
        CreateProject();
        break;
    case ManageChoice::OpenProject:
        OpenProject();
        break;
    case ManageChoice::None:
        break;
    }
}

bool ProjectManager::CreateProject() {
    while (dialogs_ != nullptr) {
        auto entry = dialogs_->showNewProjectDialog(newProjectPreset());
        if (!entry) {
            if (!project_.open || project_.fullName.empty())
                host_.setWindowTitle(config_.messenger().english() ? kNoProjectEn : kNoProjectZh);
            return false;
        }
        if (createProject(*entry).ok) return true;
    }
    return false;
}

ProjectResult ProjectManager::createProject(const NewProjectEntry& entry) {
    constexpr unsigned kFlags = mb::kWarningOkCancel;
    ProjectResult failed{false, project_};
    std::string name = trimmed(entry.name);
    std::string location = withoutTrailingSeparators(trimmed(entry.location));
    if (name.empty() || location.empty()) {
        show(kEmptyEntry.zh, kEmptyEntry.en, kFlags);
        return failed;
    }
    // A relative location would name a different folder after the next start.
    location = withoutTrailingSeparators(absolutePath(location));

    // The new project is built aside; the open project stays current until the
    // new one is complete, so a failed attempt never leaves a half-switched state.
    CurrentProject next;
    next.location = location;
    next.name = name;
    next.path = platform::joinPath(location, name);
    next.fullName = platform::joinPath(next.path, name + kProjectExtension);
    std::string configFile = platform::joinPath(next.path, name + kConfigExtension);
    // Refused before anything is created: a name that is not one folder name, or
    // paths the project could not hold whole.
    bool fits = pathFits(next.fullName) && pathFits(configFile);
    for (const char* folder :
         {kDefaultDataFolder, kDefaultTargetFolder, kDefaultNaviFolder, kDefaultTempFolder})
        fits = fits && pathFits(platform::joinPath(next.path, folder));
    if (!validProjectName(name) || !fits) {
        show(kProjectFolderFailed.zh, kProjectFolderFailed.en, kFlags);
        return failed;
    }

    std::error_code ec;
    if (!platform::isDirectory(location)) {
        if (platform::PathFileExistsA(location) || !fs::create_directories(location, ec) ||
            !platform::isDirectory(location)) {
            show(withArgument(kLocationFailed.zh, location),
                 withArgument(kLocationFailed.en, location), kFlags);
            return failed;
        }
    }
    if (platform::PathFileExistsA(next.path)) {
        show(kSameName.zh, kSameName.en, kFlags);
        return failed;
    }
    if (!fs::create_directory(next.path, ec) || ec) {
        show(kProjectFolderFailed.zh, kProjectFolderFailed.en, kFlags);
        return failed;
    }

    next.open = true;
    if (!createEmptyFile(configFile)) {
        show(withArgument(kConfigFileFailed.zh, configFile),
             withArgument(kConfigFileFailed.en, configFile), kFlags);
        return failed;
    }
    next.configFileName = name + kConfigExtension;

    struct FolderStep {
        const char* folder;
        std::string* field;
    };
    ProjectFolders created; // each name is set once its folder exists
    created.data.clear();
    created.target.clear();
    created.navi.clear();
    created.temp.clear();
    for (FolderStep step : {FolderStep{kDefaultDataFolder, &created.data},
                            FolderStep{kDefaultTargetFolder, &created.target},
                            FolderStep{kDefaultNaviFolder, &created.navi},
                            FolderStep{kDefaultTempFolder, &created.temp}}) {
        std::string full = platform::joinPath(next.path, step.folder);
        if (!fs::create_directory(full, ec) || ec) {
            show(withArgument(kFolderFailed.zh, full), withArgument(kFolderFailed.en, full),
                 kFlags);
            return failed;
        }
        *step.field = step.folder;
    }
    next.folders = created;

    IniDocument doc;
    doc.writeString(kVersionSection, "ProjectVersion", kProjectVersion);
    doc.writeString(kFilesSection, "ProjectNameINIF", next.configFileName);
    doc.writeString(kFilesSection, "SonarDataPath", next.folders.data);
    doc.writeString(kFilesSection, "TargetDataPath", next.folders.target);
    doc.writeString(kFilesSection, "NavDataPath", next.folders.navi);
    doc.writeString(kFilesSection, "TempDataPath", next.folders.temp);
    if (!platform::writeFileAtomically(next.fullName, doc.serialize())) {
        show(withArgument(kProjectFileFailed.zh, next.fullName),
             withArgument(kProjectFileFailed.en, next.fullName), kFlags);
        return failed;
    }

    project_ = std::move(next);
    rememberAsLastProject();
    switchProjectLists();
    show(kCreated.zh, kCreated.en, kFlags);
    refreshTitle();
    leavePlaybackAndNotify();
    return {true, project_};
}

bool ProjectManager::OpenProject() {
    if (dialogs_ == nullptr) return false;
    auto chosen = dialogs_->chooseProjectFile(openProjectRequest());
    if (!chosen) return false;
    if (project_.open &&
        show(kConfirmOpen.zh, kConfirmOpen.en, mb::kYesNo | mb::kIconQuestion) != IDYES)
        return false;
    return openProject(*chosen).ok;
}

ProjectResult ProjectManager::openProject(const std::string& projectFile, bool rememberAsLast) {
    std::string chosen = absolutePath(projectFile);
    if (chosen == project_.fullName) return {project_.open, project_};
    if (!pathFits(chosen) || !isRegularFile(chosen)) {
        show(withArgument(kOpenPathError.zh, chosen), withArgument(kOpenPathError.en, chosen),
             mb::kWarningOkCancel);
        return {false, project_};
    }
    project_.fullName = chosen;
    project_.name = fileTitle(chosen);
    refreshTitle();
    switchProjectLists();
    project_.path = folderOf(chosen);
    project_.location = folderOf(project_.path);
    LoadProject(chosen);
    project_.open = true;
    if (rememberAsLast) rememberAsLastProject();
    leavePlaybackAndNotify();
    return {true, project_};
}

bool ProjectManager::LoadLastProject() {
    project_.location.clear();
    project_.name.clear();
    project_.fullName.clear();
    refreshTitle();

    bool iniExists = platform::PathFileExistsA(config_.lastProjectFilePath());
    if (iniExists && isRegularFile(config_.readLastProject().projectFullName)) {
        if (show(kLoadLast.zh, kLoadLast.en, mb::kOkCancel | mb::kIconInformation) == IDOK) {
            LastProjectInfo info = config_.readLastProject();
            std::string full = absolutePath(info.projectFullName);
            if (pathFits(full) && isRegularFile(full)) {
                project_.fullName = full;
                project_.name = fileTitle(full);
                // The folders follow from the project file itself, as when it
                // is opened, so a hand-edited record cannot split them apart.
                project_.path = folderOf(full);
                project_.location = folderOf(project_.path);
                refreshTitle();
                LoadProject(full);
                project_.open = true;
                host_.projectChanged();
                return true;
            }
            config_.clearLastProject();
            show(kLoadLastFailed.zh, kLoadLastFailed.en, mb::kWarningOkCancel);
        }
    }
    ManageProject();
    return project_.open;
}

void ProjectManager::readFolderKey(const IniDocument& doc, const char* key, const char* defaultName,
                                   std::string& field, std::string_view chinese,
                                   std::string_view english) {
    auto value = doc.value(kFilesSection, key);
    if (!value) {
        field = defaultName;
        return;
    }
    std::string name = withoutTrailingSeparators(*value);
    if (name.empty() || !staysInsideProject(name) ||
        !pathFits(platform::joinPath(project_.path, name))) {
        show(chinese, english, mb::kWarningOkCancel);
        return;
    }
    field = name;
}

void ProjectManager::loadSurveyLine(const IniDocument& doc, const std::string& projectFile) {
    auto line = doc.value(kNaviSection, "CurLine");
    if (!line || line->empty() || !staysInsideProject(*line)) return;
    std::string file = platform::joinPath(project_.naviFolderPath(), *line);
    if (!isRegularFile(file)) return;
    if (host_.loadSurveyLineFile(file) == SurveyLineLoad::Failed)
        platform::WritePrivateProfileStringA(kNaviSection, "CurLine", nullptr, projectFile);
}

void ProjectManager::loadConfiguration(const IniDocument& doc) {
    auto name = doc.value(kFilesSection, "ProjectNameINIF");
    if (!name || name->empty() || !staysInsideProject(*name) ||
        !pathFits(platform::joinPath(project_.path, *name))) {
        // Without a configuration file the settings are neither loaded nor saved.
        project_.configFileName.clear();
        show(kNoConfigFile.zh, kNoConfigFile.en, mb::kWarningOkCancel);
        return;
    }
    project_.configFileName = *name;
    std::string path = platform::joinPath(project_.path, *name);
    config_.LoadConfigSection("SonarSetPara", path);
    host_.sonarSettingsLoaded();
    config_.LoadConfigSection("ParaOfGeo", path);
    host_.geoSettingsLoaded();
    config_.LoadConfigSection("ParaOfNavi", path);
    host_.naviSettingsLoaded();
    config_.LoadConfigSection("INSPara", path);
    host_.insSettingsLoaded();
    host_.displaySettingsLoaded(config_.sonar.soundSpeed);
}

void ProjectManager::LoadProject(const std::string& projectFile) {
    // Every folder is relative to the project folder: never resolve them against
    // the current directory.
    if (project_.path.empty()) project_.path = folderOf(absolutePath(projectFile));
    platform::IniFile file(projectFile);
    file.load(); // an unreadable project file reads as one without keys
    const IniDocument& doc = file.document();
    ProjectFolders& f = project_.folders;
    readFolderKey(doc, "SonarDataPath", kDefaultDataFolder, f.data, kNoDataFolder.zh,
                  kNoDataFolder.en);
    readFolderKey(doc, "TargetDataPath", kDefaultTargetFolder, f.target, kNoTargetFolder.zh,
                  kNoTargetFolder.en);
    readFolderKey(doc, "NavDataPath", kDefaultNaviFolder, f.navi, kNoNaviFolder.zh,
                  kNoNaviFolder.en);
    loadSurveyLine(doc, projectFile);
    readFolderKey(doc, "TempDataPath", kDefaultTempFolder, f.temp, kNoTempFolder.zh,
                  kNoTempFolder.en);
    loadConfiguration(doc);
    host_.projectLoaded();
}

} // namespace kestrova::app
