// The survey line editor with the navigation view under the offscreen
// platform: a line typed in latitude and longitude shows on the map where the
// program's grid conversion puts it, and a point clicked on the map lands in
// the selected line.

#include "navigation/ui/navi_form_view.h"
#include "navigation/ui/sur_line_edit_dlg.h"
#include "platform/fs.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include <unistd.h>

namespace {

using namespace kestrova;
using namespace kestrova::navigation;
using namespace kestrova::navigation::ui;

struct Map {
    Map() : view(messenger, true, host()) {
        // The project grid about 75 E, where the typed points lie.
        _DefGeodetsyParameterSetting record = defaultGeodeticRecord();
        std::snprintf(record.CentralMeridian, sizeof record.CentralMeridian, "075000000000E");
        engine.setRecord(record);
        messenger.setSink(&sink);
        messenger.setEnglish(true);
        view.resize(400, 300);
        view.show();
        QApplication::processEvents();
    }
    NaviViewHost host() {
        NaviViewHost h;
        h.geodesy = &engine;
        return h;
    }
    position::GeodesyEngine engine;
    app::RecordingMessageSink sink;
    app::Messenger messenger;
    CNaviFormView view;
};

void click(QWidget& w, QPointF at, Qt::MouseButton button) {
    QMouseEvent press(QEvent::MouseButtonPress, at, w.mapToGlobal(at), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(&w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w.mapToGlobal(at), button, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&w, &release);
}

// The editor colour (0x00FFFF as BGR: yellow), at least half covering a
// pixel within two of the point (the map is drawn antialiased).
bool editorColourNear(const QImage& map, double x, double y) {
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            const QColor c = map.pixelColor(static_cast<int>(std::lround(x)) + dx,
                                            static_cast<int>(std::lround(y)) + dy);
            if (c.red() > 150 && c.green() > 120 && c.blue() < 130) return true;
        }
    return false;
}

// Guards: geographic input converted with swapped axes or another mapping
// than the program's engine, a saved file never reaching the map, and clicks
// in add-point mode going nowhere or to another line.
TEST(SurLineEditor, TypedGeographicLineAndClickedPointOnTheMap) {
    Map m;
    m.view.command(navi_command::kLineEditor);
    CSurLineEditDlg* dlg = m.view.lineEditor();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->countStatus(), "Lines num:1");

    dlg->setGeographic(true);
    EXPECT_EQ(dlg->firstInput()->text(), "04 29 29.6751 N");
    EXPECT_EQ(dlg->secondInput()->text(), "076 21 7.3738 E");
    EXPECT_EQ(dlg->noteStatus(),
              "Note: the format: latitude (XX XX xx.xxxx N) longitude (XXX XX xx.xxxx E)");
    dlg->addPoint();
    dlg->firstInput()->setText("04 29 35.0 N");
    dlg->secondInput()->setText("076 21 12.5 E");
    dlg->addPoint();
    ASSERT_EQ(dlg->pointList()->rowCount(), 2);
    EXPECT_EQ(dlg->pointList()->item(1, 1)->text(), "04 29 35.000000 N");

    // Saved (".lnw" added) and handed to the view, which fits to it.
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("kestrova_editor_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    dlg->hooks().chooseSaveFile = [&] { return (folder / "block").string(); };
    ASSERT_TRUE(dlg->saveAs());
    EXPECT_TRUE(std::filesystem::exists(folder / "block.lnw"));
    ASSERT_TRUE(m.view.model().lines().loaded());
    ASSERT_EQ(m.view.model().lines().lines().size(), 1u);

    // Where the engine puts the two typed points, independently of the editor.
    const position::GridPoint a =
        m.engine.forward(4 + 29 / 60.0 + 29.6751 / 3600.0, 76 + 21 / 60.0 + 7.3738 / 3600.0, 0.0);
    const position::GridPoint b =
        m.engine.forward(4 + 29 / 60.0 + 35.0 / 3600.0, 76 + 21 / 60.0 + 12.5 / 3600.0, 0.0);
    const auto& saved = m.view.model().lines().lines()[0].points;
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_NEAR(saved[0].x, a.y, 1e-6);
    EXPECT_NEAR(saved[0].y, a.x, 1e-6);
    EXPECT_NEAR(saved[1].x, b.y, 1e-6);
    EXPECT_NEAR(saved[1].y, b.x, 1e-6);
    const QImage map = m.view.grabMap();
    const ScreenPoint sa = gridToScreen(m.view.model().view(), a.y, a.x);
    const ScreenPoint sb = gridToScreen(m.view.model().view(), b.y, b.x);
    EXPECT_TRUE(editorColourNear(map, (sa.x + sb.x) / 2, (sa.y + sb.y) / 2));
    EXPECT_TRUE(editorColourNear(map, sa.x * 0.75 + sb.x * 0.25, sa.y * 0.75 + sb.y * 0.25));

    // Pick on the map: each click goes to the selected line; a right click ends it.
    dlg->addLine();
    dlg->selectLine(0);
    dlg->pickPoints();
    EXPECT_TRUE(m.view.model().view().addPointMode);
    const QPointF at(60, 240);
    const GridPoint expected = screenToGrid(m.view.model().view(), at.x(), at.y());
    click(m.view, at, Qt::LeftButton);
    const auto& line = dlg->editor().lines()[0].points;
    ASSERT_EQ(line.size(), 3u);
    EXPECT_NEAR(line[2].x, expected.east, 1e-6);
    EXPECT_NEAR(line[2].y, expected.north, 1e-6);
    EXPECT_TRUE(dlg->editor().lines()[1].points.empty());
    EXPECT_TRUE(dlg->editor().modified());
    EXPECT_EQ(dlg->pointList()->rowCount(), 3);
    click(m.view, at, Qt::RightButton);
    EXPECT_FALSE(m.view.model().view().addPointMode);
    EXPECT_EQ(dlg->editor().lines()[0].points.size(), 3u);

    // The "Line deviation" sheet starts on the defaults; its choice offsets the line.
    COffsetLineSheet sheet(OffsetChoice{}, true);
    EXPECT_EQ(sheet.windowTitle(), "Line deviation");
    EXPECT_EQ(sheet.choice().parallelParams.left, 2);
    EXPECT_DOUBLE_EQ(sheet.choice().parallelParams.spacing, 3.5);
    sheet.showPage(false);
    EXPECT_FALSE(sheet.choice().parallel);
    EXPECT_DOUBLE_EQ(sheet.choice().shiftParams.north, 3.5);
    dlg->selectLine(1);
    dlg->offsetLines(); // the new line has no points
    EXPECT_EQ(m.sink.messages().back().text,
              "The number of point in the selected reference line less than 2!");
    dlg->editor().lines()[1].points = {{0, 0}, {0, 100}};
    dlg->hooks().runOffsetSheet = [](OffsetChoice& c) {
        c.parallel = true;
        c.parallelParams = {0, 1, 10.0};
        return true;
    };
    dlg->offsetLines();
    EXPECT_EQ(m.sink.messages().back().text, "Offset completed");
    EXPECT_EQ(dlg->countStatus(), "Lines num:3");
    EXPECT_EQ(dlg->lineList()->count(), 3);

    // Closing with the change unsaved asks; No keeps the file as it was.
    m.sink.setAnswer(app::IDNO);
    dlg->close();
    EXPECT_EQ(m.sink.messages().back().text, "Save changes to " + (folder / "block.lnw").string());
    EXPECT_FALSE(dlg->isVisible());
    std::filesystem::remove_all(folder);
}

} // namespace
