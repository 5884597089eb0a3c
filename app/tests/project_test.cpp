// Projects on real folders: what creating, opening and reopening puts on disk,
// what the operator is told, and which settings a project brings along. HOME
// points at a temporary folder, so the default location is inside it. Expected
// file texts are written out by hand from the project file's key table.

#include "app/project.h"
#include "app/tests/project_fakes.h"
#include "platform/tests/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>

namespace kestrova::app {
namespace {

using kestrova::app::testing::RecordingProjectHost;
using kestrova::app::testing::ScriptedProjectDialogs;
using kestrova::testing::readText;
using kestrova::testing::TempFolder;
using kestrova::testing::writeText;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

std::time_t localTime(int y, int mo, int d, int h, int mi, int s) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

std::set<std::string> entriesOf(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename().string() + (e.is_directory() ? "/" : ""));
    return names;
}

// One run of the program: its settings, its project manager, its messages.
struct ProgramRun {
    explicit ProgramRun(const std::string& programFolder) : config(programFolder, messenger) {
        messenger.setSink(&sink);
        messenger.setEnglish(true);
    }
    Strings texts() const {
        Strings out;
        for (const auto& m : sink.messages())
            out.push_back(m.text);
        return out;
    }
    RecordingMessageSink sink;
    Messenger messenger;
    Configuration config;
    RecordingProjectHost host;
    ScriptedProjectDialogs dialogs;
    ProjectManager projects{config, host, &dialogs};
};

class ProjectTest : public ::testing::Test {
  protected:
    ProjectTest() {
        if (const char* h = std::getenv("HOME")) savedHome_ = h;
        ::setenv("HOME", home.path().c_str(), 1);
        run.projects.setClock([this] { return now++; });
    }
    ~ProjectTest() override {
        if (savedHome_)
            ::setenv("HOME", savedHome_->c_str(), 1);
        else
            ::unsetenv("HOME");
    }
    std::string defaultLocation() const { return home.path() + "/KestrovaData"; }
    std::string lastProjectIni() const { return program.file("Kestrova.ini"); }
    // A project folder written by hand: the project file text and, optionally,
    // its configuration file.
    std::string handMadeProject(const std::string& name, const std::string& ksp,
                                std::optional<std::string> ini = std::string()) {
        std::string folder = other.path() + "/" + name;
        fs::create_directories(folder);
        writeText(folder + "/" + name + ".ksp", ksp);
        if (ini) writeText(folder + "/" + name + ".ini", *ini);
        return folder + "/" + name + ".ksp";
    }

    TempFolder home;    // $HOME
    TempFolder program; // program folder: Kestrova.ini
    TempFolder other;   // somewhere else on the disk
    std::time_t now = localTime(2024, 1, 31, 14, 25, 1);
    ProgramRun run{program.path()};

