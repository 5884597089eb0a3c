// kestrova-cli acquire --seconds S [--config FOLDER]: the live session without
// a window. Reads SysCfg.ini from the program folder (or FOLDER), connects both
// channels as the "Connect Device" command does, identifies the sonar, sends
// the configuration and starts pinging as Start does, then lists every ping
// as `frames` does and every reply as a JSON line. After S seconds, or on
// SIGINT or SIGTERM, it stops the sonar and closes everything in order.

#include "acquisition/device_session.h"
#include "acquisition/raw_recorder.h"
#include "acquisition/sonar_acquisition.h"
#include "acquisition/sonar_messages.h"
#include "app/configuration.h"
#include "app/project.h"
#include "app/recording_setup.h"
#include "app/sonar_parameter_page.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "tools/cli/command.h"
#include "tools/cli/frame_json.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>

namespace kestrova::cli {
namespace {

using namespace kestrova::acquisition;

const char* kUsage =
    "acquire --seconds S [--config FOLDER] [--project FILE.ksp] [--record PROJECT_FOLDER]";

volatile std::sig_atomic_t g_stopRequested = 0;
void onStopSignal(int) {
    g_stopRequested = 1;
}

// Pings are listed on this thread, replies on the receive thread: whole lines only.
std::mutex g_printMutex;
void printLine(const std::string& line) {
    std::lock_guard hold(g_printMutex);
    std::puts(line.c_str());
}

std::string replyLine(std::string_view line, const SonarReply& r) {
    std::string_view shown = line;
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r'))
        shown.remove_suffix(1);
    JsonLine j;
    j.str("kind", "reply").str("line", shown).str("reply", replyKindName(r.kind));
    switch (r.kind) {
    case ReplyKind::DeviceId:
    case ReplyKind::DeviceType:
    case ReplyKind::Version:
        j.str("text", r.text);
        break;
    case ReplyKind::Frequencies:
        j.num("lf", r.lfFrequency).num("hf", r.hfFrequency);
        break;
    case ReplyKind::PressureReference:
        j.num("value", r.value);
        break;
    default:
        break;
    }
    return j.text();
}

// No project and no playback headless: the page only keeps the settings inside
// the connected model's limits, as the window's page does on every refresh.
class HeadlessPageHost : public app::SonarPageHost {
  public:
    std::optional<std::string> projectConfigPath() const override { return std::nullopt; }
    bool playbackMode() const override { return false; }
    void rangeCommitted(app::Frequency) override {}
};

class PingLister {
  public:
    explicit PingLister(SonarAcquisition& acq)
        : acq_(acq), copy_(std::make_unique<PingBatchData>()) {}
    void take(Frequency f) {
        acq_.handOff().drain(f, *copy_);
        for (std::uint32_t i = 0; i < copy_->pingCount; ++i) {
            auto h = copy_->header(i);
            if (!h) continue;
            printLine(pingLine(f, *h, copy_->portCount(i), copy_->starboardCount(i),
                               copy_->sampleRate[i], copy_->settingsChanged[i]));
            ++pings[index(f)];
        }
    }
    std::uint64_t pings[kFrequencyCount] = {0, 0};

