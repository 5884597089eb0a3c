#pragma once
// Private-profile ("INI") files, with the behaviour the settings code was
// written against:
// - section and key names match without regard to ASCII case; blanks around
//   names and values are ignored; lines starting with ';' or '#' are comments;
// - a read of a missing file, section or key gives the caller's default (with
//   its trailing blanks removed);
// - a read removes one pair of matching single or double quotes around the
//   value, and delivers at most bufferSize - 1 bytes of it, as a read into a
//   fixed buffer does (never splitting a UTF-8 character);
// - a write creates the file and section as needed, replaces the key's line in
//   place or appends the key at the end of its section, and keeps every other
//   line (sections, keys, comments, blank lines) byte for byte and in order;
// - only the first section of a given name is read and written.
// Values are UTF-8 text. Files may use CR LF or LF line ends; a file keeps the
// style it has, and a new file gets CR LF like the program's files always had.
//
// A document is edited in memory; IniFile loads one from disk and commits it
// back in one atomic replacement (see platform/fs.h), so a batch of writes (a
// whole settings section) reaches the disk all together or not at all.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::platform {

class IniDocument {
  public:
    IniDocument() = default;
    static IniDocument parse(std::string_view text);
    std::string serialize() const;

    // The value as a read sees it (trimmed, one pair of quotes removed), uncut;
    // nullopt when the section or key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // GetPrivateProfileStringA into a buffer of `bufferSize` bytes: the value or
    // the default, cut to bufferSize - 1 bytes (0 when bufferSize is 0).
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue, std::size_t bufferSize) const;
    // GetPrivateProfileIntA: the default for a missing key; otherwise the leading
    // number of the value (decimal with optional sign, or hexadecimal after 0x),
    // 0 when there is none.
    int readInt(std::string_view section, std::string_view key, int defaultValue) const;

    // WritePrivateProfileStringA. False (and nothing changed) when a name is
    // empty or a name or the value holds a line break or NUL, which would
    // corrupt the file; also when the key contains '=' or the section ']'.
    bool writeString(std::string_view section, std::string_view key, std::string_view value);
    // Removes the key's line; true when it existed.
    bool removeKey(std::string_view section, std::string_view key);
    // Removes the section header and everything up to the next section; true when it existed.
    bool removeSection(std::string_view section);

    bool hasSection(std::string_view section) const;
    std::vector<std::string> sectionNames() const;
    std::vector<std::string> keyNames(std::string_view section) const;

  private:
    enum class Kind : std::uint8_t { Other, Section, Key };
    struct Line {
        std::string text; // the line without its line end, as in the file
        std::string eol;  // "\r\n", "\n", or empty for a last line without one
        Kind kind = Kind::Other;
        std::string name;  // trimmed section or key name
        std::string value; // trimmed raw value of a key line
    };
    static Line classify(std::string text, std::string eol);
    // Index of the first header of `section`, or npos.
    std::size_t findSection(std::string_view section) const;
    // One past the last line of the section starting at header index `header`.
    std::size_t sectionEnd(std::size_t header) const;
    std::size_t findKey(std::size_t header, std::string_view key) const;
    void appendLine(std::string text, std::size_t at);

    std::vector<Line> lines_;
    std::string newline_ = "\r\n"; // line end for lines this program adds
    bool bom_ = false;             // a UTF-8 byte order mark leads the file
};

// One file on disk, loaded for reading or for a batch of writes.
class IniFile {
  public:
    explicit IniFile(std::string path) : path_(std::move(path)) {}
    // Loads the file. A missing file is an empty document (true); false when the
    // file exists but cannot be read (then commit() refuses, so a file we could
    // not read is never replaced by a partial one).
    bool load();
    bool loaded() const { return loaded_; }
    bool existed() const { return existed_; }
    IniDocument& document() { return doc_; }
    const IniDocument& document() const { return doc_; }
    // Writes the document back in one atomic replacement; false on any failure,
    // with error() saying why. The file on disk is then unchanged.
    bool commit();
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

  private:
    std::string path_;
    IniDocument doc_;
    std::string error_;
    bool loaded_ = false;
    bool existed_ = false;
};

// The private-profile calls on a file path, each a complete load (and, for a
// write, an atomic commit). Batches of writes should use IniFile instead.
std::uint32_t GetPrivateProfileStringA(std::string_view section, std::string_view key,
                                       std::string_view defaultValue, char* buffer,
                                       std::uint32_t bufferSize, const std::string& path);
std::string GetPrivateProfileStringA(std::string_view section, std::string_view key,
                                     std::string_view defaultValue, std::uint32_t bufferSize,
                                     const std::string& path);
int GetPrivateProfileIntA(std::string_view section, std::string_view key, int defaultValue,
                          const std::string& path);
// A null key removes the whole section; a null value removes the key.
bool WritePrivateProfileStringA(std::string_view section, const char* key, const char* value,
                                const std::string& path);

} // namespace kestrova::platform
