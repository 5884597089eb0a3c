// The device session over real loopback sockets and the real receive thread:
// an in-test sonar where the exact bytes matter, the simulator for the
// protocol end to end. Expected lines are written out by hand from the
// sonar's line rules.

#include "acquisition/device_session.h"
#include "acquisition/sonar_messages.h"
#include "app/sonar_parameter_page.h"
#include "platform/clock.h"
#include "platform/tests/temp_folder.h"
#include "tools/sonar-sim/sim_process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <thread>

namespace kestrova::acquisition::testing {
namespace {

using app::Frequency;
using kestrova::testing::TempFolder;
using kestrova::testing::writeText;
using platform::sleepMs;

// The default settings' whole configuration block (HF and LF 50 m, pulse 0.1
// ms, gain 0, spreading and absorption 10, frequencies 150/450 from the sonar),
// then the start line.
const std::string kDefaultConfiguration = "$cmd,set,updataswitch,0*ff\r\n"
                                          "$cmd,set,algorithm,1*ff\r\n"
                                          "$cmd,set,emittransducer,5,0*ff\r\n"
                                          "$cmd,set,emittransducer,6,0*ff\r\n"
                                          "$cmd,set,recvtransducer,5,1*ff\r\n"
                                          "$cmd,set,recvtransducer,6,1*ff\r\n"
                                          "$cmd,set,surveypara,0,0,0*ff\r\n"
                                          "$cmd,set,chen,0f*ff\r\n"
                                          "$cmd,set,samplefreq,5,216000*ff\r\n"
                                          "$cmd,set,samplelength,5,0,014400*ff\r\n"
                                          "$cmd,set,interval,10*ff\r\n"
                                          "$cmd,set,samplerate,5,04*ff\r\n"
                                          "$cmd,set,signalpara,5,1,450,5,4,9*ff\r\n"
                                          "$cmd,set,emitchen,5,1*ff\r\n"
                                          "$cmd,set,gainpara,5,0,30,000000,001000,2605.76689,"
                                          "0.09000000*ff\r\n"
                                          "$cmd,set,samplefreq,6,216000*ff\r\n"
                                          "$cmd,set,samplelength,6,0,014400*ff\r\n"
                                          "$cmd,set,interval,10*ff\r\n"
                                          "$cmd,set,samplerate,6,08*ff\r\n"
                                          "$cmd,set,signalpara,6,1,150,5,4,9*ff\r\n"
                                          "$cmd,set,emitchen,6,1*ff\r\n"
                                          "$cmd,set,gainpara,6,0,40,000000,001000,2605.76689,"
                                          "0.09000000*ff\r\n"
                                          "$cmd,set,filterbandwidth,5,80000*ff\r\n"
                                          "$cmd,set,filterbandwidth,6,80000*ff\r\n";

// A sonar stand-in on loopback that records every byte of the command channel
// and sends what the test tells it to.
class RawSonar {
  public:
    bool listen() {
        return command_.listen({0x7F000001, 0}) && data_.listen({0x7F000001, 0}) &&
               command_.setNonBlocking(true) && data_.setNonBlocking(true);
    }
    std::uint16_t commandPort() const { return command_.localPort(); }
    std::uint16_t dataPort() const { return data_.localPort(); }

    // Accepts pending connections and reads what arrived.
    void poll() {
        platform::TcpSocket c = command_.accept();
        if (c.valid()) {
            c.setNonBlocking(true);
            commandPeer_ = std::move(c);
        }
        platform::TcpSocket d = data_.accept();
        if (d.valid()) dataPeer_ = std::move(d);
        std::uint8_t buf[4096];
        while (commandPeer_.valid()) {
            platform::IoResult r = commandPeer_.receive(buf);
            if (r.status != platform::IoStatus::Ok || r.bytes == 0) break;
            received.append(reinterpret_cast<const char*>(buf), r.bytes);
        }
    }
    bool send(std::string_view text) {
        return commandPeer_.valid() && commandPeer_.send(text).status == platform::IoStatus::Ok;
    }
    void closePeers() {
        commandPeer_.close();
        dataPeer_.close();
    }

    std::string received;

