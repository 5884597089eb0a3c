#include "position/nmea.h"

#include <charconv>
#include <cstdint>

namespace kestrova::position::nmea {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string_view withoutEnd(std::string_view s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

} // namespace

Checksum verifyChecksum(std::string_view sentence) {
    std::string_view s = withoutEnd(sentence);
    std::size_t star = s.find('*');
    if (star == std::string_view::npos) return Checksum::Absent;
    if (s.size() != star + 3) return Checksum::Bad;
    int hi = hexValue(s[star + 1]);
    int lo = hexValue(s[star + 2]);
    if (hi < 0 || lo < 0) return Checksum::Bad;
    std::uint8_t sum = 0;
    std::size_t from = (!s.empty() && s[0] == '$') ? 1 : 0;
    for (std::size_t i = from; i < star; ++i)
        sum ^= static_cast<std::uint8_t>(s[i]);
    return sum == ((hi << 4) | lo) ? Checksum::Good : Checksum::Bad;
}

std::string_view body(std::string_view sentence) {
    std::string_view s = withoutEnd(sentence);
    std::size_t star = s.find('*');
    if (star != std::string_view::npos) s = s.substr(0, star);
    return s;
}

std::vector<std::string_view> splitFields(std::string_view sentence) {
    std::string_view s = body(sentence);
    std::vector<std::string_view> fields;
    std::size_t from = 0;
    for (;;) {
        std::size_t comma = s.find(',', from);
        if (comma == std::string_view::npos) {
            fields.push_back(s.substr(from));
            return fields;
        }
        fields.push_back(s.substr(from, comma - from));
        from = comma + 1;
    }
}

bool allDigits(std::string_view text) {
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return !text.empty();
}

std::optional<double> parseDecimal(std::string_view text, bool allowSign) {
    std::string_view t = text;
    bool negative = false;
    if (allowSign && !t.empty() && (t[0] == '+' || t[0] == '-')) {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    std::size_t point = t.find('.');
    std::string_view whole = t.substr(0, point);
    std::string_view fraction =
        point == std::string_view::npos ? std::string_view{} : t.substr(point + 1);
    bool wholeOk = whole.empty() || allDigits(whole);
    bool fractionOk = fraction.empty() || allDigits(fraction);
    if (!wholeOk || !fractionOk || (whole.empty() && fraction.empty())) return std::nullopt;
    double v = 0.0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec != std::errc{} || end != t.data() + t.size()) return std::nullopt;
    return negative ? -v : v;
}

std::optional<int> parseCount(std::string_view text) {
    if (!allDigits(text)) return std::nullopt;
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return v;
}

} // namespace kestrova::position::nmea
