#pragma once
// The program's settings, grouped by the file section that holds them. Each
// field's initialiser is its start value: what the program runs on before any
// project is loaded. The values used for keys missing from a file are in
// configuration.cpp beside the key names.

#include "app/config/sonar_parameters.h"
// GCC flags the record's bounded text copies (which terminate every field)
// when they are inlined here; the copies are correct.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wstringop-truncation"
#endif
#include "libs/tessmark/geodetic_record.h"
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#include <atomic>
#include <cstdint>
#include <string>

namespace kestrova::app {

// Towfish and vessel installation (Fit... keys, heading, sync, position format).
struct InstallationSettings {
    float soundVelocity = 1500.0f;      // FitSoundVelocity, m/s
    bool useShipSpeed = true;           // FitbShipSpeed
    float shipSpeed = 5.0f;             // FitShipSpeed
    float gpsX = 0, gpsY = 0, gpsZ = 0; // FitGpsX/Y/Z, m
    float towLength = 0;                // FitTowLength, m
    bool useTowfishDepth = false;       // FitbTowfishDepth
    float towfishDepth = 0;             // FitTowfishDepth, m
    float density = 1.0f;               // FitDensity
    float towPointToWater = 0;          // FitTowPointToWater, m
    int headingSource = 0;              // HeadingSource
    int syncMode = 0;                   // SyncMode
    int syncPolarity = 0;               // SyncPolarity
    bool gpsChoice = false;             // FitbGpsChoice
    int latLonFormat = 0;               // LatLonFormat, 0..2
};

// Alarm switches (AlS_ keys).
struct AlarmSettings {
    bool alertAltitude = false; // AlS_bAlertAltitude
    bool alertGps = true;       // AlS_bAlertGps
    float minAltitude = 1.0f;   // AlS_fMinAltitude, m
    int alertGpsLevel = 1;      // AlS_iuAlertGps: 0 No Data .. 3 RTK Fixed
};

// Live copy of the alarm switches for the threads that evaluate them; refreshed
// from AlarmSettings on every change and every configuration load.
struct AlarmLive {
    std::atomic<int> gpsAlertLevel{1};
    std::atomic<bool> altitudeAlertOn{false};
    std::atomic<bool> gpsAlertOn{true};
    void refresh(const AlarmSettings& a) {
        gpsAlertLevel.store(a.alertGpsLevel);
        altitudeAlertOn.store(a.alertAltitude);
        gpsAlertOn.store(a.alertGps);
    }
};

struct BottomTrackSettings {
    int on = 0;       // BT_bOn
    int alertGps = 0; // BT_iuAlertGps
};

struct DisplaySettings {
    int backStrengthHF = 50; // DIS_siuBackStrength
    int backStrengthLF = 50; // DIS_backStrength_LF
    int waveStrengthHF = 50; // DIS_siuWaveStrength
    int waveStrengthLF = 50; // DIS_waveStrength_LF
    int backColorHF = 0;     // DIS_intBackColor_HF
    int backColorLF = 0;     // DIS_intBackColor_LF
    bool invertHF = false;   // DIS_bInvertHF
    bool invertLF = false;   // DIS_bInvertLF
};

// Section SonarSetPara.
struct SonarSettings {
    SonarParameterSet hf;
    SonarParameterSet lf;
    InstallationSettings install;
    AlarmSettings alarm;
    BottomTrackSettings bottomTrack;
    DisplaySettings display;
    int targetNumber = 0; // g_uiTargetNum

    // Sound speed used by every range and timing computation; follows
    // FitSoundVelocity on every load.
    double soundSpeed = 1500.0;
    // Range in metres last used for a device command, per frequency (set by the
    // command builder; not stored).
    int commandRangeMetresHF = 50;
    int commandRangeMetresLF = 50;

    SonarParameterSet& of(Frequency f) { return f == Frequency::HF ? hf : lf; }
    const SonarParameterSet& of(Frequency f) const { return f == Frequency::HF ? hf : lf; }
};

// The IPv4 loopback address as INS_Ip holds it: the address bytes 127 0 0 1 in
// network order read as one little-endian 32-bit integer.
constexpr std::uint32_t kLoopbackInsIp = 0x0100007Fu;

// Section INSPara: the position input.
struct InsSettings {
    int modeSelect = 0;                // INS_ModeSelect
    std::uint32_t ip = kLoopbackInsIp; // INS_Ip
    std::uint16_t port = 6001;         // INS_Port
    int netType = 1;                   // INS_NetType
    int dataType = 0;                  // INS_DataType
    int baudRate = 0;                  // INS_BaudRate (list index)
    int stopBit = 0;                   // INS_StopBit
    int dataBit = 0;                   // INS_DataBit
    int checkBit = 0;                  // INS_CheckBit
};

// Section ParaOfNavi: navigation view options and colours (0x00BBGGRR).
struct NaviSettings {
    int coverLineHF = 1;              // CoverLine_HF
    int coverLineLF = 1;              // CoverLine_LF
    int compass = 1;                  // Compass
    int grid = 1;                     // PGrid
    int target = 1;                   // Target
    int shipVelFmt = 0;               // ShipVelFmt
    int surColor = 0x005E3D;          // SurColor
    int reSurColor = 0x800080;        // ReSurColor
    int surArrColor = 0x0000FF;       // SurArrColor
    int solidLineColor = 0x00FFFF;    // SolidLineColor
    int dotLineColor = 0x3737FF;      // DotLineColor
    int disColor = 0x0080FF;          // DisCorlor
    int trackColor = 0xFFFF00;        // TrackColor
    int coverLineColorHFL = 0x0000FF; // CoverLineColor_HF_L
    int coverLineColorHFR = 0xFF0000; // CoverLineColor_HF_R
    int coverLineColorLFL = 0x7B28AF; // CoverLineColor_LF_L
    int coverLineColorLFR = 0xFFFF00; // CoverLineColor_LF_R
    int textColor = 0;                // TextColor
    int boatColor = 0x0000FF;         // BoatColor
    int viewBkColor = 0xFEEDCB;       // ViewBKColor
    int viewNaviColor = 0x2068FF;     // ViewNaviColor
};

// Section ParaOfGeo: the geodetic parameter record handed to the geodesy engine.
struct GeoSettings {
    _DefGeodetsyParameterSetting record = defaultGeodeticRecord();
};

// SysCfg.ini: the installation's read-only settings.
struct SystemConfig {
    std::string sonarIp = "127.0.0.1"; // Net/IP
    int commandPort = 5001;            // Net/PORT1
    int dataPort = 5002;               // Net/PORT2
    double newScale = 0.05;            // Max/NewScale
    double oldScale = 0.95;            // Max/OldScale
    double useScale = 0.7;             // Max/UseScale
    int disSize = 20;                  // Max/DisSize
    double blindMeter = 3.5;           // Max/BlindMeter, m
    int timeZoneHour = 8;              // UserPara/TimeZoneHour
    int samplerateHF = 4;              // Sonar/SamplerateHF
    int samplerateLF = 8;              // Sonar/SamplerateLF
};

// Kestrova.ini, section PreProjectInfo: the last project.
struct LastProjectInfo {
    std::string projectFullName; // ProjectFullName: path of the project file
    std::string projectPath;     // ProjectPath: its folder
    std::string projectLocation; // ProjectLocation: where it was created
};

} // namespace kestrova::app