  private:
    platform::TcpListener command_;
    platform::TcpListener data_;
    platform::TcpSocket commandPeer_;
    platform::TcpSocket dataPeer_;
};

// Stands in for the waterfall views: keeps the headers of every ping.
class Views {
  public:
    Views(platform::MessageQueue& q, SonarAcquisition& acq)
        : acq_(acq), copy_(std::make_unique<PingBatchData>()) {
        acq.windows().hfView = q.registerWindow(
            [this](const platform::WindowMessage&) { take(acquisition::Frequency::HF); });
        acq.windows().lfView = q.registerWindow(
            [this](const platform::WindowMessage&) { take(acquisition::Frequency::LF); });
        acq.windows().mainFrame = q.registerWindow([this](const platform::WindowMessage& m) {
            if (m.id == WM_DEVICE_INFO) ++deviceInfoMessages;
        });
    }
    void take(acquisition::Frequency f) {
        acq_.handOff().drain(f, *copy_);
        for (std::uint32_t i = 0; i < copy_->pingCount; ++i)
            headers[index(f)].push_back(*copy_->header(i));
    }
    std::size_t count(acquisition::Frequency f) const { return headers[index(f)].size(); }

    std::vector<PingHeader> headers[2];
    int deviceInfoMessages = 0;

  private:
    SonarAcquisition& acq_;
    std::unique_ptr<PingBatchData> copy_;
};

// Shows messages as the window does, noting the thread: the box waits for the
// operator, which only the interface thread (the test's) may do.
class ThreadNotingSink : public app::RecordingMessageSink {
  public:
    int present(const app::OperatorMessage& m) override {
        if (std::this_thread::get_id() != owner) ++offThread;
        return RecordingMessageSink::present(m);
    }
    const std::thread::id owner = std::this_thread::get_id();
    std::atomic<int> offThread{0};
};

class PageHost : public app::SonarPageHost {
  public:
    std::optional<std::string> projectConfigPath() const override { return std::nullopt; }
    bool playbackMode() const override { return false; }
    void rangeCommitted(Frequency) override {}
};

class Session : public ::testing::Test {
  protected:
    void SetUp() override {
        messenger.setEnglish(true);
        messenger.setSink(&messages);
    }
    // Mended: the "device replaced" and pulse warnings held the receive
    // thread until the operator closed the box.
    void TearDown() override {
        destroy();
        EXPECT_EQ(messages.offThread, 0) << "a worker thread waited for the operator";
    }

    // Threads stopped first; then everything in the reverse order of making.
    void destroy() {
        if (acq) acq->shutDown();
        views.reset();
        session.reset();
        acq.reset();
        config.reset();
    }

    void make(std::uint16_t commandPort, std::uint16_t dataPort, SessionHooks hooks = {}) {
        destroy();
        SonarNetSettings net;
        net.commandPort = commandPort;
        net.dataPort = dataPort;
        config = std::make_unique<app::Configuration>(program.path(), messenger);
        config->device.ApplyDeviceModel();
        acq = std::make_unique<SonarAcquisition>(queue, net);
        session = std::make_unique<DeviceSession>(*config, *acq, std::move(hooks));
        views = std::make_unique<Views>(queue, *acq);
        session->setMainWindow(acq->windows().mainFrame);
        acq->setReplySink(session.get());
        ASSERT_TRUE(acq->startThreads());
    }

    // The interface loop: messages, `each` on every round, until `done` or the time-out.
    bool pumpUntil(const std::function<bool()>& done, int timeoutMs,
                   const std::function<void()>& each = {}) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            if (each) each();
            queue.waitAndDrain(10);
            if (done()) return true;
        }
        return false;
    }
    int shown(const std::string& english) {
        int n = 0;
        for (const auto& m : messages.messages())
            n += m.text == english;
        return n;
    }

    TempFolder program; // the program folder: limits files
    ThreadNotingSink messages;
    app::Messenger messenger;
    platform::MessageQueue queue;
    std::unique_ptr<app::Configuration> config;
    std::unique_ptr<SonarAcquisition> acq;
    std::unique_ptr<DeviceSession> session;
    std::unique_ptr<Views> views;
};