  private:
    std::optional<std::string> savedHome_;
};

// Guards the layout other installations and the recorders rely on: exactly these
// files and folders, these keys in this order, and the last-project record.
TEST_F(ProjectTest, ProjectAInTheDefaultLocationYieldsExactlyItsFilesFoldersAndKeys) {
    run.dialogs.newProjectAnswers.push_back(NewProjectEntry{"A", defaultLocation()});
    ASSERT_TRUE(run.projects.CreateProject());

    ASSERT_EQ(run.dialogs.presets.size(), 1u);
    EXPECT_EQ(run.dialogs.presets[0].name, "Sonar_20240131_142501");
    EXPECT_EQ(run.dialogs.presets[0].location, defaultLocation());

    std::string a = defaultLocation() + "/A";
    EXPECT_EQ(entriesOf(defaultLocation()), (std::set<std::string>{"A/"}));
    EXPECT_EQ(entriesOf(a),
              (std::set<std::string>{"A.ksp", "A.ini", "Data/", "Target/", "Navi/", "Temp/"}));
    for (const char* f : {"Data", "Target", "Navi", "Temp"})
        EXPECT_TRUE(entriesOf(a + "/" + f).empty()) << f;
    EXPECT_EQ(readText(a + "/A.ini"), "");
    EXPECT_EQ(readText(a + "/A.ksp"), "[Version]\r\nProjectVersion=1.0\r\n"
                                      "[FileOfProject]\r\nProjectNameINIF=A.ini\r\n"
                                      "SonarDataPath=Data\r\nTargetDataPath=Target\r\n"
                                      "NavDataPath=Navi\r\nTempDataPath=Temp\r\n");
    EXPECT_EQ(readText(lastProjectIni()), "[PreProjectInfo]\r\nProjectFullName=" + a +
                                              "/A.ksp\r\nProjectPath=" + a +
                                              "\r\nProjectLocation=" + defaultLocation() + "\r\n");

    const CurrentProject& p = run.projects.current();
    EXPECT_TRUE(p.open);
    EXPECT_EQ(p.name, "A");
    EXPECT_EQ(p.fullName, a + "/A.ksp");
    EXPECT_EQ(p.configPath(), a + "/A.ini");
    EXPECT_EQ(p.dataFolderPath(), a + "/Data");
    EXPECT_EQ(p.naviFolderPath(), a + "/Navi");
    EXPECT_EQ(run.texts(), (Strings{"Create the new project succesfully!"}));
    EXPECT_EQ(run.sink.messages()[0].flags, 0x31u);
    EXPECT_EQ(run.sink.messages()[0].caption, "Kestrova");
    EXPECT_EQ(run.host.titles, (Strings{"Kestrova--" + a + "/A.ksp"}));
    // A new project's configuration is empty: nothing is loaded from it.
    EXPECT_EQ(run.host.events, (Strings{"clear", "changed"}));
}

// Guards: a second project of the same name must not reuse (and mix into) the
// first one's folder; the dialog comes back with fresh values, the open project
// stays exactly as it was.
TEST_F(ProjectTest, ExistingFolderGivesTheSameNameMessageAndAFreshDialog) {
    ASSERT_TRUE(run.projects.createProject({"A", defaultLocation()}).ok);
    writeText(defaultLocation() + "/A/Data/keep.ksf", "survey");
    CurrentProject before = run.projects.current();
    run.sink.clear();
    run.host.events.clear();

    run.dialogs.newProjectAnswers.push_back(NewProjectEntry{"A", defaultLocation() + "/"});
    run.dialogs.newProjectAnswers.push_back(std::nullopt); // then Cancel
    EXPECT_FALSE(run.projects.CreateProject());

    EXPECT_EQ(run.texts(), (Strings{"There is already a project with the same name. Please "
                                    "re-enter the name of the project!"}));
    EXPECT_EQ(run.sink.messages()[0].flags, 0x31u);
    ASSERT_EQ(run.dialogs.presets.size(), 2u);
    EXPECT_EQ(run.dialogs.presets[0].name, "Sonar_20240131_142501");
    EXPECT_EQ(run.dialogs.presets[1].name, "Sonar_20240131_142502") << "typed name not kept";
    // Kestrova.ini's location exists, so it is the preset both times.
    EXPECT_EQ(run.dialogs.presets[1].location, defaultLocation());
    EXPECT_EQ(readText(defaultLocation() + "/A/Data/keep.ksf"), "survey");
    const CurrentProject& p = run.projects.current();
    EXPECT_EQ(p.fullName, before.fullName);
    EXPECT_EQ(p.name, before.name);
    EXPECT_EQ(p.location, before.location);
    EXPECT_TRUE(p.open);
    EXPECT_TRUE(run.host.events.empty()) << "a failed creation switched the project lists";
}

TEST_F(ProjectTest, TrailingSeparatorsOfTheLocationGiveTheSameFolder) {
    ASSERT_TRUE(run.projects.createProject({"B", other.path() + "\\"}).ok);
    EXPECT_EQ(run.projects.current().path, other.path() + "/B");
    ASSERT_TRUE(run.projects.createProject({"C", other.path() + "//"}).ok);
    EXPECT_EQ(run.projects.current().fullName, other.path() + "/C/C.ksp");
    EXPECT_EQ(run.projects.current().location, other.path());
    EXPECT_EQ(entriesOf(other.path()), (std::set<std::string>{"B/", "C/"}));
}

// Guards: a nested location the operator typed is created; one that cannot be
// (a file in the way) is reported with its path and nothing is created.
TEST_F(ProjectTest, LocationIsCreatedOrItsFailureReported) {
    std::string nested = other.path() + "/survey/2024";
    ASSERT_TRUE(run.projects.createProject({"N", nested}).ok);
    EXPECT_TRUE(fs::is_directory(nested + "/N/Data"));

    writeText(other.file("blocked"), "x");
    run.sink.clear();
    EXPECT_FALSE(run.projects.createProject({"M", other.file("blocked")}).ok);
    EXPECT_EQ(run.texts(), (Strings{"Failed to create directory " + other.file("blocked") + "!"}));
    EXPECT_EQ(run.projects.current().name, "N");
}

TEST_F(ProjectTest, EmptyNameOrLocationAsksAgainAndCancelShowsNoProject) {
    run.dialogs.newProjectAnswers.push_back(NewProjectEntry{"", defaultLocation()});
    run.dialogs.newProjectAnswers.push_back(NewProjectEntry{"  ", defaultLocation()});
    run.dialogs.newProjectAnswers.push_back(NewProjectEntry{"A", ""});
    run.dialogs.newProjectAnswers.push_back(std::nullopt);
    EXPECT_FALSE(run.projects.CreateProject());
    const std::string empty = "The path name or the project name is empty. Please re-enter it!";
    EXPECT_EQ(run.texts(), (Strings{empty, empty, empty}));
    EXPECT_EQ(run.dialogs.presets.size(), 4u);
    EXPECT_EQ(run.host.titles, (Strings{"Kestrova--No project"}));
    EXPECT_FALSE(fs::exists(defaultLocation()));
    EXPECT_FALSE(run.projects.projectOpen());
    EXPECT_EQ(run.projects.current().configPath(), std::nullopt) << "settings must not be saved";
}

// Guards: the old buffers would have cut a long path and written elsewhere; a
// name with a separator would have put the project outside its location.
TEST_F(ProjectTest, TooLongPathsAndNamesThatAreNotOneFolderAreRefusedUncut) {
    const std::string refused = "Failed to create the project. Please check the folder path!";
    // location/N/Target must stay under 260 characters: 259 - 9 ("/N/Target").
    std::string base = other.path() + "/";
    std::string fits = base + std::string(259 - 9 - base.size(), 'L');
    std::string tooLong = fits + "L";
    EXPECT_FALSE(run.projects.createProject({"N", tooLong}).ok);
    EXPECT_FALSE(fs::exists(tooLong)) << "refused before anything is created";
    EXPECT_TRUE(run.projects.createProject({"N", fits}).ok);
    EXPECT_EQ(run.projects.current().targetFolderPath().size(), 259u);

    for (const char* name : {"x/y", "..", "a\\b"}) {
        run.sink.clear();
        EXPECT_FALSE(run.projects.createProject({name, other.path()}).ok) << name;
        EXPECT_EQ(run.texts(), (Strings{refused})) << name;
    }
    EXPECT_EQ(entriesOf(other.path()).size(), 1u);
}

TEST_F(ProjectTest, CreatingInPlaybackLeavesPlaybackAndNotifiesTheViews) {
    run.host.playback = true;
    ASSERT_TRUE(run.projects.createProject({"P", other.path()}).ok);
    EXPECT_EQ(run.host.events, (Strings{"clear", "leave playback", "changed"}));
}

// Guards: a project folder moved elsewhere is found where its file now is.
TEST_F(ProjectTest, OpeningAMovedProjectTakesItsNewFolderAndParent) {
    ASSERT_TRUE(run.projects.createProject({"A", defaultLocation()}).ok);
    std::string moved = other.path() + "/archive";
    fs::create_directories(moved);
    fs::rename(defaultLocation() + "/A", moved + "/A");

    ProgramRun second(program.path());
    ProjectResult r = second.projects.openProject(moved + "/A/A.ksp");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.project.path, moved + "/A");
    EXPECT_EQ(r.project.location, moved);
    EXPECT_EQ(r.project.name, "A");
    EXPECT_EQ(r.project.configPath(), moved + "/A/A.ini");
    EXPECT_EQ(r.project.dataFolderPath(), moved + "/A/Data");
    EXPECT_TRUE(second.texts().empty());
    EXPECT_EQ(readText(lastProjectIni()), "[PreProjectInfo]\r\nProjectFullName=" + moved +
                                              "/A/A.ksp\r\nProjectPath=" + moved +
                                              "/A\r\nProjectLocation=" + moved + "\r\n");
    EXPECT_EQ(second.host.titles, (Strings{"Kestrova--" + moved + "/A/A.ksp"}));
}

