#pragma once
// Small pieces of NMEA 0183 text handling: the "*hh" checksum, splitting a
// sentence into its comma-separated fields and strict number reading.

#include <optional>
#include <string_view>
#include <vector>

namespace kestrova::position::nmea {

enum class Checksum {
    Absent, // no "*": accepted as the receivers without checksums send it
    Good,
    Bad, // wrong value, or "*" not followed by two hex digits before the end
};

// `sentence` runs from "$" and may end with "\r\n".
Checksum verifyChecksum(std::string_view sentence);

// The body of a sentence: after "$"... up to (not including) "*" or the end marker.
std::string_view body(std::string_view sentence);

// Fields of the body, field 0 being the address (talker and sentence type, "$" kept).
std::vector<std::string_view> splitFields(std::string_view sentence);

// A decimal number: optional sign, digits, optional point and fraction; at
// least one digit; nothing else. nullopt for anything else (no "nan", no "1e5").
std::optional<double> parseDecimal(std::string_view text, bool allowSign);
// A whole non-negative number that fits an int.
std::optional<int> parseCount(std::string_view text);
bool allDigits(std::string_view text);

} // namespace kestrova::position::nmea
