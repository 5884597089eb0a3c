// The playback thread over real recordings in a temporary folder: the pings
// it feeds equal those received live, pause holds the position, the end of the
// file rewinds and Start replays it, files are refused with their messages,
// previous/next walk the folder, the speed buttons keep to 1-5.

#include "acquisition/playback.h"
#include "acquisition/tests/recording_support.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>

namespace kestrova::acquisition::testing {
namespace {

using kestrova::testing::TempFolder;
using kestrova::testing::writeText;

// What the playback thread hands on, kept under a lock.
class SharedSink : public FrameSink {
  public:
    bool handPing(const PingRecord& ping, float, std::uint8_t) override {
        std::lock_guard<std::mutex> hold(mutex);
        pings.emplace_back(ping.bytes().begin(), ping.bytes().end());
        return true;
    }
    void replayPosition(FrameType type,
                        std::span<const std::uint8_t, kPositionRecordSize> r) override {
        std::lock_guard<std::mutex> hold(mutex);
        positions.push_back({static_cast<int>(type), r[0]});
    }
    std::size_t count() {
        std::lock_guard<std::mutex> hold(mutex);
        return pings.size();
    }
    std::mutex mutex;
    std::vector<Bytes> pings;
    std::vector<std::pair<int, int>> positions;
};

Bytes recordingBytes(int pings, std::uint32_t np) {
    KsfHeaderBytes h = encodeKsfHeader({}, {});
    Bytes all(h.begin(), h.end());
    for (int i = 0; i < pings; ++i) {
        PingSpec s;
        s.hf = i % 2 == 0;
        s.pingNumber = static_cast<std::uint32_t>(i + 1);
        s.np = np;
        s.ns = np;
        s.firstSample = static_cast<std::uint32_t>(i * 3);
        append(all, pingFrame(s));
    }
    append(all, positionFrame(static_cast<std::uint16_t>(FrameType::Position), 0x11));
    append(all, positionFrame(static_cast<std::uint16_t>(FrameType::Time), 0x22));
    return all;
}

void writeBytes(const std::string& path, const Bytes& b) {
    writeText(path, std::string(b.begin(), b.end()));
}

class PlaybackTest : public ::testing::Test {
  protected:
    PlaybackTest() : page(queue), assembler(sink, status) {
        PlaybackHooks hooks;
        hooks.applyHeader = [this](const KsfHeaderInfo& h) {
            seenTypes.push_back(h.deviceType);
            return h.deviceType.rfind("QM-", 0) == 0;
        };
        hooks.rawRecordingOff = [this] { ++rawOff; };
        hooks.sonarControls = [this](bool on) { controlsOn = on; };
        playback = std::make_unique<Playback>(assembler, status, notices, &queue, hooks);
        playback->setDiskPage(page.window);
    }
    ~PlaybackTest() override { playback->leaveMode(); }

    // Drains the disk page's messages until `id` arrives or the time is up.
    bool waitFor(std::uint32_t id, int ms = 5000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            queue.waitAndDrain(20);
            for (const auto& m : page.take())
                if (m.id == id) return true;
        }
        return false;
    }

