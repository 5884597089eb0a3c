#include "libs/faldrena/geo_fields.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kestrova::faldrena {

void copyBlock(_DefGeodetsyParameterSetting& into, const _DefGeodetsyParameterSetting& from,
               std::size_t tab) {
    if (tab >= kBlocks.size()) return;
    const Block b = kBlocks[tab];
    std::memcpy(reinterpret_cast<unsigned char*>(&into) + b.begin,
                reinterpret_cast<const unsigned char*>(&from) + b.begin, b.end - b.begin);
}

_DefGeodetsyParameterSetting dialogDefaults() {
    // The same start values as the program's.
    return defaultGeodeticRecord();
}

bool isEmptyRecord(const _DefGeodetsyParameterSetting& record) {
    return record.Version[0] == '\0';
}

int shownChoice(int stored, std::size_t listSize) {
    return stored >= 0 && static_cast<std::size_t>(stored) < listSize ? stored : -1;
}

namespace {

// Positions of the shown text: 'D' a digit, 'H' the hemisphere, 'S' the
// sign; anything else is a separator the operator does not type.
struct AngleLayout {
    const char* shownTemplate;
    const char* mask;
    const char* fallback;
    const char* hemispheres; // allowed hemisphere letters, or the signs
    int degreeDigits;
    double limit; // degrees the angle may reach (inclusive when `limitIncluded`)
    bool limitIncluded;
};

const AngleLayout& layout(AngleKind kind) {
    static const AngleLayout meridian{
        "DDD:DD:DD.DDDDD H", "999:99:99.99999 >A;_", "117:00:00.00000 E", "EW", 3, 180.0, true};
    // The latitude of true scale sets the Mercator scale from cos B0: 90 would
    // leave no scale at all.
    static const AngleLayout latitude{
        "DD:DD:DD.DDDDD H", "99:99:99.99999 >A;_", "00:00:00.00000 N", "NS", 2, 90.0, false};
    static const AngleLayout rotation{
        "SDDD:DD:DD.DDDDD", "x999:99:99.99999;_", " 000:00:00.00000", " +-", 3, 360.0, false};
    switch (kind) {
    case AngleKind::CentralMeridian:
        return meridian;
    case AngleKind::Latitude:
        return latitude;
    case AngleKind::Rotation:
        break;
    }
    return rotation;
}

std::size_t typedPositions(const AngleLayout& l) {
    std::size_t n = 0;
    for (const char* t = l.shownTemplate; *t; ++t)
        if (*t == 'D' || *t == 'H' || *t == 'S') ++n;
    return n;
}

int digitsValue(const std::string& s, std::size_t from, std::size_t count) {
    int v = 0;
    for (std::size_t i = from; i < from + count; ++i)
        v = v * 10 + (s[i] - '0');
    return v;
}

} // namespace

const char* angleInputMask(AngleKind kind) {
    return layout(kind).mask;
}

std::string shownAngle(AngleKind kind, const std::string& stored) {
    const AngleLayout& l = layout(kind);
    if (stored.size() != typedPositions(l)) return l.fallback;
    std::string shown;
    std::size_t next = 0;
    for (const char* t = l.shownTemplate; *t; ++t) {
        if (*t == 'D' || *t == 'H' || *t == 'S')
            shown += stored[next++];
        else
            shown += *t;
    }
    return shown;
}

bool storedAngle(AngleKind kind, const std::string& shown, std::string& stored, Refusal& why) {
    const AngleLayout& l = layout(kind);
    const std::string shape = l.shownTemplate;
    const Refusal incomplete{"type every position of the angle, as in " + std::string(l.fallback),
                             "角度的每一位都必须输入，例如 " + std::string(l.fallback)};
    if (shown.size() != shape.size()) {
        why = incomplete;
        return false;
    }
    std::string typed;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const char c = shown[i];
        switch (shape[i]) {
        case 'D':
            if (c < '0' || c > '9') {
                why = incomplete;
                return false;
            }
            typed += c;
            break;
        case 'S':
            // An empty sign position is the blank the field allows: positive.
            if (c == '_' || c == ' ')
                typed += ' ';
            else if (c == '+' || c == '-')
                typed += c;
            else {
                why = {"the sign must be blank, + or -", "符号只能是空格、+ 或 -"};
                return false;
            }
            break;
        case 'H':
            if (c == '_' || c == ' ') {
                why = incomplete;
                return false;
            }
            if (std::strchr(l.hemispheres, c) == nullptr) {
                why = {std::string("the hemisphere must be ") + l.hemispheres[0] + " or " +
                           l.hemispheres[1],
                       std::string("半球只能是 ") + l.hemispheres[0] + " 或 " + l.hemispheres[1]};
                return false;
            }
            typed += c;
            break;
        default:
            if (c != shape[i]) {
                why = incomplete;
                return false;
            }
        }
    }
    const std::size_t d = static_cast<std::size_t>(l.degreeDigits);
    const std::size_t first = kind == AngleKind::Rotation ? 1 : 0;
    const int degrees = digitsValue(typed, first, d);
    const int minutes = digitsValue(typed, first + d, 2);
    const int seconds = digitsValue(typed, first + d + 2, 2);
    const int fraction = digitsValue(typed, first + d + 4, 5);
    if (minutes >= 60) {
        why = {"minutes must be below 60", "分必须小于60"};
        return false;
    }
    if (seconds >= 60) {
        why = {"seconds must be below 60", "秒必须小于60"};
        return false;
    }
    // Compared in units of 1e-5 seconds, so 180:00:00.00000 is exactly the limit.
    const std::int64_t total =
        ((static_cast<std::int64_t>(degrees) * 60 + minutes) * 60 + seconds) * 100000 + fraction;
    const std::int64_t limit = static_cast<std::int64_t>(l.limit) * 3600 * 100000;
    if (l.limitIncluded ? total > limit : total >= limit) {
        const std::string bound = std::to_string(static_cast<int>(l.limit));
        why = {std::string("the angle must be ") + (l.limitIncluded ? "at most " : "below ") +
                   bound + " degrees",
               std::string("角度必须") + (l.limitIncluded ? "不大于" : "小于") + bound + "度"};
        return false;
    }
    stored = typed;
    return true;
}

bool parseNumber(const std::string& text, double& value) {
    std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return false;
    std::size_t end = text.find_last_not_of(" \t") + 1;
    // from_chars takes no plus sign; the engine's decimal conversion does.
    if (text[begin] == '+' && begin + 1 < end && text[begin + 1] != '-') ++begin;
    const char* first = text.data() + begin;
    const char* last = text.data() + end;
    double v = 0;
    const auto r = std::from_chars(first, last, v);
    if (r.ec != std::errc() || r.ptr != last || !std::isfinite(v)) return false;
    value = v;
    return true;
}

} // namespace kestrova::faldrena
