#include "app/config/configuration.h"

#include "app/config/text_number.h"
#include "platform/fs.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace kestrova::app {
namespace {

using platform::IniDocument;

constexpr std::size_t kSonarReadBuffer = 40; // SonarSetPara, INSPara, SysCfg.ini, limits
constexpr std::size_t kWideReadBuffer = 260; // ParaOfGeo, ParaOfNavi

// atof truncated toward zero, safe for any text ("1.9" gives 1, junk gives 0).
int truncateToInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(v);
}

float narrowToFloat(double v) {
    if (std::isfinite(v) && std::fabs(v) > 3.4028234663852886e38)
        return v > 0 ? HUGE_VALF : -HUGE_VALF;
    return static_cast<float>(v);
}

std::string textField(const char* field, std::size_t size) {
    return std::string(field, strnlen(field, size));
}

// Reads keys of one section with the buffer size and conversions the program uses.
class SectionReader {
  public:
    SectionReader(const IniDocument& doc, std::string_view section, std::size_t buffer)
        : doc_(doc), section_(section), buffer_(buffer) {}

    std::string read(const char* key, const char* fallback) const {
        return doc_.readString(section_, key, fallback, buffer_);
    }
    // SonarSetPara and INSPara: every key has a default.
    void boolean(const char* key, bool& f, const char* def) { f = atoiText(read(key, def)) != 0; }
    void integer(const char* key, int& f, const char* def) { f = atoiText(read(key, def)); }
    void real(const char* key, float& f, const char* def) {
        f = narrowToFloat(atofText(read(key, def)));
    }
    void truncated(const char* key, int& f, const char* def) {
        f = truncateToInt(atofText(read(key, def)));
    }
    void latLonFormat(const char* key, int& f, const char* def) {
        int v = atoiText(read(key, def));
        f = (v < 0 || v > 2) ? 0 : v;
    }
    void address(const char* key, std::uint32_t& f, const char* def) {
        f = static_cast<std::uint32_t>(atollText(read(key, def)));
    }
    void port(const char* key, std::uint16_t& f, const char* def) {
        f = static_cast<std::uint16_t>(static_cast<unsigned>(atoiText(read(key, def))) & 0xFFFFu);
    }
    // ParaOfNavi: a key that reads empty leaves the setting as it was.
    void kept(const char* key, int& f) {
        std::string v = read(key, "");
        if (!v.empty()) f = atoiText(v);
    }
    // ParaOfGeo fields.
    void geoInt(const char* key, std::int32_t& f) {
        std::string v = read(key, "");
        if (!v.empty()) f = atoiText(v);
    }
    void geoFlag(const char* key, std::uint8_t& f) {
        std::string v = read(key, "");
        if (!v.empty()) f = atoiText(v) != 0 ? 1 : 0;
    }
    // A text is taken only when it fits its field with the terminating NUL.
    void geoText(const char* key, char* field, std::size_t size, bool /*quoted*/ = false) {
        std::string v = read(key, "");
        if (v.empty() || v.size() > size - 1) return;
        std::memset(field, 0, size);
        std::memcpy(field, v.data(), v.size());
    }

  private:
    const IniDocument& doc_;
    std::string section_;
    std::size_t buffer_;
};

// Formats keys of one section the way a section write stores them.
class SectionWriter {
  public:
    std::vector<ConfigEntry> entries;

    void boolean(const char* key, const bool& f, const char*) { add(key, f ? "1" : "0"); }
    void integer(const char* key, const int& f, const char*) { add(key, formatInt(f)); }
    void real(const char* key, const float& f, const char*) { add(key, formatFloat(f)); }
    void truncated(const char* key, const int& f, const char*) { add(key, formatInt(f)); }
    void latLonFormat(const char* key, const int& f, const char*) { add(key, formatInt(f)); }
    // Written as a signed 32-bit number, which reads back the same with atoi.
    void address(const char* key, const std::uint32_t& f, const char*) {
        add(key, formatInt(static_cast<std::int32_t>(f)));
    }
    void port(const char* key, const std::uint16_t& f, const char*) { add(key, formatInt(f)); }
    void kept(const char* key, const int& f) { add(key, formatInt(f)); }
    void geoInt(const char* key, const std::int32_t& f) { add(key, formatInt(f)); }
    void geoFlag(const char* key, const std::uint8_t& f) { add(key, f != 0 ? "1" : "0"); }
    void geoText(const char* key, const char* field, std::size_t size, bool quoted = false) {
        entries.push_back({key, textField(field, size), quoted});
    }

