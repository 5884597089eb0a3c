// kestrova-cli project create|show, run as a program. The tool is copied with
// its libraries into a temporary program folder and HOME points at a temporary
// folder, so its Kestrova.ini (in ~/.config/Kestrova) is the test's own.

#include "platform/tests/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

namespace {

using kestrova::testing::readText;
using kestrova::testing::TempFolder;
using kestrova::testing::writeText;
namespace fs = std::filesystem;

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

class ProjectCliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* bin = std::getenv("KESTROVA_BIN");
        if (bin == nullptr) GTEST_SKIP() << "KESTROVA_BIN not set";
        fs::create_directories(programFolder());
        for (const auto& e : fs::directory_iterator(bin)) {
            std::string name = e.path().filename().string();
            if (name == "kestrova-cli" || name.ends_with(".so"))
                fs::copy_file(e.path(), programFolder() + "/" + name);
        }
        fs::create_directories(workFolder());
        fs::create_directories(userFolder());
        // English messages, as the operator who chose them would read them.
        writeText(userFolder() + "/PolyvoxSet.lang", "[English]\r\nbEnglish=1\r\n");
    }
    // Where the program writes: never its own folder.
    std::string userFolder() const { return home() + "/.config/Kestrova"; }
    std::string programFolder() const { return root.path() + "/bin"; }
    std::string workFolder() const { return root.path() + "/work"; }
    std::string home() const { return root.path() + "/home"; }

    CliRun cli(const std::string& arguments) const {
        std::string errFile = root.path() + "/stderr.txt";
        std::string command = "cd '" + workFolder() + "' && env -u XDG_CONFIG_HOME HOME='" +
                              home() + "' '" + programFolder() + "/kestrova-cli' " + arguments +
                              " 2>'" + errFile + "'";
        CliRun r;
        FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) return r;
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
            r.out.append(buf, n);
        int raw = ::pclose(pipe);
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.err = readText(errFile);
        return r;
    }

    TempFolder root;
};

// Guards scripted set-up: the project lands in ~/KestrovaData, the window will
// offer it at the next start, and a second create of the name is refused.
TEST_F(ProjectCliTest, CreateMakesTheProjectInTheDefaultLocationAndRemembersIt) {
    CliRun r = cli("project create A");
    std::string a = home() + "/KestrovaData/A";
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, a + "/A.ksp\n");
    EXPECT_EQ(r.err, "Kestrova: Create the new project succesfully!\n");
    EXPECT_TRUE(fs::is_directory(a + "/Temp"));
    EXPECT_FALSE(fs::exists(programFolder() + "/Kestrova.ini"));
    EXPECT_EQ(readText(userFolder() + "/Kestrova.ini"),
              "[PreProjectInfo]\r\nProjectFullName=" + a + "/A.ksp\r\nProjectPath=" + a +
                  "\r\nProjectLocation=" + home() + "/KestrovaData\r\n");

    CliRun again = cli("project create A");
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.out, "");
    EXPECT_EQ(again.err, "Kestrova: There is already a project with the same name. Please "
                         "re-enter the name of the project!\n");
}

TEST_F(ProjectCliTest, CreateWithLocationAndShowListsTheProject) {
    std::string location = root.path() + "/surveys";
    ASSERT_EQ(cli("project create Bay --location '" + location + "/'").status, 0);
    std::string b = location + "/Bay";
    writeText(userFolder() + "/Kestrova.ini", ""); // show must not touch it

    CliRun r = cli("project show '" + b + "/Bay.ksp'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "name=Bay\nlocation=" + location + "\npath=" + b + "\nfile=" + b +
                         "/Bay.ksp\nversion=1.0\nconfig=" + b + "/Bay.ini\ndata=" + b +
                         "/Data\ntarget=" + b + "/Target\nnavi=" + b + "/Navi\ntemp=" + b +
                         "/Temp\ncurline=\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readText(userFolder() + "/Kestrova.ini"), "");
}

TEST_F(ProjectCliTest, ShowFailsOnAMissingProjectOrConfigurationAndBadUsage) {
    CliRun missing = cli("project show '" + root.path() + "/none.ksp'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "Kestrova: Failed to read the project information when opening the "
                           "project, " +
                               root.path() + "/none.ksp file path error!\n");

    fs::create_directories(root.path() + "/P");
    writeText(root.path() + "/P/P.ksp", "[FileOfProject]\r\nProjectNameINIF=P.ini\r\n");
    CliRun noConfig = cli("project show '" + root.path() + "/P/P.ksp'");
    EXPECT_EQ(noConfig.status, 1);
    EXPECT_NE(noConfig.out.find("config=" + root.path() + "/P/P.ini\n"), std::string::npos);

    EXPECT_EQ(cli("project").status, 2);
    EXPECT_EQ(cli("project create").status, 2);
    EXPECT_EQ(cli("project delete A").status, 2);
    EXPECT_EQ(cli("project show x.ksp --location /tmp").status, 2);
}

} // namespace