// Connect, identify, configure and start: the exact bytes on the wire,
// including the "0" that evens out an odd-length transmission.
TEST_F(Session, ExactBytesOfConnectAndStart) {
    RawSonar sonar;
    ASSERT_TRUE(sonar.listen());
    make(sonar.commandPort(), sonar.dataPort());
    // The clock line is UTC plus TimeZoneHour, as the position input sends it,
    // whatever the PC's own zone: a zone other than the PC's shows the difference.
    const std::time_t before = std::time(nullptr);
    std::tm pcZone{};
    localtime_r(&before, &pcZone);
    const int zone = pcZone.tm_gmtoff == 5 * 3600 ? 8 : 5;
    config->system.timeZoneHour = zone;
    ASSERT_TRUE(session->connect_sonar());
    EXPECT_EQ(shown("Sonar connected successfully!"), 1);
    EXPECT_EQ(acq->status().connectionState.load(), connection_state::kConnected);
    EXPECT_EQ(acq->status().dataState.load(), data_state::kNotPinging);

    // The clock line (48 bytes), then the four queries; the version query
    // has 23 bytes and is padded.
    const std::string queries = "$cmd,get,devicetype*ff\r\n$cmd,get,deviceid*ff\r\n"
                                "$cmd,get,freq*ff\r\n$cmd,get,version,6*ff\r\n0";
    ASSERT_TRUE(pumpUntil([&] { return sonar.received.size() >= 48 + queries.size(); }, 3000,
                          [&] { sonar.poll(); }));
    ASSERT_EQ(sonar.received.size(), 48 + queries.size());
    EXPECT_EQ(sonar.received.substr(0, 17), "$cmd,set,rtctime,");
    std::tm sent{};
    ASSERT_EQ(std::sscanf(sonar.received.c_str(), "$cmd,set,rtctime,%4d,%2d,%2d,%2d,%2d,%2d",
                          &sent.tm_year, &sent.tm_mon, &sent.tm_mday, &sent.tm_hour, &sent.tm_min,
                          &sent.tm_sec),
              6);
    sent.tm_year -= 1900;
    sent.tm_mon -= 1;
    const std::time_t sentUtc = timegm(&sent) - zone * 3600;
    EXPECT_GE(sentUtc, before);
    EXPECT_LE(sentUtc, std::time(nullptr));
    EXPECT_EQ(sonar.received.substr(36, 12), ",000000*ff\r\n");
    EXPECT_EQ(sonar.received.substr(48), queries);

    // The frequencies go into the signal lines.
    sonar.send("$rsp,freq,150,0,450,0*ff\r\n");
    ASSERT_TRUE(pumpUntil([&] { return session->deviceInformation().hfFrequency == 450; }, 3000));

    sonar.received.clear();
    ASSERT_TRUE(session->configure_and_run());
    EXPECT_TRUE(acq->status().sonarRunning);
    EXPECT_TRUE(session->timeSyncWanted());
    std::string want = kDefaultConfiguration;
    if (want.size() % 2) want += "0";
    want += "$cmd,sysrun,1*ff\r\n";
    ASSERT_TRUE(pumpUntil([&] { return sonar.received.size() >= want.size(); }, 3000,
                          [&] { sonar.poll(); }));
    EXPECT_EQ(sonar.received, want);

    // The position input sets the clock from a fix: the wish is then fulfilled.
    sonar.received.clear();
    ASSERT_TRUE(session->sendSonarClock({2024, 5, 1, 10, 0, 0, 123456}));
    EXPECT_FALSE(session->timeSyncWanted());
    ASSERT_TRUE(
        pumpUntil([&] { return sonar.received.size() >= 48; }, 3000, [&] { sonar.poll(); }));
    EXPECT_EQ(sonar.received, "$cmd,set,rtctime,2024,05,01,10,00,00,123456*ff\r\n");

    // A single range change while running: sampling then signal lines of HF
    // (level 5: 100 m, 28800 samples); an odd total gets its "0".
    sonar.received.clear();
    config->sonar.hf.rangeLevel = 5;
    ASSERT_TRUE(session->sendRangeCommand(Frequency::HF));
    want = "$cmd,set,samplefreq,5,216000*ff\r\n$cmd,set,samplelength,5,0,028800*ff\r\n"
           "$cmd,set,interval,10*ff\r\n$cmd,set,samplerate,5,04*ff\r\n"
           "$cmd,set,signalpara,5,1,450,5,4,9*ff\r\n$cmd,set,emitchen,5,1*ff\r\n";
    if (want.size() % 2) want += "0";
    ASSERT_TRUE(pumpUntil([&] { return sonar.received.size() >= want.size(); }, 3000,
                          [&] { sonar.poll(); }));
    EXPECT_EQ(sonar.received, want);
    // While running the display range stays where Start put it.
    EXPECT_EQ(config->sonar.commandRangeMetresHF, 50);

    sonar.received.clear();
    session->stop_work();
    EXPECT_FALSE(acq->status().sonarRunning);
    ASSERT_TRUE(
        pumpUntil([&] { return sonar.received.size() >= 18; }, 3000, [&] { sonar.poll(); }));
    EXPECT_EQ(sonar.received, "$cmd,sysrun,0*ff\r\n");
}

