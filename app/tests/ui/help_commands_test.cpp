// The help drop-down: the version text, the language switch's flag for the
// next start, and the conversion tool started from the program folder by its
// absolute path with the language flag.

#include "app/tests/ui/window_test_support.h"
#include "app/ui/help_commands.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace kestrova::app::ui {
namespace {

using kestrova::testing::readText;
using kestrova::testing::TempFolder;
using kestrova::testing::writeText;
using test::waitFor;

TEST(HelpCommands, VersionLanguageSwitchAndConversionTool) {
    EXPECT_TRUE(
        QRegularExpression("^Kestrova, V\\d+\\.\\d+\\.\\d+\\.\\d+$").match(aboutText()).hasMatch())
        << aboutText().toStdString();

    TempFolder program;
    TempFolder user;
    RecordingMessageSink sink;
    Messenger messenger;
    messenger.setSink(&sink);
    messenger.setEnglish(true);
    Configuration config(program.path(), user.path() + "/Kestrova", messenger);
    const std::string flag = user.path() + "/Kestrova/PolyvoxSet.lang";
    EXPECT_TRUE(languageQuestion(false).startsWith("Really change to Chinese version?"));
    EXPECT_TRUE(applyLanguageAnswer(config, false, true)); // Cancel: nothing written
    EXPECT_FALSE(std::filesystem::exists(flag));
    EXPECT_TRUE(applyLanguageAnswer(config, false, false));
    EXPECT_EQ(readText(flag), "[English]\r\nbEnglish=0\r\n");
    EXPECT_TRUE(messenger.english()) << "the running interface does not change";

    // A stand-in Filvert that notes its arguments; started from elsewhere.
    const std::string noted = program.file("arguments.txt");
    writeText(program.file("Filvert"), "#!/bin/sh\necho \"$@\" > '" + noted + "'\n");
    std::filesystem::permissions(program.file("Filvert"), std::filesystem::perms::owner_all);
    EXPECT_TRUE(startConversionTool(config));
    EXPECT_TRUE(waitFor([&] { return readText(noted) == "1\n"; }, 5)) << readText(noted);

    std::filesystem::remove(program.file("Filvert"));
    EXPECT_FALSE(startConversionTool(config));
    ASSERT_EQ(sink.count(), 1u);
    EXPECT_NE(sink.messages().back().text.find("Filvert"), std::string::npos);
}

} // namespace
} // namespace kestrova::app::ui
