// PingBatch and the hand-off to the views: what is stored, what is dropped
// when the view falls behind, and how often the views are told.

#include "acquisition/ping_hand_off.h"
#include "acquisition/reply_accumulator.h"
#include "acquisition/sonar_messages.h"
#include "acquisition/tests/frame_builder.h"

#include <gtest/gtest.h>

#include <memory>

namespace kestrova::acquisition::testing {
namespace {

PingRecord record(const Bytes& frame) {
    return *PingRecord::fromFrame(frame);
}

TEST(PingBatch, StoresBothPartsSplitByNpAndNs) {
    PingBatch batch;
    const Bytes a = pingFrame({.pingNumber = 1, .np = 4, .ns = 3});
    const Bytes b = pingFrame({.hf = true, .pingNumber = 2, .np = 0, .ns = 6, .firstSample = 50});
    ASSERT_TRUE(batch.append(record(a), 54000.f, 1));
    ASSERT_TRUE(batch.append(record(b), 27000.f, 0));
    auto copy = std::make_unique<PingBatchData>();
    EXPECT_EQ(batch.drain(*copy), 2u);
    EXPECT_EQ(batch.pingCount(), 0u);
    EXPECT_EQ(batch.wordCount(), 0u);

    EXPECT_EQ(copy->wordCount, (57u + 4 + 3 + 1) + (57u + 0 + 6 + 1));
    EXPECT_EQ(copy->firstWords[0], 61u);
    EXPECT_EQ(copy->secondWords[0], 4u);
    EXPECT_EQ(copy->firstStart[1], 65u);
    EXPECT_EQ(copy->secondStart[1], 65u + 57);
    EXPECT_EQ(copy->portCount(1), 0u);
    EXPECT_EQ(copy->starboardCount(1), 6u);
    // Port samples follow the 57 header words; starboard then the trailer.
    EXPECT_EQ(copy->firstPart(0)[57], 1000u);
    EXPECT_EQ(copy->firstPart(0)[60], 1003u);
    EXPECT_EQ(copy->secondPart(0)[0], 1100u);
    EXPECT_EQ(copy->secondPart(0)[3], kFrameTrailer);
    EXPECT_EQ(copy->secondPart(1)[5], 155u);
    EXPECT_EQ(copy->header(1)->pingNumber, 2u);
    EXPECT_FLOAT_EQ(copy->sampleRate[1], 27000.f);
    EXPECT_EQ(copy->settingsChanged[0], 1);
    EXPECT_TRUE(copy->firstPart(2).empty());
}

// More than 800 pings between two drains: the excess is lost, the earlier
// ones are delivered, and the batch takes pings again once drained.
TEST(PingBatch, FullAt800Pings) {
    PingBatch batch;
    for (std::uint32_t n = 1; n <= 801; ++n)
        EXPECT_EQ(batch.append(record(pingFrame({.pingNumber = n, .np = 1, .ns = 1})), 1.f, 0),
                  n <= 800);
    EXPECT_EQ(batch.missed(), 1u);
    auto copy = std::make_unique<PingBatchData>();
    ASSERT_EQ(batch.drain(*copy), 800u);
    EXPECT_EQ(copy->header(0)->pingNumber, 1u);
    EXPECT_EQ(copy->header(799)->pingNumber, 800u);
    EXPECT_TRUE(batch.append(record(pingFrame({.pingNumber = 802})), 1.f, 0));
}

// The store holds 0x280000 words; a ping goes in only while the total stays
// strictly below that.
TEST(PingBatch, FullAt10MiBOfSamples) {
    // 655360 words per ping: four of them would be exactly 0x280000.
    const std::uint32_t side = (655360 - 58) / 2;
    const Bytes big = pingFrame({.pingNumber = 1, .np = side, .ns = side});
    ASSERT_EQ(big.size(), 655360u * 4);
    PingBatch batch;
    EXPECT_TRUE(batch.append(record(big), 1.f, 0));
    EXPECT_TRUE(batch.append(record(big), 1.f, 0));
    EXPECT_TRUE(batch.append(record(big), 1.f, 0));
    EXPECT_FALSE(batch.append(record(big), 1.f, 0));
    EXPECT_TRUE(batch.append(record(pingFrame({.pingNumber = 2, .np = 10, .ns = 10})), 1.f, 0));
    EXPECT_EQ(batch.pingCount(), 4u);
    EXPECT_EQ(batch.missed(), 1u);
}

inline std::uint32_t g_tick = 0;
std::uint32_t tick() {
    return g_tick;
}

struct Posted {
    platform::WindowHandle window;
    std::uint32_t id;
};

class HandOffTest : public ::testing::Test {
  protected:
    HandOffTest() : handOff(queue, windows, snapshots, &tick) {
        for (auto* w : {&windows.mainFrame, &windows.hfView, &windows.lfView})
            *w = queue.registerWindow([this](const platform::WindowMessage& m) {
                posted.push_back({m.window, m.id});
            });
        g_tick = 1000;
    }
    void ping(std::uint32_t at, bool hf, std::uint32_t n) {
        g_tick = at;
        handOff.handPing(record(pingFrame({.hf = hf, .pingNumber = n})), 1.f, 0);
    }
    std::vector<std::uint32_t> take() {
        posted.clear();
        queue.drain();
        std::vector<std::uint32_t> ids;
        for (auto& p : posted)
            ids.push_back(p.id);
        return ids;
    }

