#pragma once
// One pass of the navigation input without the channel: bytes in, at most one
// sentence or frame taken per step, the fix completed, the time-outs behind
// the GPS state applied. The navigation thread drives it with the bytes it
// reads and the tick count; the command-line tool drives it from a file.

#include "position/binary_frames.h"
#include "position/fix_completion.h"
#include "position/gps_state.h"
#include "position/position_decoder.h"
#include "position/sentence_accumulator.h"

#include <cstdint>
#include <span>

namespace kestrova::position {

// INS_DataType.
enum class DataType : int {
    GgaZda = 0,
    OstraIns = 1,
    Custom = 2,
};

struct StepResult {
    enum class Kind {
        Idle,     // nothing whole to take yet
        Rejected, // a sentence or frame was taken and refused
        Position, // an accepted position (kind 1), completed
        Time,     // an accepted time message (ZDA)
    };
    Kind kind = Kind::Idle;
    Rejection rejection = Rejection::None;
    // Accepted messages: the record as it stood after the message, before its
    // date is cleared; the recording snapshot, the NavBlock and the sonar clock
    // rule take it from here.
    PositionFix record;
    bool gridValid = false;
    FixCompletion completion; // positions only
    bool stateChanged = false;
    int gpsState = 0;
};

struct StreamCounts {
    std::uint64_t positions = 0;
    std::uint64_t timeMessages = 0;
    std::uint64_t badChecksum = 0;
    std::uint64_t unrecognised = 0;
    std::uint64_t tooFewFields = 0;
    std::uint64_t emptyField = 0;
    std::uint64_t badField = 0;
    std::uint64_t framesRejected = 0;
    std::uint64_t bufferOverflows = 0;
};

class PositionStream {
  public:
    // A ZDA stream that stops: after this long GGA positions are dated from the PC.
    static constexpr std::uint32_t kZdaTimeoutMs = 3000;

    explicit PositionStream(DataType type = DataType::GgaZda, std::uint32_t now = 0);

    PositionDecoder& decoder() { return decoder_; }
    const PositionDecoder& decoder() const { return decoder_; }
    void setAlarm(const GpsAlarm& alarm) { alarm_ = alarm; }
    const GpsAlarm& alarm() const { return alarm_; }
    DataType dataType() const { return type_; }
    // A new data type starts from empty input.
    void setDataType(DataType type);

    // Received bytes, to the text accumulator or the binary buffer by data
    // type. False when the binary buffer overflowed and was emptied.
    bool appendBytes(std::span<const std::uint8_t> bytes);
    // Empties the text accumulator and the binary buffer (settings applied).
    void clearInput();
    // True when a step may find something to take: a whole sentence, or at
    // least a frame's worth of binary bytes.
    bool hasInput() const;

    // Takes at most one sentence or frame.
    StepResult step(std::uint32_t now);
    // A network read found nothing to read: the no-bytes time-out (2 or 17).
    bool noBytes(std::uint32_t now);
    // Bytes came but no whole sentence: the no-valid-message time-out (3 or 17).
    bool noValidMessage(std::uint32_t now);
    // A position or time record read back from a recording re-enters the
    // pipeline as if just received: positions are completed (speed, course,
    // track point, fix event, state); the date comes from its fixTime.
    StepResult replayRecord(const PositionFix& record, std::uint32_t now);

    int gpsState() const { return gpsState_; }
    // States set from outside (live start, playback, port opened).
    void setGpsState(int state) { gpsState_ = state; }
    // A channel was (re)opened: the time-outs count from now.
    void restartTimeout(std::uint32_t now) { timeout_.restart(now); }

    const StreamCounts& counts() const { return counts_; }
    const AccumulatorStats& textStats() const { return text_.stats(); }
    const BinaryStats& binaryStats() const { return binary_.stats(); }

  private:
    bool setState(int state);
    void countRejection(Rejection why);
    StepResult accept(std::uint32_t now, StepResult result);

    DataType type_;
    PositionDecoder decoder_;
    FixCompleter completer_;
    SentenceAccumulator text_;
    BinaryBuffer binary_;
    GpsAlarm alarm_;
    DataTimeout timeout_;
    std::uint32_t lastZdaTick_;
    int gpsState_ = gps_state::kNoDataAlarmOff;
    StreamCounts counts_;
};

} // namespace kestrova::position
