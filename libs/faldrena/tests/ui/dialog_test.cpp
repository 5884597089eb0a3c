// The coordinate settings dialog as the operator meets it: each library is
// loaded by name from the program folder and its ShowDialog run on a record,
// while a script acts on the open sheet like an operator would.

#include "libs/faldrena/geo_fields.h"
#include "libs/tessmark/engine_handle.h"
#include "platform/library.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace kestrova::faldrena {
namespace {

using Record = _DefGeodetsyParameterSetting;
using ShowDialogFn = unsigned char (*)(Record*);

constexpr const char* kEnglishLibrary = "libFaldrenaEN.so";
constexpr const char* kChineseLibrary = "libFaldrena.so";

std::string binFolder() {
    const char* bin = std::getenv("KESTROVA_BIN");
    return bin ? bin : "build/bin";
}

QDialog* openSheet() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->objectName() == "CSetEllipticalSheet")
            return qobject_cast<QDialog*>(w);
    return nullptr;
}

// Loads the library as the program does, runs ShowDialog on `record` with
// `script` acting on the sheet, and unloads the library again.
unsigned char runDialog(const char* library, Record& record,
                        const std::function<void(QDialog&)>& script) {
    platform::SharedLibrary lib;
    if (!lib.open(binFolder(), library)) {
        ADD_FAILURE() << lib.error();
        return 0xFF;
    }
    auto* show = reinterpret_cast<ShowDialogFn>(lib.symbol("ShowDialog"));
    if (show == nullptr) {
        ADD_FAILURE() << "no ShowDialog in " << library;
        return 0xFF;
    }
    bool ran = false;
    QTimer start;
    start.setSingleShot(true);
    QObject::connect(&start, &QTimer::timeout, [&] {
        QDialog* sheet = openSheet();
        if (sheet == nullptr) {
            ADD_FAILURE() << "no open sheet";
            return;
        }
        ran = true;
        script(*sheet);
        if (sheet->isVisible()) {
            ADD_FAILURE() << "the script left the sheet open";
            sheet->reject();
        }
    });
    start.start(0);
    const unsigned char result = show(&record);
    EXPECT_TRUE(ran);
    lib.close();
    return result;
}

template <typename T> T* child(QDialog& sheet, const char* name) {
    T* w = sheet.findChild<T*>(name);
    if (w == nullptr) ADD_FAILURE() << "no control " << name;
    return w;
}

void click(QDialog& sheet, const char* button) {
    if (auto* b = child<QPushButton>(sheet, button)) b->click();
}

// Types into a masked angle field from its first position, as the operator does.
void typeAngle(QDialog& sheet, const char* field, const char* keys) {
    auto* edit = child<QLineEdit>(sheet, field);
    if (edit == nullptr) return;
    edit->clear();
    edit->setCursorPosition(0);
    QTest::keyClicks(edit, keys);
}

void choose(QDialog& sheet, const char* combo, int index) {
    if (auto* box = child<QComboBox>(sheet, combo)) box->setCurrentIndex(index);
}

std::string shown(QDialog& sheet, const char* field) {
    auto* edit = child<QLineEdit>(sheet, field);
    return edit ? edit->displayText().toStdString() : std::string("<none>");
}

// Runs `action`, which is expected to raise a refusal box; returns its text
// after closing it ("" when none came).
std::string refusalOf(const std::function<void()>& action) {
    std::string text;
    int tries = 0;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box && box->isVisible()) {
                text = box->text().toStdString();
                poll.stop();
                box->buttons().front()->click();
                return;
            }
        }
        if (++tries > 200) poll.stop();
    });
    poll.start();
    action();
    poll.stop();
    return text;
}

bool onCurrentTab(QDialog& sheet, const char* field) {
    auto* tabs = child<QTabWidget>(sheet, "tabs");
    auto* w = sheet.findChild<QWidget*>(field);
    return tabs && w && tabs->currentWidget()->isAncestorOf(w);
}

