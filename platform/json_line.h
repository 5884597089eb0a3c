#pragma once
// One JSON object per line, for the command-line tool's output: keys in the
// order they are added, strings escaped, doubles with a fixed precision.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace kestrova {

class JsonLine {
  public:
    JsonLine& str(std::string_view key, std::string_view value) {
        keyed(key);
        quote(value);
        return *this;
    }
    JsonLine& num(std::string_view key, std::int64_t value) {
        keyed(key);
        out_ += std::to_string(value);
        return *this;
    }
    JsonLine& unum(std::string_view key, std::uint64_t value) {
        keyed(key);
        out_ += std::to_string(value);
        return *this;
    }
    // Non-finite values have no JSON form and are written as null.
    JsonLine& real(std::string_view key, double value, int decimals = 6) {
        keyed(key);
        if (!std::isfinite(value)) {
            out_ += "null";
            return *this;
        }
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
        out_ += buf;
        return *this;
    }
    JsonLine& boolean(std::string_view key, bool value) {
        keyed(key);
        out_ += value ? "true" : "false";
        return *this;
    }
    // Nests an already finished object.
    JsonLine& object(std::string_view key, const JsonLine& inner) {
        keyed(key);
        out_ += inner.text();
        return *this;
    }
    JsonLine& raw(std::string_view key, std::string_view json) {
        keyed(key);
        out_ += json;
        return *this;
    }
    std::string text() const { return "{" + out_ + "}"; }

    static std::string escape(std::string_view s) {
        std::string r;
        for (unsigned char c : s) {
            switch (c) {
            case '"': r += "\\\""; break;
            case '\\': r += "\\\\"; break;
            case '\n': r += "\\n"; break;
            case '\r': r += "\\r"; break;
            case '\t': r += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    r += buf;
                } else {
                    r += static_cast<char>(c);
                }
            }
        }
        return r;
    }

  private:
    void keyed(std::string_view key) {
        if (!out_.empty()) out_ += ',';
        quote(key);
        out_ += ':';
    }
    void quote(std::string_view s) {
        out_ += '"';
        out_ += escape(s);
        out_ += '"';
    }
    std::string out_;
};

} // namespace kestrova
