#pragma once
// What the navigation input tests share: a NavigationInput wired to a message
// queue, a recording message sink, the alarm switches, the real geodesy engine
// and (optionally) a tick the test moves by hand; kestrova-nav-sim started as
// a peer program; a recorder and a command channel that keep what they get.

#include "acquisition/acquisition_hooks.h"
#include "app/config/message.h"
#include "app/config/settings.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "position/geodesy_engine.h"
#include "position/navigation_input.h"
#include "position/sonar_clock.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kestrova::position::testing {

inline std::string navSim() {
    const char* bin = std::getenv("KESTROVA_BIN");
    return std::string(bin ? bin : "bin") + "/kestrova-nav-sim";
}

// kestrova-nav-sim with its first stdout line (port or pty name); it ends by
// itself after its --seconds, and the destructor waits for that.
class SimProcess {
  public:
    explicit SimProcess(const std::string& args) {
        pipe_ = popen((navSim() + " " + args).c_str(), "r");
        if (!pipe_) return;
        char line[256] = {};
        if (std::fgets(line, sizeof line, pipe_)) firstLine_ = line;
        while (!firstLine_.empty() && (firstLine_.back() == '\n' || firstLine_.back() == '\r'))
            firstLine_.pop_back();
    }
    ~SimProcess() { wait(); }
    int wait() {
        if (!pipe_) return status_;
        char drain[256];
        while (std::fgets(drain, sizeof drain, pipe_)) {
        }
        status_ = pclose(pipe_);
        pipe_ = nullptr;
        return status_;
    }
    bool started() const { return pipe_ != nullptr || status_ == 0; }
    const std::string& firstLine() const { return firstLine_; }
    // The number after "=" of "listening port=P" and the like.
    int port() const {
        auto eq = firstLine_.rfind('=');
        return eq == std::string::npos ? -1 : std::atoi(firstLine_.c_str() + eq + 1);
    }

  private:
    std::FILE* pipe_ = nullptr;
    std::string firstLine_;
    int status_ = -1;
};

class KeptFrames : public acquisition::RawFrameRecorder {
  public:
    std::atomic<bool> on{true};
    bool recording() const override { return on.load(); }
    void writeFrame(std::span<const std::uint8_t> frame) override {
        std::lock_guard<std::mutex> hold(mutex_);
        frames_.emplace_back(frame.begin(), frame.end());
    }
    std::vector<std::vector<std::uint8_t>> frames() const {
        std::lock_guard<std::mutex> hold(mutex_);
        return frames_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::vector<std::uint8_t>> frames_;
};

class KeptClockLines : public SonarClockPort {
  public:
    std::atomic<bool> connected{true};
    bool commandChannelConnected() const override { return connected.load(); }
    bool sendClockCommand(std::string_view line) override {
        std::lock_guard<std::mutex> hold(mutex_);
        lines_.emplace_back(line);
        return true;
    }
    std::vector<std::string> lines() const {
        std::lock_guard<std::mutex> hold(mutex_);
        return lines_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

struct NavHarness {
    explicit NavHarness(bool manualTick = false)
        : manual(manualTick),
          nav(queue, messenger, alarm,
              manualTick ? NavigationInput::TickSource([this] { return tick.load(); })
                         : NavigationInput::TickSource()) {
        messenger.setSink(&sink);
        messenger.setEnglish(true);
        mainFrame = queue.registerWindow([this](const platform::WindowMessage& m) {
            std::lock_guard<std::mutex> hold(mutex);
            received[m.id].push_back(m.lParam);
        });
        naviPanel = queue.registerWindow([this](const platform::WindowMessage& m) {
            std::lock_guard<std::mutex> hold(mutex);
            received[m.id].push_back(m.lParam);
        });
        nav.setWindows(mainFrame, naviPanel);
        nav.setGridConverter(&grid);
        nav.setRawRecorder(&recorder);
        nav.setSonarClockPort(&clock);
    }
    ~NavHarness() {
        nav.stop_navigation_thread();
        nav.closeAll();
    }

    // Drains the queue until the condition holds or the time is up.
    bool waitFor(const std::function<bool()>& condition, std::uint32_t timeoutMs = 8000) {
        const std::uint32_t start = platform::tickCount();
        while (!condition()) {
            queue.drain();
            if (platform::tickCount() - start > timeoutMs) return false;
            platform::sleepMs(2);
        }
        queue.drain();
        return true;
    }
    std::size_t count(std::uint32_t id) {
        queue.drain();
        std::lock_guard<std::mutex> hold(mutex);
        return received[id].size();
    }
    std::vector<std::intptr_t> params(std::uint32_t id) {
        queue.drain();
        std::lock_guard<std::mutex> hold(mutex);
        return received[id];
    }
    bool messageShown(const std::string& text) const {
        for (const auto& m : sink.messages())
            if (m.text == text) return true;
        return false;
    }

    bool manual;
    std::atomic<std::uint32_t> tick{1000};
    platform::MessageQueue queue;
    app::RecordingMessageSink sink;
    app::Messenger messenger;
    app::AlarmLive alarm;
    GeodesyEngine grid;
    KeptFrames recorder;
    KeptClockLines clock;
    NavigationInput nav;
    platform::WindowHandle mainFrame = 0;
    platform::WindowHandle naviPanel = 0;
    std::mutex mutex;
    std::map<std::uint32_t, std::vector<std::intptr_t>> received;
};

inline app::InsSettings networkSettings(int netType, std::uint16_t port, int dataType) {
    app::InsSettings s;
    s.modeSelect = kModeNetwork;
    s.netType = netType;
    s.port = port;
    s.dataType = dataType;
    return s;
}

} // namespace kestrova::position::testing
