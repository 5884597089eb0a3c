#pragma once
// Hand-built sonar frames for the assembler tests: every field written at its
// documented offset, so a test states exactly what the sonar sent.

#include "acquisition/frame_format.h"
#include "platform/bytes.h"

#include <cstdint>
#include <vector>

namespace kestrova::acquisition::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes frameWithPayload(std::uint16_t type, std::size_t payloadBytes,
                              std::uint32_t trailer = kFrameTrailer) {
    Bytes f(SonarFrameHeader::kSize + payloadBytes + kTrailerSize, 0);
    SonarFrameHeader h;
    h.type = type;
    h.length = static_cast<std::uint32_t>(payloadBytes + kTrailerSize);
    h.encode(f);
    ByteWriter(f).u32le(f.size() - kTrailerSize, trailer);
    return f;
}

struct PingSpec {
    bool hf = true;
    std::uint32_t pingNumber = 1;
    std::uint32_t np = 4;
    std::uint32_t ns = 3;
    std::uint8_t marker = PingHeader::kLayoutMarker;
    std::uint8_t settingCode = 2;
    std::uint32_t sampleRate = 216000;
    std::uint32_t rangeWindow = 14400;
    std::uint8_t decimation = 4;
    std::int16_t roll = 0, pitch = 0, heave = 0;
    std::uint16_t heading = 0;
    std::uint32_t trailer = kFrameTrailer;
    std::uint32_t firstSample = 1000; // port i = first + i, starboard j = first + 100 + j
};

inline Bytes pingFrame(const PingSpec& s) {
    Bytes f = frameWithPayload(
        static_cast<std::uint16_t>(s.hf ? FrameType::HfPing : FrameType::LfPing),
        PingHeader::kSize - SonarFrameHeader::kSize + 4 * (s.np + s.ns), s.trailer);
    ByteWriter w(f);
    w.u16le(PingHeader::kYearOffset, 2024);
    w.u8(PingHeader::kMonthOffset, 5);
    w.u8(PingHeader::kDayOffset, 1);
    w.u8(PingHeader::kHourOffset, 10);
    w.u32le(PingHeader::kPingNumberOffset, s.pingNumber);
    w.u8(PingHeader::kLayoutMarkerOffset, s.marker);
    for (std::size_t base : {PingHeader::kPortBlockOffset, PingHeader::kStarboardBlockOffset}) {
        w.u8(base + 1, s.settingCode);
        w.u32le(base + 28, s.sampleRate);
        w.u32le(base + 36, s.rangeWindow);
        w.u8(base + 41, s.decimation);
    }
    w.u32le(136, s.np); // port sample count
    w.u32le(192, s.ns); // starboard sample count
    w.i16le(196, s.roll);
    w.i16le(198, s.pitch);
    w.i16le(200, s.heave);
    w.u16le(202, s.heading);
    for (std::uint32_t i = 0; i < s.np; ++i)
        w.u32le(228 + 4 * i, s.firstSample + i);
    for (std::uint32_t j = 0; j < s.ns; ++j)
        w.u32le(228 + 4 * (s.np + j), s.firstSample + 100 + j);
    return f;
}

inline Bytes attitudeFrame(std::int16_t roll, std::int16_t pitch, std::int16_t heave,
                           std::uint16_t heading) {
    Bytes f = frameWithPayload(static_cast<std::uint16_t>(FrameType::Attitude), 24);
    ByteWriter w(f);
    w.i16le(28, roll);
    w.i16le(30, pitch);
    w.i16le(32, heave);
    w.u16le(34, heading);
    return f;
}

inline Bytes positionFrame(std::uint16_t type, std::uint8_t tag) {
    Bytes f = frameWithPayload(type, kPositionRecordSize);
    f[16] = tag;
    return f;
}

inline void append(Bytes& to, const Bytes& from) {
    to.insert(to.end(), from.begin(), from.end());
}

} // namespace kestrova::acquisition::testing
