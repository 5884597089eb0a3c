#pragma once
// Turns one NMEA sentence or one binary frame into the current position fix.
// It owns the live record and what dating a fix needs: the last ZDA date, the
// ZDA-present flag, the operator's time zone and the PC's UTC clock as a fallback.

#include "position/binary_frames.h"
#include "position/grid_converter.h"
#include "position/position_fix.h"
#include "position/time_stamp.h"

#include <cstdint>
#include <functional>
#include <string_view>

namespace kestrova::position {

// Why a sentence or frame was not taken into the fix.
enum class Rejection {
    None,
    BadChecksum,  // "*hh" present and wrong
    Unrecognised, // neither GGA nor ZDA
    TooFewFields, // fewer commas than the sentence type needs
    EmptyField,   // a mandatory field is empty
    BadField,     // text that is not a number, or a value out of its range
};

enum class FrameResult {
    None,     // no whole frame in the buffer yet
    Accepted, // a frame was taken and parsed into the fix
    Rejected, // a frame was taken but its fields are impossible
};

class PositionDecoder {
  public:
    static constexpr int kDefaultTimeZoneHour = 8;

    PositionDecoder();

    // Whole hours added to every received UTC hour; held to -24..24.
    void setTimeZoneHour(int hours);
    int timeZoneHour() const { return zone_; }
    // The grid conversion; without one east and north are left as they were.
    void setConverter(const GridConverter* converter) { converter_ = converter; }
    // The PC clock in UTC (seconds since 1970), which dates GGA positions
    // without ZDA and Custom frames: their UTC time of day takes the UTC date
    // that puts it nearest this clock, and only then the time zone.
    void setUtcClock(std::function<double()> clock) { utcClock_ = std::move(clock); }

    // One sentence, "$" to "\r\n". True when it was a GGA or ZDA parsed to the
    // end; the reason of a refusal is in lastRejection().
    bool parse_nmea(std::string_view sentence);
    // At most one frame out of the buffer.
    FrameResult parse_ins_frames(BinaryBuffer& buffer);
    FrameResult parse_custom_frames(BinaryBuffer& buffer);

    PositionFix& fix() { return fix_; }
    const PositionFix& fix() const { return fix_; }
    // The date the last position's fixTime was computed from.
    const CivilDate& fixDate() const { return fixDate_; }
    // Whether the last position got grid coordinates from the converter.
    bool gridValid() const { return gridValid_; }
    Rejection lastRejection() const { return rejection_; }

    bool zdaPresent() const { return zdaPresent_; }
    void setZdaPresent(bool present) { zdaPresent_ = present; }
    const CivilDate& lastZdaDate() const { return lastZdaDate_; }
    // A ZDA was taken and its date is the one GGA positions are dated from.
    bool datedByZda() const { return zdaPresent_ && isValidDate(lastZdaDate_); }

    // Back to the start state: zeroed record, ZDA-present flag set.
    void reset();

  private:
    bool parseGga(const std::vector<std::string_view>& f);
    bool parseZda(const std::vector<std::string_view>& f);
    bool reject(Rejection why);
    void toGrid(double height);
    void dateFrame(const CivilDate& utcDate, int utcHour, int minute, double seconds);
    bool takeIns(const InsFrame& frame);
    bool takeCustom(const CustomFrame& frame);

    PositionFix fix_;
    CivilDate fixDate_;
    CivilDate lastZdaDate_;
    double lastZdaSecondsOfDay_ = 0.0; // UTC
    bool zdaPresent_ = true;
    bool gridValid_ = false;
    int zone_ = kDefaultTimeZoneHour;
    Rejection rejection_ = Rejection::None;
    const GridConverter* converter_ = nullptr;
    std::function<double()> utcClock_;
};

} // namespace kestrova::position
