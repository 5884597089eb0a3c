#pragma once
// What the connected towfish model allows: the model table (identifier -> model
// number -> limits file, frequency count, sensors), the level limits read from
// the model's limits file, and the frequency layout shared with the display.

#include "app/config/sonar_parameters.h"
#include "platform/ini.h"

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::app {

constexpr const char* kDefaultModelIdentifier = "QM-302";
constexpr int kDefaultModelNumber = 2;

struct SensorFlags {
    bool heading = true;
    bool attitude = true;
    bool pressure = true;
    bool temperature = true;
    bool humidity = true;
};

struct ModelCapabilities {
    int modelNumber;
    const char* limitsFile; // in the program folder
    int frequencies;        // 1 (HF only) or 2
    SensorFlags sensors;
};

// Model number of a device identifier (exact, case-sensitive); 2 for any other text.
int ModelNumberFromIdentifier(std::string_view identifier);
// The table row of a model number; nullptr for numbers not in the table.
const ModelCapabilities* modelCapabilities(int modelNumber);
// Limits file name of a model number; "QM-302.ini" for numbers not in the table.
std::string limitsFileName(int modelNumber);
// Every limits file the model table names, each once (shipped beside the program).
std::vector<std::string> allLimitsFileNames();

// Limits of one frequency's levels, inclusive.
struct FrequencyLimits {
    int rangeMin, rangeMax;
    int powerMin, powerMax;
    int gainMin, gainMax;
    int spreadingMin, spreadingMax;
    int absorptionMin, absorptionMax;
};

// The twenty limits of a model; the defaults apply when the file or a key is missing.
struct ModelLimits {
    FrequencyLimits hf{0, 6, 0, 9, 0, 29, 0, 20, 0, 390};
    FrequencyLimits lf{0, 9, 0, 9, 0, 39, 0, 20, 0, 190};
    const FrequencyLimits& of(Frequency f) const { return f == Frequency::HF ? hf : lf; }
};

// Reads a limits file: sections "Range_HF" ... "Absorption_LF", keys such as
// "RangeLevelMin_HF", each read into a 40-byte buffer and converted with atoi.
ModelLimits readModelLimits(const std::string& path);
ModelLimits readModelLimits(const platform::IniDocument& doc);

// FrequencyLayout values.
constexpr int kLayoutHfOnly = 0;
constexpr int kLayoutLfOnly = 1;
constexpr int kLayoutBoth = 2;

// Window messages ApplyDeviceModel's observers post: 1126 to the sonar parameter
// page, 1544/1545/1546 to the display settings, bottom-tracking and status pages,
// 1550 to the main window.
constexpr unsigned kMsgRefreshSonarPage = 1126;
constexpr unsigned kMsgRefreshDisplayPage = 1544;
constexpr unsigned kMsgRefreshBottomTrackPage = 1545;
constexpr unsigned kMsgRefreshStatusPage = 1546;
constexpr unsigned kMsgModelChangedMainWindow = 1550;

// The model-dependent state. The model number is guarded by its own lock; the
// other fields are written on the interface thread only (ApplyDeviceModel runs
// there; the receive path hands a new model over by message) and read by the
// acquisition and display code.
class DeviceModel {
  public:
    explicit DeviceModel(std::string programFolder);

    void SetModelNumber(int number);
    int GetModelNumber() const;

    // Re-derives everything that depends on the model: frequency count and
    // sensors, FrequencyLayout, the limits; then tells every observer, which posts
    // its refresh message.
    void ApplyDeviceModel();
    // Reads the current model's limits file into `limits`.
    void LoadModelLimits();
    std::string limitsPath() const;

    // Observers are called at the end of ApplyDeviceModel; they should only post.
    using Observer = std::function<void()>;
    int addObserver(Observer observer);
    void removeObserver(int id);

    int frequencyCount = 2;
    SensorFlags sensors;
    int FrequencyLayout = kLayoutBoth; // 0 HF only, 1 LF only, 2 both
    ModelLimits limits;

  private:
    std::string programFolder_;
    mutable std::mutex modelNumberLock_;
    int modelNumber_ = kDefaultModelNumber;
    std::vector<std::pair<int, Observer>> observers_;
    int nextObserver_ = 1;
};

} // namespace kestrova::app
