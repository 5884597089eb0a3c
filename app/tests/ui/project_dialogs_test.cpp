// The project dialogs under the offscreen platform, alone and driving the real
// project flows: an "operator" acts on each modal window as it comes up.

#include "app/project.h"
#include "app/ui/project_dialogs.h"
#include "app/ui/qt_message_sink.h"
#include "platform/tests/temp_folder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <deque>
#include <filesystem>
#include <functional>

namespace kestrova::app::ui {
namespace {

using kestrova::testing::readText;
using kestrova::testing::TempFolder;
using kestrova::testing::writeText;
namespace fs = std::filesystem;

// Acts on the modal windows in order. Each step gets the window that is up and
// says whether it handled it. Bounded: after ~5 s every window left is closed,
// so a missing step fails the test instead of hanging it.
class Operator {
  public:
    using Step = std::function<bool(QWidget*)>;
    explicit Operator(std::deque<Step> steps) : steps_(std::move(steps)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start();
    }
    bool done() const { return steps_.empty(); }
    QStringList seen; // window titles in the order they came up

  private:
    void tick() {
        QWidget* w = QApplication::activeModalWidget();
        if (w == nullptr) return;
        if (++ticks_ > 1000 || steps_.empty()) {
            if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
            return;
        }
        if (w == last_) return; // still closing
        if (steps_.front()(w)) {
            seen << w->windowTitle();
            last_ = w;
            steps_.pop_front();
        }
    }
    std::deque<Step> steps_;
    QTimer timer_;
    QPointer<QWidget> last_;
    int ticks_ = 0;
};

Operator::Step pressInBox(QMessageBox::StandardButton button, QString* text = nullptr) {
    return [button, text](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (box == nullptr) return false;
        if (text) *text = box->text();
        box->button(button)->click();
        return true;
    };
}

Operator::Step fillNewProject(QString name, QString location) {
    return [name, location](QWidget* w) {
        auto* dlg = qobject_cast<CCreateProjectDlg*>(w);
        if (dlg == nullptr) return false;
        dlg->nameEdit()->setText(name);
        dlg->locationEdit()->setText(location);
        dlg->okButton()->click();
        return true;
    };
}

class ProjectDialogsTest : public ::testing::Test {
  protected:
    ProjectDialogsTest() {
        if (const char* h = std::getenv("HOME")) savedHome_ = h;
        ::setenv("HOME", home.path().c_str(), 1);
        messenger.setEnglish(true);
        messenger.setSink(&sink);
        sink.setOwner(&window);
    }
    ~ProjectDialogsTest() override {
        if (savedHome_)
            ::setenv("HOME", savedHome_->c_str(), 1);
        else
            ::unsetenv("HOME");
    }
    TempFolder home;
    TempFolder program;
    QWidget window;
    QtMessageSink sink;
    Messenger messenger;
    Configuration config{program.path(), messenger};
    WindowProjectHost host{&window};
    QtProjectDialogs dialogs{messenger, &window};
    ProjectManager projects{config, host, &dialogs};

    // A project to come back to; its success box is acknowledged.
    void createFirstProject() {
        Operator op({pressInBox(QMessageBox::Ok)});
        ASSERT_TRUE(projects.createProject({"First", home.path() + "/KestrovaData"}).ok);
        ASSERT_TRUE(op.done());
    }

