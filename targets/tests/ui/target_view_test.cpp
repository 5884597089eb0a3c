// The target view offscreen: a capture becomes a listed, written target; the
// shadow tool measures; "Save" writes a real JPEG drawn off-screen; "Delete"
// removes it.

#include "targets/tests/test_support.h"
#include "targets/ui/target_form_view.h"

#include <QImageReader>
#include <QLabel>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace kestrova::targets::ui {
namespace {

TEST(TargetView, CaptureMeasureSaveAndDelete) {
    testing::TempFolder dir;
    app::RecordingMessageSink sink;
    app::Messenger messenger;
    messenger.setEnglish(true);
    messenger.setSink(&sink);
    const char* bin = std::getenv("KESTROVA_BIN");
    app::Configuration config(bin ? bin : dir.path, messenger);
    platform::MessageQueue queue;
    auto snapshot = std::make_unique<display::TargetSnapshot>();
    int settingsSaved = 0;

    TargetViewLinks links;
    links.config = &config;
    links.snapshot = snapshot.get();
    links.queue = &queue;
    links.projectOpen = [] { return true; };
    links.targetFolder = [&] { return dir.path; };
    links.saveSettings = [&] { ++settingsSaved; };
    links.gridToGeo = [](const GroundPoint&) { return GeoPosition{31.5, 121.25}; };
    links.freeSpace = [](const std::string&) { return std::uint64_t{1} << 40; };
    CTargetFormView view(links);
    view.resize(420, 900);
    view.show();
    view.canvas()->setFixedSize(400, 300);
    queue.post(view.handle(), WM_RELOAD_TARGETS);
    queue.drain();

    // A starboard capture of 20 pings, 400 samples, marked at ping 10 (14:25:11).
    testing::fillSnapshot(*snapshot, 20, 1, 400);
    config.sonar.targetNumber = 3;
    queue.post(view.handle(), WM_CREATE_TARGET, 1);
    queue.drain();
    ASSERT_EQ(view.list()->topLevelItemCount(), 1);
    EXPECT_EQ(view.list()->topLevelItem(0)->text(0).toStdString(), "00003_142511");
    EXPECT_EQ(view.currentName(), "00003_142511");
    EXPECT_TRUE(std::filesystem::exists(dir.file("00003_142511.tgt")));
    EXPECT_EQ(config.sonar.targetNumber, 4);
    EXPECT_EQ(settingsSaved, 1);
    EXPECT_EQ(view.lengthLabel()->text().toStdString(), "Length:0.00 m");
    EXPECT_EQ(view.timeLabel()->text().toStdString(), "Time:2024-01-31 14:25:11");
    EXPECT_EQ(view.pingLabel()->text().toStdString(), "Ping:1010");
    // Marked sample 100 of 400, starboard: 100 * 1500 / 2 / 50000 = 1.5 m east.
    EXPECT_EQ(view.eastLabel()->text().toStdString(), "X(East): 500001.50 m");

    // Shadow: clicks at samples 200, 300, 400 of a 400-pixel-wide picture.
    view.startTool(CTargetFormView::Tool::Height);
    for (int x : {200, 300, 400})
        view.pointerPressed(x, 150);
    EXPECT_EQ(view.heightLabel()->text().toStdString(), "Height: 0.75 m");
    EXPECT_DOUBLE_EQ(view.currentBlock().height, 0.75);

    // Save: the picture is a JPEG of the drawing area's size.
    EXPECT_TRUE(view.saveTarget());
    QImageReader reader(QString::fromStdString(dir.file("00003_142511.jpg")));
    EXPECT_EQ(reader.format().toStdString(), "jpeg");
    EXPECT_EQ(reader.size(), QSize(400, 300));
    ASSERT_EQ(view.store().entries().size(), 1u);
    EXPECT_TRUE(view.store().entries()[0].picture);
    EXPECT_TRUE(sink.messages().empty()) << sink.messages()[0].text;

    // The list comes back from the index, and the target with its height.
    queue.post(view.handle(), WM_RELOAD_TARGETS);
    queue.drain();
    ASSERT_EQ(view.list()->topLevelItemCount(), 1);
    view.showTarget(0);
    EXPECT_EQ(view.heightLabel()->text().toStdString(), "Height:0.75 m");
    EXPECT_EQ(view.lengthLabel()->text().toStdString(), "Length:N/A");

    // Delete, confirmed: both files go, the view is empty.
    sink.setAnswer(app::IDOK);
    view.list()->topLevelItem(0)->setSelected(true);
    view.deleteTargets();
    EXPECT_EQ(view.list()->topLevelItemCount(), 0);
    EXPECT_FALSE(view.hasTarget());
    EXPECT_FALSE(std::filesystem::exists(dir.file("00003_142511.tgt")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("00003_142511.jpg")));
}

} // namespace
} // namespace kestrova::targets::ui
