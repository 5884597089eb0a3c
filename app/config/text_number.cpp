#include "app/config/text_number.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace kestrova::app {
namespace {

locale_t cLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

} // namespace

long long atollText(std::string_view text) {
    std::string s(text); // NUL-terminated copy for the C conversion
    errno = 0;
    long long v = std::strtoll(s.c_str(), nullptr, 10);
    return v; // strtoll saturates at the long long range
}

int atoiText(std::string_view text) {
    long long v = atollText(text);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

double atofText(std::string_view text) {
    std::string s(text);
    double v = strtod_l(s.c_str(), nullptr, cLocale());
    return v;
}

std::string formatInt(long long value) {
    return std::to_string(value);
}

std::string formatFloat(double value) {
    if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6);
    return std::string(buf, r.ptr);
}

} // namespace kestrova::app
