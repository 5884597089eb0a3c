#include "app/config/device_model.h"

#include "app/config/text_number.h"
#include "platform/fs.h"
#include "platform/ini.h"

#include <algorithm>
#include <array>

namespace kestrova::app {
namespace {

struct IdentifierRow {
    const char* identifier;
    int modelNumber;
};

constexpr std::array<IdentifierRow, 19> kIdentifiers{{
    {"QM-101", 4}, {"QM-102", 4},  {"QM-103", 4},  {"QM-104", 5},  {"QM-201", 6},
    {"QM-202", 6}, {"QM-203", 7},  {"QM-204", 7},  {"QM-205", 7},  {"QM-206", 8},
    {"QM-207", 8}, {"QM-208", 9},  {"QM-209", 9},  {"QM-301", 3},  {"QM-302", 2},
    {"QM-303", 1}, {"QM-304", 19}, {"QM-305", 20}, {"QM-306", 18},
}};

constexpr SensorFlags kTempHumidity{false, false, false, true, true};
constexpr SensorFlags kPressureTempHumidity{false, false, true, true, true};
constexpr SensorFlags kAllSensors{true, true, true, true, true};

constexpr std::array<ModelCapabilities, 12> kModels{{
    {4, "QM-101.ini", 1, kPressureTempHumidity},
    {5, "QM-104.ini", 1, kTempHumidity},
    {6, "QM-201.ini", 1, kTempHumidity},
    {7, "QM-203.ini", 1, kTempHumidity},
    {8, "QM-206.ini", 1, kTempHumidity},
    {9, "QM-208.ini", 2, kTempHumidity},
    {3, "QM-301.ini", 2, kAllSensors},
    {2, "QM-302.ini", 2, kAllSensors},
    {1, "QM-303.ini", 2, kAllSensors},
    {19, "QM-304.ini", 1, kAllSensors},
    {20, "QM-305.ini", 1, kPressureTempHumidity},
    {18, "QM-306.ini", 1, kTempHumidity},
}};

void readLimits(const platform::IniDocument& doc, const char* suffix, FrequencyLimits& out) {
    auto read = [&](const char* parameter, const char* limit, int& field) {
        std::string section = std::string(parameter) + suffix;
        std::string key = std::string(parameter) + "Level" + limit + suffix;
        std::string fallback = std::to_string(field);
        field = atoiText(doc.readString(section, key, fallback, 40));
    };
    read("Range", "Min", out.rangeMin);
    read("Range", "Max", out.rangeMax);
    read("Power", "Min", out.powerMin);
    read("Power", "Max", out.powerMax);
    read("Gain", "Min", out.gainMin);
    read("Gain", "Max", out.gainMax);
    read("Spreading", "Min", out.spreadingMin);
    read("Spreading", "Max", out.spreadingMax);
    read("Absorption", "Min", out.absorptionMin);
    read("Absorption", "Max", out.absorptionMax);
}

} // namespace

int ModelNumberFromIdentifier(std::string_view identifier) {
    for (const auto& row : kIdentifiers)
        if (identifier == row.identifier) return row.modelNumber;
    return kDefaultModelNumber;
}

const ModelCapabilities* modelCapabilities(int modelNumber) {
    for (const auto& m : kModels)
        if (m.modelNumber == modelNumber) return &m;
    return nullptr;
}

std::string limitsFileName(int modelNumber) {
    const ModelCapabilities* m = modelCapabilities(modelNumber);
    return m != nullptr ? m->limitsFile : "QM-302.ini";
}

std::vector<std::string> allLimitsFileNames() {
    std::vector<std::string> names;
    for (const auto& m : kModels)
        names.emplace_back(m.limitsFile);
    return names;
}

ModelLimits readModelLimits(const platform::IniDocument& doc) {
    ModelLimits limits; // defaults for a missing file or key
    readLimits(doc, "_HF", limits.hf);
    readLimits(doc, "_LF", limits.lf);
    return limits;
}

ModelLimits readModelLimits(const std::string& path) {
    platform::IniFile file(path);
    file.load(); // a missing or unreadable file gives the defaults
    return readModelLimits(file.document());
}

DeviceModel::DeviceModel(std::string programFolder) : programFolder_(std::move(programFolder)) {}

void DeviceModel::SetModelNumber(int number) {
    std::lock_guard lock(modelNumberLock_);
    modelNumber_ = number;
}

int DeviceModel::GetModelNumber() const {
    std::lock_guard lock(modelNumberLock_);
    return modelNumber_;
}

std::string DeviceModel::limitsPath() const {
    return platform::joinPath(programFolder_, limitsFileName(GetModelNumber()));
}

void DeviceModel::LoadModelLimits() {
    limits = readModelLimits(limitsPath());
}

void DeviceModel::ApplyDeviceModel() {
    if (const ModelCapabilities* m = modelCapabilities(GetModelNumber())) {
        frequencyCount = m->frequencies;
        sensors = m->sensors;
    }
    FrequencyLayout = frequencyCount == 1 ? kLayoutHfOnly : kLayoutBoth;
    LoadModelLimits();
    // Copy first: an observer may remove itself.
    auto observers = observers_;
    for (auto& [id, observer] : observers)
        observer();
}

int DeviceModel::addObserver(Observer observer) {
    int id = nextObserver_++;
    observers_.emplace_back(id, std::move(observer));
    return id;
}

void DeviceModel::removeObserver(int id) {
    std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

} // namespace kestrova::app
