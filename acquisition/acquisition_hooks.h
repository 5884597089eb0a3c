#pragma once
// Where the later parts of the acquisition plug in: the raw recorder takes
// every completed frame while recording is on, the position replay takes the
// position and time frames of a recording during playback, the position
// connector is the connection thread's third request, and the reply sink
// interprets what the sonar says on the command channel.

#include "acquisition/frame_format.h"
#include "acquisition/reply_accumulator.h"

#include <cstdint>
#include <span>

namespace kestrova::acquisition {

class RawFrameRecorder {
  public:
    virtual ~RawFrameRecorder() = default;
    virtual bool recording() const = 0;
    // The whole frame, header and trailer included, after attitude completion.
    virtual void writeFrame(std::span<const std::uint8_t> frame) = 0;
};

class PositionReplay {
  public:
    virtual ~PositionReplay() = default;
    // Type 6 (position) or 7 (time); the 152-byte record at offset 16.
    virtual void replay(FrameType type,
                        std::span<const std::uint8_t, kPositionRecordSize> record) = 0;
};

class PositionChannelConnector {
  public:
    virtual ~PositionChannelConnector() = default;
    // Network position input selected and not connected yet.
    virtual bool connectWanted() = 0;
    virtual bool connect() = 0;
};

class ReplySink {
  public:
    virtual ~ReplySink() = default;
    // Called by the receive thread on each pass while the accumulator is not
    // empty: take at most one complete reply line out of it and act on it.
    virtual void takeReply(ReplyAccumulator& accumulator) = 0;
};

} // namespace kestrova::acquisition
