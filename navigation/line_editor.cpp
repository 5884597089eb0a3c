#include "navigation/line_editor.h"

#include "platform/fs.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace kestrova::navigation {
namespace {

// Below this both coordinate differences mean the two points are one.
constexpr double kSamePoint = 1e-8;
// Spacings and shifts below this are no move at all.
constexpr double kNoMove = 1e-7;

std::vector<std::string_view> splitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t')
            ++i;
        if (i > start) fields.push_back(text.substr(start, i - start));
    }
    return fields;
}

bool wholeNumber(std::string_view s, int& out) {
    if (s.empty() || s.size() > 3) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && ptr == s.data() + s.size();
}

bool decimalNumber(std::string_view s, double& out) {
    if (s.empty() || s.front() == '-' || s.front() == '+') return false;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), out, std::chars_format::fixed);
    return ec == std::errc() && ptr == s.data() + s.size() && std::isfinite(out);
}

// Degrees, minutes, seconds and a hemisphere letter; `limit` is 90 or 180.
std::optional<double> parseAngle(std::string_view text, double limit, char positive,
                                 char negative) {
    const std::vector<std::string_view> f = splitFields(text);
    if (f.size() != 4) return std::nullopt;
    int degrees = 0, minutes = 0;
    double seconds = 0.0;
    if (!wholeNumber(f[0], degrees) || !wholeNumber(f[1], minutes) ||
        !decimalNumber(f[2], seconds) || f[3].size() != 1)
        return std::nullopt;
    const char h = static_cast<char>(f[3][0] & ~0x20); // upper case
    if (h != positive && h != negative) return std::nullopt;
    if (minutes >= 60 || seconds >= 60.0) return std::nullopt;
    const double value = degrees + minutes / 60.0 + seconds / 3600.0;
    if (value > limit) return std::nullopt;
    return h == negative ? -value : value;
}

std::string formatAngle(double degrees, bool longitude) {
    const char hemisphere = longitude ? (degrees < 0 ? 'W' : 'E') : (degrees < 0 ? 'S' : 'N');
    // Rounded to the shown microsecond first: 59.9999997 s becomes the next minute.
    const double micro = std::round(std::fabs(degrees) * 3600.0 * 1e6);
    const long long wholeSeconds = static_cast<long long>(micro / 1e6);
    const double fraction = (micro - static_cast<double>(wholeSeconds) * 1e6) / 1e6;
    const long long d = wholeSeconds / 3600;
    const long long m = (wholeSeconds / 60) % 60;
    const double s = static_cast<double>(wholeSeconds % 60) + fraction;
    char buf[64];
    std::snprintf(buf, sizeof buf,
                  longitude ? "%03lld %02lld %02.6f %c" : "%02lld %02lld %02.6f %c", d, m, s,
                  hemisphere);
    return buf;
}

LinePoint moved(LinePoint p, double dx, double dy) {
    return {p.x + dx, p.y + dy};
}

std::string formatGrid(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    return buf;
}

bool parseGridNumber(std::string_view s, double& out) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && ptr == s.data() + s.size() && std::isfinite(out);
}

} // namespace

std::string nextLineName(const std::vector<SurveyLine>& lines) {
    if (lines.empty()) return "1";
    // The name read as an integer, as the map labels it; no number counts as 0.
    long long n = 0;
    const std::string& name = lines.back().name;
    std::size_t i = 0;
    while (i < name.size() && name[i] == ' ')
        ++i;
    std::from_chars(name.data() + i, name.data() + name.size(), n);
    return std::to_string(n + 1);
}

void renameLines(std::vector<SurveyLine>& lines) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        lines[i].name = std::to_string(i + 1);
}

std::optional<double> parseLatitude(std::string_view text) {
    return parseAngle(text, 90.0, 'N', 'S');
}
std::optional<double> parseLongitude(std::string_view text) {
    return parseAngle(text, 180.0, 'E', 'W');
}
std::string formatLatitude(double degrees) {
    return formatAngle(degrees, false);
}
std::string formatLongitude(double degrees) {
    return formatAngle(degrees, true);
}

LinePoint geographicToGrid(const position::GeodesyEngine& engine, double latitude,
                           double longitude) {
    const position::GridPoint g = engine.forward(latitude, longitude, 0.0);
    return {g.y, g.x}; // the engine gives northing first; a line point is easting first
}

