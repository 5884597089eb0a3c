// The configuration files: keys, order, encodings, defaults, and the failures
// the operator must hear about. Expected file texts are written out by hand
// from the key tables.

#include "app/config/configuration.h"
#include "platform/fs.h"
#include "platform/tests/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <unistd.h>
#include <vector>

namespace kestrova::app {
namespace {

using kestrova::testing::countEntries;
using kestrova::testing::readText;
using kestrova::testing::TempFolder;
using kestrova::testing::writeText;

class ConfigTest : public ::testing::Test {
  protected:
    ConfigTest() { messenger.setSink(&sink); }
    TempFolder dir;
    RecordingMessageSink sink;
    Messenger messenger;
    Configuration config{dir.path(), messenger};
    std::string projectFile() const { return dir.file("Survey.ini"); }
};

std::string crlf(std::initializer_list<const char*> lines) {
    std::string out;
    for (const char* l : lines)
        out += std::string(l) + "\r\n";
    return out;
}

// Guards the file format: key names, their order and "%d"/"%f" encodings of
// the start values, as other installations read the same project files.
TEST_F(ConfigTest, SonarSectionOfTheStartValuesIsWrittenInFileOrder) {
    ASSERT_TRUE(config.SaveConfigSection("SonarSetPara", projectFile()));
    EXPECT_EQ(readText(projectFile()), crlf({"[SonarSetPara]",
                                             "ChEn_HF=1",
                                             "Range_HF=3",
                                             "Power_HF=5",
                                             "Signalshape_HF=1",
                                             "Pulse_HF=4",
                                             "Gain_HF=0",
                                             "Spreading_HF=0",
                                             "Absorption_HF=0",
                                             "ChEn_LF=1",
                                             "Range_LF=3",
                                             "Power_LF=5",
                                             "Signalshape_LF=1",
                                             "Pulse_LF=4",
                                             "Gain_LF=0",
                                             "Spreading_LF=0",
                                             "Absorption_LF=0",
                                             "FitSoundVelocity=1500.000000",
                                             "FitbShipSpeed=1",
                                             "FitShipSpeed=5.000000",
                                             "FitGpsX=0.000000",
                                             "FitGpsY=0.000000",
                                             "FitGpsZ=0.000000",
                                             "FitTowLength=0.000000",
                                             "FitbTowfishDepth=0",
                                             "FitTowfishDepth=0.000000",
                                             "FitDensity=1.000000",
                                             "FitTowPointToWater=0.000000",
                                             "HeadingSource=0",
                                             "SyncMode=0",
                                             "SyncPolarity=0",
                                             "FitbGpsChoice=0",
                                             "AlS_bAlertAltitude=0",
                                             "AlS_bAlertGps=1",
                                             "AlS_fMinAltitude=1.000000",
                                             "AlS_iuAlertGps=1",
                                             "BT_bOn=0",
                                             "BT_iuAlertGps=0",
                                             "DIS_siuBackStrength=50",
                                             "DIS_backStrength_LF=50",
                                             "DIS_siuWaveStrength=50",
                                             "DIS_waveStrength_LF=50",
                                             "DIS_intBackColor_HF=0",
                                             "DIS_intBackColor_LF=0",
                                             "DIS_bInvertHF=0",
                                             "DIS_bInvertLF=0",
                                             "g_uiTargetNum=0",
                                             "LatLonFormat=0"}));
    EXPECT_EQ(sink.count(), 0u);
}

TEST_F(ConfigTest, GeodeticSectionIsWrittenVerbatimWithTheRotationQuoted) {
    ASSERT_TRUE(config.SaveConfigSection("ParaOfGeo", projectFile()));
    EXPECT_EQ(readText(projectFile()), crlf({"[ParaOfGeo]",
                                             "Version=001.000",
                                             "SourceEllipsoid=1",
                                             "SourceSemimajor=6378137.0",
                                             "SourceFlattening=298.257223563",
                                             "TargetEllipsoid=1",
                                             "TargetSemimajor=6378137.0",
                                             "TargetFlattening=298.257223563",
                                             "ProjectionType=1",
                                             "AddBandnumber=0",
                                             "PositiveSouth=0",
                                             "PositiveWest=0",
                                             "CentralMeridian=1170000.00000E",
                                             "NorthConst=0.0",
                                             "EastConst=500000.0",
                                             "ScaleRadio=1.0",
                                             "ProjectonAltitude=0.0",
                                             "DatumLatitude=000000.00000N",
                                             "NorthParallel=000000.00000N",
                                             "SouthParallel=000000.00000N",
                                             "SkewAzimuth=0",
                                             "ETransType=0",
                                             "ETransDx=0.0",
                                             "ETransDy=0.0",
                                             "ETransDz=0.0",
                                             "ETransRx=0.0",
                                             "ETransRy=0.0",
                                             "ETransRz=0.0",
                                             "ETransSc=0.0",
                                             "PTransType=0",
                                             "PTransNorthDR=0",
                                             "PTransEastDR=0",
                                             "PTransDx=0.0",
                                             "PTransDy=0.0",
                                             "PTransRa=' 0000000.00000'",
                                             "PTransSc=1.0",
                                             "PTransONorth=0.0",
                                             "HFittingType=0",
                                             "HFittingA=0.0",
                                             "HFittingB=0.0",
                                             "HFittingC=0.0",
                                             "HFittingD=0.0",
                                             "HFittingE=0.0",
                                             "HFittingF=0.0",
                                             "HFittingX0=0.0",
                                             "HFittingY0=0.0",
                                             "CTransDx=0.0",
                                             "CTransDy=0.0",
                                             "CTransDz=0.0"}));
    // The leading blank of the packed angle survives the round trip.
    Configuration other(dir.path(), messenger);
    std::strcpy(other.geo.record.PTransRa, "x");
    ASSERT_TRUE(other.LoadConfigSection("ParaOfGeo", projectFile()));
    EXPECT_STREQ(other.geo.record.PTransRa, " 0000000.00000");
}

TEST_F(ConfigTest, NaviAndInsSectionsOfTheStartValues) {
    ASSERT_TRUE(config.SaveConfigSection("ParaOfNavi", projectFile()));
    ASSERT_TRUE(config.SaveConfigSection("INSPara", projectFile()));
    EXPECT_EQ(readText(projectFile()), crlf({"[ParaOfNavi]",
                                             "CoverLine_HF=1",
                                             "CoverLine_LF=1",
                                             "Compass=1",
                                             "PGrid=1",
                                             "Target=1",
                                             "ShipVelFmt=0",
                                             "SurColor=24125",
                                             "ReSurColor=8388736",
                                             "SurArrColor=255",
                                             "SolidLineColor=65535",
                                             "DotLineColor=3618815",
                                             "DisCorlor=33023",
                                             "TrackColor=16776960",
                                             "CoverLineColor_HF_L=255",
                                             "CoverLineColor_HF_R=16711680",
                                             "CoverLineColor_LF_L=8071343",
                                             "CoverLineColor_LF_R=16776960",
                                             "TextColor=0",
                                             "BoatColor=255",
                                             "ViewBKColor=16707019",
                                             "ViewNaviColor=2124031",
                                             "[INSPara]",
                                             "INS_ModeSelect=0",
                                             "INS_Ip=16777343",
                                             "INS_Port=6001",
                                             "INS_NetType=1",
                                             "INS_DataType=0",
                                             "INS_BaudRate=0",
                                             "INS_StopBit=0",
                                             "INS_DataBit=0",
                                             "INS_CheckBit=0"}));
}

// Guards: every setting must come back as it was saved (a key written under one
// name and read under another would silently reset it).
TEST_F(ConfigTest, EverySectionRoundTrips) {
    SonarSettings& s = config.sonar;
    s.hf = {false, 6, 9, 2, 7, 29, 20, 30, 390, 400};
    s.lf = {true, 9, 1, 1, 1, 39, 3, 13, 190, 200};
    s.install = {1480.5f, false,  3.25f, -1.5f, 2.0f, 0.75f, 120.0f, true,
                 15.5f,   1.025f, 2.5f,  1,     1,    1,     true,   2};
    s.alarm = {true, false, 4.5f, 3};
    s.bottomTrack = {1, 5};
    s.display = {10, 20, 30, 40, 1, 2, true, false};
    s.targetNumber = 77;
    config.ins = {2, 0xFF00007Fu, 65535, 0, 1, 5, 1, 7, 2}; // 127.0.0.255
    config.navi.trackColor = 0x123456;
    config.navi.shipVelFmt = 2;
    std::strcpy(config.geo.record.CentralMeridian, "1230000.00000E");
    std::strcpy(config.geo.record.PTransRa, "0.5");
    config.geo.record.ProjectionType = 2;
    config.geo.record.PTransEastDR = 1;
    for (const char* section : kProjectConfigSections)
        ASSERT_TRUE(config.SaveConfigSection(section, projectFile()));

    std::string file = readText(projectFile());
    EXPECT_NE(file.find("\r\nPTransRa='0.5'\r\n"), std::string::npos);
    EXPECT_NE(file.find("\r\nINS_Ip=-16777089\r\n"), std::string::npos)
        << "the address bytes 7F 00 00 FF as a signed little-endian 32-bit number";
    EXPECT_NE(file.find("\r\nFitDensity=1.025000\r\n"), std::string::npos);

    Configuration loaded(dir.path(), messenger);
    for (const char* section : kProjectConfigSections)
        ASSERT_TRUE(loaded.LoadConfigSection(section, projectFile()));
    for (const char* section : kProjectConfigSections) {
        auto a = config.sectionEntries(section).value();
        auto b = loaded.sectionEntries(section).value();
        ASSERT_EQ(a.size(), b.size()) << section;
        for (std::size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].key, b[i].key);
            EXPECT_EQ(a[i].value, b[i].value) << section << "." << a[i].key;
        }
    }
    EXPECT_EQ(loaded.sonar.hf.spreadingValue, 30);
    EXPECT_EQ(loaded.sonar.lf.absorptionValue, 200);
    EXPECT_EQ(loaded.ins.ip, 0xFF00007Fu);
    EXPECT_EQ(loaded.ins.dataBit, 7) << "data bits and parity are separate keys";
    EXPECT_EQ(loaded.ins.checkBit, 2);
    EXPECT_STREQ(loaded.geo.record.PTransRa, "0.5");
    EXPECT_DOUBLE_EQ(loaded.sonar.soundSpeed, 1480.5);
    EXPECT_EQ(loaded.alarmLive.gpsAlertLevel.load(), 3);
    EXPECT_TRUE(loaded.alarmLive.altitudeAlertOn.load());
    EXPECT_FALSE(loaded.alarmLive.gpsAlertOn.load());
    EXPECT_EQ(sink.count(), 0u);
}