  private:
    void add(const char* key, std::string value) { entries.push_back({key, std::move(value)}); }
};

// The keys of each section in file order, with the defaults for missing keys.
// One list serves reading and writing, so the two can never disagree.
template <class S, class V> void visitSonarSetPara(S& s, V& v) {
    auto frequency = [&v](auto& p, bool hf) {
        v.boolean(hf ? "ChEn_HF" : "ChEn_LF", p.channelEnabled, "1");
        v.integer(hf ? "Range_HF" : "Range_LF", p.rangeLevel, "3");
        v.integer(hf ? "Power_HF" : "Power_LF", p.powerLevel, "5");
        v.integer(hf ? "Signalshape_HF" : "Signalshape_LF", p.signalShape, "1");
        v.integer(hf ? "Pulse_HF" : "Pulse_LF", p.pulseLevel, "4");
        v.integer(hf ? "Gain_HF" : "Gain_LF", p.gainLevel, "0");
        v.integer(hf ? "Spreading_HF" : "Spreading_LF", p.spreadingLevel, "0");
        v.integer(hf ? "Absorption_HF" : "Absorption_LF", p.absorptionLevel, "0");
    };
    frequency(s.hf, true);
    frequency(s.lf, false);
    auto& in = s.install;
    v.real("FitSoundVelocity", in.soundVelocity, "1500");
    v.boolean("FitbShipSpeed", in.useShipSpeed, "1");
    v.real("FitShipSpeed", in.shipSpeed, "0");
    v.real("FitGpsX", in.gpsX, "0");
    v.real("FitGpsY", in.gpsY, "0");
    v.real("FitGpsZ", in.gpsZ, "0");
    v.real("FitTowLength", in.towLength, "0");
    v.boolean("FitbTowfishDepth", in.useTowfishDepth, "0");
    v.real("FitTowfishDepth", in.towfishDepth, "0");
    v.real("FitDensity", in.density, "1");
    v.real("FitTowPointToWater", in.towPointToWater, "0");
    v.integer("HeadingSource", in.headingSource, "0");
    v.integer("SyncMode", in.syncMode, "0");
    v.integer("SyncPolarity", in.syncPolarity, "0");
    v.boolean("FitbGpsChoice", in.gpsChoice, "0");
    auto& al = s.alarm;
    v.boolean("AlS_bAlertAltitude", al.alertAltitude, "0");
    v.boolean("AlS_bAlertGps", al.alertGps, "0");
    v.real("AlS_fMinAltitude", al.minAltitude, "1");
    v.integer("AlS_iuAlertGps", al.alertGpsLevel, "0");
    v.truncated("BT_bOn", s.bottomTrack.on, "1");
    v.integer("BT_iuAlertGps", s.bottomTrack.alertGps, "0");
    auto& d = s.display;
    v.integer("DIS_siuBackStrength", d.backStrengthHF, "50");
    v.integer("DIS_backStrength_LF", d.backStrengthLF, "50");
    v.integer("DIS_siuWaveStrength", d.waveStrengthHF, "50");
    v.integer("DIS_waveStrength_LF", d.waveStrengthLF, "50");
    v.integer("DIS_intBackColor_HF", d.backColorHF, "0");
    v.integer("DIS_intBackColor_LF", d.backColorLF, "0");
    v.boolean("DIS_bInvertHF", d.invertHF, "0");
    v.boolean("DIS_bInvertLF", d.invertLF, "0");
    v.integer("g_uiTargetNum", s.targetNumber, "0");
    v.latLonFormat("LatLonFormat", in.latLonFormat, "0");
}

constexpr const char* kLoopbackInsIpText = "16777343"; // 127.0.0.1 as INS_Ip holds it

