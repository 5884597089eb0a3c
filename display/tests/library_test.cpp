// Loading libraries by file name: a wrong path or a missing symbol must come
// back as a failure with the loader's reason, never as a crash or a success.

#include "platform/library.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

using kestrova::platform::SharedLibrary;

namespace {

std::string binFolder() {
    const char* bin = std::getenv("KESTROVA_BIN");
    return bin ? bin : "";
}

} // namespace

TEST(SharedLibrary, ExecutableFolderIsTheFolderOfThisProgram) {
    const std::string folder = SharedLibrary::executableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(folder + "/display_tests"));
}

TEST(SharedLibrary, MissingFileFailsWithTheLoadersReason) {
    SharedLibrary lib;
    EXPECT_FALSE(lib.open("/nonexistent-folder", "libnothing.so"));
    EXPECT_FALSE(lib.isOpen());
    EXPECT_EQ(lib.path(), "/nonexistent-folder/libnothing.so");
    EXPECT_NE(lib.error().find("libnothing.so"), std::string::npos) << lib.error();
    EXPECT_EQ(lib.symbol("sss_display_repro"), nullptr);
    EXPECT_FALSE(lib.open("/tmp", ""));
}

TEST(SharedLibrary, FindsExportedSymbolsAndReportsMissingOnes) {
    SharedLibrary lib;
    ASSERT_TRUE(lib.open(binFolder(), "libdrovanta.so")) << lib.error();
    EXPECT_NE(lib.symbol("sss_display_repro"), nullptr);
    EXPECT_EQ(lib.symbol("no_such_entry_point"), nullptr);
    EXPECT_NE(lib.error().find("no_such_entry_point"), std::string::npos) << lib.error();
    // Hidden internals are not reachable by name.
    EXPECT_EQ(lib.symbol("levelPolynomial"), nullptr);
}

TEST(SharedLibrary, FolderWithTrailingSlashAndMovesKeepOneHandle) {
    SharedLibrary a;
    ASSERT_TRUE(a.open(binFolder() + "/", "libdrovanta.so"));
    EXPECT_EQ(a.path().find("//"), std::string::npos);
    SharedLibrary b(std::move(a));
    EXPECT_FALSE(a.isOpen());
    ASSERT_TRUE(b.isOpen());
    EXPECT_NE(b.symbol("depth_select_filter"), nullptr);
    SharedLibrary c;
    c = std::move(b);
    EXPECT_TRUE(c.isOpen());
    c.close();
    c.close();
    EXPECT_FALSE(c.isOpen());
}
