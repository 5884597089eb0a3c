#pragma once
// Planned survey lines: the ".lnw" text files the operator steers along, and
// the one line file the navigation view has loaded with its current line.
//
// File layout (8-bit text, CR LF or LF line ends, C-locale numbers):
//   LNS n            number of lines, 1..65535
//   then n times:  LIN m / m times "PTS x y" (easting, northing) / LNN name / EOL
//
// Files come from other machines and hand edits, so the reader bounds every
// count by what the file can hold and refuses a file that ends early or holds
// a number it cannot read, instead of inventing (0, 0) points.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::navigation {

struct LinePoint {
    double x = 0.0; // easting, metres of the project grid
    double y = 0.0; // northing
    bool operator==(const LinePoint&) const = default;
};

struct SurveyLine {
    std::string name;
    std::vector<LinePoint> points;
    bool operator==(const SurveyLine&) const = default;
};

constexpr int kMaxLines = 65535;
// More points than any survey plan holds; a count beyond it is not a line file.
constexpr std::int64_t kMaxPointsPerLine = 1'000'000;

enum class LineFileError {
    None,
    OpenFailed, // missing, unreadable or too big
    Flag,       // first keyword is not "LNS"
    LineCount,  // n outside 1..65535 or unreadable
    Body,       // a point count, a number or a record is missing or unreadable
};

struct LineFileParse {
    LineFileError error = LineFileError::None;
    std::vector<SurveyLine> lines;
    bool ok() const { return error == LineFileError::None; }
};

// Parses the whole text of a line file.
LineFileParse parseLineFile(std::string_view text);
// Reads and parses a file (OpenFailed when it cannot be read).
LineFileParse readLineFileText(const std::string& path);
// The file text, CR LF line ends, six decimals, C locale.
std::string formatLineFile(const std::vector<SurveyLine>& lines);

// The main frame's messages for a refused file (Chinese, English).
struct MessagePair {
    std::string chinese;
    std::string english;
};
MessagePair mainFrameReadMessage(LineFileError error, const std::string& path);

// Writes the lines through a temporary file renamed over `path`. Refuses an
// empty list (the reader would refuse the file). False on any failure, with
// the old file untouched.
bool writeLineFileAtomically(const std::string& path, const std::vector<SurveyLine>& lines,
                             std::string* error = nullptr);

// Copies `source` to `target` through a temporary file and a rename, so a
// failed copy never loses the file already in the navigation folder.
bool copyFileAtomically(const std::string& source, const std::string& target,
                        std::string* error = nullptr);

// The navigation line set: at most one loaded file, its current line.
class NavigationLineSet {
  public:
    // Replaces the set only when `lines` is not empty; indices become 0.
    void replace(std::string path, bool display, std::vector<SurveyLine> lines);
    void clear();

    bool loaded() const { return fileIndex_ >= 0; }
    int fileIndex() const { return fileIndex_; }
    int lineIndex() const { return lineIndex_; }
    const std::string& path() const { return path_; }
    bool display() const { return display_; }
    const std::vector<SurveyLine>& lines() const { return lines_; }
    // The current line, or nullptr with nothing loaded.
    const SurveyLine* currentLine() const;

    // False with nothing loaded ("No line is loaded"); otherwise step with wrap.
    bool previous();
    bool next();

  private:
    std::string path_;
    bool display_ = false;
    std::vector<SurveyLine> lines_;
    int fileIndex_ = -1;
    int lineIndex_ = -1;
};

// "LNW" / "DXF" by the last three characters, compared in upper case.
bool isLineFileName(std::string_view path);
bool isDxfFileName(std::string_view path);
// The file name after the last '/' or '\'.
std::string fileNameOf(std::string_view path);

} // namespace kestrova::navigation
