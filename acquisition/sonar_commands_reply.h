#pragma once
// The sonar's replies on the command channel: taking one reply line out of
// what has been received, and reading what it says. Both are pure; the device
// session acts on the result.

#include "acquisition/reply_accumulator.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova::acquisition {

// Without a CR LF, the accumulator is given up beyond this many characters.
constexpr std::size_t kReplyLengthLimit = 1024;
// A line with this many "$" after its first is noise, not a reply.
constexpr int kReplyDollarLimit = 10;
// Type and firmware version texts are kept to this many characters.
constexpr std::size_t kDeviceTextLimit = 16;

// Takes one complete reply line (from its last "$" to its CR LF) out of the
// accumulator. Garbage before the first "$" goes with it; an accumulator
// without any "$" is emptied; one without a CR LF after its first "$" waits
// for more bytes unless it has grown beyond kReplyLengthLimit.
std::optional<std::string> extractReplyLine(ReplyAccumulator& accumulator);

enum class ReplyKind {
    Unknown,           // a keyword the program does not act on, or a missing field
    DeviceId,          // "deviceid": text
    DeviceType,        // contains "type": text (at most 16 characters)
    Frequencies,       // "freq": lfFrequency, hfFrequency
    PressureReference, // contains "pressureref": value
    UpdateOverflow,    // contains "ucUpdata": the pulse is too long for the range
    Version,           // "get" with "version": text (at most 16 characters)
};

struct SonarReply {
    ReplyKind kind = ReplyKind::Unknown;
    std::string keyword; // field 1 as received (up to its "*")
    std::string text;
    int lfFrequency = 0;
    int hfFrequency = 0;
    int value = 0;
};

// Splits the line at commas; field 1 is the keyword, values end at the first
// "*" (or at the line's CR LF). A reply missing the field its keyword needs, or
// with a number field that holds no number, comes back as Unknown.
SonarReply interpretReply(std::string_view line);

// The kind's name in the command-line tool's listing.
const char* replyKindName(ReplyKind kind);

} // namespace kestrova::acquisition
