#include "acquisition/sonar_commands_reply.h"

#include <charconv>
#include <vector>

namespace kestrova::acquisition {
namespace {

// A field's value: up to the first "*", and never the line's CR LF (a reply
// without the "*ff" terminator still gives a clean value).
std::string_view fieldValue(std::string_view field) {
    const auto end = field.find_first_of("*\r\n");
    return end == std::string_view::npos ? field : field.substr(0, end);
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const auto comma = line.find(',', start);
        if (comma == std::string_view::npos) {
            fields.push_back(fieldValue(line.substr(start)));
            return fields;
        }
        fields.push_back(fieldValue(line.substr(start, comma - start)));
        start = comma + 1;
    }
}

// The equality tests of the sonar's keywords look at no more than 16 characters.
bool equalsWithin16(std::string_view field, std::string_view word) {
    return field.substr(0, 16) == word.substr(0, 16);
}

// Integer parsing as the C library reads it: leading blanks, a sign, digits.
// nullopt when no digit follows, so a garbled number leaves the value alone.
std::optional<int> leadingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long v = 0;
    std::size_t digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits)
        if (v < 10'000'000'000LL) v = v * 10 + (text[i] - '0');
    if (digits == 0) return std::nullopt;
    if (negative) v = -v;
    if (v > 2147483647LL) v = 2147483647LL;
    if (v < -2147483648LL) v = -2147483648LL;
    return static_cast<int>(v);
}

std::string limited(std::string_view text, std::size_t limit) {
    return std::string(text.substr(0, limit));
}

} // namespace

std::optional<std::string> extractReplyLine(ReplyAccumulator& accumulator) {
    const std::string_view text = accumulator.view();
    const auto first = text.find('$');
    if (first == std::string_view::npos) {
        accumulator.clear();
        return std::nullopt;
    }
    const auto crlf = text.find("\r\n", first);
    if (crlf == std::string_view::npos) {
        if (text.size() > kReplyLengthLimit) accumulator.clear();
        return std::nullopt;
    }
    const std::size_t end = crlf + 2;
    const std::string_view line = text.substr(first, end - first);
    int more = 0;
    std::size_t last = 0;
    for (std::size_t i = 1; i < line.size(); ++i) {
        if (line[i] != '$') continue;
        ++more;
        last = i;
    }
    std::optional<std::string> out;
    // A noisy line is dropped on its own; the replies behind it are kept.
    if (more < kReplyDollarLimit) out.emplace(line.substr(last));
    accumulator.consume(end);
    return out;
}

SonarReply interpretReply(std::string_view line) {
    SonarReply r;
    const std::vector<std::string_view> f = splitFields(line);
    if (f.size() < 2) return r;
    const std::string_view key = f[1];
    r.keyword = std::string(key);
    auto present = [&](std::size_t i) { return i < f.size() && !f[i].empty(); };

    if (key == "deviceid") {
        if (!present(2)) return r;
        r.kind = ReplyKind::DeviceId;
        r.text = std::string(f[2]);
    } else if (key.find("type") != std::string_view::npos) {
        if (!present(2)) return r;
        r.kind = ReplyKind::DeviceType;
        r.text = limited(f[2], kDeviceTextLimit);
    } else if (equalsWithin16(key, "freq")) {
        // "freq,LF,x,HF,y" or "freq,LF,HF": the commas of the whole line decide.
        std::size_t commas = 0;
        for (char c : line)
            commas += c == ',';
        const std::size_t hfField = commas > 3 ? 4 : 3;
        if (!present(2) || !present(hfField)) return r;
        auto lf = leadingInteger(f[2]);
        auto hf = leadingInteger(f[hfField]);
        if (!lf || !hf) return r;
        r.kind = ReplyKind::Frequencies;
        r.lfFrequency = *lf;
        r.hfFrequency = *hf;
    } else if (key.find("pressureref") != std::string_view::npos) {
        if (!present(2)) return r;
        auto v = leadingInteger(f[2]);
        if (!v) return r;
        r.kind = ReplyKind::PressureReference;
        r.value = *v;
    } else if (key.find("ucUpdata") != std::string_view::npos) {
        r.kind = ReplyKind::UpdateOverflow;
    } else if (equalsWithin16(key, "get")) {
        if (!present(2) || !equalsWithin16(f[2], "version") || !present(3)) return r;
        r.kind = ReplyKind::Version;
        r.text = limited(f[3], kDeviceTextLimit);
    }
    return r;
}

const char* replyKindName(ReplyKind kind) {
    switch (kind) {
    case ReplyKind::DeviceId:
        return "deviceid";
    case ReplyKind::DeviceType:
        return "devicetype";
    case ReplyKind::Frequencies:
        return "freq";
    case ReplyKind::PressureReference:
        return "pressureref";
    case ReplyKind::UpdateOverflow:
        return "ucUpdata";
    case ReplyKind::Version:
        return "version";
    case ReplyKind::Unknown:
        break;
    }
    return "unknown";
}

} // namespace kestrova::acquisition
