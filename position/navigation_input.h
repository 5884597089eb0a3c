#pragma once
// The position input's channels and threads: the serial port, the UDP socket,
// the TCP client and the TCP server, the navigation thread that reads the
// chosen one and feeds the parsers, and what it hands on after each accepted
// message (display and recording snapshots, track points, fix events, the
// position block of the raw recording, the sonar clock rule, the GPS state).
//
// Threads: the navigation thread (reads, parses, publishes), the TCP server
// thread (accepts clients), the connection thread of the sonar acquisition
// (connects the TCP client when asked through the connect-request event) and
// the interface thread (settings, open/close, apply). Locks: one per channel
// around its socket or port, the input lock around the accumulators and the
// parser, one lock per published copy. No thread holds two of them at once.

#include "acquisition/acquisition_hooks.h"
#include "app/config/message.h"
#include "app/config/settings.h"
#include "platform/event.h"
#include "platform/lock.h"
#include "platform/messages.h"
#include "platform/net_channel.h"
#include "platform/serial.h"
#include "platform/udp_socket.h"
#include "platform/worker.h"
#include "position/position_stream.h"
#include "position/sonar_clock.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kestrova::position {

// Window messages of the position input.
namespace nav_message {
constexpr std::uint32_t kFixesReady = 0x467;           // main frame: new track points and events
constexpr std::uint32_t kSerialOpenedOrClosed = 1548;  // main frame: lParam 0 opened, 1 closed
constexpr std::uint32_t kSerialOpened = 1549;          // main frame
constexpr std::uint32_t kSettingsApplied = 1551;       // navigation panel
constexpr std::uint32_t kApplyPositionSettings = 1552; // settings page to the main frame
constexpr std::uint32_t kStopPositionInput = 1553;     // settings page to the main frame
} // namespace nav_message

// INS_ModeSelect and INS_NetType.
enum InputMode : int { kModeNoDevice = 0, kModeNetwork = 1, kModeSerial = 2 };
enum NetType : int { kNetUdp = 0, kNetTcpClient = 1, kNetTcpServer = 2 };

// INS_Ip holds the address bytes in network order read as a little-endian
// integer; the sockets want the address in host order.
std::uint32_t hostAddressOfInsIp(std::uint32_t insIp);
std::uint32_t insIpOfHostAddress(std::uint32_t hostAddress);
// The data type an INS_DataType value selects (anything unknown reads as GGA+ZDA).
DataType dataTypeOf(int insDataType);

enum class SerialToggle {
    NoPort, // no port chosen: the device is not in use
    Closed, // the open port was closed
    Opened,
    Failed, // the port could not be opened
};