  private:
    std::optional<std::string> savedHome_;
};

TEST_F(ProjectDialogsTest, NewProjectDialogShowsThePresetAndBrowseDropsTrailingSeparators) {
    CCreateProjectDlg dlg({"Sonar_20240131_142501", "/srv/surveys//"}, true);
    EXPECT_EQ(dlg.windowTitle(), "New project");
    EXPECT_EQ(dlg.nameEdit()->text(), "Sonar_20240131_142501");
    EXPECT_EQ(dlg.locationEdit()->text(), "/srv/surveys");
    EXPECT_EQ(dlg.browseButton()->text(), "Browse...");

    QString askedTitle, askedStart;
    dlg.setFolderPicker([&](QWidget*, const QString& title, const QString& start) {
        askedTitle = title;
        askedStart = start;
        return QString("/data/bay/");
    });
    dlg.browseButton()->click();
    EXPECT_EQ(askedTitle, "Project Path");
    EXPECT_EQ(askedStart, "/srv/surveys");
    EXPECT_EQ(dlg.locationEdit()->text(), "/data/bay");
    dlg.setFolderPicker([](QWidget*, const QString&, const QString&) { return QString(); });
    dlg.browseButton()->click();
    EXPECT_EQ(dlg.locationEdit()->text(), "/data/bay") << "a cancelled browse keeps the location";
    dlg.nameEdit()->setText("Harbour");
    EXPECT_EQ(dlg.entry().name, "Harbour");
    EXPECT_EQ(dlg.entry().location, "/data/bay");

    CCreateProjectDlg chinese({"n", "/l"}, false);
    EXPECT_EQ(chinese.windowTitle(), QString::fromUtf8("新工程"));
}

TEST_F(ProjectDialogsTest, FolderBrowserReturnsTheChosenFolder) {
    fs::create_directories(home.path() + "/chosen");
    QString chosen = QString::fromStdString(home.path() + "/chosen");
    Operator op({[&](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        if (d == nullptr) return false;
        d->setDirectory(chosen);
        static_cast<QDialog*>(d)->accept();
        return true;
    }});
    QString got = pickFolder(&window, "Project Path", QString::fromStdString(home.path()));
    EXPECT_EQ(op.seen, QStringList{"Project Path"});
    EXPECT_EQ(got, chosen);
}

// Guards the whole window flow: the manage dialog, a refused name that brings the
// dialog back, the success box, the files on disk and the window title.
TEST_F(ProjectDialogsTest, ManageThenNewProjectThroughTheRealDialogs) {
    std::string location = home.path() + "/KestrovaData";
    fs::create_directories(location + "/Taken");
    QString sameName, created;
    Operator op({[](QWidget* w) {
                     auto* d = qobject_cast<CProjectManageDlg*>(w);
                     if (d == nullptr) return false;
                     d->newButton()->click();
                     return true;
                 },
                 fillNewProject("Taken", QString::fromStdString(location)),
                 pressInBox(QMessageBox::Ok, &sameName),
                 fillNewProject("Harbour", QString::fromStdString(location)),
                 pressInBox(QMessageBox::Ok, &created)});
    projects.ManageProject();
    EXPECT_TRUE(op.done());
    EXPECT_EQ(op.seen, (QStringList{"Project manage", "New project", "Kestrova", "New project",
                                    "Kestrova"}));
    EXPECT_EQ(sameName, "There is already a project with the same name. Please re-enter the name "
                        "of the project!");
    EXPECT_EQ(created, "Create the new project succesfully!");
    EXPECT_TRUE(fs::is_directory(location + "/Harbour/Navi"));
    EXPECT_EQ(window.windowTitle().toStdString(), "Kestrova--" + location + "/Harbour/Harbour.ksp");
}

// Guards the start-up offer as the operator sees it: the question box, then
// the project opened from the file chooser when the offer is declined.
TEST_F(ProjectDialogsTest, StartUpOfferDeclinedThenProjectOpenedFromTheFileChooser) {
    createFirstProject();
    std::string second = home.path() + "/other/Second";
    fs::create_directories(second);
    writeText(second + "/Second.ksp", "[FileOfProject]\r\nProjectNameINIF=Second.ini\r\n");
    writeText(second + "/Second.ini", "[SonarSetPara]\r\nRange_HF=6\r\n");

    Configuration nextConfig{program.path(), messenger};
    WindowProjectHost nextHost{&window};
    ProjectManager next{nextConfig, nextHost, &dialogs};
    QString question, chooserFolder;
    Operator op({pressInBox(QMessageBox::Cancel, &question),
                 [](QWidget* w) {
                     auto* d = qobject_cast<CProjectManageDlg*>(w);
                     if (d == nullptr) return false;
                     d->openButton()->click();
                     return true;
                 },
                 [&](QWidget* w) {
                     auto* d = qobject_cast<QFileDialog*>(w);
                     if (d == nullptr) return false;
                     chooserFolder = d->directory().absolutePath();
                     d->selectFile(QString::fromStdString(second + "/Second.ksp"));
                     static_cast<QDialog*>(d)->accept();
                     return true;
                 }});
    EXPECT_TRUE(next.LoadLastProject());
    EXPECT_TRUE(op.done());
    EXPECT_EQ(question, "Load the last project?");
    EXPECT_EQ(op.seen, (QStringList{"Kestrova", "Project manage", "Open project"}));
    EXPECT_EQ(chooserFolder.toStdString(), home.path() + "/KestrovaData");
    EXPECT_EQ(next.current().fullName, second + "/Second.ksp");
    EXPECT_EQ(nextConfig.sonar.hf.rangeLevel, 6);
    EXPECT_EQ(window.windowTitle().toStdString(), "Kestrova--" + second + "/Second.ksp");
    EXPECT_NE(readText(program.file("Kestrova.ini")).find("ProjectFullName=" + second),
              std::string::npos);
}

TEST_F(ProjectDialogsTest, StartUpOfferAcceptedReopensTheLastProject) {
    createFirstProject();
    Configuration nextConfig{program.path(), messenger};
    WindowProjectHost nextHost{&window};
    ProjectManager next{nextConfig, nextHost, &dialogs};
    window.setWindowTitle("");
    Operator op({pressInBox(QMessageBox::Ok)});
    EXPECT_TRUE(next.LoadLastProject());
    EXPECT_TRUE(next.projectOpen());
    EXPECT_EQ(window.windowTitle().toStdString(),
              "Kestrova--" + home.path() + "/KestrovaData/First/First.ksp");
}

} // namespace
} // namespace kestrova::app::ui