// Guards the folder-key rules: missing gives the default silently (even after a
// project with other names), empty keeps the name and says so.
TEST_F(ProjectTest, MissingFolderKeysUseDefaultsAndEmptyOnesKeepTheNameWithAMessage) {
    std::string first = handMadeProject(
        "First", "[FileOfProject]\r\nProjectNameINIF=First.ini\r\nSonarDataPath=Raw\r\n"
                 "TargetDataPath=Objects\r\nNavDataPath=Lines\r\nTempDataPath=Scratch\r\n");
    ASSERT_TRUE(run.projects.openProject(first).ok);
    EXPECT_EQ(run.projects.current().dataFolderPath(), other.path() + "/First/Raw");
    EXPECT_TRUE(run.texts().empty());

    std::string bare = handMadeProject("Bare", "[Version]\r\nProjectVersion=1.0\r\n"
                                               "[FileOfProject]\r\nProjectNameINIF=Bare.ini\r\n");
    ASSERT_TRUE(run.projects.openProject(bare).ok);
    const ProjectFolders& f = run.projects.current().folders;
    EXPECT_EQ(Strings({f.data, f.target, f.navi, f.temp}),
              (Strings{"Data", "Target", "Navi", "Temp"}));
    EXPECT_TRUE(run.texts().empty());

    ASSERT_TRUE(run.projects.openProject(first).ok);
    std::string empties =
        handMadeProject("Empties", "[FileOfProject]\r\nProjectNameINIF=Empties.ini\r\n"
                                   "SonarDataPath=\r\nTargetDataPath=Tgt\r\nNavDataPath=\r\n"
                                   "TempDataPath=\r\n");
    ASSERT_TRUE(run.projects.openProject(empties).ok);
    const ProjectFolders& g = run.projects.current().folders;
    EXPECT_EQ(Strings({g.data, g.target, g.navi, g.temp}),
              (Strings{"Raw", "Tgt", "Lines", "Scratch"}));
    EXPECT_EQ(run.texts(), (Strings{"Failed to get Sonar data folder path!",
                                    "Failed to get Navigation data folder path!",
                                    "Failed to get temporary data folder path!"}));
    EXPECT_EQ(run.projects.current().dataFolderPath(), other.path() + "/Empties/Raw");
}

