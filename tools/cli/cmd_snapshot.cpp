// kestrova-cli snapshot --out FILE.png [--seconds S | --file FRAMES] ...:
// renders both waterfalls without a display, through the same pipelines, the
// same pictures and the same messages as the window, and writes them side by
// side (HF left, LF right) into one PNG. Live from the sonar (the address in
// SysCfg.ini unless --host / --port say otherwise) for S seconds, or from a
// file of sonar frames.

#include "acquisition/device_session.h"
#include "acquisition/frame_assembler.h"
#include "acquisition/sonar_acquisition.h"
#include "app/config/configuration.h"
#include "display/png_image.h"
#include "display/snapshot_picture.h"
#include "display/waterfall_view.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/socket.h"
#include "tools/cli/command.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace kestrova::cli {
namespace {

using namespace kestrova::acquisition;

const char* kUsage =
    "snapshot --out FILE.png [--seconds S | --file FRAMES] [--host IP] [--port P]\n"
    "         [--command-port P] [--width W] [--height H] [--palette N] [--strength V] [--bottom]";

// Reading a file, every ping is announced: the clock moves 40 ms per look.
std::uint32_t steppingTick() {
    static std::atomic<std::uint32_t> now{0};
    return now.fetch_add(PingHandOff::kNotifyIntervalMs) + PingHandOff::kNotifyIntervalMs;
}

class HandingSink : public FrameSink {
  public:
    explicit HandingSink(PingHandOff& handOff) : handOff_(handOff) {}
    bool handPing(const PingRecord& ping, float rate, std::uint8_t changed) override {
        return handOff_.handPing(ping, rate, changed);
    }

