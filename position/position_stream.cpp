#include "position/position_stream.h"

#include "platform/clock.h"

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
    return type_ == DataType::GgaZda ? text_.hasSentence() : !binary_.empty();
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

StepResult PositionStream::accept(std::uint32_t now, StepResult result) {
    PositionFix& fix = decoder_.fix();
    timeout_.restart(now);
    result.gridValid = decoder_.gridValid();
    if (fix.kind == kFixPosition) {
        result.kind = StepResult::Kind::Position;
        result.completion = completer_.complete_fix(fix, decoder_.fixDate(), alarm_);
        result.stateChanged = setState(result.completion.gpsState);
        ++counts_.positions;
    } else {
        result.kind = StepResult::Kind::Time;
        ++counts_.timeMessages;
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
