#pragma once
// The shared status codes and mode flags of the sonar acquisition, grouped in
// one record. They are single words written by the worker threads and read by
// the status display without locks, hence atomics.

#include <atomic>
#include <cstdint>

namespace kestrova::acquisition {

// Connection state codes (status display).
namespace connection_state {
constexpr int kNotConnected = 0; // 1 means the same
constexpr int kNotConnectedYet = 1;
constexpr int kLost = 2;
constexpr int kConnected = 3; // both channels
constexpr int kPlayback = 4;
} // namespace connection_state

// Data state codes (status display).
namespace data_state {
constexpr int kIdle = 0;          // playback stopped
constexpr int kNotPinging = 1;    // connected, sonar not pinging
constexpr int kNoFrameLately = 2; // pinging, but no frame for a while
constexpr int kFramesArriving = 3;
} // namespace data_state

struct SonarStatus {
    std::atomic<int> connectionState{connection_state::kNotConnected};
    std::atomic<int> dataState{data_state::kIdle};
    // Mode flags: playback replaces the data channel as the frame source.
    std::atomic<bool> playbackMode{false};
    // Set when the start command succeeded, cleared by the stop command.
    std::atomic<bool> sonarRunning{false};
    std::atomic<bool> bothConnected{false};
    // Heartbeat bookkeeping: it has run at least once; which channel it lost.
    std::atomic<bool> heartbeatRan{false};
    std::atomic<bool> commandLost{false};
    std::atomic<bool> dataLost{false};
    // Millisecond tick of the last completed frame.
    std::atomic<std::uint32_t> lastFrameTick{0};
    std::atomic<bool> anyFrame{false};
};

// Millisecond tick source; tests pass their own to drive throttles by hand.
using TickSource = std::uint32_t (*)();

} // namespace kestrova::acquisition
