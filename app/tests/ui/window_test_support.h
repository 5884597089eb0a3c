#pragma once
// What the window tests share: the build's program folder, waiting on the
// Qt event loop, and a program folder of the test's own.

#include <QApplication>

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

} // namespace kestrova::app::ui::test
