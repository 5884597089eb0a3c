// The line editor's rules as a surveyor planning a block meets them: offset
// lines on the correct side at the correct distance, the refusals with their
// messages, names, deletion, and typed latitudes and longitudes.

#include "app/config/message.h"
#include "navigation/line_editor.h"
#include "position/geodesy_engine.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using namespace kestrova;
using namespace kestrova::navigation;

struct Editor {
    Editor() : editor(messenger, engine) {
        // A project grid about 75 E, where the typed examples lie.
        _DefGeodetsyParameterSetting record = defaultGeodeticRecord();
        std::snprintf(record.CentralMeridian, sizeof record.CentralMeridian, "075000000000E");
        engine.setRecord(record);
        messenger.setSink(&sink);
        messenger.setEnglish(true);
    }
    std::string last() const {
        auto all = sink.messages();
        return all.empty() ? std::string() : all.back().text;
    }
    // A list holding one line with the given points, selected.
    void reference(std::vector<LinePoint> points) {
        editor.lines() = {{"1", std::move(points)}};
        editor.selectLine(0);
    }
    app::RecordingMessageSink sink;
    app::Messenger messenger;
    position::GeodesyEngine engine;
    LineEditor editor;
};

void expectLine(const SurveyLine& line, const char* name, LinePoint a, LinePoint b) {
    ASSERT_EQ(line.points.size(), 2u) << name;
    EXPECT_EQ(line.name, name);
    EXPECT_NEAR(line.points[0].x, a.x, 1e-6) << name;
    EXPECT_NEAR(line.points[0].y, a.y, 1e-6) << name;
    EXPECT_NEAR(line.points[1].x, b.x, 1e-6) << name;
    EXPECT_NEAR(line.points[1].y, b.y, 1e-6) << name;
}

// Guards: lines generated on the wrong side (left is to the left travelling
// from the first point to the second), at the wrong distance, in an order that
// does not run across the block, or left with their old names.
TEST(LineEditor, ParallelLinesGoLeftOfTravelAndTheBlockIsRenumbered) {
    Editor e;
    e.reference({{0, 0}, {0, 100}});
    e.editor.lines()[0].name = "17";
    ASSERT_TRUE(e.editor.offsetParallel({2, 0, 10.0}));
    const auto all = e.sink.messages();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].text, "The current operation:\n2 lines left of center \nDistance between "
                           "lines is 10.0.");
    EXPECT_EQ(all[1].text, "Offset completed");
    const auto& lines = e.editor.lines();
    ASSERT_EQ(lines.size(), 3u);
    expectLine(lines[0], "1", {-20, 0}, {-20, 100});
    expectLine(lines[1], "2", {-10, 0}, {-10, 100});
    expectLine(lines[2], "3", {0, 0}, {0, 100});
    EXPECT_EQ(e.editor.selectedLine(), 2); // the reference stays selected
    EXPECT_TRUE(e.editor.modified());
    EXPECT_EQ(e.editor.countText(), "Lines num:3");

    // A diagonal reference, one line each side: right lines follow the reference.
    e.reference({{0, 0}, {100, 100}});
    ASSERT_TRUE(e.editor.offsetParallel({1, 1, 10.0}));
    ASSERT_EQ(e.editor.lines().size(), 3u);
    expectLine(e.editor.lines()[0], "1", {-7.071068, 7.071068}, {92.928932, 107.071068});
    expectLine(e.editor.lines()[2], "3", {7.071068, -7.071068}, {107.071068, 92.928932});

    // The operator cancels the confirmation: nothing changes.
    e.reference({{0, 0}, {0, 100}});
    e.sink.setAnswer(app::IDCANCEL);
    EXPECT_FALSE(e.editor.offsetParallel({0, 3, 5.0}));
    EXPECT_EQ(e.last(), "The current operation:\n3 lines right of center \nDistance between "
                        "lines is 5.0.");
    EXPECT_EQ(e.editor.lines().size(), 1u);
}

// Guards: offsets from a line that is not a two-point line, a zero spacing,
// an undefined direction (both points the same) and a purely east or north
// stair step silently doing nothing.
TEST(LineEditor, OffsetRefusalsAndStairSteps) {
    Editor e;
    e.editor.lines() = {{"1", {{0, 0}, {0, 100}}}};
    e.editor.selectLine(-1);
    EXPECT_FALSE(e.editor.offsetParallel({}));
    EXPECT_EQ(e.last(), "Please select a reference line first!");
    e.reference({{0, 0}});
    EXPECT_FALSE(e.editor.offsetShift({}));
    EXPECT_EQ(e.last(), "The number of point in the selected reference line less than 2!");
    e.reference({{0, 0}, {0, 50}, {0, 100}});
    EXPECT_FALSE(e.editor.offsetParallel({}));
    EXPECT_EQ(e.last(), "The current version only supports point number equal to 2!");
    e.reference({{5, 5}, {5, 5 + 1e-9}});
    EXPECT_FALSE(e.editor.offsetParallel({}));
    EXPECT_EQ(e.last(), "The two points of the reference line are the same: it has no direction!");
    e.reference({{0, 0}, {0, 100}});
    EXPECT_FALSE(e.editor.offsetParallel({2, 0, 0.0}));
    EXPECT_EQ(e.last(), "The distance can't be 0!");
    EXPECT_EQ(e.editor.lines().size(), 1u);

    // A shift purely east: copies follow the reference, each one step further.
    e.editor.lines() = {{"a", {{0, 0}, {0, 100}}}, {"b", {{500, 0}, {500, 100}}}};
    e.editor.selectLine(0);
    e.sink.clear();
    ASSERT_TRUE(e.editor.offsetShift({2, 50.0, 0.0}));
    EXPECT_EQ(e.last(), "Offset completed");
    const auto& lines = e.editor.lines();
    ASSERT_EQ(lines.size(), 4u);
    expectLine(lines[1], "2", {50, 0}, {50, 100});
    expectLine(lines[2], "3", {100, 0}, {100, 100});
    expectLine(lines[3], "4", {500, 0}, {500, 100});
    EXPECT_FALSE(e.editor.offsetShift({2, 0.0, 0.0}));
    EXPECT_EQ(e.last(), "The shift can't be 0!");
}

