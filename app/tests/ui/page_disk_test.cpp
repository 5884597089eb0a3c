// The disk page widget under the offscreen platform: the recording boxes make
// and close real files, the recorders' messages reach the labels through the
// message queue, and the playback buttons drive a real recording.

#include "acquisition/tests/recording_support.h"
#include "app/ui/page_disk.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include <chrono>

namespace kestrova::app::ui {
namespace {

using namespace kestrova::acquisition;
using namespace kestrova::acquisition::testing;
using kestrova::testing::TempFolder;

class DiskWidgetTest : public ::testing::Test {
  protected:
    DiskWidgetTest()
        : raw(notices, &queue, clocks.environment()), xtf(notices, &queue, clocks.environment()),
          assembler(sink, status), playback(assembler, status, notices, &queue) {
        raw.setProjectFolder(project.path());
        xtf.setProjectFolder(project.path());
        page = std::make_unique<CPageDisk>(raw, xtf, &playback, notices, queue, true);
        raw.setDiskPage(page->window());
        xtf.setDiskPage(page->window());
        playback.setDiskPage(page->window());
        page->show();
    }
    ~DiskWidgetTest() override { playback.leaveMode(); }
    // Runs the queue as the window's event loop does, until `done` or 5 s.
    template <class F> bool pumpUntil(F done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < end) {
            queue.waitAndDrain(10);
            QApplication::processEvents();
            if (done()) return true;
        }
        return false;
    }
    TempFolder project;
    ManualClocks clocks;
    NoticeList notices;
    platform::MessageQueue queue;
    RawRecorder raw;
    XtfWriter xtf;
    RecordingSink sink;
    SonarStatus status;
    FrameAssembler assembler;
    Playback playback;
    std::unique_ptr<CPageDisk> page;
};

TEST_F(DiskWidgetTest, RecordBoxesMakeFilesAndLabelsFollow) {
    page->rawBox()->click();
    EXPECT_TRUE(raw.recording());
    queue.drain();
    EXPECT_TRUE(page->rawBox()->isChecked());
    EXPECT_EQ(page->rawNameLabel()->text(), "20240501_101500.ksf");
    raw.writeFrame(pingFrame(PingSpec{}));
    queue.drain();
    EXPECT_EQ(page->fileSizeLabel()->text(), "File size: 1.0 KB"); // 1024 bytes before it
    EXPECT_EQ(page->freeSpaceLabel()->text(), "100.0 GB");

    page->xtfBox()->click();
    queue.drain();
    EXPECT_TRUE(xtf.recording()) << ::testing::PrintToString(notices.english());
    EXPECT_EQ(page->xtfNameLabel()->text(), "20240501_101500_HF.xtf");

    page->rawBox()->click();
    page->xtfBox()->click();
    queue.drain();
    EXPECT_FALSE(page->rawBox()->isChecked());
    EXPECT_FALSE(page->xtfBox()->isChecked());
    EXPECT_EQ(page->rawNameLabel()->text(), "");
    EXPECT_EQ(page->fileSizeLabel()->text(), "");
    EXPECT_EQ(filesIn(project.file("Data")).size(), 3u);
}

// The Chinese interface shows its own caption before the recording's size.
TEST_F(DiskWidgetTest, ChineseSizeCaption) {
    CPageDisk chinese(raw, xtf, &playback, notices, queue, false);
    raw.setDiskPage(chinese.window());
    chinese.rawBox()->click();
    raw.writeFrame(pingFrame(PingSpec{}));
    queue.drain();
    EXPECT_EQ(chinese.fileSizeLabel()->text(), QString::fromUtf8("文件大小：1.0 KB"));
    chinese.rawBox()->click();
    queue.drain();
    raw.setDiskPage(page->window());
}

// Guards: a refused record box (disk too small) must not stay ticked.
TEST_F(DiskWidgetTest, RefusedRecordingLeavesTheBoxClear) {
    clocks.freeBytes = 1ull << 30;
    page->rawBox()->click();
    queue.drain();
    EXPECT_FALSE(page->rawBox()->isChecked());
    EXPECT_EQ(notices.english().front(), notice::kDiskBelow2G.english);
}

TEST_F(DiskWidgetTest, PlaybackButtonsDriveARecording) {
    KsfHeaderBytes h = encodeKsfHeader({}, {});
    Bytes file(h.begin(), h.end());
    for (std::uint32_t n = 1; n <= 30; ++n) {
        PingSpec s;
        s.pingNumber = n;
        s.np = s.ns = 300;
        append(file, pingFrame(s));
    }
    kestrova::testing::writeText(project.file("a.ksf"), std::string(file.begin(), file.end()));
    kestrova::testing::writeText(project.file("b.ksf"), std::string(file.begin(), file.end()));

    EXPECT_FALSE(page->startButton()->isEnabled());
    page->setFileChooser([&] { return project.file("a.ksf"); });
    page->openButton()->click();
    queue.drain();
    EXPECT_TRUE(status.playbackMode.load());
    EXPECT_EQ(page->indexLabel()->text(), "1/2");
    EXPECT_FALSE(page->previousButton()->isEnabled());
    EXPECT_TRUE(page->nextButton()->isEnabled());
    EXPECT_TRUE(page->startButton()->isEnabled());
    EXPECT_EQ(page->statusLabel()->text(), "File loading completed!");
    // 1024 + 30 * (228 + 8 * 300 + 4) = 79984 bytes, / 1024 = 78.1
    EXPECT_EQ(page->fileSizeLabel()->text(), "File size: 78.1 KB");
    EXPECT_EQ(page->speedLabel()->text(), "3");

    page->speedUpButton()->click();
    page->speedUpButton()->click();
    EXPECT_EQ(page->speedLabel()->text(), "5");
    EXPECT_FALSE(page->speedUpButton()->isEnabled());
    page->startButton()->click();
    EXPECT_EQ(page->startButton()->text(), "Pause");
    EXPECT_TRUE(page->stopButton()->isEnabled());
    ASSERT_TRUE(pumpUntil([&] { return !playback.playing(); }));
    queue.drain();
    EXPECT_EQ(page->startButton()->text(), "Start");
    EXPECT_FALSE(page->stopButton()->isEnabled());
    EXPECT_EQ(sink.events.size(), 30u);

    // The slider moved by hand changes only the shown percentage.
    page->progressSlider()->setValue(40);
    EXPECT_EQ(page->progressLabel()->text(), "40%");
    EXPECT_EQ(playback.position(), 0u);

    page->nextButton()->click();
    EXPECT_EQ(page->indexLabel()->text(), "2/2");
    EXPECT_FALSE(page->nextButton()->isEnabled());
    EXPECT_TRUE(page->previousButton()->isEnabled());
}

} // namespace
} // namespace kestrova::app::ui

// Widgets need the application object for the whole run and must be gone
// before it is destroyed, so it lives here rather than in a static.
