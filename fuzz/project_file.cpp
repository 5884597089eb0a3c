// Project files come from other machines, archives and hand edits. Opening one
// with any bytes must not crash, and whatever it says, every folder the project
// then writes into stays inside the project folder and within the path limit.
// Files are written only inside one temporary folder made at start.

#include "app/project.h"
#include "platform/fs.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace {

using namespace kestrova;

void require(bool condition) {
    if (!condition) std::abort();
}

// Never destroyed, so the clean-up at exit can still name it.
const std::string& scratch() {
    static const std::string* folder = [] {
        char pattern[] = "/tmp/kestrova-fuzz-project-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        auto* name = new std::string(made != nullptr ? made : "");
        if (!name->empty())
            std::atexit([] {
                std::error_code ec;
                std::filesystem::remove_all(scratch(), ec);
            });
        return name;
    }();
    return *folder;
}

bool inside(const std::string& folder, const std::string& path) {
    if (path.size() >= app::kMaxProjectPathChars) return false;
    if (path.compare(0, folder.size() + 1, folder + "/") != 0) return false;
    return path.find("/../") == std::string::npos && !path.ends_with("/..");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (scratch().empty() || size > 8192) return 0;
    std::string project = platform::joinPath(scratch(), "P");
    static const bool made = [&] {
        std::error_code ec;
        std::filesystem::create_directories(platform::joinPath(project, "Navi"), ec);
        return !ec;
    }();
    if (!made) return 0;
    std::string file = platform::joinPath(project, "P.ksp");
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    {
        // A plain write: the flush to disk of an atomic replacement would cost
        // more than the whole open.
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) return 0;
    }

    app::RecordingMessageSink sink;
    app::Messenger messenger;
    messenger.setSink(&sink);
    app::Configuration config(scratch(), messenger);
    app::ProjectHost host;
    app::ProjectManager projects(config, host);
    app::ProjectResult r = projects.openProject(file, false);
    require(r.ok);
    const app::CurrentProject& p = r.project;
    require(p.path == project);
    for (const std::string& folder :
         {p.dataFolderPath(), p.targetFolderPath(), p.naviFolderPath(), p.tempFolderPath()})
        require(inside(project, folder));
    if (auto ini = p.configPath()) require(inside(project, *ini));
    return 0;
}