// Guards: a new project's empty file must yield the "missing key" column, which
// differs from the start values for four keys.
TEST_F(ConfigTest, EmptyProjectFileGivesTheMissingKeyDefaults) {
    writeText(projectFile(), "");
    ASSERT_TRUE(config.LoadConfigSection("SonarSetPara", projectFile()));
    ASSERT_TRUE(config.LoadConfigSection("INSPara", projectFile()));
    EXPECT_EQ(config.sonar.hf.rangeLevel, 3);
    EXPECT_EQ(config.sonar.hf.pulseLevel, 4);
    EXPECT_EQ(config.sonar.install.shipSpeed, 0.0f);
    EXPECT_FALSE(config.sonar.alarm.alertGps);
    EXPECT_EQ(config.sonar.alarm.alertGpsLevel, 0);
    EXPECT_EQ(config.sonar.bottomTrack.on, 1);
    EXPECT_FALSE(config.alarmLive.gpsAlertOn.load()) << "live alarm copy follows the load";
    EXPECT_EQ(config.alarmLive.gpsAlertLevel.load(), 0);
    EXPECT_EQ(config.ins.ip, kLoopbackInsIp);
    EXPECT_EQ(config.ins.port, 6001);
    EXPECT_EQ(config.ins.netType, 1);
}

