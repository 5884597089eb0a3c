// The disk page's rules: size and free-space texts, the low-space warnings and
// the switch-off at 100 MiB, the texts the recorders' messages bring, and the
// header of a played file taken into the settings.

#include "acquisition/tests/recording_support.h"
#include "app/disk_page.h"
#include "app/recording_setup.h"

#include <gtest/gtest.h>

namespace kestrova::app {
namespace {

using namespace kestrova::acquisition;
using kestrova::acquisition::testing::ManualClocks;
using kestrova::testing::TempFolder;

TEST(DiskPageTexts, FileSizesByTheSizeRule) {
    EXPECT_EQ(sizeText("File size:", 0), "");
    EXPECT_EQ(sizeText("File size:", 512), "File size: 512 B");
    EXPECT_EQ(sizeText("File size:", 1023), "File size: 1023 B");
    EXPECT_EQ(sizeText("File size:", 1024), "File size: 1.0 KB");
    EXPECT_EQ(sizeText("HF size:", 1536), "HF size: 1.5 KB");
    EXPECT_EQ(sizeText("LF size:", 1048575), "LF size: 1024.0 KB");
    EXPECT_EQ(sizeText("File size:", 1048576), "File size: 1.0 MB");
    EXPECT_EQ(sizeText("File size:", 3ull << 30), "File size: 3072.0 MB");
}

TEST(DiskPageTexts, FreeSpaceByItsRule) {
    EXPECT_EQ(freeSpaceText(kUnknownFreeSpace), "");
    EXPECT_EQ(freeSpaceText(100), "100 B");
    EXPECT_EQ(freeSpaceText(2048), "2.0 KB");
    EXPECT_EQ(freeSpaceText(5u << 20), "5.0 MB");
    EXPECT_EQ(freeSpaceText((1ull << 30) - (1u << 20)), "1023.0 MB");
    EXPECT_EQ(freeSpaceText(1ull << 30), "1.0 GB");
    EXPECT_EQ(freeSpaceText(1610612736ull), "1.5 GB");
}

class DiskPageTest : public ::testing::Test {
  protected:
    DiskPageTest()
        : raw(notices, &queue, clocks.environment()), xtf(notices, &queue, clocks.environment()),
          page(raw, xtf, nullptr, notices) {
        raw.setProjectFolder(project.path());
        xtf.setProjectFolder(project.path());
    }
    void freeSpace(std::uint64_t bytes) {
        clocks.freeBytes = bytes;
        page.handle({1, WM_FREE_SPACE, 0, 0});
    }
    TempFolder project;
    ManualClocks clocks;
    NoticeList notices;
    platform::MessageQueue queue;
    RawRecorder raw;
    XtfWriter xtf;
    DiskPage page;
};

// Guards: the 1 GiB warning must come once, not every second while the disk
// fills, and again only after the space rose above 1 GiB.
TEST_F(DiskPageTest, OneGigabyteWarningOncePerArming) {
    freeSpace(500ull << 20);
    freeSpace(400ull << 20);
    EXPECT_EQ(notices.english(), (std::vector<std::string>{notice::kDiskBelow1G.english}));
    EXPECT_EQ(page.state().freeSpace, "400.0 MB");
    freeSpace(2ull << 30); // re-armed
    EXPECT_EQ(page.state().freeSpace, "2.0 GB");
    freeSpace(900ull << 20);
    EXPECT_EQ(notices.english().size(), 2u);
    freeSpace(512u << 10); // below 1 MiB: text only
    EXPECT_EQ(page.state().freeSpace, "512.0 KB");
    EXPECT_EQ(notices.english().size(), 2u);
}

// Guards: recording must stop before the disk is full, once, with the
// message that says storing stops; XTF must stop too, as the message says.
TEST_F(DiskPageTest, HundredMegabytesSwitchesRecordingOffOnce) {
    ASSERT_TRUE(raw.toggle_raw_recording());
    ASSERT_TRUE(xtf.toggle_xtf_recording());
    notices.clear();
    freeSpace(104857600ull); // exactly 100 MiB
    EXPECT_FALSE(raw.recording());
    EXPECT_FALSE(xtf.recording());
    EXPECT_FALSE(page.state().rawChecked);
    EXPECT_EQ(notices.english(), (std::vector<std::string>{notice::kDiskBelow100MStopped.english}));
    freeSpace(90ull << 20);
    EXPECT_EQ(notices.english().back(), notice::kDiskBelow100M.english);
    EXPECT_EQ(notices.english().size(), 2u);
}

TEST_F(DiskPageTest, MessagesBringNamesAndSizes) {
    page.rawBoxClicked();
    EXPECT_TRUE(page.state().rawChecked);
    page.handle({1, WM_RAW_NAME, 0, 0});
    EXPECT_EQ(page.state().rawName, "20240501_101500.ksf");
    page.handle({1, WM_RAW_SIZE, 2048, 0});
    EXPECT_EQ(page.state().fileSize, "File size: 2.0 KB");
    page.xtfBoxClicked();
    page.handle({1, WM_XTF_NAME_HF, 0, 0});
    page.handle({1, WM_XTF_SIZE_LF, 3u << 20, 0});
    EXPECT_EQ(page.state().xtfName, "20240501_101500_HF.xtf");
    EXPECT_EQ(page.state().lfSize, "LF size: 3.0 MB");
    page.rawBoxClicked();
    page.handle({1, WM_RAW_STATE, 0, 0});
    page.handle({1, WM_RAW_SIZE, 0, 0});
    EXPECT_FALSE(page.state().rawChecked);
    EXPECT_EQ(page.state().fileSize, "");
}

// Guards: a write failure found on the receive thread must not wait there for
// the operator; the notice is shown when the page's message arrives.
TEST_F(DiskPageTest, WorkerNoticesWaitForThePage) {
    QueuedNotices queued(queue);
    platform::WindowHandle pageWindow =
        queue.registerWindow([this](const platform::WindowMessage& m) { page.handle(m); });
    queued.setWindow(pageWindow);
    page.setQueuedNotices(&queued);
    RecordingEnvironment env = clocks.environment();
    env.fileSizeLimit = 1024 + 100; // the first frame does not fit
    RawRecorder small(queued, &queue, env);
    small.setProjectFolder(project.path());
    ASSERT_TRUE(small.toggle_raw_recording());
    small.writeFrame(std::vector<std::uint8_t>(200, 0)); // as the receive thread would
    EXPECT_FALSE(small.recording());
    EXPECT_TRUE(notices.all().empty());
    queue.drain();
    EXPECT_EQ(notices.english(), (std::vector<std::string>{notice::kKsfWriteFailed.english}));
    EXPECT_EQ(queued.showPending(notices), 0u);
}

// Guards: a played file must bring its installation and device model; a type
// the model table does not know selects model 2 (mended: it was refused).
TEST(RecordingSetup, PlayedHeaderSetsInstallationAndModel) {
    TempFolder dir;
    RecordingMessageSink sink;
    Messenger messenger;
    messenger.setSink(&sink);
    Configuration config(dir.path(), messenger);
    KsfHeaderInfo h;
    h.install.soundVelocity = 1490.5f;
    h.install.headingSource = 1;
    h.install.useTowfishDepth = 1;
    h.deviceType = "QM-101";
    h.hfFrequency = 600;
    DeviceSessionBlock session;
    ASSERT_TRUE(applyKsfHeader(config, h, session));
    EXPECT_EQ(config.sonar.install.soundVelocity, 1490.5f);
    EXPECT_DOUBLE_EQ(config.sonar.soundSpeed, 1490.5);
    EXPECT_TRUE(config.sonar.install.useTowfishDepth);
    EXPECT_EQ(config.device.GetModelNumber(), 4);
    EXPECT_EQ(config.device.frequencyCount, 1);
    EXPECT_EQ(session.deviceType, "QM-101");
    EXPECT_EQ(session.hfFrequency, 600.0f);

    // A type the table does not name plays as model 2, as live mode records it.
    h.deviceType = "QM-999";
    h.install.soundVelocity = 1400.0f;
    EXPECT_TRUE(applyKsfHeader(config, h, session));
    EXPECT_EQ(config.sonar.install.soundVelocity, 1400.0f);
    EXPECT_EQ(config.device.GetModelNumber(), 2);
    EXPECT_EQ(config.device.frequencyCount, 2);
    EXPECT_EQ(session.deviceType, "QM-999");
    EXPECT_TRUE(modelTypeKnown("QM-302"));
    EXPECT_FALSE(modelTypeKnown("qm-302"));

    // The header written from the settings carries them back.
    KsfInstallation k = ksfInstallationFrom(config.sonar.install);
    EXPECT_EQ(k.soundVelocity, 1400.0f);
    EXPECT_EQ(k.useTowfishDepth, 1u);
    InstallationSettings back;
    applyKsfInstallation(k, back);
    EXPECT_EQ(back.headingSource, config.sonar.install.headingSource);
}

TEST(RecordingSetup, NoticesGoThroughTheMessengerInTheInterfaceLanguage) {
    RecordingMessageSink sink;
    Messenger messenger;
    messenger.setSink(&sink);
    MessengerNotices notices(messenger);
    notices.notify(notice::kKsfWriteFailed);
    messenger.setEnglish(true);
    notices.notify(notice::kKsfWriteFailed);
    auto m = sink.messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].text, notice::kKsfWriteFailed.chinese);
    EXPECT_EQ(m[1].text, notice::kKsfWriteFailed.english);
    EXPECT_EQ(m[1].caption, "Kestrova");
}

} // namespace
} // namespace kestrova::app
