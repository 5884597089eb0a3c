#pragma once
// Shared pieces of the recording, export and playback tests: a project folder
// in a temporary folder, the disk page's messages as a list, a sink that
// records through the RawRecorder as the receive thread's sink does, and
// whole-file reads.

#include "acquisition/raw_recorder.h"
#include "acquisition/tests/assembler_harness.h"
#include "platform/messages.h"
#include "platform/tests/temp_folder.h"

#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace kestrova::acquisition::testing {

inline Bytes readBytes(const std::string& path) {
    std::string s = kestrova::testing::readText(path);
    return Bytes(s.begin(), s.end());
}

inline std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// 1 May 2024 10:15:00 local, as the recorders name their files.
inline std::tm fixedLocalTime() {
    std::tm t{};
    t.tm_year = 124;
    t.tm_mon = 4;
    t.tm_mday = 1;
    t.tm_hour = 10;
    t.tm_min = 15;
    t.tm_sec = 0;
    return t;
}

struct PostedMessage {
    std::uint32_t id;
    std::uintptr_t wParam;
    bool operator==(const PostedMessage&) const = default;
};

// The disk page as a list of what was posted to it.
class DiskPageLog {
  public:
    explicit DiskPageLog(platform::MessageQueue& queue) : queue_(queue) {
        window = queue.registerWindow([this](const platform::WindowMessage& m) {
            std::lock_guard<std::mutex> hold(mutex_);
            log_.push_back({m.id, m.wParam});
        });
    }
    std::vector<PostedMessage> take() {
        queue_.drain();
        std::lock_guard<std::mutex> hold(mutex_);
        auto out = log_;
        log_.clear();
        return out;
    }
    std::vector<std::uint32_t> ids() {
        std::vector<std::uint32_t> out;
        for (const auto& m : take())
            out.push_back(m.id);
        return out;
    }
    platform::WindowHandle window;

  private:
    platform::MessageQueue& queue_;
    std::mutex mutex_;
    std::vector<PostedMessage> log_;
};

// The receive thread's sink: frames to the recorder while it records.
class RecorderSink : public RecordingSink {
  public:
    explicit RecorderSink(RawRecorder& r) : recorder(r) {}
    bool rawRecordingOn() const override { return recorder.recording(); }
    void recordRawFrame(std::span<const std::uint8_t> frame) override {
        recorder.writeFrame(frame);
    }
    RawRecorder& recorder;
};

// Test clocks, set by hand.
struct ManualClocks {
    std::uint32_t tickMs = 5000;
    std::uint64_t microseconds = 10'000'000;
    std::uint64_t freeBytes = 100ull << 30;
    std::tm local = fixedLocalTime();

    RecordingEnvironment environment() {
        RecordingEnvironment env;
        env.freeSpace = [this](const std::string&) { return freeBytes; };
        env.localTime = [this] { return local; };
        env.tick = [this] { return tickMs; };
        env.microseconds = [this] { return microseconds; };
        return env;
    }
};

} // namespace kestrova::acquisition::testing
