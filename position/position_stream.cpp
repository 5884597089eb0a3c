#include "position/position_stream.h"

#include "platform/clock.h"

#include <cmath>

namespace kestrova::position {

PositionStream::PositionStream(DataType type, std::uint32_t now)
    : type_(type), timeout_(now), lastZdaTick_(now) {}

void PositionStream::setDataType(DataType type) {
    type_ = type;
    clearInput();
}

bool PositionStream::appendBytes(std::span<const std::uint8_t> bytes) {
    if (type_ == DataType::GgaZda) {
        text_.append(bytes);
        return true;
    }
    if (binary_.append(bytes)) return true;
    ++counts_.bufferOverflows;
    return false;
}

void PositionStream::clearInput() {
    text_.clear();
    binary_.clear();
}

bool PositionStream::hasInput() const {
    if (type_ == DataType::GgaZda) return text_.hasSentence();
    // A tail shorter than a frame is kept for the next read, not a frame to take.
    return binary_.size() >= (type_ == DataType::OstraIns ? ins_frame::kSize : custom_frame::kSize);
}

bool PositionStream::setState(int state) {
    if (state < 0 || state == gpsState_) return false;
    gpsState_ = state;
    return true;
}

void PositionStream::countRejection(Rejection why) {
    switch (why) {
    case Rejection::BadChecksum:
        ++counts_.badChecksum;
        break;
    case Rejection::Unrecognised:
        ++counts_.unrecognised;
        break;
    case Rejection::TooFewFields:
        ++counts_.tooFewFields;
        break;
    case Rejection::EmptyField:
        ++counts_.emptyField;
        break;
    case Rejection::BadField:
        ++counts_.badField;
        break;
    case Rejection::None:
        break;
    }
}

bool PositionStream::noBytes(std::uint32_t now) {
    return setState(timeout_.check(now, alarm_, gps_state::kNoBytesAlarm));
}

bool PositionStream::noValidMessage(std::uint32_t now) {
    return setState(timeout_.check(now, alarm_, gps_state::kNoValidAlarm));
}

StepResult PositionStream::replayRecord(const PositionFix& record, std::uint32_t now) {
    PositionFix& fix = decoder_.fix();
    fix = record;
    CivilDate date;
    // A recording is outside input: only a time between 1970 and the year 9999 is dated.
    constexpr double kYear10000 = 253402300800.0;
    if (std::isfinite(record.fixTime) && record.fixTime > 0.0 && record.fixTime < kYear10000)
        date = dateOfEpochDay(static_cast<long long>(record.fixTime / 86400.0));
    StepResult result;
    result.gridValid = std::isfinite(fix.east) && std::isfinite(fix.north);
    if (fix.kind == kFixPosition) {
        timeout_.restart(now);
        result.kind = StepResult::Kind::Position;
        result.completion = completer_.complete_fix(fix, date, alarm_);
        result.stateChanged = setState(result.completion.gpsState);
        ++counts_.positions;
    } else {
        result.kind = StepResult::Kind::Time;
        ++counts_.timeMessages;
        result.stateChanged = setState(timeout_.check(now, alarm_, gps_state::kNoValidAlarm));
    }
    result.record = fix;
    result.gpsState = gpsState_;
    return result;
}

StepResult PositionStream::accept(std::uint32_t now, StepResult result) {
    PositionFix& fix = decoder_.fix();
    result.gridValid = decoder_.gridValid();
    if (fix.kind == kFixPosition) {
        // Only a position counts as valid data: a receiver that lost its fix
        // may go on sending its clock, and the state must then time out.
        timeout_.restart(now);
        result.kind = StepResult::Kind::Position;
        result.completion = completer_.complete_fix(fix, decoder_.fixDate(), alarm_);
        result.stateChanged = setState(result.completion.gpsState);
        ++counts_.positions;
    } else {
        result.kind = StepResult::Kind::Time;
        ++counts_.timeMessages;
        result.stateChanged = setState(timeout_.check(now, alarm_, gps_state::kNoValidAlarm));
    }
    result.record = fix;
    // A date counts once for the sonar clock.
    fix.year = 0;
    fix.month = 0;
    fix.day = 0;
    result.gpsState = gpsState_;
    return result;
}

StepResult PositionStream::step(std::uint32_t now) {
    StepResult result;
    if (type_ == DataType::GgaZda) {
        auto sentence = text_.extract_sentence();
        if (!sentence) {
            result.gpsState = gpsState_;
            return result;
        }
        if (!decoder_.parse_nmea(*sentence)) {
            result.kind = StepResult::Kind::Rejected;
            result.rejection = decoder_.lastRejection();
            countRejection(result.rejection);
            result.stateChanged = setState(timeout_.check(now, alarm_, gps_state::kNoValidAlarm));
            result.gpsState = gpsState_;
            return result;
        }
        bool zda = decoder_.fix().kind == kFixTime;
        if (zda) {
            decoder_.setZdaPresent(true);
            lastZdaTick_ = now;
        }
        result = accept(now, result);
        if (platform::ticksSince(lastZdaTick_, now) > kZdaTimeoutMs) {
            decoder_.setZdaPresent(false);
            lastZdaTick_ = now;
        }
        return result;
    }

    FrameResult taken = type_ == DataType::OstraIns ? decoder_.parse_ins_frames(binary_)
                                                    : decoder_.parse_custom_frames(binary_);
    if (taken == FrameResult::Accepted) return accept(now, result);
    if (taken == FrameResult::Rejected) {
        result.kind = StepResult::Kind::Rejected;
        result.rejection = decoder_.lastRejection();
        ++counts_.framesRejected;
    }
    result.stateChanged = setState(timeout_.check(now, alarm_, gps_state::kNoValidAlarm));
    result.gpsState = gpsState_;
    return result;
}

} // namespace kestrova::position
