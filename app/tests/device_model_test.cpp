// The device model table, the limits files and applying a model.

#include "app/config/device_model.h"
#include "platform/ini.h"
#include "platform/tests/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kestrova::app {
namespace {

using kestrova::testing::TempFolder;
using kestrova::testing::writeText;

// Guards: a wrong row would load another model's limits and offer the operator
// ranges the towfish cannot do.
TEST(ModelTable, IdentifiersGiveTheirModelNumbersAndFiles) {
    struct Row {
        const char* id;
        int number;
        const char* file;
        int frequencies;
    };
    const Row rows[] = {
        {"QM-101", 4, "QM-101.ini", 1},  {"QM-102", 4, "QM-101.ini", 1},
        {"QM-103", 4, "QM-101.ini", 1},  {"QM-104", 5, "QM-104.ini", 1},
        {"QM-201", 6, "QM-201.ini", 1},  {"QM-202", 6, "QM-201.ini", 1},
        {"QM-203", 7, "QM-203.ini", 1},  {"QM-204", 7, "QM-203.ini", 1},
        {"QM-205", 7, "QM-203.ini", 1},  {"QM-206", 8, "QM-206.ini", 1},
        {"QM-207", 8, "QM-206.ini", 1},  {"QM-208", 9, "QM-208.ini", 2},
        {"QM-209", 9, "QM-208.ini", 2},  {"QM-301", 3, "QM-301.ini", 2},
        {"QM-302", 2, "QM-302.ini", 2},  {"QM-303", 1, "QM-303.ini", 2},
        {"QM-304", 19, "QM-304.ini", 1}, {"QM-305", 20, "QM-305.ini", 1},
        {"QM-306", 18, "QM-306.ini", 1}, {"XYZ", 2, "QM-302.ini", 2},
        {"qm-101", 2, "QM-302.ini", 2},  {"QM-101 ", 2, "QM-302.ini", 2},
        {"", 2, "QM-302.ini", 2},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.id);
        int number = ModelNumberFromIdentifier(r.id);
        EXPECT_EQ(number, r.number);
        EXPECT_EQ(limitsFileName(number), r.file);
        ASSERT_NE(modelCapabilities(number), nullptr);
        EXPECT_EQ(modelCapabilities(number)->frequencies, r.frequencies);
    }
    EXPECT_EQ(modelCapabilities(42), nullptr);
    EXPECT_EQ(limitsFileName(42), "QM-302.ini");
}

// Guards: a missing or partly written limits file must fall back per key to the
// documented defaults, and a number with trailing text keeps its prefix.
TEST(ModelLimitsFile, MissingKeysTakeTheDefaults) {
    TempFolder dir;
    ModelLimits none = readModelLimits(dir.file("QM-101.ini"));
    EXPECT_EQ(none.hf.rangeMin, 0);
    EXPECT_EQ(none.hf.rangeMax, 6);
    EXPECT_EQ(none.hf.gainMax, 29);
    EXPECT_EQ(none.hf.absorptionMax, 390);
    EXPECT_EQ(none.lf.rangeMax, 9);
    EXPECT_EQ(none.lf.gainMax, 39);
    EXPECT_EQ(none.lf.absorptionMax, 190);
    EXPECT_EQ(none.lf.spreadingMax, 20);
    EXPECT_EQ(none.lf.powerMax, 9);

    writeText(dir.file("QM-101.ini"), "[range_hf]\nRangeLevelMax_HF=4 (75 m)\n"
                                      "[Gain_LF]\nGainLevelMin_LF=3\n"
                                      "[Gain_HF]\nGainLevelMin_LF=7\n");
    ModelLimits some = readModelLimits(dir.file("QM-101.ini"));
    EXPECT_EQ(some.hf.rangeMax, 4);
    EXPECT_EQ(some.hf.rangeMin, 0);
    EXPECT_EQ(some.lf.gainMin, 3);
    EXPECT_EQ(some.hf.gainMin, 0) << "a key in the wrong section does not count";
}

TEST(ApplyDeviceModel, DerivesLayoutSensorsAndLimitsAndNotifies) {
    TempFolder dir;
    writeText(dir.file("QM-104.ini"), "[Range_HF]\nRangeLevelMax_HF=5\n");
    DeviceModel model(dir.path());
    EXPECT_EQ(model.GetModelNumber(), 2);
    int notified = 0;
    int id = model.addObserver([&] { ++notified; });

    model.SetModelNumber(ModelNumberFromIdentifier("QM-104"));
    model.ApplyDeviceModel();
    EXPECT_EQ(model.frequencyCount, 1);
    EXPECT_EQ(model.FrequencyLayout, kLayoutHfOnly);
    EXPECT_FALSE(model.sensors.pressure);
    EXPECT_EQ(model.limits.hf.rangeMax, 5);
    EXPECT_EQ(notified, 1);

    model.SetModelNumber(ModelNumberFromIdentifier("XYZ"));
    model.ApplyDeviceModel();
    EXPECT_EQ(model.frequencyCount, 2);
    EXPECT_EQ(model.FrequencyLayout, kLayoutBoth);
    EXPECT_TRUE(model.sensors.heading);
    EXPECT_EQ(model.limits.hf.rangeMax, 6) << "no QM-302.ini here: the defaults";
    EXPECT_EQ(notified, 2);

    // A number outside the table keeps the frequency count and sensors.
    model.SetModelNumber(5);
    model.ApplyDeviceModel();
    model.SetModelNumber(42);
    model.ApplyDeviceModel();
    EXPECT_EQ(model.frequencyCount, 1);
    EXPECT_EQ(model.FrequencyLayout, kLayoutHfOnly);
    EXPECT_EQ(model.limitsPath(), dir.file("QM-302.ini"));

    model.removeObserver(id);
    model.ApplyDeviceModel();
    EXPECT_EQ(notified, 4);
}

// Guards: every model of the table must find its limits file beside the
// program, complete with all twenty limits.
TEST(ShippedLimitsFiles, EveryModelHasACompleteFileBesideTheProgram) {
    const char* bin = std::getenv("KESTROVA_BIN");
    ASSERT_NE(bin, nullptr);
    const char* parameters[] = {"Range", "Power", "Gain", "Spreading", "Absorption"};
    for (const std::string& name : allLimitsFileNames()) {
        SCOPED_TRACE(name);
        platform::IniFile file(std::string(bin) + "/" + name);
        ASSERT_TRUE(file.load());
        ASSERT_TRUE(file.existed());
        for (const char* suffix : {"_HF", "_LF"}) {
            for (const char* p : parameters) {
                for (const char* limit : {"Min", "Max"}) {
                    std::string section = std::string(p) + suffix;
                    std::string key = std::string(p) + "Level" + limit + suffix;
                    EXPECT_TRUE(file.document().value(section, key).has_value()) << key;
                }
            }
        }
        ModelLimits l = readModelLimits(file.path());
        for (const FrequencyLimits* f : {&l.hf, &l.lf}) {
            EXPECT_LE(f->rangeMin, f->rangeMax);
            EXPECT_LE(f->rangeMax, 9);
            EXPECT_LE(f->powerMax, 9);
            EXPECT_LE(f->gainMin, f->gainMax);
        }
    }
}

} // namespace
} // namespace kestrova::app