  private:
    SonarAcquisition& acq_;
    std::unique_ptr<PingBatchData> copy_;
};

bool portNumber(int value, std::uint16_t& out) {
    if (value < 1 || value > 65535) return false;
    out = static_cast<std::uint16_t>(value);
    return true;
}

int runAcquire(const Args& args) {
    ArgList list(args);
    auto secondsText = list.value("--seconds");
    auto folder = list.value("--config");
    auto projectFile = list.value("--project");
    auto recordFolder = list.value("--record");
    if (!list.ok()) return usageError(kUsage, list.error());
    if (!list.positional().empty()) return usageError(kUsage, "unexpected " + list.positional()[0]);
    double seconds = 0;
    if (!secondsText) return usageError(kUsage, "--seconds is required");
    if (!parseDouble(*secondsText, seconds) || !(seconds > 0) || seconds > 1e6)
        return usageError(kUsage, "bad --seconds");

    app::Configuration config(platform::executableFolder());
    app::defaultMessenger().setEnglish(config.readLanguageFlag());
    if (folder) {
        const std::string path = platform::joinPath(*folder, app::kSystemConfigFile);
        if (!platform::PathFileExistsA(path)) {
            std::fprintf(stderr, "kestrova-cli: no %s in %s\n", app::kSystemConfigFile,
                         folder->c_str());
            return kExitFailure;
        }
        config.LoadSystemConfig(path);
    } else {
        config.LoadSystemConfig();
    }
    // A project brings its own settings and is where the survey is recorded.
    std::string projectFolder;
    app::ProjectHost projectHost;
    app::ProjectManager projects(config, projectHost);
    if (projectFile) {
        const app::ProjectResult opened = projects.openProject(*projectFile, false);
        if (!opened.ok) return kExitFailure; // the reason is already on standard error
        projectFolder = opened.project.path;
    }
    if (recordFolder) {
        // A new survey folder is made as the operator names it.
        std::error_code ec;
        std::filesystem::create_directories(*recordFolder, ec);
        if (!platform::isDirectory(*recordFolder)) {
            std::fprintf(stderr, "kestrova-cli: cannot make the folder %s\n",
                         recordFolder->c_str());
            return kExitFailure;
        }
        projectFolder = *recordFolder;
    }
    SonarNetSettings net;
    net.ip = config.system.sonarIp;
    if (!platform::parseIpv4(net.ip) || !portNumber(config.system.commandPort, net.commandPort) ||
        !portNumber(config.system.dataPort, net.dataPort)) {
        std::fprintf(stderr, "kestrova-cli: SysCfg.ini section Net: bad IP or PORT1/PORT2\n");
        return kExitFailure;
    }

    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    g_stopRequested = 0;

    platform::MessageQueue queue;
    SonarAcquisition acq(queue, net);
    DeviceSession session(config, acq);
    HeadlessPageHost host;
    app::SonarParameterPage page(config, session, host);
    PingLister lister(acq);

    WindowTargets& w = acq.windows();
    w.hfView = queue.registerWindow([&](const platform::WindowMessage& m) {
        if (m.id == WM_PING_HF) lister.take(Frequency::HF);
    });
    w.lfView = queue.registerWindow([&](const platform::WindowMessage& m) {
        if (m.id == WM_PING_LF) lister.take(Frequency::LF);
    });
    w.mainFrame = queue.registerWindow([](const platform::WindowMessage&) {});
    session.setMainWindow(w.mainFrame);
    const platform::WindowHandle pageWindow =
        queue.registerWindow([&](const platform::WindowMessage& m) {
            if (m.id == app::kMsgRefreshSonarPage) page.refresh();
        });
    config.device.addObserver([&] {
        queue.post(pageWindow, app::kMsgRefreshSonarPage);
        printLine(JsonLine()
                      .str("kind", "model")
                      .num("number", config.device.GetModelNumber())
                      .num("frequencies", config.device.frequencyCount)
                      .num("layout", config.device.FrequencyLayout)
                      .num("rangeMaxHF", config.device.limits.hf.rangeMax)
                      .num("rangeMaxLF", config.device.limits.lf.rangeMax)
                      .text());
    });
    session.setReplyObserver(
        [](std::string_view line, const SonarReply& r) { printLine(replyLine(line, r)); });
    acq.setReplySink(&session);

    app::MessengerNotices notices(app::defaultMessenger());
    RawRecorder recorder(notices, &queue);
    if (!projectFolder.empty()) {
        recorder.setProjectFolder(projectFolder);
        recorder.setHeaderSource([&](KsfInstallation& install, DeviceSessionBlock& block) {
            install = app::ksfInstallationFrom(config.sonar.install);
            const DeviceInformation info = session.deviceInformation();
            block.deviceType = info.type;
            if (!info.identifier.empty()) block.deviceId = info.identifier;
            if (!info.firmwareVersion.empty()) block.firmwareVersion = info.firmwareVersion;
            if (info.hfFrequency > 0) block.hfFrequency = info.hfFrequency;
            if (info.lfFrequency > 0) block.lfFrequency = info.lfFrequency;
            block.channelCountCode = config.device.frequencyCount >= 2 ? 2u : 1u;
        });
        acq.setRawRecorder(&recorder);
    }

    // Start-up: the default model, then the page's first refresh.
    config.device.ApplyDeviceModel();
    page.initialise();
    queue.drain();

    acq.startThreads();
    if (!session.connect_sonar()) {
        acq.shutDown();
        std::fprintf(stderr, "kestrova-cli: no sonar at %s:%u/%u\n", net.ip.c_str(),
                     net.commandPort, net.dataPort);
        return kExitFailure;
    }

    const std::uint32_t start = platform::tickCount();
    const auto total = static_cast<std::uint32_t>(seconds * 1000.0);
    auto spent = [&] { return platform::ticksSince(start, platform::tickCount()); };
    // As an operator would: wait for the sonar to say what it is before Start,
    // so the configuration follows the model's limits.
    while (!g_stopRequested && spent() < std::min<std::uint32_t>(total, 1000)) {
        const DeviceInformation info = session.deviceInformation();
        if (info.identifierSeen && !info.firmwareVersion.empty() && queue.pending() == 0) break;
        queue.waitAndDrain(20);
    }
    queue.drain();

    int rc = kExitOk;
    if (!g_stopRequested) {
        session.start_work();
        if (!acq.status().sonarRunning) {
            std::fprintf(stderr, "kestrova-cli: the sonar did not take the start command\n");
            rc = kExitFailure;
        }
        if (rc == kExitOk && !projectFolder.empty()) {
            if (recorder.toggle_raw_recording()) {
                printLine(
                    JsonLine().str("kind", "recording").str("file", recorder.currentPath()).text());
            } else {
                std::fprintf(stderr, "kestrova-cli: cannot record into %s\n",
                             projectFolder.c_str());
                rc = kExitFailure;
            }
        }
    }

    std::uint32_t nextHeartbeat = spent() + kHeartbeatIntervalMs;
    while (rc == kExitOk && !g_stopRequested) {
        const std::uint32_t now = spent();
        if (now >= total) break;
        if (now >= nextHeartbeat) {
            acq.heartbeat(SonarChannelId::Command);
            acq.heartbeat(SonarChannelId::Data);
            nextHeartbeat += kHeartbeatIntervalMs;
        }
        const std::uint32_t untilHeartbeat = nextHeartbeat > now ? nextHeartbeat - now : 0;
        queue.waitAndDrain(std::min({untilHeartbeat, total - now, 100u}));
    }

    session.stop_work();
    ShutdownSteps steps;
    steps.closeRecordingFiles = [&] { recorder.switchOff(); };
    acq.shutDown(steps);
    queue.drain();
    // Pings stored after the last notification.
    lister.take(Frequency::HF);
    lister.take(Frequency::LF);

    const DeviceInformation info = session.deviceInformation();
    printLine(JsonLine()
                  .str("kind", "device")
                  .str("identifier", info.identifier)
                  .str("type", info.type)
                  .real("lf", info.lfFrequency, 0)
                  .real("hf", info.hfFrequency, 0)
                  .str("firmware", info.firmwareVersion)
                  .boolean("stoppedBySignal", g_stopRequested != 0)
                  .text());
    const FrameAssemblerStats& st = acq.assembler().stats();
    const std::uint64_t dropped =
        st.dropped() + acq.batch(Frequency::HF).missed() + acq.batch(Frequency::LF).missed();
    printLine(summaryLine(acq.counters().dataBytes, lister.pings[0], lister.pings[1], st.attitudes,
                          dropped));
    return rc;
}

const Registration reg{"acquire", kUsage, runAcquire};

} // namespace
} // namespace kestrova::cli