Geographic gridToGeographic(const position::GeodesyEngine& engine, LinePoint point) {
    const tessmark::GeoPoint g = engine.inverse(point.y, point.x, 0.0);
    return {g.latitude, g.longitude};
}

ReferenceError checkReference(const std::vector<SurveyLine>& lines, int selected) {
    if (selected < 0 || static_cast<std::size_t>(selected) >= lines.size())
        return ReferenceError::NoSelection;
    const SurveyLine& ref = lines[static_cast<std::size_t>(selected)];
    if (ref.points.size() < 2) return ReferenceError::TooFewPoints;
    if (ref.points.size() > 2) return ReferenceError::TooManyPoints;
    if (std::fabs(ref.points[1].x - ref.points[0].x) < kSamePoint &&
        std::fabs(ref.points[1].y - ref.points[0].y) < kSamePoint)
        return ReferenceError::ZeroLength;
    return ReferenceError::None;
}

MessagePair referenceMessage(ReferenceError error) {
    switch (error) {
    case ReferenceError::None:
        return {};
    case ReferenceError::NoSelection:
        return {"请先选择一条参考线！", "Please select a reference line first!"};
    case ReferenceError::TooFewPoints:
        return {"所选参考线的点数少于2！",
                "The number of point in the selected reference line less than 2!"};
    case ReferenceError::TooManyPoints:
        return {"当前版本只支持点数等于2！",
                "The current version only supports point number equal to 2!"};
    case ReferenceError::ZeroLength:
        return {"参考线的两个点重合，无法确定方向！",
                "The two points of the reference line are the same: it has no direction!"};
    }
    return {};
}

std::vector<SurveyLine> parallelLines(const SurveyLine& reference, int count, double spacing,
                                      bool left) {
    std::vector<SurveyLine> out;
    if (reference.points.size() != 2) return out;
    const LinePoint a = reference.points[0], b = reference.points[1];
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length = std::hypot(dx, dy);
    if (length < kSamePoint) return out;
    // Left of travel from the first point to the second is the direction
    // turned a quarter anticlockwise (easting, northing axes).
    double nx = -dy / length, ny = dx / length;
    if (!left) nx = -nx, ny = -ny;
    const double step = std::fabs(spacing);
    for (int k = 1; k <= count; ++k) {
        const double d = k * step;
        out.push_back({reference.name, {moved(a, nx * d, ny * d), moved(b, nx * d, ny * d)}});
    }
    return out;
}

std::vector<SurveyLine> shiftedLines(const SurveyLine& reference, int count, double east,
                                     double north) {
    std::vector<SurveyLine> out;
    for (int k = 1; k <= count; ++k) {
        SurveyLine copy = reference;
        for (LinePoint& p : copy.points)
            p = moved(p, k * east, k * north);
        out.push_back(std::move(copy));
    }
    return out;
}

int insertParallel(std::vector<SurveyLine>& lines, int reference, std::vector<SurveyLine> left,
                   std::vector<SurveyLine> right) {
    const auto at = static_cast<std::ptrdiff_t>(reference);
    // Farthest left first, so the block reads left to right.
    lines.insert(lines.begin() + at + 1, right.begin(), right.end());
    lines.insert(lines.begin() + at, left.rbegin(), left.rend());
    renameLines(lines);
    return reference + static_cast<int>(left.size());
}

int insertShifted(std::vector<SurveyLine>& lines, int reference, std::vector<SurveyLine> copies) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(reference) + 1, copies.begin(),
                 copies.end());
    renameLines(lines);
    return reference;
}

int askSaveChanges(app::Messenger& messenger, const std::string& path) {
    const unsigned flags = app::mb::kIconWarning | app::mb::kYesNoCancel;
    if (path.empty()) return messenger.ShowMessage("保存修改？", "Save Changes?", flags);
    return messenger.ShowMessage(app::withArgument("保存修改到 %s", path),
                                 app::withArgument("Save changes to %s", path), flags);
}

// ---- LineEditor -----------------------------------------------------------------

LineEditor::LineEditor(app::Messenger& messenger, const position::GeodesyEngine& engine)
    : messenger_(messenger), engine_(engine) {}

