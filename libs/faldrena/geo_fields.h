#pragma once
// What the coordinate settings dialog knows about the geodetic record without
// any window: the tabs' byte blocks, the preset ellipsoids and choice lists,
// the masked angle texts and the checks OK makes. The dialog library and
// `kestrova-cli geo --show` share it, so a terminal shows a project's
// coordinate set-up exactly as the dialog does.

#include "libs/tessmark/geodetic_record.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <string>

namespace kestrova::faldrena {

// The six tabs and the record bytes each writes back when the dialog finishes.
struct Block {
    std::size_t begin;
    std::size_t end; // one past the last byte
};
constexpr std::array<Block, 6> kBlocks{Block{8, 152},   Block{152, 464},  Block{464, 696},
                                       Block{696, 896}, Block{896, 1160}, Block{1160, 1256}};

// Copies the bytes of one tab's block from `from` into `into`.
void copyBlock(_DefGeodetsyParameterSetting& into, const _DefGeodetsyParameterSetting& from,
               std::size_t tab);

// The dialog's own start values, used when the caller hands an empty record
// (no version text).
_DefGeodetsyParameterSetting dialogDefaults();
bool isEmptyRecord(const _DefGeodetsyParameterSetting& record);

struct Ellipsoid {
    const char* english;
    const char* chinese;
    const char* semimajor; // null: typed by the operator
    const char* flattening;
};
// List order is the stored choice index.
constexpr std::array<Ellipsoid, 6> kEllipsoids{
    Ellipsoid{"User Defined", "用户自定义", nullptr, nullptr},
    Ellipsoid{"WGS-84", "WGS-84", "6378137.0", "298.257223563"},
    Ellipsoid{"Beijing54", "北京54", "6378245.0", "298.3"},
    Ellipsoid{"Xian80", "西安80", "6378140.0", "298.257"},
    Ellipsoid{"CN2000", "国家2000", "6378137.0", "298.257222101"},
    Ellipsoid{"PRS92", "PRS92", "6378206.400", "294.9786982"}};

struct Choice {
    const char* english;
    const char* chinese;
};
constexpr std::array<Choice, 3> kProjections{Choice{"UTM", "UTM投影"},
                                             Choice{"Transverse Mercator", "高斯-克吕格投影"},
                                             Choice{"Mercator", "墨卡托投影"}};
constexpr std::array<Choice, 2> kDatumTransforms{Choice{"N/A", "无"},
                                                 Choice{"Bursa 7 Parameters", "布尔莎七参数"}};
constexpr std::array<Choice, 2> kPlaneTransforms{Choice{"N/A", "无"},
                                                 Choice{"4 Parameters", "四参数"}};
constexpr std::array<Choice, 4> kHeightFittings{
    Choice{"N/A", "无"}, Choice{"Fixed difference correction", "固定差改正"},
    Choice{"Plane fitting", "平面拟合"}, Choice{"Surface fitting", "曲面拟合"}};

constexpr int kUtm = 0;
constexpr int kTransverseMercator = 1;
constexpr int kMercator = 2;

// A stored choice index as the dialog shows it: -1 (nothing selected) when it
// lies outside the list, never an index into a table.
int shownChoice(int stored, std::size_t listSize);

// A text field of the record, read only up to its own size even when its
// terminator is missing.
template <std::size_t N> std::string fieldText(const char (&field)[N]) {
    std::size_t length = 0;
    while (length < N && field[length] != '\0')
        ++length;
    return std::string(field, length);
}
// Writes `text` zero-filled into the field, cut to leave the terminator.
template <std::size_t N> void setField(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), text.size() < N - 1 ? text.size() : N - 1);
}
constexpr int kMaxTextLength = 31;

// The three masked angle fields.
enum class AngleKind {
    CentralMeridian, // "___:__:__._____ _", 13 stored characters, E or W
    Latitude,        // "__:__:__._____ _", 12 stored characters, N or S
    Rotation,        // "____:__:__._____", 13 stored characters, sign first
};
// Qt input mask of the field, with '_' as the blank.
const char* angleInputMask(AngleKind kind);
// The stored text with the separators inserted, or the field's start text
// when the stored one has another length.
std::string shownAngle(AngleKind kind, const std::string& stored);
// The characters typed into the mask positions of a shown text (separators
// dropped, '_' marks an empty position). False, with the reason for the
// operator in `why` (English and Chinese), unless every position is filled,
// the hemisphere or sign is one the field allows, minutes and seconds are
// below 60 and the angle lies in its range.
struct Refusal {
    std::string english;
    std::string chinese;
};
bool storedAngle(AngleKind kind, const std::string& shown, std::string& stored, Refusal& why);

// A numeric field's text parses whole as a finite number (surrounding blanks
// allowed, as the engine's decimal conversion skips leading ones).
bool parseNumber(const std::string& text, double& value);

} // namespace kestrova::faldrena
