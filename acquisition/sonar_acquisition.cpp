#include "acquisition/sonar_acquisition.h"

#include "acquisition/sonar_messages.h"
#include "platform/clock.h"
#include "platform/thread.h"

namespace kestrova::acquisition {

using platform::Event;
using platform::IoStatus;
using platform::LockHold;

bool SonarAcquisition::Sink::rawRecordingOn() const {
    RawFrameRecorder* r = owner_.recorder_.load();
    return r && r->recording();
}

void SonarAcquisition::Sink::recordRawFrame(std::span<const std::uint8_t> frame) {
    if (RawFrameRecorder* r = owner_.recorder_.load()) r->writeFrame(frame);
}

bool SonarAcquisition::Sink::handPing(const PingRecord& ping, float rate, std::uint8_t changed) {
    return owner_.handOff_.handPing(ping, rate, changed);
}

void SonarAcquisition::Sink::storeAttitude(
    std::span<const std::uint8_t, AttitudeRecord::kSize> record) {
    owner_.snapshots_.storeAttitude(record);
    // The status page's towfish read-outs follow (message 1130), a few times a second.
    const std::uint32_t now = owner_.tick_();
    if (sensorsAnnounced_ && platform::ticksSince(lastSensorNotice_, now) < kSensorNotifyIntervalMs)
        return;
    sensorsAnnounced_ = true;
    lastSensorNotice_ = now;
    owner_.queue_.post(owner_.windows_.mainFrame.load(), WM_SENSOR_READOUTS);
}

void SonarAcquisition::Sink::replayPosition(
    FrameType type, std::span<const std::uint8_t, kPositionRecordSize> record) {
    if (PositionReplay* p = owner_.replay_.load()) p->replay(type, record);
}

SonarAcquisition::SonarAcquisition(platform::MessageQueue& queue, SonarNetSettings settings,
                                   TickSource tick)
    : queue_(queue), tick_(tick ? tick : &platform::tickCount), settings_(std::move(settings)),
      handOff_(queue, windows_, snapshots_, tick), assembler_(sink_, status_, tick),
      discard_(new std::uint8_t[FrameAssembler::kMaxRead]) {}

SonarAcquisition::~SonarAcquisition() {
    stopConnectionThread();
    stopReceiveThread();
}

void SonarAcquisition::setNetSettings(const SonarNetSettings& settings) {
    std::lock_guard<std::mutex> hold(settingsMutex_);
    settings_ = settings;
}

SonarNetSettings SonarAcquisition::netSettings() const {
    std::lock_guard<std::mutex> hold(settingsMutex_);
    return settings_;
}

bool SonarAcquisition::connectChannelTo(platform::NetChannel& channel, std::uint16_t port) {
    auto address = platform::parseIpv4(netSettings().ip);
    if (!address) {
        platform::closeChannel(channel);
        return false;
    }
    return platform::connectChannel(channel, platform::Ipv4Endpoint{*address, port});
}

bool SonarAcquisition::connect_command_channel() {
    return connectChannelTo(command_, netSettings().commandPort);
}

bool SonarAcquisition::connect_data_channel() {
    return connectChannelTo(data_, netSettings().dataPort);
}

bool SonarAcquisition::send_command(std::string_view line) {
    std::string text(line);
    // The sonar reads commands in pairs of bytes.
    if (text.size() % 2 != 0) text += '0';
    LockHold hold(command_.lock);
    if (!command_.socket.valid()) return false;
    // A full send buffer takes part of a line: the rest follows, or a cut
    // line would reach the sonar (the stop line at quit above all).
    constexpr std::uint32_t kWholeLineMs = 200;
    const std::uint32_t since = platform::tickCount();
    std::size_t sent = 0;
    while (sent < text.size()) {
        const platform::IoResult r = command_.socket.send(std::string_view(text).substr(sent));
        if (r.status == IoStatus::Ok) {
            sent += r.bytes;
            continue;
        }
        if (r.status != IoStatus::WouldBlock ||
            platform::ticksSince(since, platform::tickCount()) > kWholeLineMs)
            return false;
        platform::sleepMs(1);
    }
    return true;
}

void SonarAcquisition::heartbeat(SonarChannelId id) {
    status_.heartbeatRan = true;
    platform::NetChannel& ch = channel(id);
    std::atomic<bool>& lost =
        id == SonarChannelId::Command ? status_.commandLost : status_.dataLost;
    if (ch.connected) {
        platform::IoResult sent;
        {
            LockHold hold(ch.lock);
            sent = ch.socket.send(std::string_view("00"));
        }
        if (sent.status != IoStatus::Ok || sent.bytes < 2) {
            ch.connected = false;
            status_.bothConnected = false;
            status_.connectionState = connection_state::kLost;
            status_.dataState = data_state::kNotPinging;
            lost = true;
            requestConnect(id);
            return;
        }
    }
    if (!status_.sonarRunning && lost && command_.connected && data_.connected) {
        status_.commandLost = false;
        status_.dataLost = false;
        status_.bothConnected = true;
        status_.connectionState = connection_state::kConnected;
    }
}

void SonarAcquisition::requestConnect(SonarChannelId id) {
    (id == SonarChannelId::Command ? connectionEvents_.connectCommand
                                   : connectionEvents_.connectData)
        .set();
}

void SonarAcquisition::clearConnectRequests() {
    connectionEvents_.connectCommand.reset();
    connectionEvents_.connectData.reset();
}

bool SonarAcquisition::startThreads() {
    if (threadsRunning()) return false;
    connectionEvents_.quit.reset();
    connectionEvents_.exitAck.reset();
    receiveEvents_.quit.reset();
    receiveEvents_.exitAck.reset();
    receiveEvents_.run.set();
    // Zeroed here, before the receive thread exists: zeroed by the thread
    // itself, a late start wiped the first bytes a playback had just read.
    assembler_.clearBuffer();
    connectionThread_ = platform::startThread(
        "sonar-connect", platform::ThreadPriority::BelowNormal, [this] { connectionLoop(); });
    receiveThread_ = platform::startThread("sonar-receive", platform::ThreadPriority::Normal,
                                           [this] { receiveLoop(); });
    return true;
}

void SonarAcquisition::connectionLoop() {
    ConnectionEvents& e = connectionEvents_;
    Event* const requests[3] = {&e.connectCommand, &e.connectData, &e.connectPosition};
    int first = 0; // the request looked at first: the one after the last served
    for (;;) {
        // A request that keeps failing (a sonar away) must not starve the
        // others: they take turns.
        Event* const order[4] = {requests[first], requests[(first + 1) % 3],
                                 requests[(first + 2) % 3], &e.quit};
        const int got = Event::waitAny(std::span<Event* const>(order, 4));
        if (got < 0 || got == 3) break;
        const int which = (first + got) % 3;
        first = (which + 1) % 3;
        if (which == 0) {
            if (connect_command_channel()) {
                e.connectCommand.reset();
                command_.connected = true;
                if (status_.heartbeatRan && data_.connected) {
                    status_.bothConnected = true;
                    status_.connectionState = connection_state::kConnected;
                }
            }
            platform::sleepMs(50);
        } else if (which == 1) {
            if (connect_data_channel()) {
                e.connectData.reset();
                data_.connected = true;
                if (command_.connected) {
                    status_.bothConnected = true;
                    status_.connectionState = connection_state::kConnected;
                }
            }
            platform::sleepMs(50);
        } else if (which == 2) {
            PositionChannelConnector* c = positionConnector_.load();
            // Nothing to do when network input is not selected or already up:
            // clear the request rather than spin on it.
            if (!c || !c->connectWanted() || c->connect()) e.connectPosition.reset();
            platform::sleepMs(50);
        }
    }
    e.exitAck.set();
}

void SonarAcquisition::receiveLoop() {
    platform::WorkerEvents& e = receiveEvents_;
    std::uint32_t fill = 0;
    std::uint8_t* writePos = assembler_.buffer();
    std::uint8_t commandBytes[kCommandReadSize];
    std::uint32_t noDataMark = tick_();
    std::uint32_t handOvers = assembler_.handOvers();
    bool dataWasConnected = false;

    for (;;) {
        if (Event::waitAny({&e.run, &e.quit}) != 0) break;
        if (assembler_.handOvers() != handOvers) {
            // Playback had the frame buffer (even while the data link was
            // down): what this thread had buffered is gone.
            handOvers = assembler_.handOvers();
            fill = 0;
            writePos = assembler_.buffer();
        }
        if (!data_.connected) {
            dataWasConnected = false;
            // Playback without a sonar: the last pings of a burst must still
            // reach the views.
            handOff_.flushPending();
            platform::sleepMs(50);
            continue;
        }
        if (!dataWasConnected) {
            // A new data connection: half a frame of the old one is no start.
            dataWasConnected = true;
            fill = 0;
            writePos = assembler_.buffer();
            if (!status_.playbackMode) assembler_.reset();
        }

        // Command channel: replies go to the accumulator, one line taken per pass.
        platform::IoResult got;
        {
            LockHold hold(command_.lock);
            if (command_.socket.valid()) got = command_.socket.receive(commandBytes);
        }
        if (got.status == IoStatus::Ok && got.bytes > 0) {
            counters_.commandBytes += got.bytes;
            replies_.append(std::span<const std::uint8_t>(commandBytes, got.bytes));
        }
        if (!replies_.empty()) {
            if (ReplySink* sink = replySink_.load())
                sink->takeReply(replies_);
            else
                replies_.clear();
        }

        if (fill > FrameAssembler::kOverflowLimit) {
            fill = 0;
            writePos = assembler_.buffer();
            assembler_.reset();
            counters_.overflowResets++;
        }

        // In playback mode the playback thread owns the frame buffer: live
        // bytes are read into a scratch block and dropped.
        const bool playback = status_.playbackMode;
        std::span<std::uint8_t> into =
            playback ? std::span<std::uint8_t>(discard_.get(), FrameAssembler::kMaxRead)
                     : std::span<std::uint8_t>(writePos, FrameAssembler::kMaxRead);
        {
            LockHold hold(data_.lock);
            got = data_.socket.receive(into);
        }
        if (playback) {
            if (got.status == IoStatus::Ok) counters_.discardedBytes += got.bytes;
            // The playback thread fills the frame buffer meanwhile: live data
            // starts again from an empty buffer, not from this fill count.
            fill = 0;
            writePos = assembler_.buffer();
            handOff_.flushPending();
            platform::sleepMs(1);
            continue;
        }

        const std::uint32_t now = tick_();
        if (status_.sonarRunning) {
            const auto sinceMark = static_cast<std::int32_t>(now - noDataMark);
            if (sinceMark < 0 || static_cast<std::uint32_t>(sinceMark) > kNoDataMarkMs) {
                noDataMark = now;
                // Only when no frame completed lately: a frame every few
                // milliseconds must not flicker to "no frame lately".
                const std::uint32_t sinceFrame = now - status_.lastFrameTick.load();
                if (!status_.anyFrame || sinceFrame > kNoDataMarkMs)
                    status_.dataState = data_state::kNoFrameLately;
            }
        } else {
            status_.dataState = data_state::kNotPinging;
        }

        if (got.status == IoStatus::Ok && got.bytes > 0) {
            counters_.dataBytes += got.bytes;
            if (status_.sonarRunning) {
                fill += static_cast<std::uint32_t>(got.bytes);
                writePos = assembler_.feed(fill, nullptr);
                continue;
            }
            counters_.discardedBytes += got.bytes;
        } else if (got.status == IoStatus::Closed) {
            counters_.peerClosures++;
            fill = 0;
            writePos = assembler_.buffer();
            assembler_.reset();
        }
        handOff_.flushPending();
        platform::sleepMs(1);
    }
    e.exitAck.set();
}

void SonarAcquisition::stopConnectionThread() {
    if (!connectionThread_.joinable()) return;
    // Cleared first: a failing connect request would otherwise win every wait.
    connectionEvents_.connectCommand.reset();
    connectionEvents_.connectData.reset();
    connectionEvents_.connectPosition.reset();
    connectionEvents_.quit.set();
    platform::waitPumpingMessages(connectionEvents_.exitAck, queue_);
    connectionThread_.join();
}

void SonarAcquisition::stopReceiveThread() {
    platform::stopWorker(receiveEvents_, receiveThread_, queue_);
}

void SonarAcquisition::shutDown(const ShutdownSteps& steps) {
    if (command_.connected) {
        send_command(kStopLine);
        platform::sleepMs(1);
    }
    // Every thread that writes frames or position blocks ends before the
    // files close: a late batch must not reach a closed file.
    stopConnectionThread();
    stopReceiveThread();
    if (steps.stopPlaybackThread) steps.stopPlaybackThread();
    if (steps.stopPositionThreads) steps.stopPositionThreads();
    if (steps.closeRecordingFiles) steps.closeRecordingFiles();
    if (steps.closeSerialPort) steps.closeSerialPort();
    platform::closeChannel(data_);
    platform::closeChannel(command_);
    if (steps.closePositionSocket) steps.closePositionSocket();
    status_.bothConnected = false;
}

} // namespace kestrova::acquisition
