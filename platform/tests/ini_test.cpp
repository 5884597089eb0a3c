// Private-profile behaviour the settings code relies on, and the crash-safe
// commit of a whole file.

#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/tests/temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <unistd.h>

namespace kestrova::platform {
namespace {

using kestrova::testing::countEntries;
using kestrova::testing::readText;
using kestrova::testing::TempFolder;
using kestrova::testing::writeText;

// Guards: a settings file edited by hand (other case, blanks, quotes, comments)
// must read as the program wrote it, or a project silently falls back to defaults.
TEST(IniLookup, NamesMatchWithoutCaseAndBlanksAreIgnored) {
    auto doc = IniDocument::parse("; comment=1\r\n"
                                  "orphan=before any section\r\n"
                                  "  [ SonarSetPara ]  \r\n"
                                  "  range_hf =  7  \r\n"
                                  ";Gain_HF=9\r\n"
                                  "Quoted='  x  '\r\n"
                                  "Double=\"y\"\r\n"
                                  "Twice=''z''\r\n"
                                  "Unmatched='w\r\n"
                                  "Empty=\r\n"
                                  "noequals\r\n"
                                  "[sonarsetpara]\r\n"
                                  "Power_HF=3\r\n");
    EXPECT_EQ(doc.value("SONARSETPARA", "Range_HF"), "7");
    EXPECT_EQ(doc.value("sonarsetpara", "RANGE_hf"), "7");
    EXPECT_EQ(doc.value("SonarSetPara", "Gain_HF"), std::nullopt) << "a comment is not a key";
    EXPECT_EQ(doc.value("SonarSetPara", "Quoted"), "  x  ") << "quotes keep inner blanks";
    EXPECT_EQ(doc.value("SonarSetPara", "Double"), "y");
    EXPECT_EQ(doc.value("SonarSetPara", "Twice"), "'z'") << "only one pair of quotes goes";
    EXPECT_EQ(doc.value("SonarSetPara", "Unmatched"), "'w");
    EXPECT_EQ(doc.value("SonarSetPara", "Empty"), "");
    EXPECT_EQ(doc.value("SonarSetPara", "noequals"), std::nullopt);
    EXPECT_EQ(doc.value("SonarSetPara", "orphan"), std::nullopt);
    // Only the first section of a name counts, for reads and writes alike.
    EXPECT_EQ(doc.value("SonarSetPara", "Power_HF"), std::nullopt);
    EXPECT_EQ(
        doc.keyNames("SonarSetPara"),
        (std::vector<std::string>{"range_hf", "Quoted", "Double", "Twice", "Unmatched", "Empty"}));
}

// Guards: the settings reads use 40- and 260-byte buffers; a longer value must be
// cut to 39 / 259 bytes exactly as before, never overrun, never split a character.
TEST(IniLookup, ReadsAreCutToTheBufferSize) {
    std::string fifty(50, '7');
    std::string longText(300, 'a');
    std::string chinese = std::string(38, 'x') + "测试"; // 38 + 3 + 3 bytes
    auto doc =
        IniDocument::parse("[S]\nFifty=" + fifty + "\nLong=" + longText + "\nZh=" + chinese + "\n");
    EXPECT_EQ(doc.readString("S", "Fifty", "", 40), std::string(39, '7'));
    EXPECT_EQ(doc.readString("S", "Fifty", "", 260), fifty);
    EXPECT_EQ(doc.readString("S", "Long", "", 260), std::string(259, 'a'));
    EXPECT_EQ(doc.readString("S", "Fifty", "", 1), "");
    EXPECT_EQ(doc.readString("S", "Fifty", "", 0), "");
    // 39 bytes would end inside the first Chinese character: the read stops before it.
    EXPECT_EQ(doc.readString("S", "Zh", "", 40), std::string(38, 'x'));
    EXPECT_EQ(doc.readString("S", "Zh", "", 42), std::string(38, 'x') + "测");
    // Defaults obey the same limit, without their trailing blanks.
    EXPECT_EQ(doc.readString("S", "Missing", fifty, 40), std::string(39, '7'));
    EXPECT_EQ(doc.readString("S", "Missing", "1500  ", 40), "1500");
    EXPECT_EQ(doc.readString("Nope", "Fifty", "d", 40), "d");
}

TEST(IniLookup, IntegerReadsTakeTheNumericPrefix) {
    auto doc = IniDocument::parse("[English]\nA=  -12xyz\nB=0x1F\nC=abc\nD=\n");
    EXPECT_EQ(doc.readInt("English", "A", 5), -12);
    EXPECT_EQ(doc.readInt("English", "B", 5), 31);
    EXPECT_EQ(doc.readInt("English", "C", 5), 0);
    EXPECT_EQ(doc.readInt("English", "D", 5), 0) << "present but empty is 0, not the default";
    EXPECT_EQ(doc.readInt("English", "bEnglish", 5), 5);
}

// Guards: saving one section must not disturb the rest of a file the operator or
// another part of the program wrote: other sections, comments, order, line ends.
TEST(IniWrite, KeepsEveryOtherLineAndAppendsAtTheEndOfTheSection) {
    const std::string before = "; project settings\r\n"
                               "[SonarSetPara]\r\n"
                               "Range_HF=3\r\n"
                               "; operator note\r\n"
                               "Gain_HF = 4\r\n"
                               "\r\n"
                               "[ParaOfGeo]\r\n"
                               "Version=001.000\r\n";
    auto doc = IniDocument::parse(before);
    ASSERT_EQ(doc.serialize(), before);
    EXPECT_TRUE(doc.writeString("sonarsetpara", "GAIN_HF", "9"));
    EXPECT_TRUE(doc.writeString("SonarSetPara", "Pulse_HF", "5"));
    EXPECT_TRUE(doc.writeString("INSPara", "INS_Port", "6001"));
    EXPECT_TRUE(doc.writeString("ParaOfGeo", "PTransRa", "'0.5'"));
    EXPECT_EQ(doc.serialize(), "; project settings\r\n"
                               "[SonarSetPara]\r\n"
                               "Range_HF=3\r\n"
                               "; operator note\r\n"
                               "GAIN_HF=9\r\n"
                               "Pulse_HF=5\r\n"
                               "\r\n"
                               "[ParaOfGeo]\r\n"
                               "Version=001.000\r\n"
                               "PTransRa='0.5'\r\n"
                               "[INSPara]\r\n"
                               "INS_Port=6001\r\n");
    EXPECT_EQ(doc.value("ParaOfGeo", "PTransRa"), "0.5");
}

TEST(IniWrite, LineEndStyleAndByteOrderMarkSurvive) {
    auto lf = IniDocument::parse("[A]\nx=1");
    lf.writeString("A", "y", "2");
    EXPECT_EQ(lf.serialize(), "[A]\nx=1\ny=2\n") << "a file without a last line end gets one";

    IniDocument fresh;
    fresh.writeString("English", "bEnglish", "1");
    EXPECT_EQ(fresh.serialize(), "[English]\r\nbEnglish=1\r\n");

    auto bom = IniDocument::parse("\xEF\xBB\xBF[A]\r\nx=1\r\n");
    EXPECT_EQ(bom.value("A", "x"), "1");
    bom.writeString("A", "x", "2");
    EXPECT_EQ(bom.serialize(), "\xEF\xBB\xBF[A]\r\nx=2\r\n");
}

// Guards: a value with a line break would inject keys or sections into the file.
TEST(IniWrite, RefusesTextThatWouldCorruptTheFile) {
    IniDocument doc;
    EXPECT_FALSE(doc.writeString("S", "K", "1\r\n[Evil]"));
    EXPECT_FALSE(doc.writeString("S", "K=x", "1"));
    EXPECT_FALSE(doc.writeString("S]", "K", "1"));
    EXPECT_FALSE(doc.writeString("", "K", "1"));
    EXPECT_FALSE(doc.writeString("S", "  ", "1"));
    EXPECT_FALSE(doc.writeString("S", ";K", "1"));
    EXPECT_EQ(doc.serialize(), "");
    EXPECT_TRUE(doc.writeString("S", "Path", "/data/工程 1/A.ksp"));
    EXPECT_EQ(doc.value("s", "path"), "/data/工程 1/A.ksp");
}

TEST(IniWrite, RemovesKeysAndSections) {
    auto doc = IniDocument::parse("[A]\nx=1\ny=2\n[B]\nz=3\n[C]\nw=4\n");
    EXPECT_TRUE(doc.removeKey("a", "X"));
    EXPECT_FALSE(doc.removeKey("A", "x"));
    EXPECT_TRUE(doc.removeSection("b"));
    EXPECT_FALSE(doc.hasSection("B"));
    EXPECT_EQ(doc.serialize(), "[A]\ny=2\n[C]\nw=4\n");
    EXPECT_EQ(doc.sectionNames(), (std::vector<std::string>{"A", "C"}));
}

TEST(IniFiles, MissingFileGivesDefaultsAndWriteCreatesIt) {
    TempFolder dir;
    std::string path = dir.file("PolyvoxSet.lang");
    char buf[40];
    EXPECT_EQ(GetPrivateProfileStringA("English", "bEnglish", "dflt", buf, sizeof buf, path), 4u);
    EXPECT_STREQ(buf, "dflt");
    EXPECT_EQ(GetPrivateProfileIntA("English", "bEnglish", 7, path), 7);
    EXPECT_FALSE(PathFileExistsA(path)) << "reading must not create the file";

    EXPECT_TRUE(WritePrivateProfileStringA("English", "bEnglish", "1", path));
    EXPECT_EQ(readText(path), "[English]\r\nbEnglish=1\r\n");
    EXPECT_EQ(GetPrivateProfileIntA("english", "BENGLISH", 7, path), 1);

    EXPECT_TRUE(WritePrivateProfileStringA("English", "Other", "x", path));
    EXPECT_TRUE(WritePrivateProfileStringA("English", "bEnglish", nullptr, path));
    EXPECT_EQ(readText(path), "[English]\r\nOther=x\r\n");
    EXPECT_TRUE(WritePrivateProfileStringA("English", nullptr, nullptr, path));
    EXPECT_EQ(readText(path), "");
    EXPECT_EQ(countEntries(dir.path()), 1u) << "no temporary file is left behind";
}

// Guards the project-settings fault: a write that cannot complete must leave the
// old file whole, report failure, and leave no temporary file in the folder.
TEST(IniCommit, FailureInTheMiddleOfAWriteLeavesTheOldFileWhole) {
    TempFolder dir;
    std::string path = dir.file("Survey.ini");
    const std::string original = "[SonarSetPara]\r\nRange_HF=5\r\n[ParaOfGeo]\r\nVersion=001\r\n";
    writeText(path, original);

    IniFile file(path);
    ASSERT_TRUE(file.load());
    // Enough text that the write runs into the file-size limit below, as it
    // would run into a full disk.
    for (int i = 0; i < 2000; ++i)
        file.document().writeString("SonarSetPara", "Key" + std::to_string(i),
                                    std::string(60, 'v'));

    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool committed = file.commit();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(committed);
    EXPECT_FALSE(file.error().empty());
    EXPECT_EQ(readText(path), original);
    EXPECT_EQ(countEntries(dir.path()), 1u);
}

TEST(IniCommit, WriteIntoAMissingFolderFailsAndSaysWhy) {
    TempFolder dir;
    IniFile missingFolder(dir.file("no-such-folder/Survey.ini"));
    ASSERT_TRUE(missingFolder.load());
    missingFolder.document().writeString("SonarSetPara", "Range_HF", "3");
    EXPECT_FALSE(missingFolder.commit());
    EXPECT_NE(missingFolder.error().find("no-such-folder"), std::string::npos);

    writeText(dir.file("plain"), "x");
    EXPECT_FALSE(WritePrivateProfileStringA("S", "K", "1", dir.file("plain/Survey.ini")))
        << "a file where the folder should be";
    EXPECT_FALSE(PathFileExistsA(dir.file("no-such-folder")));
}

// Guards: a file that exists but cannot be read must never be replaced by one
// holding only the section being saved.
TEST(IniCommit, AFileThatCannotBeReadIsNeverReplaced) {
    TempFolder dir;
    std::string path = dir.file("Survey.ini");
    std::filesystem::create_directory(path);
    IniFile file(path);
    EXPECT_FALSE(file.load());
    file.document().writeString("SonarSetPara", "Range_HF", "3");
    EXPECT_FALSE(file.commit());
    EXPECT_TRUE(isDirectory(path));
    EXPECT_FALSE(WritePrivateProfileStringA("S", "K", "1", path));
}

TEST(IniCommit, ReadOnlyFolderFails) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    TempFolder dir;
    std::string path = dir.file("Survey.ini");
    writeText(path, "[A]\r\nx=1\r\n");
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_read |
                                                 std::filesystem::perms::owner_exec);
    EXPECT_FALSE(WritePrivateProfileStringA("A", "x", "2", path));
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
    EXPECT_EQ(readText(path), "[A]\r\nx=1\r\n");
}

// Guards: the replacement must not widen permissions or replace a link by a copy.
TEST(IniCommit, KeepsPermissionsAndWritesThroughLinks) {
    TempFolder dir;
    std::string real = dir.file("real.ini");
    std::string link = dir.file("link.ini");
    writeText(real, "[A]\nx=1\n");
    std::filesystem::permissions(real, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write |
                                           std::filesystem::perms::group_read);
    std::filesystem::create_symlink(real, link);

    EXPECT_TRUE(WritePrivateProfileStringA("A", "x", "2", link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readText(real), "[A]\nx=2\n");
    auto perms = std::filesystem::status(real).permissions();
    EXPECT_EQ(perms, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                         std::filesystem::perms::group_read);
}

} // namespace
} // namespace kestrova::platform
