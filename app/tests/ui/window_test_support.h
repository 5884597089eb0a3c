#pragma once
// What the window tests share: the build's program folder, waiting on the
// Qt event loop, and a program folder of the test's own.

#include "display/drovanta_api.h"
#include "platform/tests/temp_folder.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

namespace kestrova::app::ui::test {

inline std::string binFolder() {
    const char* bin = std::getenv("KESTROVA_BIN");
    return bin ? bin : "build/bin";
}

// Runs the event loop until `done` holds or the seconds have passed.
inline bool waitFor(const std::function<bool()>& done, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < end)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// A program folder of its own (Kestrova.ini is written there) with the
// palettes and model limits files of the build.
inline void copyResources(const std::string& to) {
    namespace fs = std::filesystem;
    for (const auto& e : fs::directory_iterator(binFolder())) {
        const std::string ext = e.path().extension().string();
        const std::string name = e.path().filename().string();
        if ((ext == ".clr" || ext == ".ini") && name != "Kestrova.ini" && name != "SysCfg.ini")
            fs::copy_file(e.path(), fs::path(to) / name);
    }
}

// A window test in a home and a program folder of its own, with the build's
// Drovanta loaded; HOME is restored afterwards.
class WindowFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* home = std::getenv("HOME");
        savedHome_ = home ? home : "";
        ::setenv("HOME", home_.path().c_str(), 1);
        copyResources(program_.path());
        ASSERT_TRUE(drovanta_.load(binFolder())) << drovanta_.failure().english;
        drovanta_.initialize();
    }
    void TearDown() override { ::setenv("HOME", savedHome_.c_str(), 1); }

    kestrova::testing::TempFolder home_;
    kestrova::testing::TempFolder program_;
    display::DrovantaApi drovanta_;
    std::string savedHome_;
};

} // namespace kestrova::app::ui::test