// Guards: a hand-edited project file must not send recordings out of the project.
TEST_F(ProjectTest, FolderKeysLeadingOutOfTheProjectAreRefused) {
    std::string file = handMadeProject(
        "Escape",
        "[FileOfProject]\r\nProjectNameINIF=../../etc.ini\r\n"
        "SonarDataPath=../../Elsewhere\r\nTargetDataPath=/tmp\r\nNavDataPath=Navi/2024\r\n");
    ASSERT_TRUE(run.projects.openProject(file).ok);
    const CurrentProject& p = run.projects.current();
    EXPECT_EQ(p.dataFolderPath(), other.path() + "/Escape/Data");
    EXPECT_EQ(p.targetFolderPath(), other.path() + "/Escape/Target");
    EXPECT_EQ(p.naviFolderPath(), other.path() + "/Escape/Navi/2024");
    EXPECT_EQ(p.configPath(), std::nullopt);
    EXPECT_EQ(run.texts(), (Strings{"Failed to get Sonar data folder path!",
                                    "Failed to get Target data folder path",
                                    "Failed to get the project configuration file!"}));
}

TEST_F(ProjectTest, ProjectWithoutConfigurationKeyLoadsNoSettings) {
    run.config.sonar.hf.rangeLevel = 6;
    std::string file = handMadeProject("NoIni", "[Version]\r\nProjectVersion=1.0\r\n");
    ASSERT_TRUE(run.projects.openProject(file).ok);
    EXPECT_EQ(run.texts(), (Strings{"Failed to get the project configuration file!"}));
    EXPECT_EQ(run.config.sonar.hf.rangeLevel, 6);
    EXPECT_EQ(run.projects.current().configPath(), std::nullopt);
    EXPECT_EQ(run.host.events, (Strings{"clear", "loaded", "changed"}));
}