// The published examples of the dialog: presets, projection choices and the
// packed central meridian as the engine reads it.
TEST(FaldrenaDialog, ChoicesAndTypedAnglesStoreWhatTheEngineReads) {
    Record record = defaultGeodeticRecord();
    setField(record.Version, "9.9");
    // 11 characters: not a packed latitude, shown as the start text.
    setField(record.DatumLatitude, "00000000000");
    const unsigned char result = runDialog(kEnglishLibrary, record, [](QDialog& sheet) {
        EXPECT_EQ(sheet.windowTitle().toStdString(), "Coordinate System Settings");
        // The program's 14-character default is not a packed text.
        EXPECT_EQ(shown(sheet, "CentralMeridian"), "117:00:00.00000 E");

        choose(sheet, "TargetEllipsoid", 2);
        EXPECT_EQ(shown(sheet, "TargetSemimajor"), "6378245.0");
        EXPECT_EQ(shown(sheet, "TargetFlattening"), "298.3");
        EXPECT_TRUE(child<QLineEdit>(sheet, "TargetSemimajor")->isReadOnly());
        EXPECT_TRUE(child<QLineEdit>(sheet, "TargetFlattening")->isReadOnly());
        choose(sheet, "TargetEllipsoid", 0);
        EXPECT_FALSE(child<QLineEdit>(sheet, "TargetSemimajor")->isReadOnly());
        choose(sheet, "TargetEllipsoid", 2);

        auto* latitude = child<QLineEdit>(sheet, "DatumLatitude");
        EXPECT_TRUE(latitude->isHidden()) << "Gauss-Krueger has no latitude of true scale";
        choose(sheet, "ProjectionType", 0);
        EXPECT_EQ(shown(sheet, "ScaleRadio"), "0.9996");
        EXPECT_TRUE(latitude->isHidden());
        choose(sheet, "ProjectionType", 2);
        EXPECT_FALSE(latitude->isHidden());
        EXPECT_EQ(shown(sheet, "DatumLatitude"), "00:00:00.00000 N");
        EXPECT_EQ(shown(sheet, "ScaleRadio"), "1.0");
        child<QLineEdit>(sheet, "NorthConst")->setText("12.5");
        child<QLineEdit>(sheet, "EastConst")->setText("7");
        child<QLineEdit>(sheet, "ScaleRadio")->setText("0.5");
        child<QLineEdit>(sheet, "ProjectonAltitude")->setText("30");
        choose(sheet, "ProjectionType", 1);
        EXPECT_EQ(shown(sheet, "NorthConst"), "0.0");
        EXPECT_EQ(shown(sheet, "EastConst"), "500000.0");
        EXPECT_EQ(shown(sheet, "ScaleRadio"), "1.0");
        EXPECT_EQ(shown(sheet, "ProjectonAltitude"), "0");
        EXPECT_TRUE(latitude->isHidden());

        // 120 degrees 30 minutes east, typed in lower case.
        typeAngle(sheet, "CentralMeridian", "120300000000e");
        EXPECT_EQ(shown(sheet, "CentralMeridian"), "120:30:00.00000 E");
        click(sheet, "ok");
    });
    EXPECT_EQ(result, 1);
    EXPECT_STREQ(record.Version, "9.9") << "outside every tab's block";
    EXPECT_EQ(record.TargetEllipsoid, 2);
    EXPECT_STREQ(record.TargetSemimajor, "6378245.0");
    EXPECT_STREQ(record.TargetFlattening, "298.3");
    EXPECT_EQ(record.ProjectionType, 1);
    EXPECT_STREQ(record.CentralMeridian, "120300000000E");
    EXPECT_STREQ(record.NorthParallel, "00000000000N");
    EXPECT_STREQ(record.SouthParallel, "00000000000N");
    EXPECT_STREQ(record.SkewAzimuth, "0");

    // On the new central meridian the equator point is the false origin.
    tessmark::EngineHandle engine;
    engine.setRecord(record);
    const tessmark::GridPoint g = engine.toGrid(0.0, 120.5, 0.0);
    EXPECT_NEAR(g.north, 0.0, 1e-6);
    EXPECT_NEAR(g.east, 500000.0, 1e-6);
}

