// Program folder and file helpers.

#include "platform/fs.h"
#include "platform/tests/temp_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace kestrova::platform {
namespace {

using kestrova::testing::TempFolder;

// Guards: the limits files and SysCfg.ini are found beside the executable, so
// the program folder must be that folder, whatever the working directory.
TEST(ProgramFolder, IsTheFolderOfTheExecutable) {
    std::string folder = executableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_NE(folder.substr(folder.size() - 2), "//");
    EXPECT_TRUE(PathFileExistsA(folder + "platform_test"));

    TempFolder dir;
    std::string before = currentDirectory();
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    EXPECT_EQ(executableFolder(), folder);
    std::string now = currentDirectory();
    ASSERT_EQ(::chdir(before.c_str()), 0);
    EXPECT_EQ(now, withTrailingSeparator(std::filesystem::canonical(dir.path()).string()));
}

TEST(ProgramFolder, SeparatorRules) {
    EXPECT_EQ(withTrailingSeparator("/opt/kestrova///"), "/opt/kestrova/");
    EXPECT_EQ(withTrailingSeparator("/opt/kestrova"), "/opt/kestrova/");
    EXPECT_EQ(withTrailingSeparator(""), "");
    EXPECT_EQ(joinPath("/data/A/", "/A.ini"), "/data/A/A.ini");
    EXPECT_EQ(joinPath("/data/A", "A.ini"), "/data/A/A.ini");
    EXPECT_EQ(joinPath("/", "A.ini"), "/A.ini");
    EXPECT_EQ(joinPath("", "A.ini"), "A.ini");
}

// Guards: a huge or special file in place of a settings file must be refused,
// not read into memory.
TEST(ReadWholeFile, RefusesFoldersAndOversizedFiles) {
    TempFolder dir;
    EXPECT_EQ(readWholeFile(dir.file("none")).status, FileReadResult::Status::Missing);
    EXPECT_EQ(readWholeFile(dir.path()).status, FileReadResult::Status::Failed);

    std::string big = dir.file("big.ini");
    int fd = ::open(big.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kMaxReadFileBytes) + 1), 0); // sparse
    ::close(fd);
    auto r = readWholeFile(big);
    EXPECT_EQ(r.status, FileReadResult::Status::Failed);
    EXPECT_FALSE(r.error.empty());

    kestrova::testing::writeText(dir.file("ok.ini"), "[A]\n");
    auto ok = readWholeFile(dir.file("ok.ini"));
    EXPECT_EQ(ok.status, FileReadResult::Status::Ok);
    EXPECT_EQ(ok.content, "[A]\n");
}

} // namespace
} // namespace kestrova::platform