TEST_F(ConfigTest, MalformedNumbersKeepTheirNumericPrefix) {
    writeText(projectFile(), crlf({"[SonarSetPara]", "Range_HF=7abc", "Gain_HF=junk",
                                   "Gain_LF=0000000000000000000000000000000000000012",
                                   "FitSoundVelocity=1480.5 m/s", "FitDensity=  1.25kg",
                                   "BT_bOn=1.9", "ChEn_LF=0x1", "LatLonFormat=5", "[INSPara]",
                                   "INS_ModeSelect=2.7", "INS_Port=70000", "INS_BaudRate=-3"}));
    ASSERT_TRUE(config.LoadConfigSection("SonarSetPara", projectFile()));
    ASSERT_TRUE(config.LoadConfigSection("INSPara", projectFile()));
    EXPECT_EQ(config.sonar.hf.rangeLevel, 7);
    EXPECT_EQ(config.sonar.hf.gainLevel, 0);
    // 40 characters: the 40-byte read sees 38 zeros and the "1".
    EXPECT_EQ(config.sonar.lf.gainLevel, 1);
    EXPECT_EQ(config.sonar.install.soundVelocity, 1480.5f);
    EXPECT_DOUBLE_EQ(config.sonar.soundSpeed, 1480.5);
    EXPECT_EQ(config.sonar.install.density, 1.25f);
    EXPECT_EQ(config.sonar.bottomTrack.on, 1);
    EXPECT_FALSE(config.sonar.lf.channelEnabled) << "atoi reads 0x1 as 0";
    EXPECT_EQ(config.sonar.install.latLonFormat, 0);
    EXPECT_EQ(config.ins.modeSelect, 2);
    EXPECT_EQ(config.ins.port, 70000 & 0xFFFF);
    EXPECT_EQ(config.ins.baudRate, -3) << "no range checks beyond LatLonFormat";

    writeText(projectFile(), crlf({"[SonarSetPara]", "LatLonFormat=2"}));
    ASSERT_TRUE(config.LoadConfigSection("SonarSetPara", projectFile()));
    EXPECT_EQ(config.sonar.install.latLonFormat, 2);
    writeText(projectFile(), crlf({"[SonarSetPara]", "LatLonFormat=-1"}));
    ASSERT_TRUE(config.LoadConfigSection("SonarSetPara", projectFile()));
    EXPECT_EQ(config.sonar.install.latLonFormat, 0);
}

