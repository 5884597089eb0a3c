#pragma once
// The sonar's two TCP channels and the worker threads that serve them.
//  - connection thread (below normal priority): (re)connects a channel when its
//    connect event is set; a failed attempt is repeated while the event stays set;
//  - receive thread: reads the command channel into the reply accumulator and
//    the data channel into the FrameAssembler, whose pings go through the
//    PingHandOff into the two PingBatch queues;
//  - the heartbeat (called by the main window's timers every 1000 ms, or by a
//    headless loop) sends "00" on each connected channel and marks a channel
//    lost when that fails, which starts its reconnection.
// Worker threads talk to windows only by posting to the MessageQueue.

#include "acquisition/acquisition_hooks.h"
#include "acquisition/frame_assembler.h"
#include "acquisition/ping_hand_off.h"
#include "acquisition/reply_accumulator.h"
#include "acquisition/sonar_status.h"
#include "platform/event.h"
#include "platform/messages.h"
#include "platform/net_channel.h"
#include "platform/worker.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace kestrova::acquisition {

// Section "Net" of SysCfg.ini.
struct SonarNetSettings {
    std::string ip = "127.0.0.1";     // "IP"
    std::uint16_t commandPort = 5001; // "PORT1"
    std::uint16_t dataPort = 5002;    // "PORT2"
};

enum class SonarChannelId { Command = 0, Data = 1 };

// The line that stops the sonar pinging; sent at quit.
constexpr std::string_view kStopLine = "$cmd,sysrun,0*ff\r\n";

// Connection thread events, in the order it waits on them.
struct ConnectionEvents {
    platform::Event connectCommand{platform::Event::Reset::Manual, false};
    platform::Event connectData{platform::Event::Reset::Manual, false};
    platform::Event connectPosition{platform::Event::Reset::Manual, false};
    platform::Event quit{platform::Event::Reset::Auto, false};
    platform::Event exitAck{platform::Event::Reset::Auto, false};
};

// What other parts close or stop at quit. The threads stop (the sonar's own,
// then playback, then position) before the recording files close.
struct ShutdownSteps {
    std::function<void()> closeRecordingFiles; // raw and both XTF files, under their locks
    std::function<void()> stopPlaybackThread;  // if it runs
    std::function<void()> stopPositionThreads;
    std::function<void()> closeSerialPort;
    std::function<void()> closePositionSocket;
};

struct ReceiveCounters {
    std::atomic<std::uint64_t> dataBytes{0};      // read from the data channel
    std::atomic<std::uint64_t> discardedBytes{0}; // read but dropped (stopped, playback)
    std::atomic<std::uint64_t> commandBytes{0};
    std::atomic<std::uint32_t> peerClosures{0};
    std::atomic<std::uint32_t> overflowResets{0};
};

class SonarAcquisition {
  public:
    static constexpr std::uint32_t kCommandReadSize = 1024;
    static constexpr std::uint32_t kNoDataMarkMs = 3000;

    explicit SonarAcquisition(platform::MessageQueue& queue, SonarNetSettings settings = {},
                              TickSource tick = nullptr);
    ~SonarAcquisition();
    SonarAcquisition(const SonarAcquisition&) = delete;
    SonarAcquisition& operator=(const SonarAcquisition&) = delete;

    void setNetSettings(const SonarNetSettings& settings);
    SonarNetSettings netSettings() const;

    // Hooks for the later parts; set them before startThreads().
    void setReplySink(ReplySink* sink) { replySink_.store(sink); }
    void setRawRecorder(RawFrameRecorder* recorder) { recorder_.store(recorder); }
    void setPositionReplay(PositionReplay* replay) { replay_.store(replay); }
    void setPositionConnector(PositionChannelConnector* connector) {
        positionConnector_.store(connector);
    }

    // Channels. Each connect holds its channel lock for the whole attempt
    // (up to about 1.5 s) and leaves the connected flag to the caller.
    bool connect_command_channel();
    bool connect_data_channel();
    // One send of the whole line under the command-channel lock; a line of odd
    // length gets one "0" appended first.
    bool send_command(std::string_view line);
    void heartbeat(SonarChannelId channel);
    // Asks the connection thread to (re)connect a channel.
    void requestConnect(SonarChannelId channel);
    void clearConnectRequests();

    // Starts the connection thread, then the receive thread.
    bool startThreads();
    bool threadsRunning() const {
        return receiveThread_.joinable() || connectionThread_.joinable();
    }
    // The ordered quit: stop line, files, threads, sockets.
    void shutDown(const ShutdownSteps& steps = {});

    SonarStatus& status() { return status_; }
    WindowTargets& windows() { return windows_; }
    FrameAssembler& assembler() { return assembler_; }
    PingHandOff& handOff() { return handOff_; }
    PingBatch& batch(Frequency f) { return handOff_.batch(f); }
    SnapshotStore& snapshots() { return snapshots_; }
    platform::NetChannel& channel(SonarChannelId id) {
        return id == SonarChannelId::Command ? command_ : data_;
    }
    ConnectionEvents& connectionEvents() { return connectionEvents_; }
    platform::WorkerEvents& receiveEvents() { return receiveEvents_; }
    const ReceiveCounters& counters() const { return counters_; }
    platform::MessageQueue& queue() { return queue_; }

  private:
    class Sink : public FrameSink {
      public:
        explicit Sink(SonarAcquisition& owner) : owner_(owner) {}
        bool rawRecordingOn() const override;
        void recordRawFrame(std::span<const std::uint8_t> frame) override;
        bool handPing(const PingRecord& ping, float rate, std::uint8_t changed) override;
        void storeAttitude(std::span<const std::uint8_t, AttitudeRecord::kSize> record) override;
        void replayPosition(FrameType type,
                            std::span<const std::uint8_t, kPositionRecordSize> record) override;

      private:
        SonarAcquisition& owner_;
        // The receive thread's own: when the sensor read-outs were last announced.
        bool sensorsAnnounced_ = false;
        std::uint32_t lastSensorNotice_ = 0;
    };

    bool connectChannelTo(platform::NetChannel& channel, std::uint16_t port);
    void connectionLoop();
    void receiveLoop();
    void stopConnectionThread();
    void stopReceiveThread();

    platform::MessageQueue& queue_;
    TickSource tick_;
    mutable std::mutex settingsMutex_;
    SonarNetSettings settings_;

    SonarStatus status_;
    WindowTargets windows_;
    SnapshotStore snapshots_;
    PingHandOff handOff_;
    Sink sink_{*this};
    FrameAssembler assembler_;
    ReplyAccumulator replies_;
    ReceiveCounters counters_;
    std::unique_ptr<std::uint8_t[]>
        discard_; // playback: live bytes land here, not in the frame buffer

    platform::NetChannel command_;
    platform::NetChannel data_;

    std::atomic<ReplySink*> replySink_{nullptr};
    std::atomic<RawFrameRecorder*> recorder_{nullptr};
    std::atomic<PositionReplay*> replay_{nullptr};
    std::atomic<PositionChannelConnector*> positionConnector_{nullptr};

    ConnectionEvents connectionEvents_;
    platform::WorkerEvents receiveEvents_;
    std::thread connectionThread_;
    std::thread receiveThread_;
};

} // namespace kestrova::acquisition
