#include "platform/ini.h"

#include "platform/fs.h"

#include <cstring>

namespace kestrova::platform {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

std::string_view unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// Cuts to at most `limit` bytes without leaving half a UTF-8 character behind.
std::string cutToBuffer(std::string_view v, std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    std::size_t limit = bufferSize - 1;
    if (v.size() <= limit) return std::string(v);
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(v[cut]) & 0xC0) == 0x80)
        --cut;
    return std::string(v.substr(0, cut));
}

bool hasLineBreakOrNul(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

int leadingInt(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && (isBlank(s[i]) || s[i] == '\n'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    std::uint32_t v = 0; // wraps like the 32-bit conversion it stands for
    auto hexDigit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    if (i + 2 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') &&
        hexDigit(s[i + 2]) >= 0) {
        for (i += 2; i < s.size() && hexDigit(s[i]) >= 0; ++i)
            v = v * 16u + static_cast<std::uint32_t>(hexDigit(s[i]));
    } else {
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
            v = v * 10u + static_cast<std::uint32_t>(s[i] - '0');
    }
    if (negative) v = 0u - v;
    return static_cast<int>(v);
}

} // namespace

IniDocument::Line IniDocument::classify(std::string text, std::string eol) {
    Line line;
    line.eol = std::move(eol);
    std::string_view t = trim(text);
    if (!t.empty() && t.front() == '[') {
        std::string_view inner = t.substr(1);
        auto close = inner.find(']');
        if (close != std::string_view::npos) inner = inner.substr(0, close);
        line.kind = Kind::Section;
        line.name = std::string(trim(inner));
    } else if (!t.empty() && t.front() != ';' && t.front() != '#') {
        auto eq = t.find('=');
        if (eq != std::string_view::npos) {
            std::string_view key = trim(t.substr(0, eq));
            if (!key.empty()) {
                line.kind = Kind::Key;
                line.name = std::string(key);
                line.value = std::string(trim(t.substr(eq + 1)));
            }
        }
    }
    line.text = std::move(text);
    return line;
}

IniDocument IniDocument::parse(std::string_view text) {
    IniDocument doc;
    if (text.starts_with(kBom)) {
        doc.bom_ = true;
        text.remove_prefix(kBom.size());
    }
    bool newlineSeen = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        std::string_view body;
        std::string eol;
        if (nl == std::string_view::npos) {
            body = text.substr(pos);
            pos = text.size();
        } else {
            body = text.substr(pos, nl - pos);
            pos = nl + 1;
            eol = "\n";
            if (!body.empty() && body.back() == '\r') {
                body.remove_suffix(1);
                eol = "\r\n";
            }
            if (!newlineSeen) {
                doc.newline_ = eol;
                newlineSeen = true;
            }
        }
        doc.lines_.push_back(classify(std::string(body), std::move(eol)));
    }
    return doc;
}

std::string IniDocument::serialize() const {
    std::string out;
    if (bom_) out.append(kBom);
    for (const auto& line : lines_) {
        out.append(line.text);
        out.append(line.eol);
    }
    return out;
}

std::size_t IniDocument::findSection(std::string_view section) const {
    section = trim(section);
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].kind == Kind::Section && sameName(lines_[i].name, section)) return i;
    return std::string::npos;
}

std::size_t IniDocument::sectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < lines_.size() && lines_[i].kind != Kind::Section)
        ++i;
    return i;
}

std::size_t IniDocument::findKey(std::size_t header, std::string_view key) const {
    key = trim(key);
    std::size_t end = sectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i)
        if (lines_[i].kind == Kind::Key && sameName(lines_[i].name, key)) return i;
    return std::string::npos;
}

std::optional<std::string> IniDocument::value(std::string_view section,
                                              std::string_view key) const {
    std::size_t header = findSection(section);
    if (header == std::string::npos) return std::nullopt;
    std::size_t at = findKey(header, key);
    if (at == std::string::npos) return std::nullopt;
    return std::string(unquote(lines_[at].value));
}

std::string IniDocument::readString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, std::size_t bufferSize) const {
    auto v = value(section, key);
    if (v) return cutToBuffer(*v, bufferSize);
    return cutToBuffer(trimRight(defaultValue), bufferSize);
}

int IniDocument::readInt(std::string_view section, std::string_view key, int defaultValue) const {
    auto v = value(section, key);
    if (!v) return defaultValue;
    return leadingInt(*v);
}

void IniDocument::appendLine(std::string text, std::size_t at) {
    if (at > 0 && lines_[at - 1].eol.empty()) lines_[at - 1].eol = newline_;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                  classify(std::move(text), newline_));
}

