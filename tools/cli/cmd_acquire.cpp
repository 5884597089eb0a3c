// kestrova-cli acquire --seconds S [--config FOLDER] [--project FILE.ksp]
// [--record PROJECT_FOLDER] [--xtf]: the live survey session without a window.
// Reads SysCfg.ini from the program folder (or FOLDER), opens the position
// input its INSPara section asks for (a project's own INSPara replaces it),
// connects both channels as the "Connect Device" command does, identifies the
// sonar, sends the configuration and starts pinging as Start does, then lists
// every ping and every reply as JSON lines. With --project or --record it
// records the raw file (with the position records); --xtf also records the
// XTF pair from the views' display lines, the views running without a window.
// Without views the pings are listed as `frames` lists them; with them, as the
// views drew them. After S seconds, or on SIGINT or SIGTERM, it stops the
// sonar and closes everything in the order of quitting the program.

#include "acquisition/sonar_messages.h"
#include "app/session/survey_session.h"
#include "app/sonar_parameter_page.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "tools/cli/command.h"
#include "tools/cli/frame_json.h"
#include "tools/cli/ping_lister.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace kestrova::cli {
namespace {

using namespace kestrova::acquisition;

const char* kUsage = "acquire --seconds S [--config FOLDER] [--project FILE.ksp] [--record "
                     "PROJECT_FOLDER] [--xtf]";

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

bool portNumber(int value, std::uint16_t& out) {
    if (value < 1 || value > 65535) return false;
    out = static_cast<std::uint16_t>(value);
    return true;
}

// With views the views take the pings; each one drawn is listed from the
// view's pass (the ping's history line, time and the altitude after it).
std::string viewPingLine(Frequency f, const display::LineOutcome& o) {
    return JsonLine()
        .str("kind", "ping")
        .str("freq", f == Frequency::HF ? "HF" : "LF")
        .num("line", o.line)
        .real("time", o.pingTime, 3)
        .real("altitude", o.altitude, 2)
        .real("slantRange", o.slantRange, 2)
        .text();
}

void printModel(const app::Configuration& config) {
    printLine(JsonLine()
                  .str("kind", "model")
                  .num("number", config.device.GetModelNumber())
                  .num("frequencies", config.device.frequencyCount)
                  .num("layout", config.device.FrequencyLayout)
                  .num("rangeMaxHF", config.device.limits.hf.rangeMax)
                  .num("rangeMaxLF", config.device.limits.lf.rangeMax)
                  .text());
}

int runSession(app::SurveySession& survey, platform::MessageQueue& queue, double seconds,
               const std::optional<std::string>& projectFile,
               const std::optional<std::string>& recordFolder, bool xtf,
               const std::uint64_t (&viewPings)[kFrequencyCount]) {
    app::Configuration& config = survey.configuration();
    SonarAcquisition& acq = survey.acquisition();
    DeviceSession& session = survey.device();
    HeadlessPageHost host;
    app::SonarParameterPage page(config, session, host);
    PingLister lister(acq, printLine);

    // Without views the pings stay in the batches for this lister.
    WindowTargets& w = acq.windows();
    std::vector<platform::WindowHandle> windows;
    if (!survey.hasViews()) {
        w.hfView = queue.registerWindow([&](const platform::WindowMessage& m) {
            if (m.id == WM_PING_HF) lister.take(Frequency::HF);
        });
        w.lfView = queue.registerWindow([&](const platform::WindowMessage& m) {
            if (m.id == WM_PING_LF) lister.take(Frequency::LF);
        });
        windows = {w.hfView, w.lfView};
    }
    const platform::WindowHandle mainFrame =
        queue.registerWindow([](const platform::WindowMessage&) {});
    const platform::WindowHandle pageWindow =
        queue.registerWindow([&](const platform::WindowMessage& m) {
            if (m.id == app::kMsgRefreshSonarPage) page.refresh();
        });
    windows.push_back(mainFrame);
    windows.push_back(pageWindow);
    survey.setMainWindow(mainFrame);
    config.device.addObserver([&] {
        queue.post(pageWindow, app::kMsgRefreshSonarPage);
        printModel(config);
    });
    session.setReplyObserver(
        [](std::string_view line, const SonarReply& r) { printLine(replyLine(line, r)); });

    int rc = kExitOk;
    auto finish = [&] {
        // The quit stops the sonar: one stop line, as the program sends it.
        survey.shutDown();
        queue.drain();
        // Pings stored after the last notification.
        if (!survey.hasViews()) {
            lister.take(Frequency::HF);
            lister.take(Frequency::LF);
        }
        for (platform::WindowHandle h : windows)
            queue.unregisterWindow(h);
        if (!survey.hasViews()) w.hfView = w.lfView = platform::kNoWindow;
    };

    // Start-up: the default model and the threads (with the position input
    // INSPara asks for), then the page's first refresh.
    if (!survey.start()) {
        std::fprintf(stderr, "kestrova-cli: the sonar threads did not start\n");
        finish();
        return kExitFailure;
    }
    page.initialise();
    queue.drain();

    // A project brings its own settings and is where the survey is recorded;
    // a named folder takes the recording without one.
    if (projectFile && !survey.projects().openProject(*projectFile, false).ok) {
        finish(); // the reason is already on standard error
        return kExitFailure;
    }
    if (recordFolder) survey.setProjectFolder(*recordFolder);
    const std::string projectFolder = survey.projectFolder();

    if (!survey.connectSonar()) {
        finish();
        const SonarNetSettings net = acq.netSettings();
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

    if (!g_stopRequested) {
        survey.startWork();
        if (!acq.status().sonarRunning) {
            std::fprintf(stderr, "kestrova-cli: the sonar did not take the start command\n");
            rc = kExitFailure;
        }
        if (rc == kExitOk && !projectFolder.empty()) {
            if (survey.toggleRawRecording()) {
                printLine(JsonLine()
                              .str("kind", "recording")
                              .str("file", survey.rawRecorder().currentPath())
                              .text());
            } else {
                std::fprintf(stderr, "kestrova-cli: cannot record into %s\n",
                             projectFolder.c_str());
                rc = kExitFailure;
            }
        }
        if (rc == kExitOk && xtf) {
            if (survey.toggleXtfRecording()) {
                printLine(JsonLine()
                              .str("kind", "xtf")
                              .str("hf", survey.xtfWriter().path(0))
                              .str("lf", survey.xtfWriter().path(1))
                              .text());
            } else {
                std::fprintf(stderr, "kestrova-cli: cannot record XTF into %s\n",
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
            survey.heartbeat();
            nextHeartbeat += kHeartbeatIntervalMs;
        }
        const std::uint32_t untilHeartbeat = nextHeartbeat > now ? nextHeartbeat - now : 0;
        queue.waitAndDrain(std::min({untilHeartbeat, total - now, 100u}));
    }

    finish();

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
    if (survey.rawRecorder().counters().positionFrames.load() > 0 || config.ins.modeSelect != 0)
        printLine(JsonLine()
                      .str("kind", "positions")
                      .num("recorded", survey.rawRecorder().counters().positionFrames.load())
                      .text());
    const FrameAssemblerStats& st = acq.assembler().stats();
    const std::uint64_t dropped =
        st.dropped() + acq.batch(Frequency::HF).missed() + acq.batch(Frequency::LF).missed();
    const std::uint64_t hf = survey.hasViews() ? viewPings[0] : lister.pings[0];
    const std::uint64_t lf = survey.hasViews() ? viewPings[1] : lister.pings[1];
    printLine(summaryLine(acq.counters().dataBytes, hf, lf, st.attitudes, dropped));
    return rc;
}

int runAcquire(const Args& args) {
    ArgList list(args);
    auto secondsText = list.value("--seconds");
    auto folder = list.value("--config");
    auto projectFile = list.value("--project");
    auto recordFolder = list.value("--record");
    const bool xtf = list.flag("--xtf");
    if (!list.ok()) return usageError(kUsage, list.error());
    if (!list.positional().empty()) return usageError(kUsage, "unexpected " + list.positional()[0]);
    double seconds = 0;
    if (!secondsText) return usageError(kUsage, "--seconds is required");
    if (!parseDouble(*secondsText, seconds) || !(seconds > 0) || seconds > 1e6)
        return usageError(kUsage, "bad --seconds");
    if (xtf && !projectFile && !recordFolder)
        return usageError(kUsage, "--xtf needs --record or --project");

    app::Configuration config(platform::executableFolder(), app::userConfigFolder());
    app::defaultMessenger().setEnglish(config.readLanguageFlag());
    std::string systemFile = config.systemConfigPath();
    if (folder) {
        systemFile = platform::joinPath(*folder, app::kSystemConfigFile);
        if (!platform::PathFileExistsA(systemFile)) {
            std::fprintf(stderr, "kestrova-cli: no %s in %s\n", app::kSystemConfigFile,
                         folder->c_str());
            return kExitFailure;
        }
    }
    config.LoadSystemConfig(systemFile);
    // The position input as INSPara of the same file asks (none without it);
    // a project's own INSPara replaces it when the project opens.
    if (platform::PathFileExistsA(systemFile)) config.LoadConfigSection("INSPara", systemFile);
    // The installation and display settings, when the file carries them (a
    // copy of a project's configuration), as export-xtf and mosaic read it.
    if (platform::PathFileExistsA(systemFile)) {
        platform::IniFile ini(systemFile);
        if (ini.load() && ini.document().hasSection("SonarSetPara"))
            config.LoadConfigSection("SonarSetPara", systemFile);
    }

    SonarNetSettings net;
    net.ip = config.system.sonarIp;
    if (!platform::parseIpv4(net.ip) || !portNumber(config.system.commandPort, net.commandPort) ||
        !portNumber(config.system.dataPort, net.dataPort)) {
        std::fprintf(stderr, "kestrova-cli: SysCfg.ini section Net: bad IP or PORT1/PORT2\n");
        return kExitFailure;
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
    }

    // Live XTF is made from the views' display lines: the views run without a
    // window, with Drovanta from the program folder.
    display::DrovantaApi drovanta;
    if (xtf && (!drovanta.load() || !drovanta.initialize())) {
        std::fprintf(stderr, "kestrova-cli: %s\n", drovanta.failure().english.c_str());
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
    std::uint64_t viewPings[kFrequencyCount] = {0, 0};
    app::SurveySessionCallbacks callbacks;
    callbacks.viewPass = [&](Frequency f, std::span<const display::LineOutcome> drawn) {
        for (const display::LineOutcome& o : drawn) {
            printLine(viewPingLine(f, o));
            ++viewPings[index(f)];
        }
    };
    app::ProjectHost projectHost;
    const int rc = [&] {
        app::SurveySession survey(config, queue, xtf ? &drovanta : nullptr, projectHost,
                                  std::move(callbacks));
        return runSession(survey, queue, seconds, projectFile, recordFolder, xtf, viewPings);
    }();
    if (xtf) drovanta.terminate();
    return rc;
}

const Registration reg{"acquire", kUsage, runAcquire};

} // namespace
} // namespace kestrova::cli
