#pragma once
// Window messages posted by the acquisition threads.

#include "platform/messages.h"

#include <cstdint>

namespace kestrova::acquisition {

// To the main window: refresh the ping parameter panel from the snapshot.
constexpr std::uint32_t WM_PING_PARAM_HF = 0x0468;
constexpr std::uint32_t WM_PING_PARAM_LF = 0x0469;
// To the main window: new towfish sensor values (attitude, temperature) in the
// snapshot; at most one per kSensorNotifyIntervalMs.
constexpr std::uint32_t WM_SENSOR_READOUTS = 0x046A;
constexpr std::uint32_t kSensorNotifyIntervalMs = 200;
// To the HF / LF waterfall view: take the batch.
constexpr std::uint32_t WM_PING_HF = 0x046D;
constexpr std::uint32_t WM_PING_LF = 0x046E;
static_assert(WM_PING_HF == platform::WM_USER + 0x6D);

// Main-window timers that send the heartbeat, and their period.
constexpr int kHeartbeatTimerCommand = 101;
constexpr int kHeartbeatTimerData = 102;
constexpr std::uint32_t kHeartbeatIntervalMs = 1000;

} // namespace kestrova::acquisition