  private:
    PingHandOff& handOff_;
};

bool parseWhole(const std::optional<std::string>& text, long long lo, long long hi, int& out) {
    if (!text) return true;
    long long v = 0;
    if (!parseInt(*text, v) || v < lo || v > hi) return false;
    out = static_cast<int>(v);
    return true;
}

int runSnapshot(const Args& args) {
    ArgList list(args);
    auto out = list.value("--out");
    auto secondsText = list.value("--seconds");
    auto file = list.value("--file");
    auto host = list.value("--host");
    auto port = list.value("--port");
    auto commandPort = list.value("--command-port");
    auto widthText = list.value("--width");
    auto heightText = list.value("--height");
    auto paletteText = list.value("--palette");
    auto strengthText = list.value("--strength");
    const bool bottom = list.flag("--bottom");
    if (!list.ok()) return usageError(kUsage, list.error());
    if (!list.positional().empty()) return usageError(kUsage, "unexpected " + list.positional()[0]);
    if (!out) return usageError(kUsage, "--out FILE.png is needed");
    if (file && secondsText) return usageError(kUsage, "--seconds or --file, not both");
    double seconds = 10;
    if (secondsText && (!parseDouble(*secondsText, seconds) || seconds <= 0 || seconds > 86400))
        return usageError(kUsage, "bad --seconds");
    int width = 800, height = 600, palette = 0, strength = 50;
    if (!parseWhole(widthText, 120, 4000, width)) return usageError(kUsage, "bad --width");
    if (!parseWhole(heightText, 120, 4000, height)) return usageError(kUsage, "bad --height");
    if (!parseWhole(paletteText, 0, 3, palette)) return usageError(kUsage, "bad --palette");
    if (!parseWhole(strengthText, 0, 99, strength)) return usageError(kUsage, "bad --strength");

    app::Configuration config(platform::executableFolder(), app::userConfigFolder());
    config.LoadSystemConfig();
    SonarNetSettings net;
    net.ip = config.system.sonarIp;
    net.dataPort = static_cast<std::uint16_t>(config.system.dataPort);
    net.commandPort = static_cast<std::uint16_t>(config.system.commandPort);
    if (host) net.ip = *host;
    if (!platform::parseIpv4(net.ip))
        return usageError(kUsage, "--host needs a dotted IPv4 address");
    int p = 0;
    if (!parseWhole(port, 1, 65535, p)) return usageError(kUsage, "bad --port");
    if (port) net.dataPort = static_cast<std::uint16_t>(p);
    if (!parseWhole(commandPort, 1, 65535, p)) return usageError(kUsage, "bad --command-port");
    if (commandPort) net.commandPort = static_cast<std::uint16_t>(p);

    std::FILE* in = nullptr;
    if (file) {
        in = *file == "-" ? stdin : std::fopen(file->c_str(), "rb");
        if (!in) {
            std::fprintf(stderr, "kestrova-cli: cannot open %s: %s\n", file->c_str(),
                         std::strerror(errno));
            return kExitFailure;
        }
    }

    display::DrovantaApi drovanta;
    if (!drovanta.load() || !drovanta.initialize()) {
        std::fprintf(stderr, "kestrova-cli: %s\n", drovanta.failure().english.c_str());
        if (in && in != stdin) std::fclose(in);
        return kExitFailure;
    }

    platform::MessageQueue queue;
    auto acq = std::make_unique<SonarAcquisition>(queue, net, file ? &steppingTick : nullptr);
    display::DisplayShared shared;
    shared.settings.soundSpeed = config.sonar.soundSpeed;
    shared.settings.strength = {strength, strength};
    shared.settings.bottom.on = bottom ? 1 : 0;
    acq->windows().mainFrame = queue.registerWindow([](const platform::WindowMessage&) {});
    display::WaterfallView hf(Frequency::HF, drovanta, shared, queue, acq->handOff(),
                              acq->windows());
    display::WaterfallView lf(Frequency::LF, drovanta, shared, queue, acq->handOff(),
                              acq->windows());
    display::FullScaleSettings full{config.system.blindMeter, config.system.newScale,
                                    config.system.oldScale, config.system.useScale,
                                    config.system.disSize};
    for (display::WaterfallView* v : {&hf, &lf}) {
        v->waterfall().palette().load(config.programFolder(), palette, false);
        v->waterfall().setFullScaleSettings(full);
        v->resize(width, height);
    }

    bool failed = false;
    if (file) {
        SonarStatus status;
        HandingSink sink(acq->handOff());
        FrameAssembler assembler(sink, status);
        std::uint32_t fill = 0;
        std::uint8_t* writePos = assembler.buffer();
        for (;;) {
            if (fill > FrameAssembler::kOverflowLimit) {
                fill = 0;
                writePos = assembler.buffer();
                assembler.reset();
            }
            const std::size_t n = std::fread(writePos, 1, FrameAssembler::kMaxRead, in);
            if (n == 0) {
                failed = std::ferror(in) != 0;
                break;
            }
            fill += static_cast<std::uint32_t>(n);
            writePos = assembler.feed(fill, nullptr);
            queue.drain();
        }
        if (in != stdin) std::fclose(in);
        if (failed) std::fprintf(stderr, "kestrova-cli: reading %s failed\n", file->c_str());
    } else {
        // With a command channel the sonar is connected and started as the window
        // does; without one the data stream is taken as it comes.
        std::unique_ptr<DeviceSession> session;
        acq->startThreads();
        if (commandPort) {
            session = std::make_unique<DeviceSession>(config, *acq);
            acq->setReplySink(session.get());
            if (!session->connect_sonar()) {
                acq->requestConnect(SonarChannelId::Command);
                acq->requestConnect(SonarChannelId::Data);
            }
        } else {
            acq->status().sonarRunning = true;
            acq->requestConnect(SonarChannelId::Data);
        }
        bool startSent = !commandPort;
        bool everConnected = false;
        const std::uint32_t start = platform::tickCount();
        const auto total = static_cast<std::uint32_t>(seconds * 1000.0);
        std::uint32_t nextHeartbeat = kHeartbeatIntervalMs;
        for (;;) {
            const std::uint32_t spent = platform::ticksSince(start, platform::tickCount());
            if (spent >= total) break;
            if (spent >= nextHeartbeat) {
                if (commandPort) acq->heartbeat(SonarChannelId::Command);
                acq->heartbeat(SonarChannelId::Data);
                nextHeartbeat += kHeartbeatIntervalMs;
            }
            everConnected = everConnected || acq->channel(SonarChannelId::Data).connected;
            // A moment for the sonar to identify itself, then Start.
            if (!startSent && spent >= 500 && session->deviceInformation().identifierSeen) {
                session->start_work();
                startSent = acq->status().sonarRunning.load();
            }
            queue.waitAndDrain(std::min(total - spent, 50u));
        }
        if (session && acq->status().sonarRunning) session->stop_work();
        acq->shutDown();
        if (!everConnected) {
            std::fprintf(stderr, "kestrova-cli: no data connection to %s:%u\n", net.ip.c_str(),
                         net.dataPort);
            failed = true;
        }
    }
    // Pings stored after the last announcement, then the redraws they ask for.
    queue.post(hf.handle(), WM_PING_HF);
    queue.post(lf.handle(), WM_PING_LF);
    for (int i = 0; i < 4 && queue.pending() > 0; ++i)
        queue.drain();

    const std::uint64_t hfPings = hf.pipeline().pingsReceived();
    const std::uint64_t lfPings = lf.pipeline().pingsReceived();
    std::string error;
    if (!display::writePng(display::sideBySide(hf.image(), lf.image()), *out, &error)) {
        std::fprintf(stderr, "kestrova-cli: cannot write %s: %s\n", out->c_str(), error.c_str());
        return kExitFailure;
    }
    std::printf("snapshot %s hf=%llu lf=%llu\n", out->c_str(),
                static_cast<unsigned long long>(hfPings), static_cast<unsigned long long>(lfPings));
    if (hfPings + lfPings == 0) {
        std::fprintf(stderr, "kestrova-cli: no pings to show\n");
        failed = true;
    }
    return failed ? kExitFailure : kExitOk;
}

const Registration reg{"snapshot", kUsage, runSnapshot};

} // namespace
} // namespace kestrova::cli