void LineEditor::warn(std::string_view chinese, std::string_view english) {
    messenger_.ShowMessage(chinese, english, app::mb::kWarningOkCancel);
}

void LineEditor::selectLine(int index) {
    selectedLine_ = index >= 0 && static_cast<std::size_t>(index) < lines_.size() ? index : -1;
    selectedPoint_ = -1;
}

void LineEditor::selectPoint(int index) {
    if (selectedLine_ < 0) {
        selectedPoint_ = -1;
        return;
    }
    const auto& pts = lines_[static_cast<std::size_t>(selectedLine_)].points;
    selectedPoint_ = index >= 0 && static_cast<std::size_t>(index) < pts.size() ? index : -1;
}

std::string LineEditor::countText() const {
    return "Lines num:" + std::to_string(lines_.size());
}

std::pair<std::string, std::string> LineEditor::columnCaptions() const {
    if (mode_ == CoordinateMode::Grid) return {"X coordinates", "Y coordinates"};
    return {"B coordinates", "L coordinates"};
}

std::pair<std::string, std::string> LineEditor::pointTexts(const LinePoint& point) const {
    if (mode_ == CoordinateMode::Grid) return {formatGrid(point.x), formatGrid(point.y)};
    const Geographic g = gridToGeographic(engine_, point);
    return {formatLatitude(g.latitude), formatLongitude(g.longitude)};
}

std::string LineEditor::noteText() const {
    if (mode_ == CoordinateMode::Grid)
        return "Note: x is East-direction coordinate, y is North-direction coordinate";
    return "Note: the format: latitude (XX XX xx.xxxx N) longitude (XXX XX xx.xxxx E)";
}

std::pair<std::string, std::string> LineEditor::exampleTexts(bool insert) const {
    if (mode_ == CoordinateMode::Grid) return {"0.000000", "0.000000"};
    if (insert) return {"04 29 29.675124 N", "076 21 7.373836 E"};
    return {"04 29 29.6751 N", "076 21 7.3738 E"};
}

void LineEditor::newList() {
    lines_.clear();
    lines_.push_back({"1", {}});
    path_.clear();
    modified_ = false;
    selectLine(0);
}

bool LineEditor::read_line_file(const std::string& path) {
    lines_.clear();
    selectLine(-1);
    path_.clear();
    modified_ = false;
    LineFileParse parsed = readLineFileText(path);
    switch (parsed.error) {
    case LineFileError::None:
        break;
    case LineFileError::OpenFailed:
        warn(app::withArgument("打开文件\"%s\"失败！", path),
             app::withArgument("Failed to open the file \"%s\"!", path));
        return false;
    case LineFileError::Flag:
        warn("测线数标志错误！", "Error of line number flag!");
        return false;
    case LineFileError::LineCount:
        warn("测线数错误", "Error of the number of lines");
        return false;
    case LineFileError::Body:
        // The stricter reader refuses a body it cannot read whole.
        warn("测线文件格式错误", "Line file format error");
        return false;
    }
    lines_ = std::move(parsed.lines);
    path_ = path;
    if (!lines_.empty()) selectLine(0);
    return true;
}

bool LineEditor::write_line_file(const std::string& path) {
    if (lines_.empty()) {
        // A file of no lines would be refused by every reader.
        warn("没有可保存的测线！", "There is no line to save!");
        return false;
    }
    std::string why;
    if (!writeLineFileAtomically(path, lines_, &why)) {
        warn("打开文件失败！", "Failed to open the file!");
        return false;
    }
    path_ = path;
    modified_ = false;
    return true;
}

bool LineEditor::sendToNavigation(NavigationLineSet& set, const ImportPlace& place) {
    if (path_.empty() || !isLineFileName(path_)) return false;
    if (place.naviFolder.empty()) return load_line_file(set, path_, true, messenger_);
    const std::string target = platform::joinPath(place.naviFolder, fileNameOf(path_));
    if (target != path_) {
        if (platform::PathFileExistsA(target)) {
            const int answer = messenger_.ShowMessage(
                "导航文件夹中已存在该文件。\n是否替换？",
                "The file already exists in Navi.\nDo you want to replace it?",
                app::mb::kIconWarning | app::mb::kYesNo);
            if (answer != app::IDYES) return false;
        }
        std::string why;
        if (!copyFileAtomically(path_, target, &why)) {
            warn(app::withArgument("复制文件失败 : \"%s\"。", target),
                 app::withArgument("Failed to copy the file : \"%s\".", target));
            return false;
        }
    }
    // The copy is in place: the import loads it and remembers it as CurLine.
    return import_line_files(set, {target}, place, messenger_) == 1;
}