bool IniDocument::writeString(std::string_view section, std::string_view key,
                              std::string_view value) {
    section = trim(section);
    key = trim(key);
    if (section.empty() || key.empty()) return false;
    if (hasLineBreakOrNul(section) || hasLineBreakOrNul(key) || hasLineBreakOrNul(value))
        return false;
    if (section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos)
        return false;
    if (key.front() == '[' || key.front() == ';' || key.front() == '#') return false;

    std::string entry = std::string(key) + "=" + std::string(value);
    std::size_t header = findSection(section);
    if (header == std::string::npos) {
        appendLine("[" + std::string(section) + "]", lines_.size());
        appendLine(std::move(entry), lines_.size());
        return true;
    }
    std::size_t at = findKey(header, key);
    if (at != std::string::npos) {
        std::string eol = lines_[at].eol;
        lines_[at] = classify(std::move(entry), std::move(eol));
        return true;
    }
    // New keys go after the section's last non-blank line, so the blank line
    // that separates it from the next section stays where it was.
    std::size_t pos = sectionEnd(header);
    while (pos > header + 1 && trim(lines_[pos - 1].text).empty())
        --pos;
    appendLine(std::move(entry), pos);
    return true;
}

bool IniDocument::removeKey(std::string_view section, std::string_view key) {
    std::size_t header = findSection(section);
    if (header == std::string::npos) return false;
    std::size_t at = findKey(header, key);
    if (at == std::string::npos) return false;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(at));
    return true;
}

bool IniDocument::removeSection(std::string_view section) {
    std::size_t header = findSection(section);
    if (header == std::string::npos) return false;
    std::size_t end = sectionEnd(header);
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(end));
    return true;
}

bool IniDocument::hasSection(std::string_view section) const {
    return findSection(section) != std::string::npos;
}

std::vector<std::string> IniDocument::sectionNames() const {
    std::vector<std::string> names;
    for (const auto& line : lines_)
        if (line.kind == Kind::Section) names.push_back(line.name);
    return names;
}

std::vector<std::string> IniDocument::keyNames(std::string_view section) const {
    std::vector<std::string> names;
    std::size_t header = findSection(section);
    if (header == std::string::npos) return names;
    std::size_t end = sectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i)
        if (lines_[i].kind == Kind::Key) names.push_back(lines_[i].name);
    return names;
}

bool IniFile::load() {
    auto r = readWholeFile(path_);
    switch (r.status) {
    case FileReadResult::Status::Ok:
        doc_ = IniDocument::parse(r.content);
        existed_ = true;
        loaded_ = true;
        error_.clear();
        return true;
    case FileReadResult::Status::Missing:
        doc_ = IniDocument();
        existed_ = false;
        loaded_ = true;
        error_.clear();
        return true;
    case FileReadResult::Status::Failed:
        break;
    }
    loaded_ = false;
    error_ = r.error;
    return false;
}

bool IniFile::commit() {
    if (!loaded_) {
        if (error_.empty()) error_ = "not loaded: " + path_;
        return false;
    }
    if (!writeFileAtomically(path_, doc_.serialize(), &error_)) return false;
    existed_ = true;
    return true;
}

std::uint32_t GetPrivateProfileStringA(std::string_view section, std::string_view key,
                                       std::string_view defaultValue, char* buffer,
                                       std::uint32_t bufferSize, const std::string& path) {
    if (buffer == nullptr || bufferSize == 0) return 0;
    std::string v = GetPrivateProfileStringA(section, key, defaultValue, bufferSize, path);
    std::memcpy(buffer, v.data(), v.size());
    buffer[v.size()] = '\0';
    return static_cast<std::uint32_t>(v.size());
}

std::string GetPrivateProfileStringA(std::string_view section, std::string_view key,
                                     std::string_view defaultValue, std::uint32_t bufferSize,
                                     const std::string& path) {
    IniFile file(path);
    file.load(); // an unreadable file reads like a missing one: the default
    return file.document().readString(section, key, defaultValue, bufferSize);
}

int GetPrivateProfileIntA(std::string_view section, std::string_view key, int defaultValue,
                          const std::string& path) {
    IniFile file(path);
    file.load();
    return file.document().readInt(section, key, defaultValue);
}

bool WritePrivateProfileStringA(std::string_view section, const char* key, const char* value,
                                const std::string& path) {
    IniFile file(path);
    if (!file.load()) return false;
    auto& doc = file.document();
    if (key == nullptr) {
        if (!doc.removeSection(section)) return true; // nothing to remove is not a failure
    } else if (value == nullptr) {
        if (!doc.removeKey(section, key)) return true;
    } else if (!doc.writeString(section, key, value)) {
        return false;
    }
    return file.commit();
}

} // namespace kestrova::platform
