// The fix record is part of the raw recording format and the fix event and
// track point cross into the navigation view: their bytes must sit at the
// documented offsets, little-endian, whatever the compiler does with structs.

#include "platform/bytes.h"
#include "position/position_fix.h"

#include <gtest/gtest.h>

using namespace kestrova;
using namespace kestrova::position;

namespace {

PositionFix sampleFix() {
    PositionFix f;
    f.kind = kFixPosition;
    f.year = 2024;
    f.month = 6;
    f.day = 2;
    f.fixHour = 23;
    f.fixMinute = 30;
    f.hour = 7;
    f.minute = 30;
    f.second = 15;
    f.microsecond = 250000;
    f.fixSeconds = 15.25;
    f.fixTime = 1717313415.25;
    f.clockTime = 1717313415.0;
    f.latitude = -30.5083333;
    f.longitude = 120.5;
    f.height = 13.5;
    f.latHemisphere = 'S';
    f.lonHemisphere = 'E';
    f.east = 500123.25;
    f.north = 3376543.5;
    f.auxHeight = -2.5;
    f.quality = 4;
    f.satellites = 14;
    f.hdop = 0.8;
    f.speed = 4.5;
    f.course = 271.25;
    return f;
}

} // namespace

TEST(PositionFixRecord, FieldsAtRecordingOffsetsLittleEndian) {
    // Guards against a record written as a raw struct (padding, byte order).
    auto b = encode(sampleFix());
    ASSERT_EQ(b.size(), 152u);
    ByteReader r(b);
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(b[4], 0xE8); // 2024 = 0x07E8
    EXPECT_EQ(b[5], 0x07);
    EXPECT_EQ(*r.i32le(16), 23);
    EXPECT_EQ(*r.i32le(24), 7);
    EXPECT_EQ(*r.i32le(36), 250000);
    EXPECT_DOUBLE_EQ(*r.f64le(40), 15.25);
    EXPECT_DOUBLE_EQ(*r.f64le(48), 1717313415.25);
    EXPECT_DOUBLE_EQ(*r.f64le(64), -30.5083333);
    EXPECT_DOUBLE_EQ(*r.f64le(72), 120.5);
    EXPECT_EQ(b[88], 'S');
    EXPECT_EQ(b[89], 'E');
    for (int i = 90; i < 96; ++i)
        EXPECT_EQ(b[i], 0) << "padding byte " << i;
    EXPECT_DOUBLE_EQ(*r.f64le(96), 500123.25);  // east
    EXPECT_DOUBLE_EQ(*r.f64le(104), 3376543.5); // north
    EXPECT_DOUBLE_EQ(*r.f64le(112), -2.5);
    EXPECT_EQ(*r.i32le(120), 4);
    EXPECT_EQ(*r.i32le(124), 14);
    EXPECT_DOUBLE_EQ(*r.f64le(128), 0.8);
    EXPECT_DOUBLE_EQ(*r.f64le(136), 4.5);
    EXPECT_DOUBLE_EQ(*r.f64le(144), 271.25);

    auto back = decodePositionFix(b);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, sampleFix());
    EXPECT_FALSE(decodePositionFix(std::span<const std::uint8_t>(b.data(), 151)));
}

TEST(PositionFixRecord, NavBlockFramesTheFixAndIsCheckedOnReading) {
    PositionFix fix = sampleFix();
    auto block = encodeNavBlock(fix);
    ByteReader r(block);
    EXPECT_EQ(*r.u32le(0), 0x00101702u);
    EXPECT_EQ(*r.u32le(4), 0x0000FFFFu);
    EXPECT_EQ(*r.u16le(8), 1);
    EXPECT_EQ(*r.u16le(10), 6);
    EXPECT_EQ(*r.u32le(12), 156u);
    EXPECT_EQ(*r.u32le(168), 0xAAAA5555u);
    EXPECT_DOUBLE_EQ(*r.f64le(16 + 64), fix.latitude);
    auto back = decodeNavBlock(block);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, fix);

    fix.kind = kFixTime;
    EXPECT_EQ(*ByteReader(encodeNavBlock(fix)).u16le(10), 7);

    // A damaged trailer or a short block is no position record.
    auto bad = encodeNavBlock(sampleFix());
    bad[170] ^= 0xFF;
    EXPECT_FALSE(decodeNavBlock(bad));
    EXPECT_FALSE(decodeNavBlock(std::span<const std::uint8_t>(block.data(), 171)));
}

TEST(PositionFixRecord, FixEventAndTrackPointLayouts) {
    FixEvent e;
    e.year = 2024;
    e.month = 2;
    e.day = 29;
    e.hour = 0;
    e.minute = 1;
    e.second = 2;
    e.microsecond = 345000;
    e.fixTime = 1709164862.345;
    e.latitude = 24.4;
    e.longitude = 118.14;
    e.latHemisphere = 'N';
    e.lonHemisphere = 'E';
    e.east = 1.5;
    e.north = 2.5;
    e.speed = 4.25;
    e.course = 90.0;
    e.distance = 2.3;
    auto b = encode(e);
    ASSERT_EQ(b.size(), 136u);
    ByteReader r(b);
    EXPECT_EQ(*r.u16le(0), 2024);
    EXPECT_EQ(b[2], 2);
    EXPECT_EQ(b[3], 29);
    EXPECT_EQ(b[5], 1);
    EXPECT_EQ(b[6], 2);
    EXPECT_EQ(*r.i32le(8), 345000);
    EXPECT_DOUBLE_EQ(*r.f64le(16), 1709164862.345);
    EXPECT_EQ(b[40], 'N');
    EXPECT_EQ(b[41], 'E');
    EXPECT_DOUBLE_EQ(*r.f64le(48), 1.5);
    EXPECT_DOUBLE_EQ(*r.f64le(56), 2.5);
    EXPECT_DOUBLE_EQ(*r.f64le(72), 4.25);
    EXPECT_DOUBLE_EQ(*r.f64le(80), 90.0);
    EXPECT_DOUBLE_EQ(*r.f64le(88), 2.3);
    for (int i : {7, 12, 42, 47, 64, 71, 96, 135})
        EXPECT_EQ(b[i], 0) << "unused byte " << i;
    EXPECT_EQ(*decodeFixEvent(b), e);

    TrackPoint p{500000.5, 3000000.25, 4.5f, 359.5f};
    auto t = encode(p);
    ASSERT_EQ(t.size(), 24u);
    EXPECT_FLOAT_EQ(*ByteReader(t).f32le(16), 4.5f);
    EXPECT_FLOAT_EQ(*ByteReader(t).f32le(20), 359.5f);
    EXPECT_EQ(*decodeTrackPoint(t), p);
}