TEST_F(ProjectTest, DeletedConfigurationFileShowsThePathErrorForEachSection) {
    std::string file =
        handMadeProject("Gone", "[FileOfProject]\r\nProjectNameINIF=Gone.ini\r\n", std::nullopt);
    ASSERT_TRUE(run.projects.openProject(file).ok);
    std::string error = "Failed to read the configuration information, " + other.path() +
                        "/Gone/Gone.ini path is error!";
    EXPECT_EQ(run.texts(), (Strings{error, error, error, error}));
}

// Guards: opening loads all four sections (with the defaults for missing keys),
// tells every part of the program, and the load never sees the previous
// project's recorded files, targets or track.
TEST_F(ProjectTest, OpeningLoadsEverySectionAndLeavesNothingOfThePreviousLists) {
    ASSERT_TRUE(run.projects.createProject({"Old", other.path()}).ok);
    run.host.lists = {"20240131_142501.ksf", "target 1", "track point"};
    run.host.events.clear();
    run.sink.clear();
    run.config.sonar.install.shipSpeed = 7.5f;
    run.config.navi.boatColor = 0x123456;

    std::string file =
        handMadeProject("New", "[FileOfProject]\r\nProjectNameINIF=New.ini\r\n",
                        "[SonarSetPara]\r\nRange_HF=5\r\nFitSoundVelocity=1480.5\r\n"
                        "[ParaOfGeo]\r\nCentralMeridian=1230000.00000E\r\nPTransRa='0.5'\r\n"
                        "[ParaOfNavi]\r\nTrackColor=255\r\n"
                        "[INSPara]\r\nINS_Port=7001\r\nINS_DataBit=3\r\n");
    ASSERT_TRUE(run.projects.openProject(file).ok);

    EXPECT_EQ(run.host.listsSeenByLoad, 0u);
    EXPECT_TRUE(run.host.lists.empty());
    EXPECT_EQ(run.host.events, (Strings{"clear", "sonar", "geo", "navi", "ins",
                                        "display " + std::to_string(1480.5), "loaded", "changed"}));
    const Configuration& c = run.config;
    EXPECT_EQ(c.sonar.hf.rangeLevel, 5);
    EXPECT_EQ(c.sonar.lf.rangeLevel, 3);
    EXPECT_DOUBLE_EQ(c.sonar.soundSpeed, 1480.5);
    EXPECT_EQ(c.sonar.install.shipSpeed, 0.0f) << "missing key gives its default";
    EXPECT_EQ(c.sonar.bottomTrack.on, 1);
    EXPECT_STREQ(c.geo.record.CentralMeridian, "1230000.00000E");
    EXPECT_STREQ(c.geo.record.PTransRa, "0.5");
    EXPECT_EQ(c.navi.trackColor, 255);
    EXPECT_EQ(c.navi.boatColor, 0x123456) << "ParaOfNavi keeps what the file lacks";
    EXPECT_EQ(c.ins.port, 7001);
    EXPECT_EQ(c.ins.dataBit, 3);
    EXPECT_EQ(c.ins.checkBit, 0);
    EXPECT_EQ(run.projects.current().configPath(), other.path() + "/New/New.ini");
    EXPECT_TRUE(run.texts().empty());
}

