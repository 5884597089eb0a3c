#pragma once
// "Device Parameters" (CFitPara): the installation of towfish and vessel, the
// position input and the coordinate system. The dialog mirrors these rules:
// what it shows, which controls are enabled, what OK stores.
//
// OK happens in two steps, as in the main frame: the dialog stores the
// position-input choice (section INSPara), then the main frame stores the
// installation fields (storeFitParaFields) and writes SonarSetPara.

#include "app/config/configuration.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::app {

namespace fit_text {
constexpr const char* kCaption = "设备参数";
constexpr const char* kGpsConnection = "GPS设备连接";
constexpr const char* kDataProtocol = "INS数据协议：";
constexpr const char* kDragPoint = "拖点为参考点";
constexpr const char* kCoordinate = "坐标系";
constexpr std::array<const char*, 3> kModeNames{"关闭", "网络", "COM"};
constexpr std::array<const char*, 2> kHeadingNames{"拖鱼罗经", "GPS航向"};
constexpr std::array<const char*, 2> kSyncModeNames{"内同步", "外同步"};
constexpr std::array<const char*, 2> kSyncPolarityNames{"正极性", "负极性"};
constexpr std::array<const char*, 3> kLatLonFormatNames{"度:分:秒", "度:分", "度"};
constexpr const char* kLoadLibraryFailedZh = "加载Oberlane.dll失败！";
constexpr const char* kLoadLibraryFailedEn = "Load Oberlane.dll Error!";
constexpr const char* kEntryMissingZh = "DLL中函数查找失败！";
constexpr const char* kEntryMissingEn = "Function finding failure in DLL!";
constexpr const char* kCoordinateSetZh = "坐标系统参数设置成功！";
constexpr const char* kCoordinateSetEn = "Coordinate system parameter setted successfully!";
constexpr const char* kCoordinateNoProjectZh = "坐标系统参数已生效，但没有打开的工程，参数未保存！";
constexpr const char* kCoordinateNoProjectEn =
    "The coordinate system is in use, but no project is open: it is not saved!";
constexpr const char* kCoordinateNotSavedZh = "坐标系统参数已生效，但未能保存到工程配置文件！";
constexpr const char* kCoordinateNotSavedEn =
    "The coordinate system is in use, but it could not be saved in the project configuration file!";
} // namespace fit_text

// The items of the "INS Data Protocol:" combo in the interface language.
std::vector<std::string> insDataProtocolNames(bool english);

// The installation fields as the dialog holds them.
struct FitParaFields {
    float soundVelocity = 1500.0f; // m/s
    float density = 1.0f;          // g/cm^3
    bool autoShipSpeed = true;     // speed from the position input
    float shipSpeed = 0;           // knots, manual
    float gpsX = 0, gpsY = 0, gpsZ = 0;
    float towLength = 0;
    float towPointToWater = 0;
    bool autoTowfishDepth = false; // depth from the device
    float towfishDepth = 0;        // m, manual
    int headingSource = 0;         // 0 "Fish Gyro", 1 "GPS Course"
    int syncMode = 0;              // 0 "Internal", 1 "External"
    int syncPolarity = 0;          // 0 "Positive", 1 "Negative"
    int latLonFormat = 0;          // 0..2
};

// What the dialog shows at opening: the stored installation, "GPS Course"
// when the model has no heading sensor, "Positive" with internal sync, format 0
// for a stored format outside 0..2.
FitParaFields fitParaFields(const InstallationSettings& install, const SensorFlags& sensors);

// Which controls are enabled for the current field values.
struct FitParaEnables {
    bool fishGyro = true;         // only with a heading sensor
    bool syncPolarity = true;     // only with external sync
    bool shipSpeed = true;        // only with the manual speed source
    bool towfishDepth = true;     // only with the manual depth source
    bool density = true;          // only with the automatic depth source
    bool positionControls = true; // not in playback mode
};
FitParaEnables fitParaEnables(const FitParaFields& fields, const SensorFlags& sensors,
                              bool playbackMode);

// The dialog's position-input choice ("Close", "Net", "COM" and the data
// protocol) into the INSPara settings; the child dialogs add their own values.
InsSettings withPositionChoice(InsSettings settings, int modeSelect, int dataType);

// What the main frame's part of OK decided.
struct FitParaStored {
    bool recomputeWaterfalls = false;   // the sound speed differs from the display's
    bool refreshBottomTrackPage = true; // told to refresh when it exists
    bool sectionWritten = false;        // SonarSetPara written (a project is open)
    bool ok = true;                     // false: the write failed (operator told)
};

// The main frame's part of OK: the fields into the globals (sound speed in
// single and double precision, heading source 1 without a heading sensor,
// format 0 outside 0..2), then SonarSetPara when a project is open.
// `displaySoundSpeed` is the sound speed the waterfalls last used.
FitParaStored storeFitParaFields(Configuration& config, const FitParaFields& fields,
                                 double displaySoundSpeed,
                                 const std::optional<std::string>& projectConfigPath);

// "Coordinate": the coordinate settings dialog library of the interface
// language, from the program folder.
constexpr const char* kCoordinateLibraryEnglish = "libFaldrenaEN.so";
constexpr const char* kCoordinateLibraryChinese = "libFaldrena.so";
constexpr const char* kCoordinateDialogEntry = "ShowDialog";

enum class CoordinateOutcome {
    LibraryMissing,
    EntryMissing,
    Cancelled,
    Changed,              // in the engine and in ParaOfGeo of the project
    ChangedWithoutSaving, // in the engine only: no project is open
    SaveFailed,           // in the engine, but ParaOfGeo could not be written
};

// What storing a finished record achieved.
enum class CoordinateStored { Saved, NoProject, SaveFailed };

// Loads the library, calls ShowDialog with a copy of the geodetic record and,
// when the operator finished with a change, hands the new record to
// `changed` (which stores it: engine and ParaOfGeo) and tells the operator
// what happened: saved, in use without a project, or not saved. The library
// is unloaded before returning.
using CoordinateChanged =
    std::function<CoordinateStored(const _DefGeodetsyParameterSetting& record)>;
CoordinateOutcome runCoordinateSettings(Configuration& config, const CoordinateChanged& changed);

} // namespace kestrova::app