// Replies in pieces, garbage and malformed replies through the receive thread.
TEST_F(Session, RepliesInPiecesAndMalformedRepliesLeaveValuesAlone) {
    RawSonar sonar;
    ASSERT_TRUE(sonar.listen());
    make(sonar.commandPort(), sonar.dataPort());
    ASSERT_TRUE(session->connect_sonar());
    pumpUntil([] { return false; }, 50, [&] { sonar.poll(); });

    sonar.send("\x01garbage$rsp,devi");
    pumpUntil([] { return false; }, 60);
    EXPECT_FALSE(session->deviceInformation().identifierSeen); // no CR LF yet
    sonar.send("ceid,SN-1*ff\r\n$rsp,freq,120,7,400,7*ff\r\n$rsp,get,version,V1.0*ff\r\n");
    ASSERT_TRUE(
        pumpUntil([&] { return session->deviceInformation().firmwareVersion == "V1.0"; }, 3000));
    DeviceInformation info = session->deviceInformation();
    EXPECT_EQ(info.identifier, "SN-1");
    EXPECT_EQ(info.lfFrequency, 120);
    EXPECT_EQ(info.hfFrequency, 400);

    // Malformed: every one of them must leave the values as they are.
    sonar.send("$rsp,freq,abc,999*ff\r\n$rsp,freq,1*ff\r\n$rsp,deviceid*ff\r\n"
               "$rsp,get,version*ff\r\n$rsp,devicetype*ff\r\nno dollar at all\r\n"
               "$rsp,get,version,V2.0*ff\r\n");
    ASSERT_TRUE(
        pumpUntil([&] { return session->deviceInformation().firmwareVersion == "V2.0"; }, 3000));
    info = session->deviceInformation();
    EXPECT_EQ(info.identifier, "SN-1");
    EXPECT_EQ(info.lfFrequency, 120);
    EXPECT_EQ(info.hfFrequency, 400);
    EXPECT_EQ(info.type, "QM-302");
    EXPECT_EQ(shown("The device has been replaced."), 0);

    // The pulse warning at most once per 5 s however often the sonar says it.
    sonar.send("$rsp,ucUpdata,1*ff\r\n$rsp,ucUpdata,1*ff\r\n$rsp,ucUpdata,1*ff\r\n");
    pumpUntil([&] { return shown("Please reduce the pulse width or increase the range!") > 1; },
              300);
    EXPECT_EQ(shown("Please reduce the pulse width or increase the range!"), 1);
}

