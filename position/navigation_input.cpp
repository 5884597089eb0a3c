#include "position/navigation_input.h"

#include "platform/clock.h"
#include "platform/thread.h"

#include <algorithm>
#include <string>

namespace kestrova::position {

using platform::Event;
using platform::IoStatus;
using platform::LockHold;

std::uint32_t hostAddressOfInsIp(std::uint32_t v) {
    return ((v & 0xFFu) << 24) | ((v & 0xFF00u) << 8) | ((v >> 8) & 0xFF00u) | (v >> 24);
}

std::uint32_t insIpOfHostAddress(std::uint32_t a) {
    return hostAddressOfInsIp(a); // the byte swap is its own inverse
}

DataType dataTypeOf(int v) {
    if (v == 1) return DataType::OstraIns;
    if (v == 2) return DataType::Custom;
    return DataType::GgaZda;
}

NavigationInput::NavigationInput(platform::MessageQueue& queue, app::Messenger& messenger,
                                 const app::AlarmLive& alarm, TickSource tick)
    : queue_(queue), messenger_(messenger), alarm_(alarm),
      tick_(tick ? std::move(tick) : TickSource(platform::tickCount)), clockRule_(tick_),
      stream_(DataType::GgaZda, tick_()) {
    timeWaitFrom_ = tick_();
}

NavigationInput::~NavigationInput() {
    stop_navigation_thread();
    closeAll();
}

void NavigationInput::setWindows(platform::WindowHandle mainFrame,
                                 platform::WindowHandle naviPanel) {
    mainFrame_.store(mainFrame);
    naviPanel_.store(naviPanel);
}

void NavigationInput::setGridConverter(const GridConverter* converter) {
    LockHold hold(inputLock_);
    stream_.decoder().setConverter(converter);
}

void NavigationInput::setTimeZoneHour(int hours) {
    LockHold hold(inputLock_);
    stream_.decoder().setTimeZoneHour(hours);
}

void NavigationInput::setUtcClock(std::function<double()> clock) {
    LockHold hold(inputLock_);
    stream_.decoder().setUtcClock(std::move(clock));
}

void NavigationInput::setSettings(const app::InsSettings& s) {
    std::lock_guard<std::mutex> hold(settingsMutex_);
    if (s.ip != settings_.ip || s.port != settings_.port || s.dataType != settings_.dataType)
        reopen_ = true;
    settings_ = s;
}

app::InsSettings NavigationInput::settings() const {
    std::lock_guard<std::mutex> hold(settingsMutex_);
    return settings_;
}

bool NavigationInput::reopenPending() const {
    std::lock_guard<std::mutex> hold(settingsMutex_);
    return reopen_;
}

void NavigationInput::setSerialPortName(const std::string& name) {
    std::lock_guard<std::mutex> hold(settingsMutex_);
    serialPortName_ = name;
}

std::string NavigationInput::serialPortName() const {
    std::lock_guard<std::mutex> hold(settingsMutex_);
    return serialPortName_;
}

void NavigationInput::post(platform::WindowHandle window, std::uint32_t id, std::intptr_t lParam) {
    if (window != platform::kNoWindow) queue_.post(window, id, 0, lParam);
}

void NavigationInput::message(const char* chinese, const std::string& english) {
    messenger_.ShowMessage(chinese, english, app::mb::kWarningOkCancel);
}

std::optional<std::uint32_t> NavigationInput::lastTimeMessageTick() const {
    if (!timeMessageSeen_.load()) return std::nullopt;
    return lastTimeMessage_.load();
}

bool NavigationInput::timeMessageMissing() const {
    const app::InsSettings s = settings();
    // Binary frames carry their own time, and with no device nothing is expected.
    if (dataTypeOf(s.dataType) != DataType::GgaZda) return false;
    if (!playback_ && s.modeSelect != kModeNetwork && s.modeSelect != kModeSerial) return false;
    const std::uint32_t now = tick_();
    std::uint32_t since = platform::ticksSince(timeWaitFrom_.load(), now);
    if (const auto last = lastTimeMessageTick())
        since = std::min(since, platform::ticksSince(*last, now));
    return since > PositionStream::kZdaTimeoutMs;
}

void NavigationInput::setGpsState(int state) {
    LockHold hold(inputLock_);
    stream_.setGpsState(state);
    stream_.restartTimeout(tick_());
    gpsState_.store(state);
}

// ---------------------------------------------------------------- threads

void NavigationInput::start_navigation_thread() {
    if (navThread_.joinable()) return;
    navEvents_.quit.reset();
    navEvents_.exitAck.reset();
    navEvents_.run.set();
    navThread_ = platform::startThread("navigation", platform::ThreadPriority::Normal,
                                       [this] { navigationLoop(); });
}

void NavigationInput::stop_navigation_thread() {
    if (!navThread_.joinable()) return;
    platform::stopWorker(navEvents_, navThread_, queue_);
}

void NavigationInput::requestConnect() {
    if (Event* e = connectRequest_.load()) {
        e->set();
        return;
    }
    // No connection thread: connect from here, now and then.
    const std::uint32_t now = tick_();
    if (lastOwnConnect_ != 0 && platform::ticksSince(lastOwnConnect_, now) < 500) return;
    lastOwnConnect_ = now == 0 ? 1 : now;
    if (connectWanted()) connect();
}

NavigationInput::Read NavigationInput::readChannel(const app::InsSettings& s, std::size_t& count,
                                                   std::uint8_t* block) {
    count = 0;
    platform::IoResult got;
    if (s.modeSelect == kModeSerial) {
        platform::SerialRead r;
        {
            LockHold hold(serialLock_);
            if (!serial_.isOpen()) return Read::NotReady;
            r = serial_.read(std::span<std::uint8_t>(block, kSerialRead));
            if (!r.ok) {
                serial_.close();
                serialOpen_ = false;
            }
        }
        if (!r.ok) {
            serialFailed();
            return Read::Lost;
        }
        count = r.count;
        return count > 0 ? Read::Bytes : Read::Nothing;
    }
    if (s.modeSelect != kModeNetwork) return Read::Idle;

    if (s.netType == kNetUdp) {
        LockHold hold(udpLock_);
        if (!udp_.valid()) return Read::NotReady;
        got = udp_.receiveFrom(std::span<std::uint8_t>(block, kUdpRead));
    } else if (s.netType == kNetTcpClient) {
        if (!client_.connected) {
            requestConnect();
            return Read::NotReady;
        }
        {
            LockHold hold(client_.lock);
            got = client_.socket.receive(std::span<std::uint8_t>(block, kClientRead));
        }
        if (got.status == IoStatus::Closed) {
            client_.connected = false;
            requestConnect();
            return Read::Lost;
        }
    } else if (s.netType == kNetTcpServer) {
        if (!serverClient_) return Read::NotReady;
        {
            LockHold hold(serverLock_);
            got = serverSocket_.receive(std::span<std::uint8_t>(block, kServerRead));
        }
        if (got.status == IoStatus::Closed) {
            serverClient_ = false;
            return Read::Lost;
        }
    } else {
        return Read::Idle;
    }

    if (got.status == IoStatus::Ok) {
        count = got.bytes;
        return count > 0 ? Read::Bytes : Read::Nothing;
    }
    if (got.status == IoStatus::WouldBlock) return Read::Nothing;
    // A broken stream: both roles wait for a new connection.
    if (s.netType != kNetUdp) {
        client_.connected = false;
        serverClient_ = false;
        requestConnect();
    }
    return Read::Lost;
}

void NavigationInput::serialFailed() {
    {
        LockHold hold(inputLock_);
        stream_.clearInput();
        stream_.setGpsState(gps_state::kSerialFailed);
        gpsState_.store(gps_state::kSerialFailed);
    }
    post(mainFrame_.load(), nav_message::kSerialOpenedOrClosed, 1);
    message("错误：读取串口数据失败！", "Error: failed to read data from Serial port!");
}

void NavigationInput::navigationLoop() {
    std::vector<std::uint8_t> block(kReceiveBlock);
    for (;;) {
        const int which = Event::waitAny({&navEvents_.run, &navEvents_.quit});
        if (which == 1) break;
        if (which != 0) {
            platform::sleepMs(50);
            continue;
        }
        const app::InsSettings s = settings();
        std::size_t count = 0;
        const Read read = readChannel(s, count, block.data());
        if (read == Read::NotReady) {
            // A peer that went away sends nothing either: without this the
            // display would keep its last good state while no position comes.
            if (s.modeSelect == kModeNetwork && liveInput_) {
                LockHold hold(inputLock_);
                stream_.setAlarm(GpsAlarm{alarm_.gpsAlertOn.load(),
                                          static_cast<unsigned>(alarm_.gpsAlertLevel.load())});
                stream_.noBytes(tick_());
                gpsState_.store(stream_.gpsState());
            }
            platform::sleepMs(50);
            continue;
        }
        if (read == Read::Idle || read == Read::Lost) {
            platform::sleepMs(1);
            continue;
        }
        if (!liveInput_) {
            LockHold hold(inputLock_);
            stream_.clearInput();
            platform::sleepMs(1);
            continue;
        }
        if (read == Read::Bytes) bytesReceived_ += count;

        const std::uint32_t now = tick_();
        StepResult r;
        {
            LockHold hold(inputLock_);
            stream_.setAlarm(GpsAlarm{alarm_.gpsAlertOn.load(),
                                      static_cast<unsigned>(alarm_.gpsAlertLevel.load())});
            if (read == Read::Bytes)
                stream_.appendBytes(std::span<const std::uint8_t>(block.data(), count));
            // One message per pass, whether or not this read brought bytes, so a
            // burst of sentences never waits for the next burst.
            if (stream_.hasInput())
                r = stream_.step(now);
            else if (read == Read::Nothing)
                stream_.noBytes(now); // silence on the line
            else if (stream_.dataType() == DataType::GgaZda)
                stream_.noValidMessage(now); // bytes, but no sentence in them
            else
                r = stream_.step(now); // a binary tail without a frame
            gpsState_.store(stream_.gpsState());
        }
        if (r.kind == StepResult::Kind::Position || r.kind == StepResult::Kind::Time)
            publish(r, false);
        platform::sleepMs(1);
    }
    navEvents_.exitAck.set();
}

void NavigationInput::publish(const StepResult& r, bool fromRecording) {
    ++accepted_;
    if (r.kind == StepResult::Kind::Time) {
        lastTimeMessage_ = tick_();
        timeMessageSeen_ = true;
    }
    if (r.kind == StepResult::Kind::Position) {
        {
            LockHold hold(displayLock_);
            display_ = r.record;
        }
        if (r.completion.trackPoint) {
            LockHold hold(trackLock_);
            if (track_.size() >= kMaxQueued) track_.pop_front();
            track_.push_back(*r.completion.trackPoint);
        }
        {
            LockHold hold(eventLock_);
            if (events_.size() >= kMaxQueued) events_.pop_front();
            events_.push_back(r.completion.event);
        }
        post(mainFrame_.load(), nav_message::kFixesReady);
    }
    {
        LockHold hold(recordingLock_);
        recording_ = r.record;
    }
    // A record read back from a recording is neither recorded again nor
    // allowed to set the sonar's clock.
    if (fromRecording) return;
    if (acquisition::RawFrameRecorder* rec = recorder_.load(); rec && rec->recording()) {
        const NavBlockBytes block = encodeNavBlock(r.record);
        rec->writeFrame(block);
        ++navBlocks_;
    }
    if (clockRule_.afterMessage(r.record, clockPort_.load()) == SonarClockRule::Outcome::Sent)
        ++clocksSent_;
}

PositionFix NavigationInput::displaySnapshot() const {
    LockHold hold(displayLock_);
    return display_;
}

PositionFix NavigationInput::recordingSnapshot() const {
    LockHold hold(recordingLock_);
    return recording_;
}

std::deque<TrackPoint> NavigationInput::drainTrackPoints() {
    std::deque<TrackPoint> out;
    LockHold hold(trackLock_);
    out.swap(track_);
    return out;
}

std::deque<FixEvent> NavigationInput::drainFixEvents() {
    std::deque<FixEvent> out;
    LockHold hold(eventLock_);
    out.swap(events_);
    return out;
}

std::vector<TrackPoint> NavigationInput::takeTrackPoints() {
    // Copied after the lock is released: the navigation thread never waits for it.
    std::deque<TrackPoint> taken = drainTrackPoints();
    return std::vector<TrackPoint>(taken.begin(), taken.end());
}

std::vector<FixEvent> NavigationInput::takeFixEvents() {
    std::deque<FixEvent> taken = drainFixEvents();
    return std::vector<FixEvent>(taken.begin(), taken.end());
}

// ---------------------------------------------------------------- playback

void NavigationInput::replay(
    acquisition::FrameType type,
    std::span<const std::uint8_t, acquisition::kPositionRecordSize> bytes) {
    std::optional<PositionFix> fix = decodePositionFix(bytes);
    if (!fix) return;
    // The block type says what the record is, whatever its kind field holds.
    fix->kind = type == acquisition::FrameType::Time ? kFixTime : kFixPosition;
    StepResult r;
    {
        LockHold hold(inputLock_);
        stream_.setAlarm(
            GpsAlarm{alarm_.gpsAlertOn.load(), static_cast<unsigned>(alarm_.gpsAlertLevel.load())});
        r = stream_.replayRecord(*fix, tick_());
        gpsState_.store(stream_.gpsState());
    }
    publish(r, true);
}

// ---------------------------------------------------------------- channels

platform::Ipv4Endpoint NavigationInput::endpoint(const app::InsSettings& s) const {
    return platform::Ipv4Endpoint{hostAddressOfInsIp(s.ip), s.port};
}

bool NavigationInput::openUdp(const platform::Ipv4Endpoint& local) {
    bool bound = false;
    {
        LockHold hold(udpLock_);
        udp_.close();
        udpOpen_ = false;
        if (udp_.open() && udp_.bind(local)) {
            udp_.setNonBlocking(true);
            udp_.setReceiveBufferSize(kUdpBufferBytes);
            udp_.setSendBufferSize(kUdpBufferBytes);
            boundPort_ = udp_.localPort();
            udpOpen_ = true;
            bound = true;
        } else {
            udp_.close();
        }
    }
    if (!bound) {
        const std::string port = std::to_string(local.port);
        message(("UDP 绑定 " + port + " 端口失败").c_str(), "UDP bind " + port + " Port failure");
    }
    return bound;
}

void NavigationInput::closeUdp() {
    LockHold hold(udpLock_);
    if (udp_.valid()) boundPort_ = 0;
    udp_.close();
    udpOpen_ = false;
}

void NavigationInput::closeClient() {
    platform::closeChannel(client_);
}

bool NavigationInput::connectWanted() {
    const app::InsSettings s = settings();
    return s.modeSelect == kModeNetwork && s.netType == kNetTcpClient && !client_.connected &&
           !playback_;
}

bool NavigationInput::connect() {
    const app::InsSettings s = settings();
    if (!platform::connectChannel(client_, endpoint(s))) return false;
    client_.connected = true;
    LockHold hold(inputLock_);
    stream_.restartTimeout(tick_());
    return true;
}

void NavigationInput::startServer(const platform::Ipv4Endpoint& local) {
    bool listening = listener_.listen(local, kServerBacklog) && listener_.setNonBlocking(true);
    if (!listening) {
        listener_.close();
        const std::string port = std::to_string(local.port);
        message(("TCP_Server 绑定 " + port + " 端口失败").c_str(),
                "TCP_Server bind " + port + " Port failure");
    } else {
        boundPort_ = listener_.localPort();
    }
    // Started even without a listener, as the channel's owner: it then simply has no clients.
    serverEvents_.quit.reset();
    serverEvents_.exitAck.reset();
    serverEvents_.run.set();
    serverThread_ = platform::startThread("nav-tcp-server", platform::ThreadPriority::Normal,
                                          [this] { serverLoop(); });
}

void NavigationInput::serverLoop() {
    for (;;) {
        if (Event::waitAny({&serverEvents_.run, &serverEvents_.quit}) != 0) break;
        if (!listener_.valid()) {
            platform::sleepMs(50);
            continue;
        }
        platform::TcpSocket client = listener_.accept();
        if (!client.valid()) {
            platform::sleepMs(1);
            continue;
        }
        client.setNonBlocking(true);
        const bool bufferOk = client.setReceiveBufferSize(kServerClientBufferBytes);
        {
            // A new client replaces the previous one.
            LockHold hold(serverLock_);
            platform::shutdownSocket(serverSocket_);
            serverSocket_ = std::move(client);
        }
        serverClient_ = true;
        if (!bufferOk) message("Err SONAR setsockopt SO_RCVBUF", "Err SONAR setsockopt SO_RCVBUF");
        platform::sleepMs(50);
    }
    {
        LockHold hold(serverLock_);
        platform::shutdownSocket(serverSocket_);
        serverSocket_.close();
    }
    serverClient_ = false;
    listener_.close();
    serverEvents_.exitAck.set();
}

void NavigationInput::stopServer() {
    if (serverThread_.joinable()) {
        platform::stopWorker(serverEvents_, serverThread_, queue_);
        boundPort_ = 0;
    }
    LockHold hold(serverLock_);
    serverSocket_.close();
    serverClient_ = false;
}

void NavigationInput::close_network_channel() {
    closeUdp();
    closeClient();
    stopServer();
}

void NavigationInput::closeSerialPort() {
    bool wasOpen = false;
    {
        LockHold hold(serialLock_);
        wasOpen = serial_.isOpen();
        serial_.close();
        serialOpen_ = false;
    }
    if (wasOpen) post(mainFrame_.load(), nav_message::kSerialOpenedOrClosed, 1);
}

void NavigationInput::closeAll() {
    close_network_channel();
    closeSerialPort();
}

SerialToggle NavigationInput::open_or_close_serial(const std::string& portName) {
    if (portName.empty()) return SerialToggle::NoPort;
    bool closed = false;
    {
        LockHold hold(serialLock_);
        if (serial_.isOpen()) {
            serial_.close();
            serialOpen_ = false;
            closed = true;
        }
    }
    if (closed) {
        message("串口已关闭！", "Serial port off!");
        post(mainFrame_.load(), nav_message::kSerialOpenedOrClosed, 1);
        return SerialToggle::Closed;
    }

    app::InsSettings s = settings();
    // An index outside its list opens with the first entry and is stored so.
    s.baudRate = platform::normalizedIndex(s.baudRate, 11);
    s.dataBit = platform::normalizedIndex(s.dataBit, 4);
    s.stopBit = platform::normalizedIndex(s.stopBit, 3);
    s.checkBit = platform::normalizedIndex(s.checkBit, 5);
    {
        std::lock_guard<std::mutex> hold(settingsMutex_);
        settings_.baudRate = s.baudRate;
        settings_.dataBit = s.dataBit;
        settings_.stopBit = s.stopBit;
        settings_.checkBit = s.checkBit;
        serialPortName_ = portName;
    }
    const platform::SerialSettings line =
        platform::serialSettingsFromIndices(s.baudRate, s.dataBit, s.stopBit, s.checkBit);
    bool opened = false;
    std::string why;
    {
        LockHold hold(serialLock_);
        opened = serial_.open(portName, line);
        serialOpen_ = opened;
        if (!opened) why = serial_.error();
    }
    if (!opened) {
        message("串口打开失败！", why.empty() ? "Failed to open serial port!"
                                              : "Failed to open serial port!\r\n" + why);
        return SerialToggle::Failed;
    }
    {
        LockHold hold(inputLock_);
        stream_.clearInput();
        stream_.setGpsState(gps_state::kNoDataAlarmOff);
        stream_.restartTimeout(tick_());
        gpsState_.store(gps_state::kNoDataAlarmOff);
    }
    message("串口打开成功！", "Serial port is opened successfully!");
    post(mainFrame_.load(), nav_message::kSerialOpenedOrClosed, 0);
    post(mainFrame_.load(), nav_message::kSerialOpened);
    return SerialToggle::Opened;
}

void NavigationInput::apply_position_settings() {
    app::InsSettings s;
    bool reopen = false;
    {
        std::lock_guard<std::mutex> hold(settingsMutex_);
        s = settings_;
        reopen = reopen_;
        reopen_ = false;
    }
    const bool pb = playback_;
    const platform::Ipv4Endpoint ep = endpoint(s);
    if (s.modeSelect == kModeNetwork && s.netType == kNetUdp) {
        closeSerialPort();
        closeClient();
        stopServer();
        if (reopen) {
            udpOpen_ = false;
            setGpsState(gps_state::kNoDataAlarmOff);
        }
        if (reopen || !udpOpen_) {
            closeUdp();
            if (!pb) openUdp(ep);
        }
    } else if (s.modeSelect == kModeNetwork && s.netType == kNetTcpClient) {
        closeSerialPort();
        closeUdp();
        stopServer();
        if (reopen) {
            // A new address or port: leave the old peer, whatever it still sends.
            closeClient();
            setGpsState(gps_state::kNoDataAlarmOff);
        }
        if (!pb && !client_.connected) connect();
    } else if (s.modeSelect == kModeNetwork && s.netType == kNetTcpServer) {
        closeSerialPort();
        closeUdp();
        closeClient();
        if (reopen) {
            serverClient_ = false;
            setGpsState(gps_state::kNoDataAlarmOff);
        }
        if (reopen || !serverClient_) {
            stopServer();
            if (!pb) startServer(ep);
        }
    } else if (s.modeSelect == kModeSerial) {
        // The serial port is the operator's to open; the network is not in use.
        close_network_channel();
    } else {
        close_network_channel();
        closeSerialPort();
    }
    {
        LockHold hold(inputLock_);
        stream_.setDataType(dataTypeOf(s.dataType));
        stream_.clearInput();
    }
    timeWaitFrom_ = tick_();
    post(naviPanel_.load(), nav_message::kSettingsApplied);
}

void NavigationInput::enterPlaybackMode() {
    playback_ = true;
    liveInput_ = false;
    timeWaitFrom_ = tick_();
    closeSerialPort();
    setGpsState(alarm_.gpsAlertOn.load() ? gps_state::kNoBytesAlarm : gps_state::kNoDataAlarmOff);
}

void NavigationInput::enterLiveMode(bool gpsDeviceFitted) {
    playback_ = false;
    liveInput_ = true;
    timeWaitFrom_ = tick_();
    setGpsState(gpsDeviceFitted ? gps_state::kSerialFailed : gps_state::kNoDevice);
}

} // namespace kestrova::position