    TempFolder folder;
    platform::MessageQueue queue;
    DiskPageLog page;
    SonarStatus status;
    SharedSink sink;
    FrameAssembler assembler;
    NoticeList notices;
    std::unique_ptr<Playback> playback;
    std::vector<std::string> seenTypes;
    int rawOff = 0;
    bool controlsOn = true;
};

// Guards: playback must feed exactly the recorded pings (none lost across the
// 64 KiB reads, none doubled) and replay the position records.
TEST_F(PlaybackTest, PlaysEveryRecordedPingAndPositionThenStopsAtTheEnd) {
    const Bytes rec = recordingBytes(40, 700); // about 230 KiB: several reads
    writeBytes(folder.file("a.ksf"), rec);
    ASSERT_TRUE(playback->enterMode(folder.file("a.ksf")));
    EXPECT_EQ(status.connectionState.load(), connection_state::kPlayback);
    EXPECT_TRUE(status.playbackMode.load());
    EXPECT_EQ(rawOff, 1);
    EXPECT_FALSE(controlsOn);
    EXPECT_TRUE(playback->fileReady());
    EXPECT_EQ(playback->fileSize(), rec.size());
    playback->speedUp();
    playback->speedUp(); // divisor 1: the shortest pauses
    playback->startPause();
    EXPECT_EQ(playback->controls().startText, "Pause");
    EXPECT_TRUE(playback->working());
    ASSERT_TRUE(waitFor(WM_END_OF_FILE));
    EXPECT_FALSE(playback->playing());
    EXPECT_EQ(playback->position(), 0u);
    EXPECT_FALSE(playback->working());
    EXPECT_EQ(status.dataState.load(), data_state::kIdle);
    EXPECT_EQ(playback->controls().startText, "Start");

    // The same pings as an assembler fed the recording live would give.
    SonarStatus live;
    RecordingSink direct;
    FrameAssembler a2(direct, live);
    std::uint32_t fill = 0;
    std::size_t at = 0;
    while (at < rec.size()) {
        std::size_t n = std::min<std::size_t>(FrameAssembler::kMaxRead, rec.size() - at);
        std::memcpy(a2.buffer() + fill, rec.data() + at, n);
        fill += static_cast<std::uint32_t>(n);
        at += n;
        a2.feed(fill);
    }
    std::lock_guard<std::mutex> hold(sink.mutex);
    ASSERT_EQ(sink.pings.size(), 40u);
    for (std::size_t i = 0; i < 40; ++i)
        EXPECT_EQ(sink.pings[i], direct.events[i].bytes);
    EXPECT_EQ(sink.positions, (std::vector<std::pair<int, int>>{{6, 0x11}, {7, 0x22}}));
}

TEST_F(PlaybackTest, StartAfterTheEndReplaysFromTheBeginning) {
    writeBytes(folder.file("a.ksf"), recordingBytes(4, 50));
    playback->enterMode(folder.file("a.ksf"));
    playback->speedUp();
    playback->speedUp();
    playback->startPause();
    ASSERT_TRUE(waitFor(WM_END_OF_FILE));
    EXPECT_EQ(sink.count(), 4u);
    playback->startPause();
    ASSERT_TRUE(waitFor(WM_END_OF_FILE));
    EXPECT_EQ(sink.count(), 8u);
}

// Guards: pause must hold the read position; it must not run on in the
// background.
TEST_F(PlaybackTest, PauseHoldsThePosition) {
    writeBytes(folder.file("a.ksf"), recordingBytes(200, 700)); // about 1.1 MiB
    playback->enterMode(folder.file("a.ksf"));
    playback->slowDown();
    playback->slowDown(); // divisor 5: slow enough to catch mid-file
    playback->startPause();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (playback->position() == 0 && std::chrono::steady_clock::now() < end)
        platform::sleepMs(5);
    playback->startPause();
    EXPECT_TRUE(playback->paused());
    EXPECT_EQ(playback->controls().startText, "Start");
    platform::sleepMs(100);
    const std::uint64_t held = playback->position();
    platform::sleepMs(150);
    EXPECT_EQ(playback->position(), held);
    EXPECT_GT(held, 0u);
    EXPECT_LT(held, playback->fileSize());
    playback->stop();
    EXPECT_EQ(playback->position(), 0u);
    EXPECT_EQ(playback->progress(), 0);
}

// Guards: a foreign or cut-short file must be refused with its message, never
// played as garbage.
TEST_F(PlaybackTest, ForeignShortAndMissingFilesAreRefused) {
    Bytes shortFile = recordingBytes(0, 0);
    shortFile.resize(1023);
    writeBytes(folder.file("short.ksf"), shortFile);
    Bytes foreign = recordingBytes(2, 10);
    foreign[1] = 'X';
    writeBytes(folder.file("foreign.ksf"), foreign);
    EXPECT_FALSE(playback->openFile(folder.file("short.ksf")));
    EXPECT_FALSE(playback->openFile(folder.file("foreign.ksf")));
    EXPECT_FALSE(playback->openFile(folder.file("none.ksf")));
    EXPECT_EQ(
        notices.english(),
        (std::vector<std::string>{"It is not the correct .Ksf file. Please check the file format",
                                  "It is not the correct .Ksf file. Please check the file format",
                                  "Failed to open the .Ksf file"}));
    EXPECT_FALSE(playback->fileReady());
    EXPECT_FALSE(playback->controls().startEnabled);
    playback->startPause();
    EXPECT_FALSE(playback->playing()) << "nothing to start";
}

TEST_F(PlaybackTest, UnknownDeviceTypeIsRefused) {
    DeviceSessionBlock s;
    s.deviceType = "XR-9";
    KsfHeaderBytes h = encodeKsfHeader({}, s);
    writeBytes(folder.file("x.ksf"), Bytes(h.begin(), h.end()));
    EXPECT_FALSE(playback->openFile(folder.file("x.ksf")));
    EXPECT_EQ(notices.english(),
              (std::vector<std::string>{
                  "he software is temporarily unable to handle 'XR-9' type of '.ksf' file"}));
    EXPECT_FALSE(playback->fileReady());
}

TEST_F(PlaybackTest, PreviousAndNextWalkTheFolder) {
    for (const char* n : {"a.ksf", "b.ksf", "c.ksf"})
        writeBytes(folder.file(n), recordingBytes(2, 10));
    writeText(folder.file("notes.txt"), "not a recording");
    ASSERT_TRUE(playback->chooseFile(folder.file("b.ksf")));
    EXPECT_EQ(playback->files(), (std::vector<std::string>{"a.ksf", "b.ksf", "c.ksf"}));
    PlaybackControls c = playback->controls();
    EXPECT_EQ(c.indexText, "2/3");
    EXPECT_TRUE(c.previousEnabled);
    EXPECT_TRUE(c.nextEnabled);
    EXPECT_TRUE(playback->next());
    c = playback->controls();
    EXPECT_EQ(c.indexText, "3/3");
    EXPECT_FALSE(c.nextEnabled);
    EXPECT_TRUE(c.previousEnabled);
    EXPECT_FALSE(playback->next());
    EXPECT_EQ(playback->controls().indexText, "3/3");
    EXPECT_EQ(playback->currentFile(), folder.file("c.ksf"));
    EXPECT_TRUE(playback->previous());
    EXPECT_TRUE(playback->previous());
    c = playback->controls();
    EXPECT_EQ(c.indexText, "1/3");
    EXPECT_FALSE(c.previousEnabled);
    EXPECT_FALSE(playback->previous());
    EXPECT_EQ(playback->controls().indexText, "1/3");
}

TEST_F(PlaybackTest, NextWhileWorkingPlaysTheNextFileAtOnce) {
    writeBytes(folder.file("a.ksf"), recordingBytes(200, 700));
    writeBytes(folder.file("b.ksf"), recordingBytes(3, 20));
    playback->enterMode(folder.file("a.ksf"));
    playback->startPause();
    ASSERT_TRUE(playback->working());
    ASSERT_TRUE(playback->next());
    EXPECT_TRUE(playback->playing());
    EXPECT_EQ(playback->currentFile(), folder.file("b.ksf"));
}

TEST_F(PlaybackTest, SpeedStaysWithinOneToFive) {
    EXPECT_EQ(playback->divisor(), 3);
    EXPECT_EQ(playback->shownSpeed(), 3);
    for (int i = 0; i < 4; ++i)
        playback->speedUp();
    EXPECT_EQ(playback->divisor(), 1);
    EXPECT_EQ(playback->shownSpeed(), 5);
    EXPECT_FALSE(playback->controls().speedUpEnabled);
    EXPECT_TRUE(playback->controls().slowDownEnabled);
    for (int i = 0; i < 6; ++i)
        playback->slowDown();
    EXPECT_EQ(playback->divisor(), 5);
    EXPECT_EQ(playback->shownSpeed(), 1);
    EXPECT_FALSE(playback->controls().slowDownEnabled);
    EXPECT_TRUE(playback->controls().speedUpEnabled);
}

TEST_F(PlaybackTest, LeavingTheModeRestoresTheLivePath) {
    writeBytes(folder.file("a.ksf"), recordingBytes(2, 10));
    playback->enterMode(folder.file("a.ksf"));
    page.take();
    playback->leaveMode();
    EXPECT_FALSE(playback->threadRunning());
    EXPECT_FALSE(status.playbackMode.load());
    EXPECT_EQ(status.connectionState.load(), connection_state::kLost);
    EXPECT_EQ(status.dataState.load(), data_state::kNotPinging);
    EXPECT_TRUE(controlsOn);
    EXPECT_FALSE(playback->fileReady());
    auto ids = page.ids();
    EXPECT_NE(std::find(ids.begin(), ids.end(), WM_PLAYBACK_CLOSED), ids.end());
}

TEST_F(PlaybackTest, EnteringWithoutAFileChangesNothing) {
    EXPECT_FALSE(playback->enterMode(""));
    EXPECT_FALSE(status.playbackMode.load());
    EXPECT_FALSE(playback->threadRunning());
}

} // namespace
} // namespace kestrova::acquisition::testing