void LineEditor::addLine() {
    lines_.push_back({nextLineName(lines_), {}});
    selectLine(static_cast<int>(lines_.size()) - 1);
    modified_ = true;
}

bool LineEditor::deleteLine() {
    if (selectedLine_ < 0) {
        warn("选择测线失败！", "Failed to select a line!");
        return false;
    }
    const int gone = selectedLine_;
    lines_.erase(lines_.begin() + gone);
    // The previous line, or the last one when the first went.
    selectLine(gone > 0 ? gone - 1 : static_cast<int>(lines_.size()) - 1);
    modified_ = true;
    return true;
}

std::optional<LinePoint> LineEditor::typedPoint(std::string_view first, std::string_view second) {
    if (mode_ == CoordinateMode::Grid) {
        LinePoint p;
        if (!parseGridNumber(first, p.x) || !parseGridNumber(second, p.y)) {
            warn("坐标数据输入错误！", "Coordinate data input error!");
            return std::nullopt;
        }
        return p;
    }
    const std::optional<double> b = parseLatitude(first);
    if (!b) {
        warn("纬度数据输入错误！", "Latitude data input error!");
        return std::nullopt;
    }
    const std::optional<double> l = parseLongitude(second);
    if (!l) {
        warn("经度数据输入错误！", "Longitude data input error!");
        return std::nullopt;
    }
    return geographicToGrid(engine_, *b, *l);
}

bool LineEditor::addPoint(std::string_view first, std::string_view second) {
    if (selectedLine_ < 0) {
        warn("请选择插入点所属的测线！",
             "Please select a line that the insertion point belongs to!");
        return false;
    }
    const std::optional<LinePoint> p = typedPoint(first, second);
    if (!p) return false;
    auto& pts = lines_[static_cast<std::size_t>(selectedLine_)].points;
    pts.push_back(*p);
    selectedPoint_ = static_cast<int>(pts.size()) - 1;
    modified_ = true;
    return true;
}

bool LineEditor::insertPoint(std::string_view first, std::string_view second) {
    if (selectedLine_ < 0) {
        warn("请选择插入点所属的测线！！",
             "Please select a line that the insertion point belongs to!!");
        return false;
    }
    if (selectedPoint_ < 0) {
        warn("没有选择点！", "No point is selected!");
        return false;
    }
    const std::optional<LinePoint> p = typedPoint(first, second);
    if (!p) return false;
    auto& pts = lines_[static_cast<std::size_t>(selectedLine_)].points;
    pts.insert(pts.begin() + selectedPoint_, *p);
    modified_ = true;
    return true;
}

bool LineEditor::editPoint(int point, int column, std::string_view text) {
    if (selectedLine_ < 0) {
        warn("选择测线失败！", "Failed to select a line!");
        return false;
    }
    auto& pts = lines_[static_cast<std::size_t>(selectedLine_)].points;
    if (point < 0 || static_cast<std::size_t>(point) >= pts.size() || column < 0 || column > 1)
        return false;
    LinePoint& p = pts[static_cast<std::size_t>(point)];
    if (mode_ == CoordinateMode::Grid) {
        double v = 0.0;
        if (!parseGridNumber(text, v)) {
            warn("坐标数据输入错误！", "Coordinate data input error!");
            return false;
        }
        (column == 0 ? p.x : p.y) = v;
    } else {
        // Only the edited one of latitude and longitude changes.
        Geographic g = gridToGeographic(engine_, p);
        const std::optional<double> v = column == 0 ? parseLatitude(text) : parseLongitude(text);
        if (!v) {
            if (column == 0)
                warn("纬度数据输入错误！", "Latitude data input error!");
            else
                warn("经度数据输入错误！", "Longitude data input error!");
            return false;
        }
        (column == 0 ? g.latitude : g.longitude) = *v;
        p = geographicToGrid(engine_, g.latitude, g.longitude);
    }
    modified_ = true;
    return true;
}

