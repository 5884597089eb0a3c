#include "acquisition/frame_format.h"

namespace kestrova::acquisition {

std::optional<SonarFrameHeader> SonarFrameHeader::decode(std::span<const std::uint8_t> bytes) {
    ByteReader r(bytes);
    if (!r.has(0, kSize)) return std::nullopt;
    SonarFrameHeader h;
    h.sync1 = *r.u32le(kSync1Offset);
    h.sync2 = *r.u32le(kSync2Offset);
    h.version = *r.u16le(kVersionOffset);
    h.type = *r.u16le(kTypeOffset);
    h.length = *r.u32le(kLengthOffset);
    return h;
}

bool SonarFrameHeader::encode(std::span<std::uint8_t> out) const {
    if (out.size() < kSize) return false;
    ByteWriter w(out);
    w.u32le(kSync1Offset, sync1);
    w.u32le(kSync2Offset, sync2);
    w.u16le(kVersionOffset, version);
    w.u16le(kTypeOffset, type);
    w.u32le(kLengthOffset, length);
    return w.ok();
}

std::optional<PingChannelBlock> PingChannelBlock::decode(const ByteReader& r, std::size_t base) {
    if (!r.has(base, kSize)) return std::nullopt;
    PingChannelBlock b;
    b.settingCode = *r.u8(base + kSettingCodeOffset);
    b.frequency = *r.u16le(base + kFrequencyOffset);
    b.sampleRate = *r.u32le(base + kSampleRateOffset);
    b.rangeWindow = *r.u32le(base + kRangeWindowOffset);
    b.decimation = *r.u8(base + kDecimationOffset);
    b.sampleCount = *r.u32le(base + kSampleCountOffset);
    return b;
}

void PingChannelBlock::encode(ByteWriter& w, std::size_t base) const {
    w.u8(base + kSettingCodeOffset, settingCode);
    w.u16le(base + kFrequencyOffset, frequency);
    w.u32le(base + kSampleRateOffset, sampleRate);
    w.u32le(base + kRangeWindowOffset, rangeWindow);
    w.u8(base + kDecimationOffset, decimation);
    w.u32le(base + kSampleCountOffset, sampleCount);
}

std::optional<PingHeader> PingHeader::decode(std::span<const std::uint8_t> bytes) {
    ByteReader r(bytes);
    if (!r.has(0, kSize)) return std::nullopt;
    PingHeader h;
    h.year = *r.u16le(kYearOffset);
    h.month = *r.u8(kMonthOffset);
    h.day = *r.u8(kDayOffset);
    h.hour = *r.u8(kHourOffset);
    h.minute = *r.u8(kMinuteOffset);
    h.second = *r.u8(kSecondOffset);
    h.microseconds = *r.u32le(kMicrosecondOffset);
    h.pingNumber = *r.u32le(kPingNumberOffset);
    h.layoutMarker = *r.u8(kLayoutMarkerOffset);
    h.port = *PingChannelBlock::decode(r, kPortBlockOffset);
    h.starboard = *PingChannelBlock::decode(r, kStarboardBlockOffset);
    h.roll = *r.i16le(kRollOffset);
    h.pitch = *r.i16le(kPitchOffset);
    h.heave = *r.i16le(kHeaveOffset);
    h.heading = *r.u16le(kHeadingOffset);
    return h;
}

bool PingHeader::encode(std::span<std::uint8_t> out) const {
    if (out.size() < kSize) return false;
    ByteWriter w(out.first(kSize));
    w.u16le(kYearOffset, year);
    w.u8(kMonthOffset, month);
    w.u8(kDayOffset, day);
    w.u8(kHourOffset, hour);
    w.u8(kMinuteOffset, minute);
    w.u8(kSecondOffset, second);
    w.u32le(kMicrosecondOffset, microseconds);
    w.u32le(kPingNumberOffset, pingNumber);
    w.u8(kLayoutMarkerOffset, layoutMarker);
    port.encode(w, kPortBlockOffset);
    starboard.encode(w, kStarboardBlockOffset);
    w.i16le(kRollOffset, roll);
    w.i16le(kPitchOffset, pitch);
    w.i16le(kHeaveOffset, heave);
    w.u16le(kHeadingOffset, heading);
    return w.ok();
}

std::optional<AttitudeRecord> AttitudeRecord::decode(std::span<const std::uint8_t> bytes) {
    ByteReader r(bytes);
    if (!r.has(0, kSize)) return std::nullopt;
    AttitudeRecord a;
    a.roll = *r.i16le(kRollOffset);
    a.pitch = *r.i16le(kPitchOffset);
    a.heave = *r.i16le(kHeaveOffset);
    a.heading = *r.u16le(kHeadingOffset);
    return a;
}

bool AttitudeRecord::encode(std::span<std::uint8_t> out) const {
    if (out.size() < kSize) return false;
    ByteWriter w(out.first(kSize));
    w.i16le(kRollOffset, roll);
    w.i16le(kPitchOffset, pitch);
    w.i16le(kHeaveOffset, heave);
    w.u16le(kHeadingOffset, heading);
    return w.ok();
}

std::optional<PingRecord> PingRecord::fromFrame(std::span<const std::uint8_t> frame) {
    auto fh = SonarFrameHeader::decode(frame);
    if (!fh || fh->frameSize() != frame.size()) return std::nullopt;
    if (fh->type != static_cast<std::uint16_t>(FrameType::HfPing) &&
        fh->type != static_cast<std::uint16_t>(FrameType::LfPing))
        return std::nullopt;
    auto header = PingHeader::decode(frame);
    if (!header) return std::nullopt;
    if (pingFrameLength(header->port.sampleCount, header->starboard.sampleCount) != fh->length)
        return std::nullopt;
    PingRecord rec;
    rec.bytes_ = frame;
    rec.header_ = *header;
    rec.frequency_ =
        fh->type == static_cast<std::uint16_t>(FrameType::HfPing) ? Frequency::HF : Frequency::LF;
    return rec;
}

std::optional<std::uint32_t> PingRecord::portSample(std::size_t i) const {
    if (i >= portCount()) return std::nullopt;
    return ByteReader(bytes_).u32le(PingHeader::kSize + 4 * i);
}

std::optional<std::uint32_t> PingRecord::starboardSample(std::size_t i) const {
    if (i >= starboardCount()) return std::nullopt;
    return ByteReader(bytes_).u32le(PingHeader::kSize + 4 * (std::size_t{portCount()} + i));
}

} // namespace kestrova::acquisition