// Guards: a new line not numbered after the last one, and deleting the first
// line leaving nothing (or the wrong line) selected.
TEST(LineEditor, LineNamesAndSelectionAfterDelete) {
    Editor e;
    e.editor.lines() = {{"3", {}}, {"7", {}}};
    e.editor.addLine();
    EXPECT_EQ(e.editor.lines().back().name, "8");
    EXPECT_EQ(e.editor.selectedLine(), 2);
    e.editor.lines().clear();
    e.editor.addLine();
    EXPECT_EQ(e.editor.lines().back().name, "1");

    e.editor.lines() = {{"1", {}}, {"2", {}}, {"3", {}}};
    e.editor.selectLine(0);
    ASSERT_TRUE(e.editor.deleteLine());
    EXPECT_EQ(e.editor.selectedLine(), 1); // the last line
    EXPECT_EQ(e.editor.lines()[1].name, "3");
    e.editor.selectLine(1);
    ASSERT_TRUE(e.editor.deleteLine());
    EXPECT_EQ(e.editor.selectedLine(), 0); // the previous line
    e.editor.selectLine(-1);
    EXPECT_FALSE(e.editor.deleteLine());
    EXPECT_EQ(e.last(), "Failed to select a line!");
}

// Guards: impossible angles (60 minutes, 60 seconds, latitude beyond 90,
// longitude beyond 180) accepted as points, the hemisphere sign lost, and a
// shown value that the editor would refuse when typed back.
TEST(LineEditor, GeographicTextsAreCheckedAndConverted) {
    const double b = 4 + 29 / 60.0 + 29.6751 / 3600.0;
    const double l = 76 + 21 / 60.0 + 7.3738 / 3600.0;
    EXPECT_NEAR(*parseLatitude("04 29 29.6751 N"), b, 1e-12);
    EXPECT_NEAR(*parseLongitude("076 21 7.3738 E"), l, 1e-12);
    EXPECT_NEAR(*parseLatitude("4  29 29.6751 s"), -b, 1e-12);
    EXPECT_NEAR(*parseLongitude("076 21 7.3738 W"), -l, 1e-12);
    for (const char* bad : {"04 29 N", "04 60 00 N", "04 29 60 N", "90 00 0.1 N", "04 29 29 E",
                            "04 -2 29 N", "x4 29 29 N", ""})
        EXPECT_FALSE(parseLatitude(bad)) << bad;
    EXPECT_TRUE(parseLatitude("90 00 0 S"));
    EXPECT_FALSE(parseLongitude("180 00 0.5 E"));
    EXPECT_TRUE(parseLongitude("180 00 0 W"));
    EXPECT_EQ(formatLatitude(-b), "04 29 29.675100 S");
    EXPECT_EQ(formatLongitude(l), "076 21 7.373800 E");
    EXPECT_EQ(formatLatitude(10 + 59 / 60.0 + 59.9999997 / 3600.0), "11 00 0.000000 N");

    // Typed into the editor: the grid point is the engine's, easting first.
    Editor e;
    e.reference({});
    e.editor.setMode(CoordinateMode::Geographic);
    EXPECT_FALSE(e.editor.addPoint("04 61 29.6751 N", "076 21 7.3738 E"));
    EXPECT_EQ(e.last(), "Latitude data input error!");
    EXPECT_FALSE(e.editor.addPoint("04 29 29.6751 N", "181 21 7.3738 E"));
    EXPECT_EQ(e.last(), "Longitude data input error!");
    ASSERT_TRUE(e.editor.addPoint("04 29 29.6751 N", "076 21 7.3738 E"));
    const position::GridPoint g = e.engine.forward(b, l, 0.0);
    const LinePoint p = e.editor.lines()[0].points.at(0);
    EXPECT_NEAR(p.x, g.y, 1e-6);
    EXPECT_NEAR(p.y, g.x, 1e-6);
    EXPECT_EQ(e.editor.pointTexts(p).first, "04 29 29.675100 N");
    EXPECT_EQ(e.editor.pointTexts(p).second, "076 21 7.373800 E");
}

} // namespace