TEST_F(ProjectTest, OpenFlowAsksFirstAndIgnoresTheProjectAlreadyOpen) {
    ASSERT_TRUE(run.projects.createProject({"A", defaultLocation()}).ok);
    std::string a = run.projects.current().fullName;
    std::string b = handMadeProject("B", "[FileOfProject]\r\nProjectNameINIF=B.ini\r\n");
    run.sink.clear();
    run.host.events.clear();

    run.sink.setAnswer(IDNO);
    run.dialogs.fileAnswers.push_back(b);
    EXPECT_FALSE(run.projects.OpenProject());
    EXPECT_EQ(run.texts(), (Strings{"Be sure to open the selected project?"}));
    EXPECT_EQ(run.sink.messages()[0].flags, 0x24u);
    EXPECT_EQ(run.projects.current().fullName, a);

    run.sink.clear();
    run.sink.setAnswer(IDYES);
    run.dialogs.fileAnswers.push_back(a);
    run.projects.OpenProject();
    EXPECT_EQ(run.texts(), (Strings{"Be sure to open the selected project?"}));
    EXPECT_TRUE(run.host.events.empty()) << "reopening the open project changed something";
    ASSERT_EQ(run.dialogs.openRequests.size(), 2u);
    EXPECT_EQ(run.dialogs.openRequests[0].title, "Open project");
    EXPECT_EQ(run.dialogs.openRequests[0].initialFolder, defaultLocation() + "/A");
    EXPECT_EQ(run.dialogs.openRequests[0].filter, "Project File(*.ksp)");

    run.sink.clear();
    run.dialogs.fileAnswers.push_back(b);
    EXPECT_TRUE(run.projects.OpenProject());
    EXPECT_EQ(run.projects.current().fullName, b);
}

TEST_F(ProjectTest, OpeningAMissingFileReportsThePathAndKeepsTheProject) {
    ASSERT_TRUE(run.projects.createProject({"A", defaultLocation()}).ok);
    run.sink.clear();
    std::string missing = other.path() + "/Lost/Lost.ksp";
    EXPECT_FALSE(run.projects.openProject(missing).ok);
    EXPECT_EQ(run.texts(), (Strings{"Failed to read the project information when opening the "
                                    "project, " +
                                    missing + " file path error!"}));
    EXPECT_EQ(run.projects.current().name, "A");
    // A folder is not a project file either.
    EXPECT_FALSE(run.projects.openProject(other.path()).ok);
}

TEST_F(ProjectTest, OpenDialogStartsAtTheLastLocationOrTheDefault) {
    EXPECT_EQ(run.projects.openProjectRequest().initialFolder, defaultLocation());
    writeText(lastProjectIni(), "[PreProjectInfo]\r\nProjectLocation=/srv/surveys\r\n");
    EXPECT_EQ(run.projects.openProjectRequest().initialFolder, "/srv/surveys");
    run.messenger.setEnglish(false);
    EXPECT_EQ(run.projects.openProjectRequest().title, "打开工程");
    EXPECT_EQ(run.projects.windowTitle(), "Kestrova--无工程");
}