    platform::MessageQueue queue;
    WindowTargets windows;
    SnapshotStore snapshots;
    PingHandOff handOff;
    std::vector<Posted> posted;
};

// At most one notification per 40 ms per frequency; the parameter message to
// the main window goes first, then the view's.
TEST_F(HandOffTest, NotifiesAtMostEvery40Ms) {
    ping(1000, true, 1);
    EXPECT_EQ(take(), (std::vector<std::uint32_t>{WM_PING_PARAM_HF, WM_PING_HF}));
    EXPECT_EQ(posted[0].window, windows.mainFrame.load());
    EXPECT_EQ(posted[1].window, windows.hfView.load());
    ping(1010, true, 2);
    ping(1039, true, 3);
    EXPECT_TRUE(take().empty());
    ping(1020, false, 1); // LF has its own throttle
    EXPECT_EQ(take(), (std::vector<std::uint32_t>{WM_PING_PARAM_LF, WM_PING_LF}));
    ping(1040, true, 4);
    EXPECT_EQ(take(), (std::vector<std::uint32_t>{WM_PING_PARAM_HF, WM_PING_HF}));
    EXPECT_EQ(handOff.batch(Frequency::HF).pingCount(), 4u);
}

TEST_F(HandOffTest, SnapshotFollowsTheNotifications) {
    ping(1000, true, 1);
    ping(1010, true, 2);
    EXPECT_EQ(snapshots.ping(Frequency::HF).header()->pingNumber, 1u);
    ping(1045, true, 3);
    EXPECT_EQ(snapshots.ping(Frequency::HF).header()->pingNumber, 3u);
    EXPECT_FALSE(snapshots.ping(Frequency::LF).valid);
}

// A full batch still notifies, so the view comes to drain it.
TEST_F(HandOffTest, FullBatchStillNotifies) {
    for (std::uint32_t n = 1; n <= 800; ++n)
        ping(1000, true, n);
    take();
    ping(1100, true, 801);
    EXPECT_EQ(take(), (std::vector<std::uint32_t>{WM_PING_PARAM_HF, WM_PING_HF}));
    EXPECT_EQ(handOff.batch(Frequency::HF).missed(), 1u);
}

// Mended: pings that arrive within 40 ms of the last notification, at the end
// of a burst, are announced when the reader goes idle instead of waiting for
// the next ping.
TEST_F(HandOffTest, IdleFlushAnnouncesTheTailOfABurst) {
    ping(1000, true, 1);
    ping(1010, true, 2);
    take();
    g_tick = 1030;
    handOff.flushPending();
    EXPECT_TRUE(take().empty()); // not yet 40 ms
    g_tick = 1041;
    handOff.flushPending();
    EXPECT_EQ(take(), (std::vector<std::uint32_t>{WM_PING_PARAM_HF, WM_PING_HF}));
    EXPECT_EQ(snapshots.ping(Frequency::HF).header()->pingNumber, 2u);
    g_tick = 1200;
    handOff.flushPending();
    EXPECT_TRUE(take().empty()); // nothing new
}

TEST_F(HandOffTest, DrainedBatchNeedsNoFlush) {
    ping(1000, true, 1);
    ping(1010, true, 2);
    auto copy = std::make_unique<PingBatchData>();
    EXPECT_EQ(handOff.drain(Frequency::HF, *copy), 2u);
    take();
    g_tick = 2000;
    handOff.flushPending();
    EXPECT_TRUE(take().empty());
}

TEST(ReplyAccumulator, KeepsTheNewestBytesWhenFull) {
    ReplyAccumulator acc;
    acc.append(std::string(ReplyAccumulator::kCapacity - 2, 'x'));
    acc.append(std::string_view("$ab\r\n"));
    EXPECT_EQ(acc.size(), ReplyAccumulator::kCapacity);
    EXPECT_EQ(acc.view().substr(acc.size() - 5), "$ab\r\n");
    acc.consume(acc.size() - 5);
    EXPECT_EQ(acc.view(), "$ab\r\n");
    acc.append(std::string(ReplyAccumulator::kCapacity + 10, 'y'));
    EXPECT_EQ(acc.size(), ReplyAccumulator::kCapacity);
    acc.consume(1 << 20);
    EXPECT_TRUE(acc.empty());
}

} // namespace
} // namespace kestrova::acquisition::testing