// Guards: geodetic texts too long for their fields, and empty values, must leave
// the record as it was instead of truncating a parameter into a wrong number.
TEST_F(ConfigTest, GeodeticFieldsOnlyTakeValuesThatFit) {
    std::string thirtyTwo(32, '1');
    std::string thirtyOne = "6378245." + std::string(23, '0');
    writeText(projectFile(), "[ParaOfGeo]\r\nVersion=0012.0000\r\nSourceSemimajor=" + thirtyOne +
                                 "\r\nTargetSemimajor=" + thirtyTwo +
                                 "\r\nSourceFlattening=\r\nProjectionType=\r\nETransType=1x\r\n"
                                 "AddBandnumber=5\r\nPTransNorthDR=0\r\nPTransRa=\"-0013000.00000\""
                                 "\r\n");
    config.geo.record.PTransNorthDR = 1;
    ASSERT_TRUE(config.LoadConfigSection("ParaOfGeo", projectFile()));
    const auto& r = config.geo.record;
    EXPECT_STREQ(r.Version, "001.000") << "8 characters do not fit";
    EXPECT_EQ(std::string(r.SourceSemimajor), thirtyOne);
    EXPECT_STREQ(r.TargetSemimajor, "6378137.0") << "32 characters do not fit";
    EXPECT_STREQ(r.SourceFlattening, "298.257223563") << "empty leaves the field";
    EXPECT_EQ(r.ProjectionType, 1) << "empty integer leaves the field";
    EXPECT_EQ(r.ETransType, 1);
    EXPECT_EQ(r.AddBandnumber, 1);
    EXPECT_EQ(r.PTransNorthDR, 0);
    EXPECT_STREQ(r.PTransRa, "-0013000.00000");
    EXPECT_STREQ(r.CentralMeridian, "1170000.00000E") << "missing key leaves the field";
}

