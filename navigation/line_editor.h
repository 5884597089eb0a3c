#pragma once
// The survey line editor's rules, without a window: the working list of lines
// with its selection and modified flag, line names, points typed in grid or
// geographic coordinates, and the parallel and shifted copies of a two-point
// reference line. The editor dialog and `kestrova-cli lines` both use them.
//
// Generated lines: "left" is to the left of a surveyor travelling from the
// reference line's first point to its second. Parallel lines go around the
// reference so the list runs across the block from left to right (farthest
// left first, then the reference, then the right-hand lines, nearest first);
// shifted copies follow the reference line in order of their shift. Every
// line is then renamed "1", "2", ... in list order.

#include "app/config/message.h"
#include "navigation/line_operations.h"
#include "navigation/survey_line.h"
#include "position/geodesy_engine.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::navigation {

// ---- names -------------------------------------------------------------------

// One more than the number in the last line's name; "1" for the first line.
std::string nextLineName(const std::vector<SurveyLine>& lines);
// Names every line "1", "2", ... in list order.
void renameLines(std::vector<SurveyLine>& lines);

// ---- geographic text -----------------------------------------------------------

// "DD MM SS.ssss H" (latitude, N or S) or "DDD MM SS.ssss H" (longitude, E or
// W): degrees and minutes whole, seconds decimal, fields separated by spaces.
// Minutes and seconds below 60, at most 90 degrees of latitude and 180 of
// longitude. Degrees, south and west negative; nullopt when not so.
std::optional<double> parseLatitude(std::string_view text);
std::optional<double> parseLongitude(std::string_view text);
// "%02d %02d %02.6f N" and "%03d %02d %02.6f E"; the seconds are rounded
// before the fields are split, so a value never shows 60 seconds.
std::string formatLatitude(double degrees);
std::string formatLongitude(double degrees);

// The project grid through the program's geodesy engine, at height 0.
LinePoint geographicToGrid(const position::GeodesyEngine& engine, double latitude,
                           double longitude);
struct Geographic {
    double latitude = 0.0;
    double longitude = 0.0;
};
Geographic gridToGeographic(const position::GeodesyEngine& engine, LinePoint point);

// ---- offset lines ---------------------------------------------------------------

constexpr int kMaxOffsetCount = 500;

enum class ReferenceError {
    None,
    NoSelection,   // "Please select a reference line first!"
    TooFewPoints,  // fewer than two points
    TooManyPoints, // more than two
    ZeroLength,    // both points the same: no direction to offset from
};
ReferenceError checkReference(const std::vector<SurveyLine>& lines, int selected);
MessagePair referenceMessage(ReferenceError error);

// The reference line moved k x spacing to the left or right, k = 1..count
// (nearest first). The reference must pass checkReference.
std::vector<SurveyLine> parallelLines(const SurveyLine& reference, int count, double spacing,
                                      bool left);
// Copies moved by (k x east, k x north), k = 1..count.
std::vector<SurveyLine> shiftedLines(const SurveyLine& reference, int count, double east,
                                     double north);
// Puts the lines in place around list[reference] (see the file comment) and
// renames every line. Returns the index the reference line has now.
int insertParallel(std::vector<SurveyLine>& lines, int reference, std::vector<SurveyLine> left,
                   std::vector<SurveyLine> right);
int insertShifted(std::vector<SurveyLine>& lines, int reference, std::vector<SurveyLine> copies);

// ---- the working list -------------------------------------------------------------

enum class CoordinateMode { Grid, Geographic };

struct ParallelParams {
    int left = 2;
    int right = 2;
    double spacing = 3.5;
};
struct ShiftParams {
    int count = 2;
    double east = 3.5;  // x
    double north = 3.5; // y
};

enum class SaveAnswer { Saved, Discarded, Cancelled };

class LineEditor {
  public:
    // `engine` converts typed and shown geographic coordinates (the program's one engine).
    LineEditor(app::Messenger& messenger, const position::GeodesyEngine& engine);

    std::vector<SurveyLine>& lines() { return lines_; }
    const std::vector<SurveyLine>& lines() const { return lines_; }
    // The selected line, shared with the navigation view's add-point mode (-1 none).
    int& selectedLine() { return selectedLine_; }
    int selectedLine() const { return selectedLine_; }
    int selectedPoint() const { return selectedPoint_; }
    void selectLine(int index);
    void selectPoint(int index);
    const std::string& path() const { return path_; }
    bool modified() const { return modified_; }
    void setModified() { modified_ = true; }
    CoordinateMode mode() const { return mode_; }
    void setMode(CoordinateMode mode) { mode_ = mode; }

    // "Lines num:%d".
    std::string countText() const;
    // The two columns' captions and a point's two texts in the current mode.
    std::pair<std::string, std::string> columnCaptions() const;
    std::pair<std::string, std::string> pointTexts(const LinePoint& point) const;
    // The status note of the current mode.
    std::string noteText() const;
    // The example texts of the input fields (insert: true for the insert ones).
    std::pair<std::string, std::string> exampleTexts(bool insert) const;

    // One empty line named "1", no file.
    void newList();
    // read_line_file: the list is emptied first, so a refused file leaves it empty.
    bool read_line_file(const std::string& path);
    // write_line_file: writes the list; the path becomes the list's file.
    bool write_line_file(const std::string& path);
    // Hands the saved file to the navigation display (copy into Navi, load,
    // remember CurLine). Without a project folder the file is loaded where it is.
    bool sendToNavigation(NavigationLineSet& set, const ImportPlace& place);
    // With unsaved changes asks "Save changes to %s" / "Save Changes?"; Yes
    // calls `save` (which writes and sends), and its failure counts as Cancelled.
    template <typename Save> SaveAnswer askToSave(Save save);

    void addLine();
    bool deleteLine();
    // Typed coordinates (x east and y north, or latitude and longitude texts).
    bool addPoint(std::string_view first, std::string_view second);
    bool insertPoint(std::string_view first, std::string_view second);
    // A cell of the point list edited in place (column 0 or 1).
    bool editPoint(int point, int column, std::string_view text);
    bool deletePoint();

    // The offset sheet's two pages. Each checks the reference line first;
    // true when lines were generated ("Offset completed" shown).
    bool offsetParallel(const ParallelParams& params);
    bool offsetShift(const ShiftParams& params);

  private:
    std::optional<LinePoint> typedPoint(std::string_view first, std::string_view second);
    bool checkedReference();
    void warn(std::string_view chinese, std::string_view english);

    app::Messenger& messenger_;
    const position::GeodesyEngine& engine_;
    std::vector<SurveyLine> lines_;
    int selectedLine_ = -1;
    int selectedPoint_ = -1;
    std::string path_;
    bool modified_ = false;
    CoordinateMode mode_ = CoordinateMode::Grid;
};

// Shown before asking to save.
int askSaveChanges(app::Messenger& messenger, const std::string& path);

template <typename Save> SaveAnswer LineEditor::askToSave(Save save) {
    if (!modified_) return SaveAnswer::Discarded;
    const int answer = askSaveChanges(messenger_, path_);
    if (answer == app::IDCANCEL) return SaveAnswer::Cancelled;
    if (answer != app::IDYES) return SaveAnswer::Discarded;
    return save() ? SaveAnswer::Saved : SaveAnswer::Cancelled;
}

} // namespace kestrova::navigation