// A record damaged in its file: indexes outside their lists are shown as no
// choice, texts without terminator are read within their field, and Cancel
// after any editing hands the record back byte for byte.
TEST(FaldrenaDialog, CancelLeavesADamagedRecordByteForByte) {
    Record record;
    auto* bytes = reinterpret_cast<unsigned char*>(&record);
    for (std::size_t i = 0; i < sizeof record; ++i)
        bytes[i] = static_cast<unsigned char>('0' + i % 10);
    setField(record.Version, "001.000");
    record.SourceEllipsoid = 9;
    record.TargetEllipsoid = -1;
    record.ProjectionType = 7;
    record.ETransType = 5;
    record.PTransType = -3;
    record.HFittingType = 4;
    Record before;
    std::memcpy(&before, &record, sizeof before);

    const unsigned char result = runDialog(kEnglishLibrary, record, [](QDialog& sheet) {
        for (const char* combo : {"SourceEllipsoid", "TargetEllipsoid", "ProjectionType",
                                  "ETransType", "PTransType", "HFittingType"})
            EXPECT_EQ(child<QComboBox>(sheet, combo)->currentIndex(), -1) << combo;
        EXPECT_EQ(shown(sheet, "TargetSemimajor").size(), 31u);
        EXPECT_EQ(refusalOf([&] { click(sheet, "ok"); }), "The Ellipsoid is Not Selected!");
        EXPECT_TRUE(sheet.isVisible());
        choose(sheet, "SourceEllipsoid", 1);
        choose(sheet, "TargetEllipsoid", 3);
        EXPECT_EQ(refusalOf([&] { click(sheet, "ok"); }), "The Projection Error!");
        EXPECT_TRUE(onCurrentTab(sheet, "ProjectionType"));
        choose(sheet, "ProjectionType", 0);
        typeAngle(sheet, "CentralMeridian", "030000000000W");
        click(sheet, "cancel");
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(std::memcmp(&before, &record, sizeof record), 0);
}

// Every value the engine cannot use is refused on OK with the field named,
// and the sheet stays open on the field's tab until it is corrected.
TEST(FaldrenaDialog, RefusedInputsKeepTheSheetOpen) {
    Record record = defaultGeodeticRecord();
    const unsigned char result = runDialog(kEnglishLibrary, record, [](QDialog& sheet) {
        choose(sheet, "SourceEllipsoid", 0);
        choose(sheet, "TargetEllipsoid", 0);
        choose(sheet, "PTransType", 1);
        choose(sheet, "HFittingType", 3);
        struct Case {
            const char* field;
            const char* typed; // numbers set as text, angles typed into the mask
            bool angle;
            const char* message;
        };
        const Case cases[] = {
            {"SourceSemimajor", "abc", false, "Source semi-major axis: must be a number above 0."},
            {"TargetSemimajor", "0", false, "Target semi-major axis: must be a number above 0."},
            {"TargetFlattening", "1", false,
             "Target inverse flattening: must be a number above 1."},
            {"ScaleRadio", "0", false, "Scale factor: must be a number above 0."},
            {"ScaleRadio", "1e999", false, "Scale factor: must be a number above 0."},
            {"NorthConst", "12abc", false, "False northing (m): must be a number."},
            {"EastConst", "", false, "False easting (m): must be a number."},
            {"CentralMeridian", "1203", true,
             "Central meridian: type every position of the angle, as in 117:00:00.00000 E."},
            {"CentralMeridian", "120600000000E", true,
             "Central meridian: minutes must be below 60."},
            {"CentralMeridian", "120006000000E", true,
             "Central meridian: seconds must be below 60."},
            {"CentralMeridian", "180000000001E", true,
             "Central meridian: the angle must be at most 180 degrees."},
            {"CentralMeridian", "120300000000N", true,
             "Central meridian: the hemisphere must be E or W."},
            {"PTransRa", "+03", true,
             "Rotation angle: type every position of the angle, as in  000:00:00.00000."},
            {"PTransSc", "0", false, "Plane scale factor: must be a number above 0."},
            {"HFittingF", "nan", false, "Coefficient F: must be a number."},
            {"CTransDz", "1,5", false, "Shift of h (m): must be a number."},
        };
        for (const Case& c : cases) {
            auto* edit = child<QLineEdit>(sheet, c.field);
            const QString good = edit->text();
            if (c.angle)
                typeAngle(sheet, c.field, c.typed);
            else
                edit->setText(c.typed);
            EXPECT_EQ(refusalOf([&] { click(sheet, "ok"); }), c.message) << c.field;
            EXPECT_TRUE(sheet.isVisible()) << c.field;
            EXPECT_TRUE(onCurrentTab(sheet, c.field)) << c.field;
            edit->setText(good);
        }
        // A latitude of true scale of 90 degrees leaves Mercator without scale.
        choose(sheet, "ProjectionType", 2);
        typeAngle(sheet, "DatumLatitude", "90000000000N");
        EXPECT_EQ(refusalOf([&] { click(sheet, "ok"); }),
                  "Latitude of true scale: the angle must be below 90 degrees.");
        typeAngle(sheet, "DatumLatitude", "89595999999s");
        click(sheet, "ok");
    });
    EXPECT_EQ(result, 1);
    EXPECT_STREQ(record.DatumLatitude, "89595999999S");
    EXPECT_STREQ(record.PTransRa, " 000000000000");
    EXPECT_STREQ(record.SourceSemimajor, "6378137.0");
}

// Every text a build shows: the caption, tabs, labels, buttons, lists and a
// refusal message.
std::vector<std::string> textsOf(const char* library) {
    std::vector<std::string> texts;
    Record record = defaultGeodeticRecord();
    runDialog(library, record, [&](QDialog& sheet) {
        texts.push_back(sheet.windowTitle().toStdString());
        auto* tabs = child<QTabWidget>(sheet, "tabs");
        for (int i = 0; i < tabs->count(); ++i)
            texts.push_back(tabs->tabText(i).toStdString());
        for (auto* l : sheet.findChildren<QLabel*>())
            texts.push_back(l->text().toStdString());
        for (auto* b : sheet.findChildren<QPushButton*>())
            texts.push_back(b->text().toStdString());
        for (auto* g : sheet.findChildren<QGroupBox*>())
            texts.push_back(g->title().toStdString());
        for (auto* c : sheet.findChildren<QComboBox*>())
            for (int i = 0; i < c->count(); ++i)
                texts.push_back(c->itemText(i).toStdString());
        child<QLineEdit>(sheet, "ScaleRadio")->setText("0");
        texts.push_back(refusalOf([&] { click(sheet, "ok"); }));
        click(sheet, "cancel");
    });
    return texts;
}

bool hasChinese(const std::string& utf8) {
    const QString text = QString::fromStdString(utf8);
    for (QChar c : text)
        if (c.unicode() >= 0x2E80) return true;
    return false;
}

bool hasLatinLetter(const std::string& text) {
    for (char c : text)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    return false;
}

TEST(FaldrenaDialog, EachBuildShowsOnlyItsLanguage) {
    const std::vector<std::string> english = textsOf(kEnglishLibrary);
    ASSERT_GT(english.size(), 40u);
    for (const std::string& t : english)
        EXPECT_FALSE(hasChinese(t)) << t;
    EXPECT_NE(std::find(english.begin(), english.end(), "Ellipsoid"), english.end());

    const std::vector<std::string> chinese = textsOf(kChineseLibrary);
    ASSERT_EQ(chinese.size(), english.size());
    // Names of reference systems are written the same in both interfaces.
    for (const std::string& t : chinese) {
        const bool sharedName = t == "WGS-84" || t == "PRS92";
        EXPECT_TRUE(sharedName || !hasLatinLetter(t) || hasChinese(t)) << t;
    }
}

// After the dialog sets up UTM zone 55 on GRS80 (the CN2000 preset) the
// engine gives the published MGA coordinates of Flinders Peak (Geocentric
// Datum of Australia technical manual): 5 796 489.777 N, 273 741.297 E.
TEST(FaldrenaDialog, EngineMatchesPublishedGridAfterTheDialog) {
    Record record = defaultGeodeticRecord();
    const unsigned char result = runDialog(kChineseLibrary, record, [](QDialog& sheet) {
        choose(sheet, "TargetEllipsoid", 4);
        choose(sheet, "ProjectionType", 0);
        typeAngle(sheet, "CentralMeridian", "147000000000E");
        child<QLineEdit>(sheet, "NorthConst")->setText("10000000");
        click(sheet, "ok");
    });
    ASSERT_EQ(result, 1);
    tessmark::EngineHandle engine;
    engine.setRecord(record);
    const double latitude = -(37.0 + 57.0 / 60 + 3.7203 / 3600);
    const double longitude = 144.0 + 25.0 / 60 + 29.5244 / 3600;
    const tessmark::GridPoint g = engine.toGrid(latitude, longitude, 0.0);
    EXPECT_NEAR(g.north, 5796489.777, 0.005);
    EXPECT_NEAR(g.east, 273741.297, 0.005);
}

} // namespace
} // namespace kestrova::faldrena