TEST_F(ConfigTest, NaviKeysMissingOrEmptyKeepTheViewsValues) {
    config.navi.trackColor = 0xABCDEF;
    config.navi.boatColor = 7;
    writeText(projectFile(), crlf({"[ParaOfNavi]", "Compass=0", "BoatColor=", "SurColor=255red"}));
    ASSERT_TRUE(config.LoadConfigSection("ParaOfNavi", projectFile()));
    EXPECT_EQ(config.navi.trackColor, 0xABCDEF);
    EXPECT_EQ(config.navi.boatColor, 7);
    EXPECT_EQ(config.navi.compass, 0);
    EXPECT_EQ(config.navi.surColor, 255);
}

// Guards: loading a project whose configuration file vanished must tell the
// operator (once per section) and keep the settings in hand.
TEST_F(ConfigTest, DeletedConfigurationFileShowsThePathErrorPerSection) {
    config.sonar.hf.rangeLevel = 6;
    std::string path = dir.file("Gone/Gone.ini");
    for (const char* section : kProjectConfigSections)
        EXPECT_FALSE(config.LoadConfigSection(section, path));
    auto messages = sink.messages();
    ASSERT_EQ(messages.size(), 4u);
    for (const auto& m : messages) {
        EXPECT_EQ(m.text, path + " 文件路径错误，无法读取配置信息！");
        EXPECT_EQ(m.caption, "Kestrova");
        EXPECT_EQ(m.flags, 0x31u);
    }
    EXPECT_EQ(config.sonar.hf.rangeLevel, 6);

    messenger.setEnglish(true);
    sink.clear();
    EXPECT_FALSE(config.LoadConfigSection("SonarSetPara", path));
    ASSERT_EQ(sink.count(), 1u);
    EXPECT_EQ(sink.messages()[0].text,
              "Failed to read the configuration information, " + path + " path is error!");

    sink.clear();
    EXPECT_FALSE(config.LoadConfigSection("sonarsetpara", projectFile()));
    EXPECT_FALSE(config.SaveConfigSection("Other", projectFile()));
    EXPECT_EQ(sink.count(), 0u) << "unknown section names are ignored quietly";
    EXPECT_FALSE(std::filesystem::exists(projectFile()));
}

// Guards the project-settings fault: a save that cannot be written must say so,
// and must never replace a file it could not read.
TEST_F(ConfigTest, FailedSaveIsReportedAndLosesNothing) {
    messenger.setEnglish(true);
    std::string missing = dir.file("NoProject/NoProject.ini");
    EXPECT_FALSE(config.SaveConfigSection("SonarSetPara", missing));
    ASSERT_EQ(sink.count(), 1u);
    auto m = sink.messages()[0];
    EXPECT_EQ(m.text.find("Failed to save the configuration information, " + missing), 0u);
    EXPECT_EQ(m.caption, "Kestrova");
    EXPECT_EQ(m.flags & 0xF0u, 0x30u);

    sink.clear();
    std::filesystem::create_directory(projectFile()); // something unreadable in the way
    EXPECT_FALSE(config.SaveConfigSection("SonarSetPara", projectFile()));
    EXPECT_EQ(sink.count(), 1u);
    EXPECT_TRUE(std::filesystem::is_directory(projectFile()));
    sink.clear();
    EXPECT_FALSE(config.LoadConfigSection("SonarSetPara", projectFile()));
    EXPECT_EQ(sink.count(), 1u);
}

// Guards: saving one section must keep the others and the operator's comments.
TEST_F(ConfigTest, SavingASectionKeepsTheRestOfTheFile) {
    writeText(projectFile(), crlf({"; survey 2024", "[ParaOfGeo]", "Version=002.000", "",
                                   "[SonarSetPara]", "Range_HF=1", "Custom=keep"}));
    config.sonar.hf.rangeLevel = 5;
    ASSERT_TRUE(config.SaveConfigSection("SonarSetPara", projectFile()));
    std::string file = readText(projectFile());
    EXPECT_EQ(file.find(crlf({"; survey 2024", "[ParaOfGeo]", "Version=002.000", "",
                              "[SonarSetPara]", "Range_HF=5", "Custom=keep", "ChEn_HF=1"})),
              0u);
    EXPECT_EQ(countEntries(dir.path()), 1u);
}

