#include "acquisition/recording_common.h"

#include "acquisition/record_file.h"
#include "platform/clock.h"
#include "platform/fs.h"

#include <chrono>
#include <cstdio>
#include <sys/stat.h>

namespace kestrova::acquisition {

void RecordingEnvironment::complete() {
    if (!freeSpace) freeSpace = [](const std::string& f) { return freeDiskSpace(f); };
    if (!localTime)
        localTime = [] {
            std::time_t now = std::time(nullptr);
            std::tm local{};
            localtime_r(&now, &local);
            return local;
        };
    if (!tick) tick = [] { return platform::tickCount(); };
    if (!microseconds)
        microseconds = [] {
            return static_cast<std::uint64_t>(
                std::chrono::duration_cast<std::chrono::microseconds>(
                    std::chrono::steady_clock::now().time_since_epoch())
                    .count());
        };
}

std::string timeStampName(const std::tm& local) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d_%02d%02d%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return buf;
}

std::string uniqueRecordingPath(const std::string& folder, std::string& base,
                                const std::string& suffix) {
    const std::string stamp = base;
    std::string path = platform::joinPath(folder, base + suffix);
    for (int n = 1; platform::PathFileExistsA(path); ++n) {
        base = stamp + "_" + std::to_string(n);
        path = platform::joinPath(folder, base + suffix);
    }
    return path;
}

std::string dataFolderOf(const std::string& projectFolder) {
    if (projectFolder.empty()) return {};
    std::string data = platform::joinPath(projectFolder, "Data");
    if (!platform::isDirectory(data) && ::mkdir(data.c_str(), 0777) != 0 &&
        !platform::isDirectory(data))
        return {};
    return data;
}

} // namespace kestrova::acquisition
