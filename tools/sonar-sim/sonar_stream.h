#pragma once
// The sonar's data-channel stream: HF and LF pings at the rate their range
// allows, attitude samples at 10 Hz, encoded in the sonar's frame format, with
// optional injected faults. Produces bytes only; the simulator moves them to
// a socket or a file, and tests use it directly.

#include "tools/sonar-sim/seabed.h"

#include <cstdint>
#include <vector>

namespace kestrova::navsim {
class SimWorld;
}

namespace kestrova::sim {

struct SonarStreamConfig {
    std::uint64_t seed = 1;
    double hfRangeM = 50;
    double lfRangeM = 100;
    bool hf = true;
    bool lf = true;
    std::uint32_t sampleRateHz = 216000;
    std::uint8_t hfDecimation = 4;
    std::uint8_t lfDecimation = 8;
    // Non-zero: this many samples per side whatever the range (small captures).
    std::uint32_t samplesPerSide = 0;
    double soundVelocity = 1500;
    double towSpeed = 2.0; // m/s
    // Local time of the first ping, seconds since 1970-01-01.
    double startEpoch = 1714557600.0; // 2024-05-01 10:00:00
    // Pings carry their own attitude words; otherwise zero, for the receiver to complete.
    bool attitudeInPings = false;
    double attitudeIntervalS = 0.1;
    std::uint16_t hfFrequency = 450; // kHz, as the channel block reports it
    std::uint16_t lfFrequency = 150;
    // Non-zero: the commanded samples per ping at sampleRateHz; the range is
    // then what that window covers.
    std::uint32_t hfSampleLength = 0;
    std::uint32_t lfSampleLength = 0;
    // A shared simulated world (owned by the caller): each ping is taken at
    // the fish's place at its time stamp (read as UTC), heading the fish's
    // way, and sees that world's objects instead of the seabed's own.
    const navsim::SimWorld* world = nullptr;
    // Seconds the sonar's clock runs ahead of UTC (its time zone): a ping
    // stamped T is taken at the world's UTC time T - worldUtcOffset.
    double worldUtcOffset = 0;

    double rangeM(bool hfPing) const;
    std::uint32_t window(bool hfPing) const;
};

// Faults, each every N-th frame (0: never). Counted from the first frame.
struct FaultPlan {
    std::uint32_t garbageEvery = 0;       // random bytes before the frame
    std::uint32_t badTrailerEvery = 0;    // frame with a wrong trailer
    std::uint32_t truncateEvery = 0;      // only the frame's first part is sent
    std::uint32_t hugeLengthEvery = 0;    // a lone header declaring ~2 GiB first
    std::uint32_t repeatEvery = 0;        // the ping is sent twice
    std::uint32_t foreignLayoutEvery = 0; // ping with layout marker 0x31 and 16-bit samples
    // A good ping whose port samples hold the two sync words and a length
    // word, as echo data may (the ping stays good: it counts as sent).
    std::uint32_t syncInSamplesEvery = 0;
    std::uint32_t closeMidFrameEvery = 0; // half a frame, then the data connection closes
};

struct StreamCounts {
    // Frames a sound receiver dispatches.
    std::uint64_t hf = 0;
    std::uint64_t lf = 0;
    std::uint64_t attitude = 0;
    // Frames made faulty or duplicated on purpose.
    std::uint64_t faulty = 0;
    std::uint64_t frames = 0; // frames emitted, faulty included
    std::uint64_t bytes = 0;
};

struct Emitted {
    double time = 0;         // seconds since the start of the stream
    bool closeAfter = false; // close the data connection after these bytes
};

class SonarStream {
  public:
    SonarStream(const SonarStreamConfig& config, const FaultPlan& faults = {});

    // Seconds between ping cycles: the two-way travel time of the longer range
    // plus the sonar's own turnaround.
    double pingPeriod() const { return period_; }
    // Time of the frame next() will produce.
    double nextTime() const;
    // Appends the next frame (with its faults) to `out`.
    Emitted next(std::vector<std::uint8_t>& out);

    const StreamCounts& counts() const { return counts_; }
    // Size of the largest frame this stream makes.
    std::size_t maxFrameSize() const;
    const SeabedModel& seabed() const { return seabed_; }
    const SonarStreamConfig& config() const { return config_; }
    // New ranges, channels or sample rates from the next ping cycle on; the
    // time line and the ping numbers carry on. With neither channel on, only
    // attitude frames come.
    void reconfigure(const SonarStreamConfig& config);
    // Local time (seconds since 1970) of stream time 0: the sonar's clock was set.
    void setStartEpoch(double epoch) { config_.startEpoch = epoch; }
    void setWorldUtcOffset(double seconds) { config_.worldUtcOffset = seconds; }

    // Builders for one frame, usable alone.
    std::vector<std::uint8_t> pingFrame(bool hfPing, std::uint32_t pingNumber, double t) const;
    std::vector<std::uint8_t> attitudeFrame(double t) const;
    void attitudeAt(double t, std::int16_t& roll, std::int16_t& pitch, std::int16_t& heave,
                    std::uint16_t& heading) const;
    std::uint32_t samplesPerSide(bool hfPing) const;

  private:
    enum class Kind { Hf, Lf, Attitude };
    Kind nextKind() const;

    SonarStreamConfig config_;
    FaultPlan faults_;
    SeabedModel seabed_;
    Random faultRandom_;
    double period_;
    double nextCycle_ = 0;   // time of the next ping cycle
    double cycleStart_ = 0;  // time of the cycle whose LF ping is pending
    bool lfPending_ = false; // HF of this cycle sent, LF still due
    std::uint64_t attitudeIndex_ = 0;
    std::uint32_t pingNumber_[2] = {0, 0};
    StreamCounts counts_;
};

// Local date and time fields of seconds since 1970 (no time zone applied).
struct CivilTime {
    int year, month, day, hour, minute, second;
    std::uint32_t microseconds;
};
CivilTime civilFromEpoch(double seconds);

} // namespace kestrova::sim