TEST_F(ConfigTest, SystemConfigurationDefaultsAndValues) {
    config.LoadSystemConfig();
    EXPECT_EQ(config.system.sonarIp, "127.0.0.1");
    EXPECT_EQ(config.system.commandPort, 5001);
    EXPECT_EQ(config.system.dataPort, 5002);
    EXPECT_DOUBLE_EQ(config.system.newScale, 0.05);
    EXPECT_DOUBLE_EQ(config.system.oldScale, 0.95);
    EXPECT_DOUBLE_EQ(config.system.useScale, 0.7);
    EXPECT_EQ(config.system.disSize, 20);
    EXPECT_DOUBLE_EQ(config.system.blindMeter, 3.5);
    EXPECT_EQ(config.system.timeZoneHour, 8);
    EXPECT_EQ(config.system.samplerateHF, 4);
    EXPECT_EQ(config.system.samplerateLF, 8);

    writeText(dir.file("SysCfg.ini"),
              crlf({"[Net]", "IP = 127.0.0.9 ", "PORT1=6101x", "[Max]", "BlindMeter=2.25",
                    "[UserPara]", "TimeZoneHour=-5", "[sonar]", "SamplerateLF=16"}));
    config.LoadSystemConfig();
    EXPECT_EQ(config.system.sonarIp, "127.0.0.9");
    EXPECT_EQ(config.system.commandPort, 6101);
    EXPECT_EQ(config.system.dataPort, 5002);
    EXPECT_DOUBLE_EQ(config.system.blindMeter, 2.25);
    EXPECT_EQ(config.system.timeZoneHour, -5);
    EXPECT_EQ(config.system.samplerateLF, 16);
    EXPECT_EQ(sink.count(), 0u);
}

// Guards: the language flag lives in the user folder (never the program
// folder of an installed program); without the file the user's locale decides
// (mended: it was Chinese on every system), and the file wins over the locale.
TEST_F(ConfigTest, LanguageFlagInTheUserFolderElseTheLocale) {
    TempFolder user;
    Configuration own(dir.path(), user.path() + "/Kestrova", messenger);
    struct Saved {
        const char* name;
        std::optional<std::string> value;
    };
    std::vector<Saved> saved;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        saved.push_back({name, v ? std::optional<std::string>(v) : std::nullopt});
        ::unsetenv(name);
    }
    ::setenv("LANG", "zh_CN.UTF-8", 1);
    EXPECT_FALSE(own.readLanguageFlag());
    ::setenv("LANG", "en_GB.UTF-8", 1);
    EXPECT_TRUE(own.readLanguageFlag());
    ::setenv("LC_ALL", "zh_TW", 1);
    EXPECT_FALSE(own.readLanguageFlag()) << "LC_ALL comes before LANG";
    ::unsetenv("LC_ALL");
    ::unsetenv("LANG");
    EXPECT_TRUE(own.readLanguageFlag()) << "no locale: English";
    EXPECT_TRUE(localeEnglish("C.UTF-8"));
    EXPECT_FALSE(localeEnglish("zh_HK"));

    ::setenv("LANG", "zh_CN.UTF-8", 1);
    EXPECT_TRUE(own.writeLanguageFlag(true)); // makes the missing user folder
    EXPECT_EQ(readText(user.path() + "/Kestrova/PolyvoxSet.lang"), "[English]\r\nbEnglish=1\r\n");
    EXPECT_FALSE(platform::PathFileExistsA(dir.file("PolyvoxSet.lang")));
    EXPECT_TRUE(own.readLanguageFlag());
    writeText(user.path() + "/Kestrova/PolyvoxSet.lang", "[english]\nbenglish=2\n");
    EXPECT_TRUE(own.readLanguageFlag());
    EXPECT_TRUE(own.writeLanguageFlag(false));
    EXPECT_EQ(readText(user.path() + "/Kestrova/PolyvoxSet.lang"), "[english]\nbEnglish=0\n");
    ::setenv("LANG", "en_GB.UTF-8", 1);
    EXPECT_FALSE(own.readLanguageFlag()) << "the file wins over the locale";

    // Kestrova.ini goes there too; SysCfg.ini is looked for there first.
    ASSERT_TRUE(own.writeLastProject({"/p/A/A.ksp", "/p/A", "/p"}));
    EXPECT_TRUE(platform::PathFileExistsA(user.path() + "/Kestrova/Kestrova.ini"));
    EXPECT_FALSE(platform::PathFileExistsA(dir.file("Kestrova.ini")));
    writeText(dir.file("SysCfg.ini"), "[Net]\nIP=127.0.0.7\n");
    own.LoadSystemConfig();
    EXPECT_EQ(own.system.sonarIp, "127.0.0.7");
    writeText(user.path() + "/Kestrova/SysCfg.ini", "[Net]\nIP=127.0.0.8\n");
    own.LoadSystemConfig();
    EXPECT_EQ(own.system.sonarIp, "127.0.0.8");

    // $XDG_CONFIG_HOME/Kestrova, else ~/.config/Kestrova.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::optional<std::string> savedXdg =
        xdg ? std::optional<std::string>(xdg) : std::nullopt;
    ::setenv("XDG_CONFIG_HOME", "/x/conf", 1);
    EXPECT_EQ(userConfigFolder(), "/x/conf/Kestrova/");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    const char* home = std::getenv("HOME");
    EXPECT_EQ(userConfigFolder(), std::string(home ? home : "/tmp") + "/.config/Kestrova/");
    if (savedXdg)
        ::setenv("XDG_CONFIG_HOME", savedXdg->c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
    for (const Saved& s : saved)
        if (s.value)
            ::setenv(s.name, s.value->c_str(), 1);
        else
            ::unsetenv(s.name);
    EXPECT_EQ(sink.count(), 0u);
}