template <class S, class V> void visitINSPara(S& s, V& v) {
    v.truncated("INS_ModeSelect", s.modeSelect, "0");
    v.address("INS_Ip", s.ip, kLoopbackInsIpText);
    v.port("INS_Port", s.port, "6001");
    v.integer("INS_NetType", s.netType, "1");
    v.integer("INS_DataType", s.dataType, "0");
    v.integer("INS_BaudRate", s.baudRate, "0");
    v.integer("INS_StopBit", s.stopBit, "0");
    v.integer("INS_DataBit", s.dataBit, "0");
    v.integer("INS_CheckBit", s.checkBit, "0");
}

template <class S, class V> void visitParaOfNavi(S& s, V& v) {
    v.kept("CoverLine_HF", s.coverLineHF);
    v.kept("CoverLine_LF", s.coverLineLF);
    v.kept("Compass", s.compass);
    v.kept("PGrid", s.grid);
    v.kept("Target", s.target);
    v.kept("ShipVelFmt", s.shipVelFmt);
    v.kept("SurColor", s.surColor);
    v.kept("ReSurColor", s.reSurColor);
    v.kept("SurArrColor", s.surArrColor);
    v.kept("SolidLineColor", s.solidLineColor);
    v.kept("DotLineColor", s.dotLineColor);
    v.kept("DisCorlor", s.disColor);
    v.kept("TrackColor", s.trackColor);
    v.kept("CoverLineColor_HF_L", s.coverLineColorHFL);
    v.kept("CoverLineColor_HF_R", s.coverLineColorHFR);
    v.kept("CoverLineColor_LF_L", s.coverLineColorLFL);
    v.kept("CoverLineColor_LF_R", s.coverLineColorLFR);
    v.kept("TextColor", s.textColor);
    v.kept("BoatColor", s.boatColor);
    v.kept("ViewBKColor", s.viewBkColor);
    v.kept("ViewNaviColor", s.viewNaviColor);
}

template <class R, class V> void visitParaOfGeo(R& r, V& v) {
#define KESTROVA_GEO_TEXT(name) v.geoText(#name, r.name, sizeof r.name)
    KESTROVA_GEO_TEXT(Version);
    v.geoInt("SourceEllipsoid", r.SourceEllipsoid);
    KESTROVA_GEO_TEXT(SourceSemimajor);
    KESTROVA_GEO_TEXT(SourceFlattening);
    v.geoInt("TargetEllipsoid", r.TargetEllipsoid);
    KESTROVA_GEO_TEXT(TargetSemimajor);
    KESTROVA_GEO_TEXT(TargetFlattening);
    v.geoInt("ProjectionType", r.ProjectionType);
    v.geoFlag("AddBandnumber", r.AddBandnumber);
    v.geoFlag("PositiveSouth", r.PositiveSouth);
    v.geoFlag("PositiveWest", r.PositiveWest);
    KESTROVA_GEO_TEXT(CentralMeridian);
    KESTROVA_GEO_TEXT(NorthConst);
    KESTROVA_GEO_TEXT(EastConst);
    KESTROVA_GEO_TEXT(ScaleRadio);
    KESTROVA_GEO_TEXT(ProjectonAltitude);
    KESTROVA_GEO_TEXT(DatumLatitude);
    KESTROVA_GEO_TEXT(NorthParallel);
    KESTROVA_GEO_TEXT(SouthParallel);
    KESTROVA_GEO_TEXT(SkewAzimuth);
    v.geoInt("ETransType", r.ETransType);
    KESTROVA_GEO_TEXT(ETransDx);
    KESTROVA_GEO_TEXT(ETransDy);
    KESTROVA_GEO_TEXT(ETransDz);
    KESTROVA_GEO_TEXT(ETransRx);
    KESTROVA_GEO_TEXT(ETransRy);
    KESTROVA_GEO_TEXT(ETransRz);
    KESTROVA_GEO_TEXT(ETransSc);
    v.geoInt("PTransType", r.PTransType);
    v.geoFlag("PTransNorthDR", r.PTransNorthDR);
    v.geoFlag("PTransEastDR", r.PTransEastDR);
    KESTROVA_GEO_TEXT(PTransDx);
    KESTROVA_GEO_TEXT(PTransDy);
    // The rotation's packed angle starts with a sign character that may be a
    // blank; the quotes keep it through the read's trimming.
    v.geoText("PTransRa", r.PTransRa, sizeof r.PTransRa, true);
    KESTROVA_GEO_TEXT(PTransSc);
    KESTROVA_GEO_TEXT(PTransONorth);
    v.geoInt("HFittingType", r.HFittingType);
    KESTROVA_GEO_TEXT(HFittingA);
    KESTROVA_GEO_TEXT(HFittingB);
    KESTROVA_GEO_TEXT(HFittingC);
    KESTROVA_GEO_TEXT(HFittingD);
    KESTROVA_GEO_TEXT(HFittingE);
    KESTROVA_GEO_TEXT(HFittingF);
    KESTROVA_GEO_TEXT(HFittingX0);
    KESTROVA_GEO_TEXT(HFittingY0);
    KESTROVA_GEO_TEXT(CTransDx);
    KESTROVA_GEO_TEXT(CTransDy);
    KESTROVA_GEO_TEXT(CTransDz);
#undef KESTROVA_GEO_TEXT
}

