// kestrova-cli listen: a headless acquisition. Runs the real connection and
// receive threads against a sonar (or its simulator), takes the pings out of
// the PingBatch queues on each posted message as the waterfall views do, sends
// the heartbeat every 1000 ms, and prints one JSON line per ping.

#include "acquisition/sonar_acquisition.h"
#include "acquisition/sonar_messages.h"
#include "platform/clock.h"
#include "tools/cli/command.h"
#include "tools/cli/frame_json.h"
#include "tools/cli/ping_lister.h"

#include <cstdio>
#include <memory>

namespace kestrova::cli {
namespace {

using namespace kestrova::acquisition;

const char* kUsage = "listen [--host 127.0.0.1] [--port 5002] [--command-port P] [--seconds S]";

bool parsePort(const std::string& text, std::uint16_t& out) {
    long long v = 0;
    if (!parseInt(text, v) || v < 1 || v > 65535) return false;
    out = static_cast<std::uint16_t>(v);
    return true;
}

int runListen(const Args& args) {
    ArgList list(args);
    SonarNetSettings net;
    auto host = list.value("--host");
    auto port = list.value("--port");
    auto commandPort = list.value("--command-port");
    auto secondsText = list.value("--seconds");
    if (!list.ok()) return usageError(kUsage, list.error());
    if (!list.positional().empty()) return usageError(kUsage, "unexpected " + list.positional()[0]);
    if (host) net.ip = *host;
    if (!platform::parseIpv4(net.ip))
        return usageError(kUsage, "--host needs a dotted IPv4 address");
    if (port && !parsePort(*port, net.dataPort)) return usageError(kUsage, "bad --port");
    if (commandPort && !parsePort(*commandPort, net.commandPort))
        return usageError(kUsage, "bad --command-port");
    double seconds = 10;
    if (secondsText && (!parseDouble(*secondsText, seconds) || seconds <= 0 || seconds > 1e6))
        return usageError(kUsage, "bad --seconds");

    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    platform::MessageQueue queue;
    SonarAcquisition acq(queue, net);
    PingLister listener(acq, [](const std::string& line) { std::puts(line.c_str()); });
    WindowTargets& w = acq.windows();
    w.hfView = queue.registerWindow([&](const platform::WindowMessage& m) {
        if (m.id == WM_PING_HF) listener.take(Frequency::HF);
    });
    w.lfView = queue.registerWindow([&](const platform::WindowMessage& m) {
        if (m.id == WM_PING_LF) listener.take(Frequency::LF);
    });
    w.mainFrame = queue.registerWindow([](const platform::WindowMessage&) {});

    // No start command yet: take the stream as if the sonar had been started.
    acq.status().sonarRunning = true;
    acq.startThreads();
    acq.requestConnect(SonarChannelId::Data);
    if (commandPort) acq.requestConnect(SonarChannelId::Command);

    bool everConnected = false;
    const std::uint32_t start = platform::tickCount();
    const auto total = static_cast<std::uint32_t>(seconds * 1000.0);
    std::uint32_t nextHeartbeat = kHeartbeatIntervalMs;
    for (;;) {
        const std::uint32_t spent = platform::ticksSince(start, platform::tickCount());
        if (spent >= total) break;
        if (spent >= nextHeartbeat) {
            if (commandPort) acq.heartbeat(SonarChannelId::Command);
            acq.heartbeat(SonarChannelId::Data);
            nextHeartbeat += kHeartbeatIntervalMs;
        }
        everConnected = everConnected || acq.channel(SonarChannelId::Data).connected;
        const std::uint32_t untilHeartbeat = nextHeartbeat > spent ? nextHeartbeat - spent : 0;
        queue.waitAndDrain(std::min({untilHeartbeat, total - spent, 100u}));
    }

    acq.shutDown();
    queue.drain();
    // Pings stored after the last notification.
    listener.take(Frequency::HF);
    listener.take(Frequency::LF);

    const FrameAssemblerStats& st = acq.assembler().stats();
    const std::uint64_t dropped =
        st.dropped() + acq.batch(Frequency::HF).missed() + acq.batch(Frequency::LF).missed();
    std::puts(summaryLine(acq.counters().dataBytes, listener.pings[0], listener.pings[1],
                          st.attitudes, dropped)
                  .c_str());
    if (!everConnected) {
        std::fprintf(stderr, "kestrova-cli: no data connection to %s:%u\n", net.ip.c_str(),
                     net.dataPort);
        return kExitFailure;
    }
    return kExitOk;
}

const Registration reg{"listen", kUsage, runListen};

} // namespace
} // namespace kestrova::cli