// The same identifier twice changes nothing; another one stops recording and
// pinging, clears the reconnection requests and tells the operator.
TEST_F(Session, ReplacedDeviceStopsRecordingAndPinging) {
    RawSonar sonar;
    ASSERT_TRUE(sonar.listen());
    int stops = 0;
    SessionHooks hooks;
    hooks.rawRecordingOn = [] { return true; };
    hooks.stopRawRecording = [&] { ++stops; };
    make(sonar.commandPort(), sonar.dataPort(), hooks);
    ASSERT_TRUE(session->connect_sonar());
    pumpUntil([] { return false; }, 50, [&] { sonar.poll(); });
    sonar.send("$rsp,deviceid,SN-1*ff\r\n");
    ASSERT_TRUE(pumpUntil([&] { return session->deviceInformation().identifierSeen; }, 3000));
    ASSERT_TRUE(session->configure_and_run());
    sonar.send("$rsp,deviceid,SN-1*ff\r\n");
    pumpUntil([&] { return views->deviceInfoMessages >= 2; }, 3000, [&] { sonar.poll(); });
    EXPECT_TRUE(acq->status().sonarRunning);
    EXPECT_EQ(stops, 0);

    // A lost channel asks for reconnection, to a port where nobody answers now.
    std::uint16_t deadPort = 0;
    {
        platform::TcpListener gone;
        ASSERT_TRUE(gone.listen({0x7F000001, 0}));
        deadPort = gone.localPort();
    }
    acq->setNetSettings({"127.0.0.1", deadPort, deadPort});
    acq->requestConnect(SonarChannelId::Data);
    sonar.received.clear();
    sonar.send("$rsp,deviceid,SN-2*ff\r\n");
    ASSERT_TRUE(pumpUntil([&] { return shown("The device has been replaced.") == 1; }, 3000,
                          [&] { sonar.poll(); }));
    EXPECT_EQ(session->deviceInformation().identifier, "SN-2");
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(acq->status().sonarRunning);
    EXPECT_FALSE(acq->connectionEvents().connectData.isSet());
    ASSERT_TRUE(
        pumpUntil([&] { return sonar.received.size() >= 18; }, 3000, [&] { sonar.poll(); }));
    EXPECT_EQ(sonar.received, "$cmd,sysrun,0*ff\r\n");
}

// The hidden advanced settings and the pressure calibration: nothing without
// a command channel (the dialog tells the operator), exact lines with one,
// and the reference the sonar reports reaches the dialog.
TEST_F(Session, AdvancedAndPressureCommands) {
    RawSonar sonar;
    ASSERT_TRUE(sonar.listen());
    make(sonar.commandPort(), sonar.dataPort());
    EXPECT_FALSE(session->sendPressureZero());
    EXPECT_FALSE(session->sendPressureReference());
    EXPECT_FALSE(session->sendAlgorithm(3));
    EXPECT_FALSE(session->sendSonarClock({2024, 5, 1, 10, 0, 0, 0}));
    EXPECT_EQ(shown("Error: Sonar is not connected!"), 1);
    EXPECT_EQ(shown("Error: sonar is not connected!"), 1);
    EXPECT_EQ(session->currentAlgorithm(), 1);

    std::uintptr_t reported = 0;
    const platform::WindowHandle dialog =
        queue.registerWindow([&](const platform::WindowMessage& m) {
            if (m.id == WM_PRESSURE_REFERENCE) reported = m.wParam;
        });
    session->setPressureDialog(dialog);
    ASSERT_TRUE(session->connect_sonar());
    pumpUntil([&] { return sonar.received.size() >= 48 + 88; }, 3000, [&] { sonar.poll(); });
    sonar.received.clear();
    EXPECT_TRUE(session->sendEmitTransducer(2));
    EXPECT_TRUE(session->sendUpdataSwitch(1));
    EXPECT_FALSE(session->sendUpdataSwitch(7)); // no such selection: nothing sent
    EXPECT_TRUE(session->sendAlgorithm(3));
    EXPECT_EQ(session->currentAlgorithm(), 3);
    EXPECT_TRUE(session->sendTypedInterval("40"));
    EXPECT_TRUE(session->sendPressureReference());
    // Each send on its own: 64 and 28 bytes go as they are; 25, 25 and 55 get their "0".
    const std::string want = "$cmd,set,emittransducer,5,2*ff\r\n$cmd,set,emittransducer,6,2*ff\r\n"
                             "$cmd,set,updataswitch,1*ff\r\n"
                             "$cmd,set,algorithm,3*ff\r\n0"
                             "$cmd,set,interval,40*ff\r\n0"
                             "$cmd,set,pressureref,1013*ff\r\n$cmd,get,pressureref*ff\r\n0";
    ASSERT_TRUE(pumpUntil([&] { return sonar.received.size() >= want.size(); }, 3000,
                          [&] { sonar.poll(); }));
    EXPECT_EQ(sonar.received, want);
    sonar.send("$rsp,pressureref,1013*ff\r\n");
    ASSERT_TRUE(pumpUntil([&] { return reported != 0; }, 3000));
    EXPECT_EQ(reported, 1013u);
}

// ---- against the simulator ----