// Guards the survey line rule: a file that fails to load is forgotten by the
// project file; one that loads, or that is not there, stays named.
TEST_F(ProjectTest, SurveyLineFileIsLoadedAndForgottenWhenItFails) {
    std::string file =
        handMadeProject("L", "[FileOfProject]\r\nProjectNameINIF=L.ini\r\nNavDataPath=Lines\r\n"
                             "[FileOfNavi]\r\nCurLine=plan.lnw\r\n");
    fs::create_directories(other.path() + "/L/Lines");
    writeText(other.path() + "/L/Lines/plan.lnw", "lines");
    ASSERT_TRUE(run.projects.openProject(file).ok);
    EXPECT_EQ(run.host.linesLoaded, (Strings{other.path() + "/L/Lines/plan.lnw"}));
    EXPECT_NE(readText(file).find("CurLine=plan.lnw"), std::string::npos);

    ProgramRun second(program.path());
    second.host.lineResult = SurveyLineLoad::Failed;
    ASSERT_TRUE(second.projects.openProject(file).ok);
    EXPECT_EQ(readText(file), "[FileOfProject]\r\nProjectNameINIF=L.ini\r\nNavDataPath=Lines\r\n"
                              "[FileOfNavi]\r\n");

    writeText(file, "[FileOfProject]\r\nProjectNameINIF=L.ini\r\n[FileOfNavi]\r\n"
                    "CurLine=plan.lnw\r\n");
    ProgramRun third(program.path());
    third.host.lineResult = SurveyLineLoad::Failed;
    ASSERT_TRUE(third.projects.openProject(file).ok);
    EXPECT_TRUE(third.host.linesLoaded.empty()) << "no plan.lnw in the Navi folder";
    EXPECT_NE(readText(file).find("CurLine=plan.lnw"), std::string::npos);
}

TEST_F(ProjectTest, StartUpWithADeletedLastProjectSkipsTheQuestion) {
    ASSERT_TRUE(run.projects.createProject({"A", defaultLocation()}).ok);
    fs::remove_all(defaultLocation() + "/A");

    ProgramRun next(program.path());
    EXPECT_FALSE(next.projects.LoadLastProject());
    EXPECT_TRUE(next.texts().empty());
    EXPECT_EQ(next.dialogs.manageShown, 1);
    EXPECT_EQ(next.host.titles, (Strings{"Kestrova--No project"}));
}

TEST_F(ProjectTest, StartUpOfferDeclinedRunsProjectManage) {
    ASSERT_TRUE(run.projects.createProject({"A", defaultLocation()}).ok);
    ProgramRun next(program.path());
    next.sink.setAnswer(IDCANCEL);
    next.dialogs.manageAnswers.push_back(ManageChoice::NewProject);
    next.dialogs.newProjectAnswers.push_back(NewProjectEntry{"B", defaultLocation()});
    EXPECT_TRUE(next.projects.LoadLastProject());
    ASSERT_GE(next.sink.messages().size(), 1u);
    EXPECT_EQ(next.sink.messages()[0].text, "Load the last project?");
    EXPECT_EQ(next.sink.messages()[0].flags, 0x41u);
    EXPECT_EQ(next.dialogs.manageShown, 1);
    EXPECT_EQ(next.projects.current().name, "B");
}