class NavigationInput : public acquisition::PositionChannelConnector,
                        public acquisition::PositionReplay {
  public:
    using TickSource = std::function<std::uint32_t()>;

    static constexpr std::size_t kReceiveBlock = 4096;
    static constexpr std::size_t kSerialRead = 4095;
    static constexpr std::size_t kUdpRead = 4095;
    static constexpr std::size_t kClientRead = 4095;
    static constexpr std::size_t kServerRead = 1024;
    static constexpr int kUdpBufferBytes = 65536;
    static constexpr int kServerClientBufferBytes = 104857600;
    static constexpr int kServerBacklog = 10;
    // Track points and fix events wait here until the main frame takes them;
    // beyond this the oldest are dropped (at constant cost, under the lock) so
    // a missing window cannot exhaust memory.
    static constexpr std::size_t kMaxQueued = 65536;

    NavigationInput(platform::MessageQueue& queue, app::Messenger& messenger,
                    const app::AlarmLive& alarm, TickSource tick = nullptr);
    ~NavigationInput() override;
    NavigationInput(const NavigationInput&) = delete;
    NavigationInput& operator=(const NavigationInput&) = delete;

    // --- wiring (before the threads start) ---
    void setWindows(platform::WindowHandle mainFrame, platform::WindowHandle naviPanel);
    // The connection thread's request event for the TCP client; without one
    // the navigation thread connects by itself, at most every 500 ms.
    void setConnectRequestEvent(platform::Event* event) { connectRequest_.store(event); }
    void setRawRecorder(acquisition::RawFrameRecorder* recorder) { recorder_.store(recorder); }
    void setSonarClockPort(SonarClockPort* port) { clockPort_.store(port); }
    SonarClockRule& clockRule() { return clockRule_; }
    // The project grid (the program's GeodesyEngine); it must outlive the threads.
    void setGridConverter(const GridConverter* converter);
    void setTimeZoneHour(int hours);
    // The PC clock in UTC that dates GGA without ZDA and Custom frames (default: the real one).
    void setUtcClock(std::function<double()> clock);

    // --- interface thread ---
    // The settings page stores what the operator chose; a changed address,
    // port or data type marks the channel for reopening at the next apply.
    void setSettings(const app::InsSettings& settings);
    app::InsSettings settings() const;
    bool reopenPending() const;
    void setSerialPortName(const std::string& name);
    std::string serialPortName() const;

    void start_navigation_thread();
    void stop_navigation_thread();
    bool running() const { return navThread_.joinable(); }

    // Opens or reopens the channel the settings ask for, closes the others,
    // empties the input and tells the navigation panel (1551).
    void apply_position_settings();
    void close_network_channel();
    // The serial dialog's Open/Close button, with the port chosen there.
    SerialToggle open_or_close_serial(const std::string& portName);
    void closeSerialPort();
    // Closes every channel and stops the server thread (quit).
    void closeAll();

    // Live and playback: in playback received bytes are thrown away.
    void enterPlaybackMode();
    void enterLiveMode(bool gpsDeviceFitted);
    bool playbackMode() const { return playback_.load(); }

    // --- what the other threads read ---
    int gpsState() const { return gpsState_.load(); }
    void setGpsState(int state);
    // The tick count of the last accepted time message (ZDA), live or played
    // back; nothing before the first one.
    std::optional<std::uint32_t> lastTimeMessageTick() const;
    // No time message for more than 3 s while GGA+ZDA input is chosen (or a
    // recording plays), counted from the last one or, before any, from when
    // the channel was last applied or the mode switched.
    bool timeMessageMissing() const;
    PositionFix displaySnapshot() const;
    PositionFix recordingSnapshot() const;
    // Everything queued, oldest first, moved out under the lock.
    std::deque<TrackPoint> drainTrackPoints();
    std::deque<FixEvent> drainFixEvents();
    std::vector<TrackPoint> takeTrackPoints();
    std::vector<FixEvent> takeFixEvents();

    bool serialOpen() const { return serialOpen_.load(); }
    bool udpOpen() const { return udpOpen_.load(); }
    bool clientConnected() const { return client_.connected.load(); }
    bool serverHasClient() const { return serverClient_.load(); }
    // The local port of the UDP socket or the server's listener (0 when closed),
    // so a port chosen by the kernel can be told to a peer.
    std::uint16_t boundPort() const { return boundPort_.load(); }
    std::uint64_t bytesReceived() const { return bytesReceived_.load(); }
    std::uint64_t messagesAccepted() const { return accepted_.load(); }
    std::uint64_t navBlocksWritten() const { return navBlocks_.load(); }
    std::uint64_t clocksSent() const { return clocksSent_.load(); }

    // --- connection thread (acquisition::PositionChannelConnector) ---
    bool connectWanted() override;
    bool connect() override;

    // --- playback thread (acquisition::PositionReplay) ---
    void replay(acquisition::FrameType type,
                std::span<const std::uint8_t, acquisition::kPositionRecordSize> record) override;

  private:
    enum class Read { NotReady, Idle, Bytes, Nothing, Lost };

    void navigationLoop();
    Read readChannel(const app::InsSettings& s, std::size_t& count, std::uint8_t* block);
    void serialFailed();
    void publish(const StepResult& r, bool fromRecording);
    void requestConnect();
    void post(platform::WindowHandle window, std::uint32_t id, std::intptr_t lParam = 0);
    void message(const char* chinese, const std::string& english);

    bool openUdp(const platform::Ipv4Endpoint& local);
    void closeUdp();
    void closeClient();
    void startServer(const platform::Ipv4Endpoint& local);
    void stopServer();
    void serverLoop();
    platform::Ipv4Endpoint endpoint(const app::InsSettings& s) const;

    platform::MessageQueue& queue_;
    app::Messenger& messenger_;
    const app::AlarmLive& alarm_;
    TickSource tick_;

    std::atomic<platform::WindowHandle> mainFrame_{platform::kNoWindow};
    std::atomic<platform::WindowHandle> naviPanel_{platform::kNoWindow};
    std::atomic<platform::Event*> connectRequest_{nullptr};
    std::atomic<acquisition::RawFrameRecorder*> recorder_{nullptr};
    std::atomic<SonarClockPort*> clockPort_{nullptr};
    SonarClockRule clockRule_;

    mutable std::mutex settingsMutex_;
    app::InsSettings settings_;
    bool reopen_ = false;
    std::string serialPortName_;

    // Written by the navigation and playback threads (a ZDA taken) and the
    // interface thread (input applied, mode switched); read by the status refresh.
    std::atomic<bool> timeMessageSeen_{false};
    std::atomic<std::uint32_t> lastTimeMessage_{0};
    std::atomic<std::uint32_t> timeWaitFrom_{0};

    std::atomic<bool> liveInput_{true};
    std::atomic<bool> playback_{false};
    std::atomic<int> gpsState_{gps_state::kNoDataAlarmOff};

    // Channels, each with its lock.
    platform::Lock serialLock_;
    platform::SerialPort serial_;
    std::atomic<bool> serialOpen_{false};
    platform::Lock udpLock_;
    platform::UdpSocket udp_;
    std::atomic<bool> udpOpen_{false};
    platform::NetChannel client_;
    std::uint32_t lastOwnConnect_ = 0;
    platform::Lock serverLock_;
    platform::TcpSocket serverSocket_;
    std::atomic<bool> serverClient_{false};
    platform::TcpListener listener_; // owned by the server thread while it runs
    platform::WorkerEvents serverEvents_;
    std::thread serverThread_;
    std::atomic<std::uint16_t> boundPort_{0};

    // The input: accumulators and parser.
    platform::Lock inputLock_;
    PositionStream stream_;

    // Published copies.
    mutable platform::Lock displayLock_;
    PositionFix display_;
    mutable platform::Lock recordingLock_;
    PositionFix recording_;
    platform::Lock trackLock_;
    std::deque<TrackPoint> track_;
    platform::Lock eventLock_;
    std::deque<FixEvent> events_;

    std::atomic<std::uint64_t> bytesReceived_{0};
    std::atomic<std::uint64_t> accepted_{0};
    std::atomic<std::uint64_t> navBlocks_{0};
    std::atomic<std::uint64_t> clocksSent_{0};

    platform::WorkerEvents navEvents_;
    std::thread navThread_;
};

} // namespace kestrova::position