// Values a project file may hold but the program cannot work with. A strength
// of 100 or more breaks the waterfall's colour scale, a palette choice outside
// the four files names none, and a bottom-tracking source outside HF, LF and
// manual is manual, as the list of sources has it.
void keepSonarSettingsInRange(SonarSettings& s) {
    DisplaySettings& d = s.display;
    for (int* v : {&d.backStrengthHF, &d.backStrengthLF})
        if (*v < 0 || *v > 99) *v = 99;
    for (int* v : {&d.waveStrengthHF, &d.waveStrengthLF})
        if (*v < 0 || *v > 99) *v = 0;
    for (int* v : {&d.backColorHF, &d.backColorLF})
        if (*v < 0 || *v > 3) *v = 0;
    int& source = s.bottomTrack.alertGps;
    if (source != 0 && source != 1 && source != 5) source = 5;
}

// Colours are 0x00BBGGRR: whatever lies above the 24 colour bits is dropped.
void keepNaviColours(NaviSettings& n) {
    for (int* c : {&n.surColor, &n.reSurColor, &n.surArrColor, &n.solidLineColor, &n.dotLineColor,
                   &n.disColor, &n.trackColor, &n.coverLineColorHFL, &n.coverLineColorHFR,
                   &n.coverLineColorLFL, &n.coverLineColorLFR, &n.textColor, &n.boatColor,
                   &n.viewBkColor, &n.viewNaviColor})
        *c &= 0xFFFFFF;
}

enum class Section { SonarSetPara, ParaOfGeo, ParaOfNavi, INSPara };

std::optional<Section> sectionOf(std::string_view name) {
    if (name == "SonarSetPara") return Section::SonarSetPara;
    if (name == "ParaOfGeo") return Section::ParaOfGeo;
    if (name == "ParaOfNavi") return Section::ParaOfNavi;
    if (name == "INSPara") return Section::INSPara;
    return std::nullopt;
}

constexpr const char* kReadPathErrorEn =
    "Failed to read the configuration information, %s path is error!";
constexpr const char* kReadPathErrorZh = "%s 文件路径错误，无法读取配置信息！";
constexpr const char* kWriteErrorEn = "Failed to save the configuration information, %s cannot be "
                                      "written!";
constexpr const char* kWriteErrorZh = "%s 文件无法写入，保存配置信息失败！";

} // namespace

Configuration::Configuration(std::string programFolder, Messenger& messenger)
    : Configuration(programFolder, programFolder, messenger) {}

Configuration::Configuration(std::string programFolder, std::string userFolder,
                             Messenger& messenger)
    : device(programFolder), programFolder_(platform::withTrailingSeparator(programFolder)),
      userFolder_(platform::withTrailingSeparator(std::move(userFolder))), messenger_(messenger) {}

std::string Configuration::programFile(std::string_view name) const {
    return platform::joinPath(programFolder_, name);
}

std::string Configuration::userFile(std::string_view name) const {
    return platform::joinPath(userFolder_, name);
}

std::string Configuration::systemConfigPath() const {
    const std::string user = userFile(kSystemConfigFile);
    return platform::PathFileExistsA(user) ? user : programFile(kSystemConfigFile);
}

