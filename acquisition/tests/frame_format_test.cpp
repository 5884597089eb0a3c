// Field offsets of the frame format, checked against bytes laid out by hand.

#include "acquisition/frame_format.h"
#include "acquisition/tests/frame_builder.h"

#include <gtest/gtest.h>

namespace kestrova::acquisition::testing {
namespace {

TEST(FrameFormat, PingHeaderFieldsAtTheirOffsets) {
    Bytes f = pingFrame({.hf = false,
                         .pingNumber = 0x01020304,
                         .np = 2,
                         .ns = 1,
                         .settingCode = 7,
                         .sampleRate = 216000,
                         .rangeWindow = 14400,
                         .decimation = 4,
                         .roll = -1234,
                         .pitch = 567,
                         .heave = -8,
                         .heading = 35999});
    f[22] = 59;                      // second
    ByteWriter(f).u32le(24, 999999); // microseconds
    ByteWriter(f).u16le(86, 450);    // port frequency
    auto h = PingHeader::decode(f);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->year, 2024);
    EXPECT_EQ(h->month, 5);
    EXPECT_EQ(h->day, 1);
    EXPECT_EQ(h->hour, 10);
    EXPECT_EQ(h->second, 59);
    EXPECT_EQ(h->microseconds, 999999u);
    EXPECT_EQ(h->pingNumber, 0x01020304u);
    EXPECT_EQ(h->layoutMarker, 0x30);
    EXPECT_EQ(h->port.settingCode, 7);
    EXPECT_EQ(h->port.frequency, 450);
    EXPECT_EQ(h->port.sampleRate, 216000u);
    EXPECT_EQ(h->port.rangeWindow, 14400u);
    EXPECT_EQ(h->port.decimation, 4);
    EXPECT_EQ(h->port.sampleCount, 2u);
    EXPECT_EQ(h->starboard.sampleCount, 1u);
    EXPECT_EQ(h->roll, -1234);
    EXPECT_EQ(h->pitch, 567);
    EXPECT_EQ(h->heave, -8);
    EXPECT_EQ(h->heading, 35999);
    EXPECT_FLOAT_EQ(h->port.effectiveSampleRate(), 54000.f);

    // Encoding writes the same bytes back and leaves the unused ones alone.
    Bytes copy(f.size(), 0xEE);
    ASSERT_TRUE(h->encode(copy));
    for (std::size_t i :
         {16u, 17u, 18u, 56u, 57u, 62u, 85u, 112u, 120u, 125u, 136u, 192u, 196u, 202u, 203u})
        EXPECT_EQ(copy[i], f[i]) << "byte " << i;
    EXPECT_EQ(copy[30], 0xEE);
    EXPECT_EQ(copy[63], 0xEE);
}

TEST(FrameFormat, PingRecordSplitsByCountsAndRefusesDisagreement) {
    const Bytes f = pingFrame({.np = 3, .ns = 2});
    auto rec = PingRecord::fromFrame(f);
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->firstPartWords(), 60u);
    EXPECT_EQ(rec->secondPartWords(), 3u);
    EXPECT_EQ(*rec->portSample(2), 1002u);
    EXPECT_EQ(*rec->starboardSample(1), 1101u);
    EXPECT_FALSE(rec->portSample(3));
    EXPECT_FALSE(rec->starboardSample(2));

    Bytes more = f;
    ByteWriter(more).u32le(192, 0xFFFFFFFF); // Ns wildly large
    EXPECT_FALSE(PingRecord::fromFrame(more));
    EXPECT_FALSE(PingRecord::fromFrame(std::span(f).first(f.size() - 4)));
    EXPECT_FALSE(PingRecord::fromFrame(attitudeFrame(0, 0, 0, 0)));
}

TEST(FrameFormat, AttitudeRecordAndItsNoneRules) {
    auto a = AttitudeRecord::decode(attitudeFrame(-18001, 300, 12, 36001));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->roll, -18001);
    EXPECT_EQ(a->pitch, 300);
    EXPECT_EQ(a->heave, 12);
    EXPECT_EQ(a->heading, 36001);
    EXPECT_FALSE(a->rollShown());
    EXPECT_FALSE(a->headingShown());
    EXPECT_TRUE(a->pitchShown());
    AttitudeRecord p;
    p.pitch = 18001; // unsigned 18001..47535 is "None"
    EXPECT_FALSE(p.pitchShown());
    p.pitch = static_cast<std::int16_t>(47536 - 65536);
    EXPECT_TRUE(p.pitchShown());
    EXPECT_FALSE(AttitudeRecord::decode(Bytes(39, 0)));
}

} // namespace
} // namespace kestrova::acquisition::testing