// Pings come only after Start, with the range, sample rate and channels
// that were commanded; they end with Stop.
TEST_F(Session, SimulatorPingsOnlyWhatWasCommanded) {
    sim::SimProcess sim;
    // Its clock starts in 1970: the clock line on connecting must set it.
    ASSERT_TRUE(sim.start({"--speed", "4", "--epoch", "0"}));
    make(sim.commandPort, sim.dataPort);
    ASSERT_TRUE(session->connect_sonar());
    const int year = pcClockTime(config->system.timeZoneHour).year;
    ASSERT_TRUE(
        pumpUntil([&] { return !session->deviceInformation().firmwareVersion.empty(); }, 3000));
    pumpUntil([] { return false; }, 300);
    EXPECT_EQ(acq->counters().dataBytes.load(), 0u) << "the sonar pinged before Start";

    config->sonar.hf.rangeLevel = 1; // 15 m: 4320 samples per ping, decimation 4
    config->sonar.lf.channelEnabled = false;
    config->system.samplerateHF = 2;
    session->start_work();
    ASSERT_TRUE(acq->status().sonarRunning);
    EXPECT_TRUE(session->working());
    ASSERT_TRUE(pumpUntil([&] { return views->count(acquisition::Frequency::HF) >= 5; }, 5000));
    const PingHeader& h = views->headers[0].back();
    EXPECT_EQ(h.port.rangeWindow, 4320u);
    EXPECT_EQ(h.port.decimation, 2);
    EXPECT_EQ(h.port.sampleCount, 2160u);
    EXPECT_EQ(h.port.frequency, 450);
    EXPECT_EQ(h.year, year);
    EXPECT_EQ(views->count(acquisition::Frequency::LF), 0u);

    session->stop_work();
    EXPECT_FALSE(session->working());
    ASSERT_TRUE(sim.waitForOutput("command $cmd,sysrun,0*ff\\r\\n", 3000));
    pumpUntil([] { return false; }, 300); // frames already on the way
    const std::size_t after = views->count(acquisition::Frequency::HF);
    pumpUntil([] { return false; }, 500);
    EXPECT_EQ(views->count(acquisition::Frequency::HF), after);

    ASSERT_TRUE(sim.stop());
    auto sent = sim.summary();
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->rejected, 0u) << sim.output();
    // Clock, 4 + 4 queries, 6 fixed, surveypara, chen, HF 7 lines, 2 filter, sysrun 1, sysrun 0.
    EXPECT_EQ(sent->commands, 1u + 8 + 6 + 1 + 1 + 7 + 2 + 1 + 1);
}

// A reconnect finds another model: its limits file and frequency count apply,
// and the new identifier is reported as a replaced device.
TEST_F(Session, ReconnectWithAnotherModelAppliesItsLimits) {
    writeText(program.file("QM-101.ini"), "[Range_HF]\nRangeLevelMax_HF=2\n");
    sim::SimProcess sim;
    ASSERT_TRUE(sim.start({"--speed", "4", "--reconnect-model", "QM-101"}));
    make(sim.commandPort, sim.dataPort);
    ASSERT_TRUE(session->connect_sonar());
    ASSERT_TRUE(pumpUntil([&] { return session->deviceInformation().identifierSeen; }, 3000));
    EXPECT_EQ(config->device.GetModelNumber(), 2);
    EXPECT_EQ(config->device.limits.hf.rangeMax, 6);

    platform::closeChannel(acq->channel(SonarChannelId::Command));
    platform::closeChannel(acq->channel(SonarChannelId::Data));
    ASSERT_TRUE(session->connect_sonar());
    ASSERT_TRUE(pumpUntil(
        [&] {
            return config->device.limits.hf.rangeMax == 2 && queue.pending() == 0 &&
                   shown("The device has been replaced.") == 1;
        },
        3000));
    EXPECT_EQ(session->deviceInformation().type, "QM-101");
    EXPECT_EQ(config->device.GetModelNumber(), 4);
    EXPECT_EQ(config->device.frequencyCount, 1);
    EXPECT_EQ(config->device.FrequencyLayout, app::kLayoutHfOnly);
    EXPECT_EQ(shown("The device has been replaced."), 1);
}

