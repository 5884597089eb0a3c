#include "navigation/survey_line.h"

#include "platform/fs.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace kestrova::navigation {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Splits the text into lines, each without its CR LF or LF.
std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// The text after the first space (empty when there is none).
std::string_view afterFirstSpace(std::string_view line) {
    std::size_t sp = line.find(' ');
    return sp == std::string_view::npos ? std::string_view{} : line.substr(sp + 1);
}

bool parseWholeInt(std::string_view s, std::int64_t& out) {
    s = trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && ptr == s.data() + s.size();
}

// A decimal in the C locale. `prefixOk`: the number may be followed by more
// words (a point line with three numbers takes the first as x).
bool parseNumber(std::string_view s, double& out, bool prefixOk) {
    s = trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    auto [ptr, ec] =
        std::from_chars(s.data(), s.data() + s.size(), out, std::chars_format::general);
    if (ec != std::errc() || !std::isfinite(out)) return false;
    if (ptr == s.data() + s.size()) return true;
    return prefixOk && isBlank(*ptr);
}

void appendFixed(std::string& out, double v) {
    char buf[400]; // the largest double has 309 digits before the point
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    if (ec != std::errc()) {
        out += "0.000000";
        return;
    }
    out.append(buf, ptr);
}

std::string upperTail3(std::string_view path) {
    std::string tail(path.size() >= 3 ? path.substr(path.size() - 3) : path);
    for (char& c : tail)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return tail;
}

} // namespace

LineFileParse parseLineFile(std::string_view text) {
    LineFileParse result;
    const std::vector<std::string_view> lines = splitLines(text);
    if (lines.empty()) {
        result.error = LineFileError::Flag;
        return result;
    }
    std::string_view first = trim(lines[0]);
    if (first.substr(0, first.find(' ')) != "LNS") {
        result.error = LineFileError::Flag;
        return result;
    }
    std::int64_t n = 0;
    if (!parseWholeInt(afterFirstSpace(first), n) || n < 1 || n > kMaxLines) {
        result.error = LineFileError::LineCount;
        return result;
    }
    // Each line takes at least three records (LIN, LNN, EOL); a count the file
    // cannot hold is refused before anything is reserved.
    std::size_t at = 1;
    auto remaining = [&] { return lines.size() - at; };
    if (static_cast<std::uint64_t>(n) * 3 > remaining()) {
        result.error = LineFileError::Body;
        return result;
    }
    std::vector<SurveyLine> parsed;
    parsed.reserve(static_cast<std::size_t>(n));
    for (std::int64_t i = 0; i < n; ++i) {
        if (remaining() < 3) break;
        std::int64_t m = 0;
        if (!parseWholeInt(afterFirstSpace(trim(lines[at])), m) || m < 0 || m > kMaxPointsPerLine ||
            static_cast<std::uint64_t>(m) + 2 > remaining() - 1) {
            result.error = LineFileError::Body;
            return result;
        }
        ++at;
        SurveyLine line;
        line.points.reserve(static_cast<std::size_t>(m));
        for (std::int64_t k = 0; k < m; ++k) {
            std::string_view pts = trim(lines[at++]);
            std::size_t firstSp = pts.find(' ');
            std::size_t lastSp = pts.rfind(' ');
            if (firstSp == std::string_view::npos || lastSp <= firstSp) {
                result.error = LineFileError::Body;
                return result;
            }
            LinePoint p;
            if (!parseNumber(pts.substr(firstSp + 1, lastSp - firstSp - 1), p.x, true) ||
                !parseNumber(pts.substr(lastSp + 1), p.y, false)) {
                result.error = LineFileError::Body;
                return result;
            }
            line.points.push_back(p);
        }
        std::string_view nameLine = lines[at++];
        while (!nameLine.empty() && isBlank(nameLine.back()))
            nameLine.remove_suffix(1);
        line.name = std::string(afterFirstSpace(nameLine));
        ++at; // "EOL"
        parsed.push_back(std::move(line));
    }
    if (parsed.size() != static_cast<std::size_t>(n)) {
        result.error = LineFileError::Body;
        return result;
    }
    result.lines = std::move(parsed);
    return result;
}

LineFileParse readLineFileText(const std::string& path) {
    platform::FileReadResult file = platform::readWholeFile(path);
    if (file.status != platform::FileReadResult::Status::Ok) {
        LineFileParse failed;
        failed.error = LineFileError::OpenFailed;
        return failed;
    }
    return parseLineFile(file.content);
}

std::string formatLineFile(const std::vector<SurveyLine>& lines) {
    std::string out = "LNS " + std::to_string(lines.size()) + "\r\n";
    for (const SurveyLine& line : lines) {
        out += "LIN " + std::to_string(line.points.size()) + "\r\n";
        for (const LinePoint& p : line.points) {
            out += "PTS ";
            appendFixed(out, p.x);
            out += ' ';
            appendFixed(out, p.y);
            out += "\r\n";
        }
        out += "LNN " + line.name + "\r\nEOL\r\n";
    }
    return out;
}

MessagePair mainFrameReadMessage(LineFileError error, const std::string& path) {
    switch (error) {
    case LineFileError::None:
        return {};
    case LineFileError::OpenFailed:
        return {"读取文件失败 : \"" + path + "\"。", "Failed to read the file : \"" + path + "\"."};
    case LineFileError::Flag:
    case LineFileError::LineCount:
    case LineFileError::Body:
        break;
    }
    return {"测线文件格式错误", "Line file format error"};
}

bool writeLineFileAtomically(const std::string& path, const std::vector<SurveyLine>& lines,
                             std::string* error) {
    if (lines.empty()) {
        if (error) *error = "no lines to write";
        return false;
    }
    return platform::writeFileAtomically(path, formatLineFile(lines), error);
}

bool copyFileAtomically(const std::string& source, const std::string& target, std::string* error) {
    platform::FileReadResult file = platform::readWholeFile(source);
    if (file.status != platform::FileReadResult::Status::Ok) {
        if (error) *error = file.error.empty() ? "cannot read " + source : file.error;
        return false;
    }
    return platform::writeFileAtomically(target, file.content, error);
}

void NavigationLineSet::replace(std::string path, bool display, std::vector<SurveyLine> lines) {
    if (lines.empty()) return;
    path_ = std::move(path);
    display_ = display;
    lines_ = std::move(lines);
    fileIndex_ = 0;
    lineIndex_ = 0;
}

void NavigationLineSet::clear() {
    path_.clear();
    display_ = false;
    lines_.clear();
    fileIndex_ = -1;
    lineIndex_ = -1;
}

const SurveyLine* NavigationLineSet::currentLine() const {
    if (!loaded() || lineIndex_ < 0 || static_cast<std::size_t>(lineIndex_) >= lines_.size())
        return nullptr;
    return &lines_[static_cast<std::size_t>(lineIndex_)];
}

bool NavigationLineSet::previous() {
    if (!loaded() || lines_.empty()) return false;
    lineIndex_ = lineIndex_ <= 0 ? static_cast<int>(lines_.size()) - 1 : lineIndex_ - 1;
    return true;
}

bool NavigationLineSet::next() {
    if (!loaded() || lines_.empty()) return false;
    lineIndex_ = lineIndex_ + 1 >= static_cast<int>(lines_.size()) ? 0 : lineIndex_ + 1;
    return true;
}

bool isLineFileName(std::string_view path) {
    return upperTail3(path) == "LNW";
}
bool isDxfFileName(std::string_view path) {
    return upperTail3(path) == "DXF";
}

std::string fileNameOf(std::string_view path) {
    std::size_t slash = path.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

} // namespace kestrova::navigation