TEST_F(ConfigTest, LastProjectRecord) {
    EXPECT_EQ(config.readLastProject().projectFullName, "");
    LastProjectInfo info{"/data/测量/A/A.ksp", "/data/测量/A", "/data/测量"};
    ASSERT_TRUE(config.writeLastProject(info));
    EXPECT_EQ(readText(dir.file("Kestrova.ini")),
              crlf({"[PreProjectInfo]", "ProjectFullName=/data/测量/A/A.ksp",
                    "ProjectPath=/data/测量/A", "ProjectLocation=/data/测量"}));
    LastProjectInfo back = config.readLastProject();
    EXPECT_EQ(back.projectFullName, info.projectFullName);
    EXPECT_EQ(back.projectPath, info.projectPath);
    EXPECT_EQ(back.projectLocation, info.projectLocation);
    ASSERT_TRUE(config.clearLastProject());
    EXPECT_EQ(readText(dir.file("Kestrova.ini")), "[PreProjectInfo]\r\n");
    EXPECT_FALSE(config.writeLastProject({"/a\nb", "/a", "/"}));
    EXPECT_EQ(sink.count(), 1u);
}

TEST(Messages, LanguagePicksTheTextAndTheSinkAnswers) {
    RecordingMessageSink sink;
    Messenger messenger;
    messenger.setSink(&sink);
    EXPECT_EQ(messenger.ShowMessage("退出？", "Quit Kestrova?", 0x31), IDOK);
    sink.setAnswer(IDCANCEL);
    messenger.setEnglish(true);
    EXPECT_EQ(messenger.ShowMessage("退出？", "Quit Kestrova?", 0x31), IDCANCEL);
    auto m = sink.messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].text, "退出？");
    EXPECT_EQ(m[1].text, "Quit Kestrova?");
    EXPECT_EQ(m[1].caption, "Kestrova");
    EXPECT_EQ(defaultAnswer(0x04), IDYES);
    EXPECT_EQ(withArgument("Failed to create directory %s!", "/d"),
              "Failed to create directory /d!");
}

} // namespace
} // namespace kestrova::app
