// The frame assembler: cutting the sonar's byte stream into frames whatever the
// read boundaries, and keeping every good frame through bad input.

#include "acquisition/tests/assembler_harness.h"
#include "tools/sonar-sim/sonar_stream.h"

#include <gtest/gtest.h>

#include <random>

namespace kestrova::acquisition::testing {
namespace {

Bytes mixedStream() {
    Bytes s;
    append(s, pingFrame({.hf = true, .pingNumber = 1}));
    append(s, attitudeFrame(100, -200, 30, 4500));
    append(s, pingFrame({.hf = false, .pingNumber = 1, .np = 2, .ns = 5}));
    append(s, frameWithPayload(9, 10)); // a type the system does not use
    append(s, pingFrame({.hf = true, .pingNumber = 2, .np = 0, .ns = 0}));
    return s;
}

std::vector<Event> whole(const Bytes& s, bool playback = false) {
    Harness h(playback);
    h.read(s);
    return h.sink.events;
}

// Guards against frames lost or altered when a read ends inside a frame or
// inside a header (TCP delivers the stream in arbitrary pieces).
TEST(FrameAssembler, EverySplitPointGivesTheSameFrames) {
    const Bytes s = mixedStream();
    const auto expected = whole(s);
    ASSERT_EQ(expected.size(), 4u); // HF, attitude, LF, HF (type 9 skipped)
    for (std::size_t k = 1; k < s.size(); ++k) {
        Harness h;
        h.read(s.data(), k);
        h.read(s.data() + k, s.size() - k);
        ASSERT_EQ(h.sink.events, expected) << "split at byte " << k;
        ASSERT_EQ(h.fill, 0u) << "split at byte " << k;
    }
}

TEST(FrameAssembler, OneByteReadsGiveTheSameFrames) {
    const Bytes s = mixedStream();
    Harness h;
    h.readSplit(s, {1});
    EXPECT_EQ(h.sink.events, whole(s));
}

// A read holding several frames must yield all of them, in order.
TEST(FrameAssembler, SeveralFramesInOneReadComeOutInOrder) {
    Harness h;
    h.read(mixedStream());
    EXPECT_EQ(h.sink.kinds(), (std::vector<std::string>{"HF#1", "attitude", "LF#1", "HF#2"}));
    EXPECT_EQ(h.assembler.stats().otherTypes, 1u);
}

// The last 15 bytes may be the start of a header split by the read: they
// must be kept, and a whole header ending the data must be found at once.
TEST(FrameAssembler, KeepsAPartialHeaderAndFindsAWholeOne) {
    const Bytes ping = pingFrame({});
    Bytes first(40, 0x55);
    first.insert(first.end(), ping.begin(), ping.begin() + 15);
    Harness h;
    h.read(first);
    EXPECT_EQ(h.fill, 15u);
    EXPECT_TRUE(std::equal(ping.begin(), ping.begin() + 15, h.assembler.buffer()));
    EXPECT_FALSE(h.assembler.headerFound());
    h.read(ping.data() + 15, 1);
    EXPECT_TRUE(h.assembler.headerFound()); // the 16-byte header is complete now
    EXPECT_EQ(h.fill, 16u);
    h.read(ping.data() + 16, ping.size() - 16);
    EXPECT_EQ(h.sink.kinds(), std::vector<std::string>{"HF#1"});
    EXPECT_EQ(h.assembler.stats().bytesSkipped, 40u);
}

// Mended: a wrong trailer used to clear the whole buffer, losing the good
// frames read together with the bad one.
TEST(FrameAssembler, BadTrailerCostsOnlyThatFrame) {
    Bytes s;
    append(s, pingFrame({.pingNumber = 1, .trailer = 0x12345678}));
    append(s, pingFrame({.pingNumber = 2}));
    append(s, attitudeFrame(1, 2, 3, 4));
    append(s, pingFrame({.hf = false, .pingNumber = 9}));
    Harness h;
    h.read(s);
    EXPECT_EQ(h.sink.kinds(), (std::vector<std::string>{"HF#2", "attitude", "LF#9"}));
    EXPECT_EQ(h.assembler.stats().badTrailers, 1u);
    EXPECT_EQ(h.fill, 0u);
}

// Mended: a header declaring a length that cannot fit the buffer used to hold
// up everything behind it until up to 4 MiB had been thrown away.
TEST(FrameAssembler, ImpossibleLengthIsRefusedAtOnce) {
    for (std::uint32_t length :
         {0xFFFFFFFFu, 0x7FFFFFF0u, static_cast<std::uint32_t>(FrameAssembler::kMaxFrameSize - 15),
          3u, 0u}) {
        Bytes s = frameWithPayload(0, 0);
        s.resize(SonarFrameHeader::kSize);
        ByteWriter(s).u32le(SonarFrameHeader::kLengthOffset, length);
        append(s, pingFrame({.pingNumber = 3}));
        Harness h;
        h.read(s);
        EXPECT_EQ(h.sink.kinds(), std::vector<std::string>{"HF#3"}) << "length " << length;
        EXPECT_EQ(h.assembler.stats().rejectedHeaders, 1u) << "length " << length;
    }
    // The largest frame that can still complete is waited for.
    Bytes big = frameWithPayload(0, 0);
    big.resize(SonarFrameHeader::kSize);
    ByteWriter(big).u32le(SonarFrameHeader::kLengthOffset,
                          static_cast<std::uint32_t>(FrameAssembler::kMaxFrameSize - 16));
    Harness h;
    h.read(big);
    EXPECT_TRUE(h.assembler.headerFound());
    EXPECT_EQ(h.assembler.stats().rejectedHeaders, 0u);
}

// Mended: a ping whose sample counts disagree with its length is rejected, and
// the good frames its declared length covered are still found.
TEST(FrameAssembler, PingWithInconsistentCountsIsRejectedAndHuntingGoesOn) {
    Bytes bad = pingFrame({.pingNumber = 1, .np = 4, .ns = 3});
    ByteWriter(bad).u32le(136, 5); // Np one too many for the length
    Bytes s = bad;
    append(s, pingFrame({.pingNumber = 2}));
    Harness h;
    h.read(s);
    EXPECT_EQ(h.sink.kinds(), std::vector<std::string>{"HF#2"});
    EXPECT_EQ(h.assembler.stats().malformedFrames, 1u);

    // A damaged header whose length and trailer happen to enclose a good frame.
    const Bytes inner = pingFrame({.hf = false, .pingNumber = 7});
    Bytes outer = pingFrame({.pingNumber = 3, .np = 0, .ns = 0});
    outer.resize(PingHeader::kSize); // header only, trailer comes from `inner`
    append(outer, inner);
    ByteWriter(outer).u32le(SonarFrameHeader::kLengthOffset,
                            static_cast<std::uint32_t>(outer.size() - SonarFrameHeader::kSize));
    Harness h2;
    h2.read(outer);
    EXPECT_EQ(h2.sink.kinds(), std::vector<std::string>{"LF#7"});
}

// A truncated ping whose declared end falls exactly on the trailer of the
// ping after it looks whole; the frame it ends with shows it swallowed one.
TEST(FrameAssembler, FrameEnclosingAnotherFrameIsRejected) {
    const Bytes inner = pingFrame({.hf = false, .pingNumber = 7, .np = 3, .ns = 2});
    Bytes outer = pingFrame({.pingNumber = 3, .np = 57 + 3 + 2, .ns = 0});
    outer.resize(PingHeader::kSize); // the rest of it never came
    append(outer, inner);
    ASSERT_TRUE(PingRecord::fromFrame(outer).has_value()); // consistent on its own
    Harness h;
    h.read(outer);
    EXPECT_EQ(h.sink.kinds(), std::vector<std::string>{"LF#7"});
}

// Mended: a ping whose samples held the sync pair was taken for a truncated
// frame and lost, and with a plausible length word after the pair it held up
// the frames behind it. Echo data may hold any words: a length that ends on a
// good trailer makes a whole frame.
TEST(FrameAssembler, SyncWordsInsideAGoodPingAreSamples) {
    for (std::uint32_t length : {0x200000u, 100u, 236u}) {
        Bytes s = pingFrame({.pingNumber = 3, .np = 8, .ns = 2});
        ByteWriter w(s);
        w.u32le(PingHeader::kSize + 4, kSyncWord1);
        w.u32le(PingHeader::kSize + 8, kSyncWord2);
        w.u32le(PingHeader::kSize + 16, length);
        append(s, pingFrame({.pingNumber = 4}));
        Harness h;
        h.sink.recording = true;
        h.read(s);
        EXPECT_EQ(h.sink.kinds(), (std::vector<std::string>{"HF#3", "HF#4"})) << length;
        EXPECT_EQ(h.sink.recorded.size(), 2u) << length;
        EXPECT_EQ(h.assembler.stats().dropped(), 0u) << length;
    }
}

TEST(FrameAssembler, GarbageTruncatedAndOversizedFramesLoseNoGoodFrame) {
    Bytes s;
    std::vector<std::string> expected;
    std::mt19937 rng(7);
    for (std::uint32_t n = 1; n <= 40; ++n) {
        Bytes good = pingFrame({.hf = n % 2 == 0, .pingNumber = n, .np = n % 5, .ns = n % 3});
        switch (n % 4) {
        case 0: // garbage, with a partial sync word in it
            for (int i = 0; i < 50; ++i)
                s.push_back(static_cast<std::uint8_t>(rng()));
            append(s, {0x02, 0x17, 0x10, 0x00, 0xFF});
            break;
        case 1: { // a truncated frame
            Bytes t = pingFrame({.pingNumber = 1000 + n, .np = 30, .ns = 30});
            t.resize(t.size() / 2);
            append(s, t);
            break;
        }
        case 2: { // a lone header with an impossible length
            Bytes t = frameWithPayload(1, 0);
            t.resize(16);
            ByteWriter(t).u32le(12, 0x40000000);
            append(s, t);
            break;
        }
        case 3: // a wrong trailer
            append(s, pingFrame({.pingNumber = 2000 + n, .trailer = 0}));
            break;
        }
        append(s, good);
        expected.push_back(std::string(n % 2 == 0 ? "HF" : "LF") + "#" + std::to_string(n));
    }
    append(s, Bytes(400, 0)); // lets the last truncated frame's declared length run out
    for (std::size_t readSize : {std::size_t{1} << 16, std::size_t{7}, std::size_t{333}}) {
        Harness h;
        h.readSplit(s, {readSize});
        EXPECT_EQ(h.sink.kinds(), expected) << "reads of " << readSize;
    }
}

// Live mode: a ping whose four attitude words are zero gets the newest
// attitude, in the buffer, so the raw recording carries it too.
TEST(FrameAssembler, LiveModeCompletesZeroAttitude) {
    Bytes s = attitudeFrame(-150, 220, -12, 27000);
    append(s, pingFrame({.pingNumber = 1}));
    append(s, pingFrame({.pingNumber = 2, .roll = 5, .pitch = 0, .heave = 0, .heading = 0}));
    Harness h;
    h.sink.recording = true;
    h.read(s);
    ASSERT_EQ(h.sink.events.size(), 3u);
    auto completed = PingHeader::decode(h.sink.events[1].bytes);
    EXPECT_EQ(completed->roll, -150);
    EXPECT_EQ(completed->pitch, 220);
    EXPECT_EQ(completed->heave, -12);
    EXPECT_EQ(completed->heading, 27000);
    ASSERT_EQ(h.sink.recorded.size(), 3u);
    EXPECT_EQ(h.sink.recorded[1], h.sink.events[1].bytes);
    // Not all zero: left alone.
    auto own = PingHeader::decode(h.sink.events[2].bytes);
    EXPECT_EQ(own->roll, 5);
    EXPECT_EQ(own->heading, 0);
}

TEST(FrameAssembler, PlaybackModeLeavesZeroAttitude) {
    Bytes s = attitudeFrame(-150, 220, -12, 27000);
    append(s, pingFrame({.pingNumber = 1}));
    Harness h(true);
    h.read(s);
    ASSERT_EQ(h.sink.events.size(), 2u);
    EXPECT_EQ(PingHeader::decode(h.sink.events[1].bytes)->heading, 0);
}

// Mended: the completion looks at bytes 196-203 whatever the type; for a
// frame shorter than that those bytes belong to the next frame, which must
// not be written into.
TEST(FrameAssembler, CompletionNeverWritesBeyondAShortFrame) {
    Bytes s = attitudeFrame(1, 2, 3, 4);
    const Bytes next =
        pingFrame({.pingNumber = 1, .roll = 9, .pitch = 9, .heave = 9, .heading = 9});
    append(s, attitudeFrame(0, 0, 0, 0)); // 44 bytes: its "bytes 196-203" lie in `next`
    append(s, next);
    Harness h;
    h.read(s);
    ASSERT_EQ(h.sink.events.size(), 3u);
    EXPECT_EQ(h.sink.events[2].bytes, next);
}

// Repeated ping numbers are dropped per frequency; zero is never a repeat; a
// foreign layout marker is dropped but still recorded raw.
TEST(FrameAssembler, RepeatedPingNumbersAndForeignLayoutsAreDropped) {
    Bytes s;
    append(s, pingFrame({.pingNumber = 5}));
    append(s, pingFrame({.pingNumber = 5}));              // repeat: dropped
    append(s, pingFrame({.hf = false, .pingNumber = 5})); // other frequency: kept
    append(s, pingFrame({.pingNumber = 0}));
    append(s, pingFrame({.pingNumber = 0}));                 // zero twice: both kept
    append(s, pingFrame({.pingNumber = 6, .marker = 0x31})); // foreign: dropped
    append(s, pingFrame({.pingNumber = 6}));                 // not a repeat of a dropped one
    append(s, pingFrame({.pingNumber = 5}));                 // not consecutive: kept
    // A foreign layout with 16-bit samples: its counts do not give its length.
    Bytes narrow = pingFrame({.pingNumber = 9, .np = 4, .ns = 4, .marker = 0x31});
    narrow.resize(PingHeader::kSize + 2 * 8 + kTrailerSize);
    ByteWriter(narrow).u32le(SonarFrameHeader::kLengthOffset,
                             static_cast<std::uint32_t>(narrow.size() - SonarFrameHeader::kSize));
    ByteWriter(narrow).u32le(narrow.size() - kTrailerSize, kFrameTrailer);
    append(s, narrow);
    Harness h;
    h.sink.recording = true;
    h.read(s);
    EXPECT_EQ(h.sink.kinds(),
              (std::vector<std::string>{"HF#5", "LF#5", "HF", "HF", "HF#6", "HF#5"}));
    EXPECT_EQ(h.assembler.stats().repeatedPings, 1u);
    EXPECT_EQ(h.assembler.stats().foreignLayout, 2u);
    EXPECT_EQ(h.sink.recorded.size(), 9u); // every trailer-checked frame is recorded
    EXPECT_EQ(h.sink.recorded.back(), narrow);
}

// Effective rate = rate / decimation (0 means 1); settings-changed is 1 for the
// first ping of a frequency and on any change of code, rate, window or decimation.
TEST(FrameAssembler, EffectiveRateAndSettingsChanged) {
    Bytes s;
    append(s, pingFrame({.pingNumber = 1}));
    append(s, pingFrame({.pingNumber = 2}));
    append(s, pingFrame({.pingNumber = 3, .settingCode = 3}));
    append(s, pingFrame({.pingNumber = 4, .settingCode = 3, .decimation = 0}));
    append(s, pingFrame({.pingNumber = 5, .settingCode = 3, .rangeWindow = 7200, .decimation = 0}));
    append(s, pingFrame({.pingNumber = 6,
                         .settingCode = 3,
                         .sampleRate = 108000,
                         .rangeWindow = 7200,
                         .decimation = 0}));
    append(s, pingFrame({.pingNumber = 7,
                         .settingCode = 3,
                         .sampleRate = 108000,
                         .rangeWindow = 7200,
                         .decimation = 0}));
    append(s, pingFrame({.hf = false, .pingNumber = 1, .decimation = 8}));
    Harness h;
    h.read(s);
    ASSERT_EQ(h.sink.events.size(), 8u);
    const std::vector<float> rates{54000, 54000, 54000, 216000, 216000, 108000, 108000, 27000};
    const std::vector<int> changed{1, 0, 1, 1, 1, 1, 0, 1};
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_FLOAT_EQ(h.sink.events[i].rate, rates[i]) << i;
        EXPECT_EQ(h.sink.events[i].changed, changed[i]) << i;
    }
}

// A ping the batch could not store does not count as seen: the view must
// still learn of the settings change with the next ping it does get.
TEST(FrameAssembler, ComparisonValuesFollowOnlyStoredPings) {
    Harness h;
    h.read(pingFrame({.pingNumber = 1}));
    h.sink.accept = false;
    h.read(pingFrame({.pingNumber = 2, .settingCode = 9}));
    h.sink.accept = true;
    h.read(pingFrame({.pingNumber = 3, .settingCode = 9}));
    ASSERT_EQ(h.sink.events.size(), 3u);
    EXPECT_EQ(h.sink.events[1].changed, 1);
    EXPECT_EQ(h.sink.events[2].changed, 1);
}

TEST(FrameAssembler, PositionFramesOnlyInPlayback) {
    Bytes s = positionFrame(6, 0xA1);
    append(s, positionFrame(7, 0xB2));
    Harness live;
    live.read(s);
    EXPECT_TRUE(live.sink.events.empty());
    Harness play(true);
    play.read(s);
    ASSERT_EQ(play.sink.kinds(), (std::vector<std::string>{"position6", "position7"}));
    EXPECT_EQ(play.sink.events[0].bytes.size(), kPositionRecordSize);
    EXPECT_EQ(play.sink.events[0].bytes[0], 0xA1); // the record starts at offset 16
    EXPECT_EQ(play.sink.events[1].bytes[0], 0xB2);
    // A position frame of the wrong length is not taken for one.
    Harness wrong(true);
    wrong.read(frameWithPayload(6, 100));
    EXPECT_TRUE(wrong.sink.events.empty());
    EXPECT_EQ(wrong.assembler.stats().malformedFrames, 1u);
}

// The reader paces playback by Np of the last ping: written only in playback.
TEST(FrameAssembler, LastPortSamplesOnlyInPlayback) {
    Harness play(true);
    play.read(pingFrame({.np = 17, .ns = 2}));
    EXPECT_EQ(play.lastPortSamples, 17u);
    play.read(attitudeFrame(1, 1, 1, 1));
    EXPECT_EQ(play.lastPortSamples, 17u);
    Harness live;
    live.read(pingFrame({.np = 17, .ns = 2}));
    EXPECT_EQ(live.lastPortSamples, 0xFFFFFFFFu);
}

TEST(FrameAssembler, CompletedFrameSetsDataStateAndTick) {
    Harness h;
    g_fakeTick = 4242;
    h.read(Bytes(100, 0x11));
    EXPECT_EQ(h.status.dataState, data_state::kIdle);
    h.read(attitudeFrame(1, 1, 1, 1));
    EXPECT_EQ(h.status.dataState, data_state::kFramesArriving);
    EXPECT_EQ(h.status.lastFrameTick, 4242u);
}

TEST(FrameAssembler, RawRecordingGetsWholeFramesOnlyWhenOn) {
    Bytes s = pingFrame({.pingNumber = 1});
    append(s, frameWithPayload(9, 3));
    Harness off;
    off.read(s);
    EXPECT_TRUE(off.sink.recorded.empty());
    Harness on;
    on.sink.recording = true;
    on.read(s);
    ASSERT_EQ(on.sink.recorded.size(), 2u);
    EXPECT_EQ(on.sink.recorded[0], pingFrame({.pingNumber = 1}));
    EXPECT_EQ(on.sink.recorded[1], frameWithPayload(9, 3));
}

// A realistic stream with every kind of fault, fed whole, byte by byte and in
// random pieces, gives the same frames, and all the good ones.
TEST(FrameAssembler, SimulatedStreamIsSplitIndependent) {
    sim::SonarStreamConfig config;
    config.samplesPerSide = 24;
    config.seed = 99;
    sim::FaultPlan faults{.garbageEvery = 5,
                          .badTrailerEvery = 7,
                          .truncateEvery = 11,
                          .hugeLengthEvery = 13,
                          .repeatEvery = 3,
                          .foreignLayoutEvery = 17,
                          .closeMidFrameEvery = 29};
    sim::SonarStream stream(config, faults);
    Bytes s;
    for (int i = 0; i < 300; ++i)
        stream.next(s);
    append(s, Bytes(stream.maxFrameSize() + 16, 0));

    Harness a;
    a.read(s);
    std::uint64_t hf = 0, lf = 0, att = 0;
    for (const auto& e : a.sink.events) {
        hf += e.kind == "HF";
        lf += e.kind == "LF";
        att += e.kind == "attitude";
    }
    EXPECT_EQ(hf, stream.counts().hf);
    EXPECT_EQ(lf, stream.counts().lf);
    EXPECT_EQ(att, stream.counts().attitude);

    Harness b;
    b.readSplit(s, {1});
    EXPECT_EQ(b.sink.events, a.sink.events);
    std::mt19937 rng(3);
    std::vector<std::size_t> sizes;
    for (int i = 0; i < 1000; ++i)
        sizes.push_back(1 + rng() % 3000);
    Harness c;
    c.readSplit(s, sizes);
    EXPECT_EQ(c.sink.events, a.sink.events);
}

} // namespace
} // namespace kestrova::acquisition::testing