// A setting changed while the command channel is down is not sent; it
// reaches the sonar with the next command that carries it.
TEST_F(Session, ChangesWhileDownReachTheSonarWithTheNextCommand) {
    sim::SimProcess sim;
    ASSERT_TRUE(sim.start({"--speed", "4"}));
    const std::uint16_t cmd = sim.commandPort, data = sim.dataPort;
    make(cmd, data);
    PageHost host;
    app::SonarParameterPage page(*config, *session, host);
    page.initialise();
    ASSERT_TRUE(session->connect_sonar());
    session->start_work();
    ASSERT_TRUE(acq->status().sonarRunning);

    sim.kill();
    ASSERT_TRUE(pumpUntil([&] { return !session->commandChannelConnected(); }, 5000,
                          [&] {
                              acq->heartbeat(SonarChannelId::Command);
                              acq->heartbeat(SonarChannelId::Data);
                          }));
    acq->clearConnectRequests(); // this test reconnects by hand
    page.sliderReleased(Frequency::HF, app::SliderKind::Gain, 7);
    EXPECT_EQ(config->sonar.hf.gainLevel, 7);
    EXPECT_FALSE(session->sendGainCommand(Frequency::HF));

    ASSERT_TRUE(sim.start({"--command-port", std::to_string(cmd), "--data-port",
                           std::to_string(data), "--speed", "4"}));
    ASSERT_TRUE(session->connect_sonar());
    page.onOffClicked(Frequency::LF, false); // the channel command carries every line
    ASSERT_TRUE(sim.waitForOutput("command $cmd,set,gainpara,5,7,30,", 3000)) << sim.output();
    EXPECT_NE(sim.output().find("command $cmd,set,chen,03*ff"), std::string::npos);
    ASSERT_TRUE(sim.stop());
    EXPECT_EQ(sim.summary()->rejected, 0u);
}

// Spoiled replies from the simulator: garbage, stray "$" and replies in two
// pieces still give every value; replies without CR LF or without values are
// lost and change nothing.
TEST_F(Session, SimulatorReplyFaults) {
    {
        sim::SimProcess sim;
        ASSERT_TRUE(sim.start({"--reply-fault", "garbage", "--reply-fault", "double-dollar",
                               "--reply-fault", "split"}));
        make(sim.commandPort, sim.dataPort);
        ASSERT_TRUE(session->connect_sonar());
        ASSERT_TRUE(
            pumpUntil([&] { return !session->deviceInformation().firmwareVersion.empty(); }, 3000));
        const DeviceInformation info = session->deviceInformation();
        EXPECT_EQ(info.identifier, "QM302-240117");
        EXPECT_EQ(info.lfFrequency, 150);
        EXPECT_EQ(info.hfFrequency, 450);
        EXPECT_EQ(info.firmwareVersion, "V2.3.6");
        destroy();
    }
    {
        // Every second reply without CR LF: the deviceid and version replies
        // run into the next one and are lost.
        sim::SimProcess sim;
        ASSERT_TRUE(sim.start(
            {"--model", "QM-104", "--reply-fault", "no-crlf", "--reply-fault-every", "2"}));
        make(sim.commandPort, sim.dataPort);
        ASSERT_TRUE(session->connect_sonar());
        ASSERT_TRUE(pumpUntil([&] { return session->deviceInformation().hfFrequency > 0; }, 3000));
        pumpUntil([] { return false; }, 200);
        const DeviceInformation info = session->deviceInformation();
        EXPECT_EQ(info.type, "QM-104");
        EXPECT_FALSE(info.identifierSeen);
        EXPECT_EQ(info.lfFrequency, 0); // one-frequency model: short freq reply
        EXPECT_EQ(info.hfFrequency, 450);
        EXPECT_EQ(info.firmwareVersion, "");
        destroy();
    }
    {
        sim::SimProcess sim;
        ASSERT_TRUE(sim.start({"--model", "QM-201", "--reply-fault", "missing-fields"}));
        make(sim.commandPort, sim.dataPort);
        ASSERT_TRUE(session->connect_sonar());
        ASSERT_TRUE(sim.waitForOutput("command $cmd,get,version,6", 3000));
        pumpUntil([] { return false; }, 300);
        const DeviceInformation info = session->deviceInformation();
        EXPECT_EQ(info.type, "QM-302");
        EXPECT_FALSE(info.identifierSeen);
        EXPECT_EQ(info.hfFrequency, 0);
        EXPECT_EQ(config->device.GetModelNumber(), 2);
    }
}

} // namespace
} // namespace kestrova::acquisition::testing