std::string userConfigFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    // The base directory rules ignore a relative value.
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = platform::joinPath(home != nullptr && *home != '\0' ? home : "/tmp", ".config");
    }
    return platform::withTrailingSeparator(platform::joinPath(base, "Kestrova"));
}

bool makeFolders(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return platform::isDirectory(folder);
}

bool localeEnglish(std::string_view locale) {
    return locale.substr(0, 2) != "zh";
}

bool interfaceEnglish(const std::string& languageFile) {
    if (platform::PathFileExistsA(languageFile))
        return platform::GetPrivateProfileIntA("English", "bEnglish", 0, languageFile) != 0;
    // The first of these that is set names the messages' locale.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return localeEnglish(value);
    }
    return true;
}

bool interfaceEnglish() {
    return interfaceEnglish(userConfigFolder() + kLanguageFile);
}

void Configuration::showReadPathError(const std::string& path) {
    messenger_.ShowMessage(withArgument(kReadPathErrorZh, path),
                           withArgument(kReadPathErrorEn, path), mb::kWarningOkCancel);
}

void Configuration::showWriteError(const std::string& path, const std::string& why) {
    std::string zh = withArgument(kWriteErrorZh, path);
    std::string en = withArgument(kWriteErrorEn, path);
    if (!why.empty()) {
        zh += "\r\n" + why;
        en += "\r\n" + why;
    }
    messenger_.ShowMessage(zh, en, mb::kIconWarning | mb::kOk);
}

bool Configuration::commitOrReport(platform::IniFile& file) {
    if (file.commit()) return true;
    showWriteError(file.path(), file.error());
    return false;
}

bool Configuration::loadSection(std::string_view name, const IniDocument& doc) {
    auto section = sectionOf(name);
    if (!section) return false;
    switch (*section) {
    case Section::SonarSetPara: {
        SectionReader r(doc, name, kSonarReadBuffer);
        visitSonarSetPara(sonar, r);
        keepSonarSettingsInRange(sonar);
        sonar.soundSpeed = sonar.install.soundVelocity;
        for (auto* p : {&sonar.hf, &sonar.lf}) {
            p->setSpreadingLevel(p->spreadingLevel);
            p->setAbsorptionLevel(p->absorptionLevel);
        }
        alarmLive.refresh(sonar.alarm);
        break;
    }
    case Section::ParaOfGeo: {
        SectionReader r(doc, name, kWideReadBuffer);
        visitParaOfGeo(geo.record, r);
        break;
    }
    case Section::ParaOfNavi: {
        SectionReader r(doc, name, kWideReadBuffer);
        visitParaOfNavi(navi, r);
        keepNaviColours(navi);
        break;
    }
    case Section::INSPara: {
        SectionReader r(doc, name, kSonarReadBuffer);
        visitINSPara(ins, r);
        break;
    }
    }
    return true;
}

std::optional<std::vector<ConfigEntry>> Configuration::sectionEntries(std::string_view name) const {
    auto section = sectionOf(name);
    if (!section) return std::nullopt;
    SectionWriter w;
    switch (*section) {
    case Section::SonarSetPara:
        visitSonarSetPara(sonar, w);
        break;
    case Section::ParaOfGeo:
        visitParaOfGeo(geo.record, w);
        break;
    case Section::ParaOfNavi:
        visitParaOfNavi(navi, w);
        break;
    case Section::INSPara:
        visitINSPara(ins, w);
        break;
    }
    return std::move(w.entries);
}

bool Configuration::LoadConfigSection(std::string_view section, const std::string& path) {
    if (!sectionOf(section)) return false;
    if (!platform::PathFileExistsA(path)) {
        showReadPathError(path);
        return false;
    }
    platform::IniFile file(path);
    if (!file.load()) {
        // Exists but unreadable (a folder, no permission): better the settings in
        // hand than a silent reset to defaults.
        showReadPathError(path);
        return false;
    }
    return loadSection(section, file.document());
}