bool LineEditor::deletePoint() {
    if (selectedLine_ < 0) {
        warn("没有选择测线！", "No line is selected!");
        return false;
    }
    auto& pts = lines_[static_cast<std::size_t>(selectedLine_)].points;
    if (selectedPoint_ < 0 || static_cast<std::size_t>(selectedPoint_) >= pts.size()) {
        warn("没有选择点！", "No point is selected!");
        return false;
    }
    pts.erase(pts.begin() + selectedPoint_);
    // The next point, or the new last one.
    if (static_cast<std::size_t>(selectedPoint_) >= pts.size())
        selectedPoint_ = static_cast<int>(pts.size()) - 1;
    modified_ = true;
    return true;
}

bool LineEditor::checkedReference() {
    const ReferenceError e = checkReference(lines_, selectedLine_);
    if (e == ReferenceError::None) return true;
    const MessagePair m = referenceMessage(e);
    warn(m.chinese, m.english);
    return false;
}

bool LineEditor::offsetParallel(const ParallelParams& params) {
    if (!checkedReference()) return false;
    const int left = std::clamp(params.left, 0, kMaxOffsetCount);
    const int right = std::clamp(params.right, 0, kMaxOffsetCount);
    if (left == 0 && right == 0) return false;
    if (!std::isfinite(params.spacing)) return false;
    if (!(std::fabs(params.spacing) >= kNoMove)) {
        warn("间距不能为0！", "The distance can't be 0!");
        return false;
    }
    char en[256], zh[256];
    if (left > 0 && right > 0) {
        std::snprintf(en, sizeof en,
                      "The current operation:\n%d lines left of center \n%d lines right of "
                      "center \nDistance between lines is %.1f.",
                      left, right, params.spacing);
        std::snprintf(zh, sizeof zh,
                      "当前操作：\n中心线左侧 %d 条\n中心线右侧 %d 条\n线间距 %.1f。", left, right,
                      params.spacing);
    } else if (left > 0) {
        std::snprintf(en, sizeof en,
                      "The current operation:\n%d lines left of center \nDistance between lines "
                      "is %.1f.",
                      left, params.spacing);
        std::snprintf(zh, sizeof zh, "当前操作：\n中心线左侧 %d 条\n线间距 %.1f。", left,
                      params.spacing);
    } else {
        std::snprintf(en, sizeof en,
                      "The current operation:\n%d lines right of center \nDistance between "
                      "lines is %.1f.",
                      right, params.spacing);
        std::snprintf(zh, sizeof zh, "当前操作：\n中心线右侧 %d 条\n线间距 %.1f。", right,
                      params.spacing);
    }
    if (messenger_.ShowMessage(zh, en, app::mb::kWarningOkCancel) != app::IDOK) return false;
    const SurveyLine& ref = lines_[static_cast<std::size_t>(selectedLine_)];
    auto l = parallelLines(ref, left, params.spacing, true);
    auto r = parallelLines(ref, right, params.spacing, false);
    selectLine(insertParallel(lines_, selectedLine_, std::move(l), std::move(r)));
    modified_ = true;
    messenger_.ShowMessage("偏移完成", "Offset completed",
                           app::mb::kIconInformation | app::mb::kOk);
    return true;
}

bool LineEditor::offsetShift(const ShiftParams& params) {
    if (!checkedReference()) return false;
    const int count = std::clamp(params.count, 0, kMaxOffsetCount);
    if (count < 1) return false;
    // A shift purely east or purely north is a shift; only no shift at all is none.
    if (!(std::fabs(params.east) >= kNoMove) && !(std::fabs(params.north) >= kNoMove)) {
        warn("偏移量不能为0！", "The shift can't be 0!");
        return false;
    }
    if (!std::isfinite(params.east) || !std::isfinite(params.north)) return false;
    const SurveyLine& ref = lines_[static_cast<std::size_t>(selectedLine_)];
    auto copies = shiftedLines(ref, count, params.east, params.north);
    selectLine(insertShifted(lines_, selectedLine_, std::move(copies)));
    modified_ = true;
    messenger_.ShowMessage("偏移完成", "Offset completed",
                           app::mb::kIconInformation | app::mb::kOk);
    return true;
}

} // namespace kestrova::navigation
