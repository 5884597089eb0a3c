#pragma once
// How the geodetic record's texts become numbers: the C library's decimal
// reading of each char[32] field and the packed degree-minute-second angles
// of the coordinate settings dialog. The engine and everything that describes
// the project's grid to other programs read the record through these, so both
// see the same numbers.

#include <charconv>
#include <cstddef>
#include <cstring>
#include <limits>
#include <string_view>

namespace kestrova::tessmark::record_text {

// The engine's own value of pi; every angle conversion uses it so that stored
// projects keep giving the same grid coordinates.
inline constexpr double kPi = 3.14159265358979;
inline constexpr double kDegToRad = kPi / 180.0;
inline constexpr double kArcSecToRad = kPi / 180.0 / 3600.0;

// The record's texts are read like the C library's decimal conversion (leading
// blanks, optional sign, longest numeric prefix, junk gives 0), but always with
// a '.' decimal point whatever locale the interface has set.
inline double textToDouble(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // from_chars takes no sign of its own after ours: a second sign is junk.
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) return 0.0;
    double value = 0.0;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: what the C library gives.
        bool tiny = false;
        for (const char* p = first; p < ptr; ++p) {
            if ((*p == 'e' || *p == 'E') && p + 1 < ptr && p[1] == '-') tiny = true;
        }
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (ec != std::errc()) {
        return 0.0;
    }
    return negative ? -value : value;
}

// A field of the record: its text up to the first zero byte (the record may
// come from a file with no terminator in a full field).
inline std::string_view fieldText(const char* field, std::size_t size) {
    const void* zero = std::memchr(field, 0, size);
    std::size_t length =
        zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - field) : size;
    return std::string_view(field, length);
}

template <std::size_t N> std::string_view text(const char (&field)[N]) {
    return fieldText(field, N);
}

template <std::size_t N> double fieldValue(const char (&field)[N]) {
    return textToDouble(fieldText(field, N));
}

// Degrees, minutes, seconds and the five-digit fraction of a second, as packed
// by the coordinate settings dialog: the seconds and their fraction are joined
// with a decimal point before conversion.
inline double packedDms(std::string_view degrees, std::string_view minutes,
                        std::string_view seconds, std::string_view fraction) {
    char joined[16];
    std::size_t n = 0;
    for (char c : seconds)
        joined[n++] = c;
    joined[n++] = '.';
    for (char c : fraction)
        joined[n++] = c;
    return textToDouble(degrees) + textToDouble(minutes) / 60.0 +
           textToDouble(std::string_view(joined, n)) / 3600.0;
}

// Central meridian "DDDMMSSsssssH" (13 characters); 117 degrees otherwise.
inline double packedLongitude(std::string_view t) {
    if (t.size() != 13) return 117.0;
    double v = packedDms(t.substr(0, 3), t.substr(3, 2), t.substr(5, 2), t.substr(7, 5));
    return t[12] == 'W' ? -v : v;
}

// Latitudes "DDMMSSsssssH" (12 characters); 0 otherwise.
inline double packedLatitude(std::string_view t) {
    if (t.size() != 12) return 0.0;
    double v = packedDms(t.substr(0, 2), t.substr(2, 2), t.substr(4, 2), t.substr(6, 5));
    return t[11] == 'S' ? -v : v;
}

// Plane rotation "±DDDMMSSsssss" (13 characters), in radians; 0 otherwise.
inline double packedRotation(std::string_view t) {
    if (t.size() != 13) return 0.0;
    double v = packedDms(t.substr(1, 3), t.substr(4, 2), t.substr(6, 2), t.substr(8, 5));
    return (t[0] == '-' ? -v : v) * kDegToRad;
}

// Semi-minor axis from the inverse flattening. An inverse flattening that is
// not above 1e-5 (0, negative, junk) is a sphere.
inline double semiMinor(double a, double inverseFlattening) {
    if (inverseFlattening > 1e-5) return a - a / inverseFlattening;
    return a;
}

} // namespace kestrova::tessmark::record_text