bool Configuration::SaveConfigSection(std::string_view section, const std::string& path) {
    auto entries = sectionEntries(section);
    if (!entries) return false;
    platform::IniFile file(path);
    if (!file.load()) {
        // Never replace a file we could not read: its other sections would be lost.
        showWriteError(path, file.error());
        return false;
    }
    bool allWritten = true;
    std::string rejected;
    for (const auto& e : *entries) {
        if (!file.document().writeString(section, e.key, e.fileText())) {
            allWritten = false;
            rejected = "invalid value for " + e.key;
        }
    }
    if (!commitOrReport(file)) return false;
    if (!allWritten) {
        showWriteError(path, rejected);
        return false;
    }
    return true;
}

void Configuration::LoadSystemConfig() {
    LoadSystemConfig(systemConfigPath());
}

void Configuration::LoadSystemConfig(const std::string& path) {
    platform::IniFile file(path);
    file.load(); // a missing or unreadable file gives the defaults
    const IniDocument& doc = file.document();
    auto read = [&](const char* section, const char* key, const char* def) {
        return doc.readString(section, key, def, kSonarReadBuffer);
    };
    system.sonarIp = read("Net", "IP", "127.0.0.1");
    system.commandPort = atoiText(read("Net", "PORT1", "5001"));
    system.dataPort = atoiText(read("Net", "PORT2", "5002"));
    system.newScale = atofText(read("Max", "NewScale", "0.05"));
    system.oldScale = atofText(read("Max", "OldScale", "0.95"));
    system.useScale = atofText(read("Max", "UseScale", "0.7"));
    system.disSize = atoiText(read("Max", "DisSize", "20"));
    system.blindMeter = atofText(read("Max", "BlindMeter", "3.5"));
    system.timeZoneHour = atoiText(read("UserPara", "TimeZoneHour", "8"));
    system.samplerateHF = atoiText(read("Sonar", "SamplerateHF", "4"));
    system.samplerateLF = atoiText(read("Sonar", "SamplerateLF", "8"));
}

bool Configuration::readLanguageFlag() const {
    return interfaceEnglish(userFile(kLanguageFile));
}

bool Configuration::writeLanguageFlag(bool english) {
    makeFolders(userFolder_);
    platform::IniFile file(userFile(kLanguageFile));
    if (!file.load()) {
        showWriteError(file.path(), file.error());
        return false;
    }
    file.document().writeString("English", "bEnglish", english ? "1" : "0");
    return commitOrReport(file);
}

LastProjectInfo Configuration::readLastProject() const {
    platform::IniFile file(lastProjectFilePath());
    file.load();
    // Linux paths may be longer than the old 260-byte buffers allowed.
    constexpr std::size_t kPathBuffer = 4096;
    const IniDocument& doc = file.document();
    LastProjectInfo info;
    info.projectFullName = doc.readString("PreProjectInfo", "ProjectFullName", "", kPathBuffer);
    info.projectPath = doc.readString("PreProjectInfo", "ProjectPath", "", kPathBuffer);
    info.projectLocation = doc.readString("PreProjectInfo", "ProjectLocation", "", kPathBuffer);
    return info;
}

bool Configuration::writeLastProject(const LastProjectInfo& info) {
    makeFolders(userFolder_);
    platform::IniFile file(lastProjectFilePath());
    if (!file.load()) {
        showWriteError(file.path(), file.error());
        return false;
    }
    auto& doc = file.document();
    bool ok = doc.writeString("PreProjectInfo", "ProjectFullName", info.projectFullName) &&
              doc.writeString("PreProjectInfo", "ProjectPath", info.projectPath) &&
              doc.writeString("PreProjectInfo", "ProjectLocation", info.projectLocation);
    if (!ok) {
        showWriteError(file.path(), "invalid project path");
        return false;
    }
    return commitOrReport(file);
}

bool Configuration::clearLastProject() {
    platform::IniFile file(lastProjectFilePath());
    if (!file.load()) {
        showWriteError(file.path(), file.error());
        return false;
    }
    if (!file.existed()) return true;
    auto& doc = file.document();
    doc.removeKey("PreProjectInfo", "ProjectFullName");
    doc.removeKey("PreProjectInfo", "ProjectPath");
    doc.removeKey("PreProjectInfo", "ProjectLocation");
    return commitOrReport(file);
}

} // namespace kestrova::app
