// Project loads through the survey session: whatever the project manager
// reads must reach the parts the session owns, and the owner's host must still
// hear every step.

#include "app/config/message.h"
#include "app/session/survey_session.h"
#include "platform/tests/temp_folder.h"

#include <gtest/gtest.h>

namespace kestrova::app {
namespace {

using kestrova::testing::TempFolder;

class CountingHost : public ProjectHost {
  public:
    void insSettingsLoaded() override { ++ins; }
    void projectLoaded() override { ++loaded; }
    int ins = 0;
    int loaded = 0;
};

// Guards: a project opened after start-up used to leave the recorders writing
// into the previous folder and the position input on the previous settings.
TEST(SurveySessionProject, OpeningAProjectReachesRecordersAndPositionInput) {
    TempFolder program, location;
    Messenger messenger;
    RecordingMessageSink messages;
    messenger.setEnglish(true);
    messenger.setSink(&messages);
    Configuration config(program.path(), messenger);
    platform::MessageQueue queue;
    CountingHost host;
    SurveySession session(config, queue, nullptr, host);
    EXPECT_FALSE(session.hasViews());

    const ProjectResult made = session.projects().createProject({"A", location.path()});
    ASSERT_TRUE(made.ok);
    EXPECT_EQ(session.rawRecorder().projectFolder(), made.project.path);
    const auto configFile = made.project.configPath();
    ASSERT_TRUE(configFile);
    // The project keeps its own position input port.
    config.ins.port = 6123;
    ASSERT_TRUE(config.SaveConfigSection("INSPara", *configFile));
    config.ins.port = 6001;
    session.navigation().setSettings(config.ins);
    // Another project in between: A is then opened from its file.
    const ProjectResult other = session.projects().createProject({"B", location.path()});
    ASSERT_TRUE(other.ok);
    EXPECT_EQ(session.projectFolder(), other.project.path);

    const int loadedBefore = host.loaded;
    const ProjectResult opened = session.projects().openProject(made.project.fullName, false);
    ASSERT_TRUE(opened.ok);
    EXPECT_EQ(session.projectFolder(), opened.project.path);
    EXPECT_EQ(session.rawRecorder().projectFolder(), opened.project.path);
    EXPECT_EQ(session.navigation().settings().port, 6123);
    EXPECT_GT(host.loaded, loadedBefore);
    EXPECT_GE(host.ins, 1);
    session.shutDown();
    EXPECT_TRUE(session.shutDownDone());
}

} // namespace
} // namespace kestrova::app