// Guards the whole cycle: a project created, its settings changed and saved, the
// program closed; the next start reopens it with every saved setting.
TEST_F(ProjectTest, CreatedClosedAndReopenedProjectRestoresEverySavedSetting) {
    ASSERT_TRUE(run.projects.createProject({"Survey", defaultLocation()}).ok);
    Configuration& c = run.config;
    c.sonar.hf.rangeLevel = 5;
    c.sonar.lf.gainLevel = 7;
    c.sonar.install.soundVelocity = 1492.25f;
    c.sonar.install.shipSpeed = 3.5f;
    c.sonar.alarm.alertGps = false;
    c.sonar.alarm.alertGpsLevel = 2;
    c.sonar.bottomTrack.on = 0;
    c.sonar.display.invertLF = true;
    c.sonar.install.latLonFormat = 2;
    std::strcpy(c.geo.record.CentralMeridian, "1230000.00000E");
    std::strcpy(c.geo.record.PTransRa, "0.5");
    c.geo.record.ProjectionType = 3;
    c.navi.trackColor = 0x00FF00;
    c.navi.compass = 0;
    c.ins.modeSelect = 1;
    c.ins.port = 6100;
    c.ins.dataBit = 2;
    c.ins.checkBit = 1;
    auto config = run.projects.current().configPath();
    ASSERT_TRUE(config);
    for (const char* section : kProjectConfigSections)
        ASSERT_TRUE(c.SaveConfigSection(section, *config)) << section;

    ProgramRun next(program.path());
    next.sink.setAnswer(IDOK);
    ASSERT_TRUE(next.projects.LoadLastProject());
    EXPECT_EQ(next.texts(), (Strings{"Load the last project?"}));
    EXPECT_EQ(next.dialogs.manageShown, 0);
    EXPECT_EQ(next.projects.current().fullName, defaultLocation() + "/Survey/Survey.ksp");
    EXPECT_EQ(next.projects.current().configPath(), *config);
    for (const char* section : kProjectConfigSections)
        EXPECT_EQ(next.config.sectionEntries(section)->size(), c.sectionEntries(section)->size());
    for (const char* section : kProjectConfigSections) {
        auto saved = *c.sectionEntries(section);
        auto loaded = *next.config.sectionEntries(section);
        for (std::size_t i = 0; i < saved.size() && i < loaded.size(); ++i)
            EXPECT_EQ(loaded[i].value, saved[i].value) << section << "." << saved[i].key;
    }
    EXPECT_EQ(next.config.sonar.hf.rangeLevel, 5);
    EXPECT_DOUBLE_EQ(next.config.sonar.soundSpeed, 1492.25);
    EXPECT_EQ(next.config.sonar.bottomTrack.on, 0);
    EXPECT_EQ(next.config.ins.modeSelect, 1);
    EXPECT_EQ(next.host.events.back(), "changed");
}

// Guards the defaults of a newly created project's empty configuration file.
TEST_F(ProjectTest, ReopenedNewProjectLoadsTheMissingKeyDefaults) {
    ASSERT_TRUE(run.projects.createProject({"Fresh", defaultLocation()}).ok);
    ProgramRun next(program.path());
    EXPECT_EQ(next.config.sonar.install.shipSpeed, 5.0f);
    EXPECT_TRUE(next.config.sonar.alarm.alertGps);
    EXPECT_EQ(next.config.sonar.bottomTrack.on, 0);
    ASSERT_TRUE(next.projects.LoadLastProject());
    EXPECT_EQ(next.config.sonar.hf.rangeLevel, 3);
    EXPECT_EQ(next.config.sonar.hf.pulseLevel, 4);
    EXPECT_EQ(next.config.sonar.install.shipSpeed, 0.0f);
    EXPECT_FALSE(next.config.sonar.alarm.alertGps);
    EXPECT_EQ(next.config.sonar.bottomTrack.on, 1);
}

TEST_F(ProjectTest, StartUpRecordNamingAFolderTooLongIsForgotten) {
    // A Kestrova.ini naming an existing project file through a path that would
    // not fit: forgotten with its message rather than loaded cut short.
    std::string deep = other.path();
    while (deep.size() < 270)
        deep += "/deeper_folder";
    fs::create_directories(deep);
    writeText(deep + "/P.ksp", "[FileOfProject]\r\nProjectNameINIF=P.ini\r\n");
    writeText(lastProjectIni(), "[PreProjectInfo]\r\nProjectFullName=" + deep +
                                    "/P.ksp\r\nProjectPath=" + deep + "\r\n");
    run.sink.setAnswer(IDOK);
    EXPECT_FALSE(run.projects.LoadLastProject());
    EXPECT_EQ(run.texts(), (Strings{"Load the last project?", "Failed to load the last project!"}));
    EXPECT_EQ(readText(lastProjectIni()), "[PreProjectInfo]\r\n");
    EXPECT_FALSE(run.projects.projectOpen());
}

} // namespace
} // namespace kestrova::app
